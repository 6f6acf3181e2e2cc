#include "slurm_task.hpp"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

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

std::string job_id(const WorkDir& w) {
  std::string id;
  if (!read_text_file(w.job_file(), id).empty()) return "?";
  while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
  return id;
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
  // A task has the processors it asked for: one unless --cpus-per-task said more.
  if (!env_count("SLURM_CPUS_PER_TASK", cpus) || cpus == 0) cpus = 1;
  settings.jobs = static_cast<unsigned>(cpus);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> slice(names.begin() + static_cast<std::ptrdiff_t>(slice_begin(task, tasks, names.size())),
                                       names.begin() + static_cast<std::ptrdiff_t>(slice_begin(task + 1, tasks, names.size())));
  std::fprintf(stderr, "qxbatch: task %zu of %zu: %zu cases, %u at a time\n", task, tasks, slice.size(),
               settings.jobs);
  const BatchOutcome outcome = run_batch(discover_cases(slice, qxin_pattern), settings);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return conclude_batch(outcome.results, seconds, w.task_summary(task), false,
                        outcome.stop.stop_launching() ? outcome.stop.exit_status() : 0);
}

std::string collect_results(const WorkDir& w, std::vector<CaseResult>& results) {
  std::vector<std::string> names;
  std::size_t tasks = 0;
  if (std::string e = read_case_list(w, names, tasks); !e.empty()) return e;
  const std::string job = job_id(w);
  results.clear();
  for (std::size_t task = 0; task < tasks; ++task) {
    std::vector<CaseResult> rows;
    const std::string summary = w.task_summary(task);
    const std::string problem = read_csv_summary(summary, rows);
    std::map<std::string, const CaseResult*> by_name;
    for (const CaseResult& r : rows) by_name.emplace(r.name, &r);
    for (std::size_t i = slice_begin(task, tasks, names.size()); i < slice_begin(task + 1, tasks, names.size()); ++i) {
      if (const auto it = by_name.find(names[i]); problem.empty() && it != by_name.end()) {
        results.push_back(*it->second);
        continue;
      }
      CaseResult r;
      r.name = names[i];
      r.status = Status::interrupted;
      r.message = "not run: Slurm task " + std::to_string(task) + " of job " + job +
                  (problem.empty()                      ? " left no row for it"
                   : file_state(summary).exists ? " left a damaged summary (" + problem + ")"
                                                        : " left no summary (see " + w.task_output(job, task) + ")");
      results.push_back(std::move(r));
    }
  }
  return {};
}

}  // namespace qxbatch
