// Collecting a Slurm submission: the tasks' records merged into the study
// record, and every case of the submission with its outcome, or with what
// Slurm says of its task while the task has not ended.
#pragma once

#include <string>
#include <vector>

#include "case_result.hpp"
#include "child_process.hpp"
#include "slurm_states.hpp"
#include "slurm_workdir.hpp"

namespace qxbatch {

class RecordFile;
struct RecordContents;

// Appends to `record` the case lines of the `tasks` task records of `w` that
// it does not hold yet, and notes how far each task record is merged, so that
// a merge can be repeated while tasks still run. Empty on success, else why
// not.
std::string merge_task_records(const WorkDir& w, std::size_t tasks, RecordFile& record, std::size_t& lines_merged);

// The study record at `path` read for --skip-done, with the task records of
// the Slurm submissions it names: merged into `record` first, or only read
// beside it when `record` is null (a dry run changes nothing). Empty on
// success, else why the record cannot be read.
std::string read_study_record(const std::string& path, RecordFile* record, RecordContents& contents, bool quiet);

// Every case of the submission: from its task's record, else as Slurm says
// of its task (queued, running, or ended before it: not run); then the cases
// that were passed over as done. `job_id` is the job's id, empty when it is
// not known. Empty on success, else why the work directory cannot be read.
std::string collect_results(const WorkDir& w, const std::string& job_id, const JobStates& states,
                            std::vector<CaseResult>& results);

// --collect: merges, asks Slurm, reports; the summary file if one is asked
// for; the exit status (3 while cases are queued or running).
int collect_study(const std::string& workdir, const std::string& summary, bool quiet, const CommandLimits& limits);

}  // namespace qxbatch
