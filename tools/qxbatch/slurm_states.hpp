// What Slurm says of the tasks of a job array: squeue for the jobs it still
// holds (pending, running and, for a while, ended), sacct where accounting
// is set up for those it no longer holds. Every call is bounded.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "child_process.hpp"

namespace qxbatch {

enum class TaskPhase { queued, running, ended };

struct TaskState {
  TaskPhase phase = TaskPhase::ended;
  std::string state;   // as Slurm names it: PENDING, RUNNING, TIMEOUT, ...
  std::string reason;  // why a pending task waits, as squeue says
};

struct JobStates {
  bool asked = false;        // squeue answered
  bool job_known = false;    // and still knows the job
  std::string error;         // why Slurm could not be asked
  std::map<std::size_t, TaskState> tasks;  // by array task index

  // The state of task `task`; null when Slurm did not tell it.
  const TaskState* find(std::size_t task) const;
  // True when no task is queued or running as far as Slurm knows.
  bool ended() const;
};

// The phase of a Slurm job state name; false for a name not known.
bool task_phase(std::string_view state, TaskPhase& phase);

// Reads the output of squeue --array --format=%K|%T|%r and of sacct
// --parsable2 --format=JobID,State into `states`.
void read_squeue_lines(std::string_view out, JobStates& states);
void read_sacct_lines(std::string_view out, const std::string& job, JobStates& states);

// Asks squeue, and sacct for tasks that squeue no longer holds.
JobStates ask_job_states(const std::string& job, std::size_t tasks, const CommandLimits& limits);

}  // namespace qxbatch
