// Submitting a study to Slurm as one job array over the cases that are not
// done, and waiting for it. Slurm places the tasks; qxbatch only cuts the
// case list into slices.
#pragma once

#include <string>
#include <vector>

#include "case_list.hpp"
#include "child_process.hpp"
#include "record_line.hpp"

namespace qxbatch {

class RecordFile;

struct SubmitSettings {
  unsigned array_size = 0;  // tasks; 0 for one per case, at most max_default_tasks
  unsigned throttle = 0;    // tasks running at once; 0 for Slurm's choice
  std::vector<std::string> sbatch_args;
  std::string workdir;      // requested; empty for a new one
  bool wait = false;
  bool dry_run = false;     // print the sbatch command and the job script only
  std::string summary;      // with wait
  bool quiet = false;
  CommandLimits limits;     // of every Slurm command
};

inline constexpr unsigned max_default_tasks = 1000;

// Submits the cases whose entry in `done_before` is empty (the others are
// done: their record lines), with the work directory written first and
// registered in `record`; with --wait, waits for the job to end and
// collects. `task_command` is the qxbatch command that each task runs,
// without the work directory. Returns the exit status.
int submit_study(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before,
                 const std::vector<std::string>& task_command, const SubmitSettings& settings, RecordFile& record);

}  // namespace qxbatch
