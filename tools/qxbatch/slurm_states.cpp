#include "slurm_states.hpp"

#include <charconv>
#include <vector>

namespace qxbatch {
namespace {

// Slurm's job states and what they mean for the cases of a task.
struct StatePhase {
  std::string_view state;
  TaskPhase phase;
};
constexpr StatePhase state_phases[] = {
    {"PENDING", TaskPhase::queued},       {"REQUEUED", TaskPhase::queued},
    {"REQUEUE_HOLD", TaskPhase::queued},  {"REQUEUE_FED", TaskPhase::queued},
    {"RESV_DEL_HOLD", TaskPhase::queued}, {"RUNNING", TaskPhase::running},
    {"CONFIGURING", TaskPhase::running},  {"COMPLETING", TaskPhase::running},
    {"RESIZING", TaskPhase::running},     {"SIGNALING", TaskPhase::running},
    {"STAGE_OUT", TaskPhase::running},    {"SUSPENDED", TaskPhase::running},
    {"STOPPED", TaskPhase::running},      {"COMPLETED", TaskPhase::ended},
    {"FAILED", TaskPhase::ended},         {"TIMEOUT", TaskPhase::ended},
    {"CANCELLED", TaskPhase::ended},      {"NODE_FAIL", TaskPhase::ended},
    {"OUT_OF_MEMORY", TaskPhase::ended},  {"PREEMPTED", TaskPhase::ended},
    {"BOOT_FAIL", TaskPhase::ended},      {"DEADLINE", TaskPhase::ended},
    {"SPECIAL_EXIT", TaskPhase::ended},   {"REVOKED", TaskPhase::ended},
};

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> f;
  for (std::size_t start = 0;;) {
    const std::size_t bar = line.find('|', start);
    f.push_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) return f;
    start = bar + 1;
  }
}

template <class Each>
void for_each_line(std::string_view text, Each each) {
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (!line.empty()) each(line);
    start = end + 1;
  }
}

bool parse_index(std::string_view text, std::size_t& index) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
  return ec == std::errc{} && end == text.data() + text.size() && !text.empty();
}

void note_state(JobStates& states, std::size_t task, std::string_view state, std::string_view reason) {
  // "CANCELLED by 0": the state is the first word.
  state = state.substr(0, state.find(' '));
  TaskState t;
  if (!task_phase(state, t.phase)) t.phase = TaskPhase::running;  // a state not known yet: not taken as an end
  t.state = std::string(state);
  if (reason != "None") t.reason = std::string(reason);
  states.tasks[task] = std::move(t);
}

}  // namespace

bool task_phase(std::string_view state, TaskPhase& phase) {
  for (const StatePhase& s : state_phases)
    if (s.state == state) {
      phase = s.phase;
      return true;
    }
  return false;
}

const TaskState* JobStates::find(std::size_t task) const {
  const auto it = tasks.find(task);
  return it == tasks.end() ? nullptr : &it->second;
}

bool JobStates::ended() const {
  for (const auto& [task, t] : tasks)
    if (t.phase != TaskPhase::ended) return false;
  return asked;
}

void read_squeue_lines(std::string_view out, JobStates& states) {
  for_each_line(out, [&](std::string_view line) {
    const auto f = fields(line);
    std::size_t task = 0;
    if (f.size() >= 2 && parse_index(f[0], task)) note_state(states, task, f[1], f.size() > 2 ? f[2] : "None");
  });
}

void read_sacct_lines(std::string_view out, const std::string& job, JobStates& states) {
  const std::string prefix = job + "_";
  for_each_line(out, [&](std::string_view line) {
    const auto f = fields(line);
    std::size_t task = 0;
    // Pending ranges ("12_[3-5]") and steps ("12_3.batch") are not tasks' lines.
    if (f.size() >= 2 && f[0].starts_with(prefix) && parse_index(f[0].substr(prefix.size()), task) &&
        !states.find(task))
      note_state(states, task, f[1], "None");
  });
}

JobStates ask_job_states(const std::string& job, std::size_t tasks, const CommandLimits& limits) {
  JobStates states;
  const CommandOutput q = run_command(
      {"squeue", "--noheader", "--array", "--states=all", "--jobs=" + job, "--format=%K|%T|%r"}, limits);
  if (q.succeeded()) {
    states.asked = states.job_known = true;
    read_squeue_lines(q.out, states);
  } else if (!q.timed_out && !q.interrupted && q.err.find("Invalid job id") != std::string::npos) {
    // The controller has forgotten a job that ended long enough ago.
    states.asked = true;
  } else {
    states.error = q.failure("squeue", limits);
    return states;
  }
  if (states.tasks.size() >= tasks) return states;
  // Accounting, where it is set up, keeps the ends that squeue forgot.
  const CommandOutput a = run_command(
      {"sacct", "--noheader", "--parsable2", "--allocations", "--jobs=" + job, "--format=JobID,State"}, limits);
  if (a.succeeded()) read_sacct_lines(a.out, job, states);
  return states;
}

}  // namespace qxbatch
