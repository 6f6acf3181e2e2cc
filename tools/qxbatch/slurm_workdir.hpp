// The work directory of a Slurm submission: what was submitted and how (the
// case list, the number of array tasks, the job script, the sbatch command,
// qxbatch's version, the study record), the job's id, the tasks' records and
// Slurm's output. Submission, tasks and collection meet only here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qxbatch {

struct WorkDir {
  std::string path;  // absolute

  std::string cases_file() const { return path + "/cases"; }      // the case names, each ended by a NUL
  std::string tasks_file() const { return path + "/tasks"; }      // the number of array tasks
  std::string job_file() const { return path + "/job"; }          // the job id that sbatch gave
  std::string script_file() const { return path + "/job.sh"; }
  std::string sbatch_file() const { return path + "/sbatch"; }    // the sbatch command, as a shell line
  std::string version_file() const { return path + "/version"; }  // the qxbatch that submitted
  std::string record_file() const { return path + "/record"; }    // the path of the study record
  std::string skipped_file() const { return path + "/skipped.tsv"; }  // record lines of the cases passed over
  std::string merged_file() const { return path + "/merged"; }    // how much of each task record is merged
  // Each task's own record, and the mark it leaves when it ends.
  std::string task_record(std::size_t task) const { return path + "/task-" + std::to_string(task) + ".tsv"; }
  std::string task_end(std::size_t task) const { return path + "/task-" + std::to_string(task) + ".ended"; }
  // sbatch's pattern for the output of each task, and its name for one task.
  std::string output_pattern() const;
  std::string task_output(const std::string& job, std::size_t task) const;
  // The job id that sbatch gave, as the job file holds it; empty when the
  // file cannot be read.
  std::string job_id() const;
};

// The first case of each task's slice: task k converts cases
// [first(k), first(k + 1)) of the list; contiguous slices of near-equal size.
std::size_t slice_begin(std::size_t task, std::size_t tasks, std::size_t cases);

// A message of the Slurm side on standard error.
void say(const std::string& text);

// Whether anything bears the name.
bool exists(const std::string& path);

// The first line of a text, without the blanks and carriage return that end
// it: a job id as sbatch prints it and the work directory's files keep it.
std::string first_line(std::string_view text);

// Writing and reading the files; each returns empty on success, else why not.
std::string write_text_file(const std::string& path, const std::string& text);
std::string read_text_file(const std::string& path, std::string& text);
std::string write_case_list(const WorkDir& w, const std::vector<std::string>& names, std::size_t tasks);
std::string read_case_list(const WorkDir& w, std::vector<std::string>& names, std::size_t& tasks);

// Makes a new work directory: `requested`, or qxbatch-YYYYMMDD-HHMMSS (with
// -2, -3... if taken) in the current directory. A requested directory may
// exist if it holds no earlier submission. With `make` false, only says
// which directory that would be.
std::string make_work_dir(const std::string& requested, bool make, WorkDir& w);

}  // namespace qxbatch
