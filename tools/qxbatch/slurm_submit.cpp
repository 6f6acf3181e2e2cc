#include "slurm_submit.hpp"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "child_process.hpp"
#include "progress.hpp"
#include "slurm_task.hpp"
#include "stop_signals.hpp"
#include "summary.hpp"

namespace qxbatch {
namespace {

using Clock = std::chrono::steady_clock;

// How often the queue is asked while waiting: soon after submission, then
// less and less often, so that a long job does not load the controller.
constexpr double first_queue_poll_s = 2, longest_queue_poll_s = 15;
// Failed queries in a row before waiting is given up.
constexpr int queue_failures_allowed = 10;
// After the job has left the queue, how long task summaries written on other
// nodes may take to appear on a shared file system.
constexpr double summary_grace_s = 30;

std::string shell_quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out.push_back(c);
  }
  return out + "'";
}

void say(const std::string& text) { std::fprintf(stderr, "qxbatch: %s\n", text.c_str()); }

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

struct QueueState {
  bool known = false;  // the query worked
  bool gone = false;   // no task of the job is pending or running
  std::size_t pending = 0, running = 0;
  std::string error;
};

QueueState ask_queue(const std::string& job) {
  QueueState q;
  const CommandOutput r = run_command({"squeue", "--noheader", "--array", "--jobs=" + job, "--format=%t"});
  if (!r.succeeded()) {
    // A job that ended long enough ago is no longer known at all.
    if (r.err.find("Invalid job id") != std::string::npos) {
      q.known = q.gone = true;
      return q;
    }
    q.error = r.start_error.empty() ? trimmed(r.err) + " (" + describe_wait_status(r.wait_status) + ")" : r.start_error;
    return q;
  }
  q.known = true;
  std::size_t start = 0;
  while (start < r.out.size()) {
    std::size_t end = r.out.find('\n', start);
    if (end == std::string::npos) end = r.out.size();
    const std::string state = trimmed(r.out.substr(start, end - start));
    if (state == "PD")
      ++q.pending;
    else if (!state.empty())
      ++q.running;
    start = end + 1;
  }
  q.gone = q.pending == 0 && q.running == 0;
  return q;
}

// Sleeps up to `seconds`; false when a signal asks to stop.
bool pause(double seconds) {
  pollfd fd{signal_wake_fd(), POLLIN, 0};
  ::poll(&fd, 1, static_cast<int>(seconds * 1000));
  return !take_stop_request().stop_launching();
}

// Waits until every task has written its summary or the job has left the
// queue. Returns 0, or the exit status when waiting was given up.
int wait_for_job(const WorkDir& w, const std::string& job, std::size_t tasks, bool quiet) {
  Progress progress(default_progress_mode(quiet), 0, 0);
  double poll_every = first_queue_poll_s;
  auto next_query = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(poll_every));
  std::optional<Clock::time_point> gone_since;
  int failures = 0;
  QueueState queue;
  for (;;) {
    std::size_t ended = 0;
    for (std::size_t t = 0; t < tasks; ++t) ended += exists(w.task_summary(t));
    if (ended == tasks) break;
    const auto now = Clock::now();
    if (gone_since && now - *gone_since > std::chrono::duration<double>(summary_grace_s)) break;
    if (!gone_since && now >= next_query) {
      queue = ask_queue(job);
      failures = queue.known ? 0 : failures + 1;
      if (failures >= queue_failures_allowed) {
        progress.finish();
        say("cannot ask Slurm about job " + job + ": " + queue.error);
        say("collect the job when it has ended: qxbatch --collect " + w.path);
        return 1;
      }
      if (queue.gone) gone_since = now;
      poll_every = std::min(poll_every * 1.5, longest_queue_poll_s);
      next_query = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(poll_every));
    }
    // The summaries are seen at once, the queue only now and then.
    const std::size_t running = std::min(queue.running, tasks - ended);
    progress.show("qxbatch: job " + job + ": " + std::to_string(ended) + " of " + std::to_string(tasks) +
                  " tasks ended, " + std::to_string(running) + " running, " + std::to_string(tasks - ended - running) +
                  " waiting");
    if (!pause(1)) {
      progress.finish();
      const StopRequest stop = take_stop_request();
      say("stopped waiting; job " + job + " goes on. Collect it with: qxbatch --collect " + w.path +
          "; cancel it with: scancel " + job);
      return stop.exit_status();
    }
  }
  progress.finish();
  return 0;
}

