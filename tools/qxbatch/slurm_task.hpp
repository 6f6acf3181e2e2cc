// An array task of a Slurm submission: converts its slice of the case list
// like a local batch, appending each case to the task's own record in the
// work directory, and leaves a mark when it ends.
#pragma once

#include <string>

#include "runner.hpp"
#include "slurm_workdir.hpp"

namespace qxbatch {

// Converts this task's slice (SLURM_ARRAY_TASK_ID) with as many conversions
// at a time as SLURM_CPUS_PER_TASK (1 without it). Returns the exit status.
int run_task(const WorkDir& w, RunSettings settings, const std::string& qxin_pattern);

}  // namespace qxbatch
