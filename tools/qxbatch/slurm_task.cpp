#include "slurm_task.hpp"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "counted.hpp"
#include "study_record.hpp"
#include "summary.hpp"

namespace qxbatch {
namespace {

bool env_count(const char* name, std::size_t& value) {
  const char* text = std::getenv(name);
  if (!text) return false;
  const std::string_view v(text);
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  return ec == std::errc{} && end == v.data() + v.size();
}

}  // namespace

int run_task(const WorkDir& w, RunSettings settings, const std::string& qxin_pattern) {
  std::vector<std::string> names;
  std::size_t tasks = 0, task = 0, cpus = 1;
  if (const std::string e = read_case_list(w, names, tasks); !e.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
    return 2;
  }
  if (!env_count("SLURM_ARRAY_TASK_ID", task) || task >= tasks) {
    std::fprintf(stderr, "qxbatch: --slurm-task runs in a task of the job array that --slurm submitted\n");
    return 2;
  }
  RecordFile record;
  if (const std::string e = record.open(w.task_record(task)); !e.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
    return 2;
  }
  // A task has the processors it asked for: one unless --cpus-per-task said more.
  if (!env_count("SLURM_CPUS_PER_TASK", cpus) || cpus == 0) cpus = 1;
  settings.jobs = static_cast<unsigned>(cpus);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> slice(names.begin() + static_cast<std::ptrdiff_t>(slice_begin(task, tasks, names.size())),
                                       names.begin() + static_cast<std::ptrdiff_t>(slice_begin(task + 1, tasks, names.size())));
  std::fprintf(stderr, "qxbatch: task %zu of %zu: %s, %u at a time\n", task, tasks,
               counted(slice.size(), "case").c_str(), settings.jobs);
  const Discovery found = discover_cases(slice, qxin_pattern);
  const BatchOutcome outcome = run_batch(found.cases, {}, settings, record);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int status = conclude_batch(outcome.results, seconds, "", false,
                              outcome.stop.stop_launching() ? outcome.stop.exit_status() : 0);
  if (!outcome.record_error.empty() && status == 0) status = 1;
  if (const std::string e = write_text_file(w.task_end(task), "exit status " + std::to_string(status) + "\n");
      !e.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
    if (status == 0) status = 1;
  }
  return status;
}

}  // namespace qxbatch