std::string self_path() {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("qxbatch") : p.string();
}

}  // namespace

std::string job_script(const std::string& submit_dir, const std::vector<std::string>& command) {
  std::string script =
      "#!/bin/sh\n"
      "# A task of a qxbatch job array: converts its slice of the cases listed in\n"
      "# this directory. Collect the job with: qxbatch --collect DIR\n"
      "cd " + shell_quote(submit_dir) + " || exit 1\n"
      "exec";
  for (const std::string& word : command) script += " " + shell_quote(word);
  return script + "\n";
}

int submit_study(const std::vector<Case>& cases, const std::vector<std::string>& task_command,
                 const SubmitSettings& s) {
  if (cases.empty()) {
    say("no cases to submit");
    return 2;
  }
  const std::string sbatch = find_program("sbatch");
  if (sbatch.empty()) {
    say("sbatch not found on PATH: --slurm needs Slurm's commands");
    return 2;
  }
  WorkDir w;
  if (const std::string e = make_work_dir(s.workdir, w); !e.empty()) {
    say(e);
    return 2;
  }
  std::vector<std::string> names;
  for (const Case& c : cases) names.push_back(c.name);
  const std::size_t tasks =
      s.array_size ? std::min<std::size_t>(s.array_size, cases.size()) : std::min<std::size_t>(cases.size(), max_default_tasks);
  std::vector<std::string> command{self_path(), "--slurm-task", w.path};
  command.insert(command.end(), task_command.begin(), task_command.end());
  std::error_code ec;
  const std::string here = std::filesystem::current_path(ec).string();
  for (const std::string& e : {write_case_list(w, names, tasks), write_text_file(w.script_file(), job_script(here, command))})
    if (!e.empty()) {
      say(e);
      return 2;
    }
  ::chmod(w.script_file().c_str(), 0755);

  std::vector<std::string> argv{sbatch, "--parsable",
                                "--array=0-" + std::to_string(tasks - 1) +
                                    (s.throttle ? "%" + std::to_string(s.throttle) : std::string()),
                                "--job-name=qxbatch", "--output=" + w.output_pattern()};
  argv.insert(argv.end(), s.sbatch_args.begin(), s.sbatch_args.end());
  argv.push_back(w.script_file());
  const CommandOutput r = run_command(argv);
  const std::string job = trimmed(r.out.substr(0, r.out.find(';')));
  if (!r.succeeded() || job.empty() || job.find_first_not_of("0123456789") != std::string::npos) {
    // Nothing was submitted: the directory may be used again.
    std::remove(w.cases_file().c_str());
    say("sbatch did not submit the job: " +
        (r.start_error.empty() ? trimmed(r.err) + " (" + describe_wait_status(r.wait_status) + ")" : r.start_error));
    return 2;
  }
  if (const std::string e = write_text_file(w.job_file(), job + "\n"); !e.empty()) say(e);
  if (!s.quiet)
    say("submitted job " + job + ": " + std::to_string(cases.size()) + " cases in " + std::to_string(tasks) +
        " array tasks; work directory " + w.path);
  if (!s.wait) {
    if (!s.quiet) say("collect it when it has ended: qxbatch --collect " + w.path);
    return 0;
  }
  if (const int status = wait_for_job(w, job, tasks, s.quiet); status != 0) return status;
  return collect_study(w.path, s.summary, s.quiet);
}

int collect_study(const std::string& workdir, const std::string& summary, bool quiet) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(workdir, ec);
  const WorkDir w{ec ? workdir : absolute.string()};
  std::vector<CaseResult> results;
  if (const std::string e = collect_results(w, results); !e.empty()) {
    say(e);
    return 2;
  }
  // The tasks' wall time is Slurm's to tell.
  return conclude_batch(results, -1, summary, quiet, 0);
}

}  // namespace qxbatch
