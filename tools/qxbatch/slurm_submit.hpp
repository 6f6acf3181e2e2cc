// Submitting a study to Slurm as one job array, and waiting for it. Slurm
// places the tasks; qxbatch only cuts the case list into slices.
#pragma once

#include <string>
#include <vector>

#include "case_list.hpp"

namespace qxbatch {

struct SubmitSettings {
  unsigned array_size = 0;  // tasks; 0 for one per case, at most max_default_tasks
  unsigned throttle = 0;    // tasks running at once; 0 for Slurm's choice
  std::vector<std::string> sbatch_args;
  std::string workdir;      // requested; empty for a new one
  bool wait = false;
  std::string summary;      // with wait
  bool quiet = false;
};

inline constexpr unsigned max_default_tasks = 1000;

// The job script: it enters `submit_dir` and runs `program` with
// `arguments`, each quoted for the shell.
std::string job_script(const std::string& submit_dir, const std::vector<std::string>& command);

// Writes the work directory, submits the job array with sbatch and, with
// --wait, waits for it to end and collects. `task_command` is the qxbatch
// command that each task runs, without the work directory. Returns the exit
// status.
int submit_study(const std::vector<Case>& cases, const std::vector<std::string>& task_command,
                 const SubmitSettings& settings);

// Collects a submission: the report, the summary file, the exit status.
int collect_study(const std::string& workdir, const std::string& summary, bool quiet);

}  // namespace qxbatch
