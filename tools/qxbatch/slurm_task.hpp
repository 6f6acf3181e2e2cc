// The Slurm side of a submission: one array task converting its slice of
// the case list, and the collection of every task's summary afterwards.
#pragma once

#include <string>
#include <vector>

#include "case_result.hpp"
#include "runner.hpp"
#include "slurm_workdir.hpp"

namespace qxbatch {

// Converts this task's slice (SLURM_ARRAY_TASK_ID) with as many conversions
// at a time as SLURM_CPUS_PER_TASK (1 without it), like a local batch, and
// writes the task's summary into the work directory. Returns the exit status.
int run_task(const WorkDir& w, RunSettings settings, const std::string& qxin_pattern);

// Every case of the submission in list order, from the tasks' summaries; a
// case whose task left no summary, or no row for it, was not run. Empty on
// success, else why the work directory cannot be read.
std::string collect_results(const WorkDir& w, std::vector<CaseResult>& results);

}  // namespace qxbatch
