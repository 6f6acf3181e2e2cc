#include "slurm_submit.hpp"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "counted.hpp"
#include "job_script.hpp"
#include "progress.hpp"
#include "qx_version.hpp"
#include "slurm_collect.hpp"
#include "stop_signals.hpp"
#include "study_record.hpp"
#include "summary.hpp"

namespace qxbatch {
namespace {

using Clock = std::chrono::steady_clock;

// How often Slurm is asked while waiting: soon after submission, then less
// and less often, so that a long job does not load the controller.
constexpr double first_queue_poll_s = 2, longest_queue_poll_s = 15;
// Failed queries in a row before waiting is given up.
constexpr int queue_failures_allowed = 10;
// After Slurm says that every task has ended, how long the records of tasks
// that did not leave their end mark may take to appear on a shared file
// system.
constexpr double record_grace_s = 30;

Clock::time_point after(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Sleeps up to `seconds`; false when a signal asks to stop.
bool pause(double seconds) {
  pollfd fd{signal_wake_fd(), POLLIN, 0};
  ::poll(&fd, 1, static_cast<int>(seconds * 1000));
  return !take_stop_request().stop_launching();
}

int stop_waiting(const WorkDir& w, const std::string& job) {
  say("stopped waiting; job " + job + " goes on. Collect it with: qxbatch --collect " + w.path +
      "; cancel it with: scancel " + job);
  return take_stop_request().exit_status();
}

// Waits until every task has left its end mark or Slurm says that the job
// has ended. Returns 0, or the exit status when waiting was given up.
int wait_for_job(const WorkDir& w, const std::string& job, std::size_t tasks, const SubmitSettings& s) {
  Progress progress(default_progress_mode(s.quiet), 0, 0);
  CommandLimits limits = s.limits;
  limits.stop_on_interrupt = true;
  double poll_every = first_queue_poll_s;
  auto next_query = after(poll_every);
  std::optional<Clock::time_point> ended_at;
  int failures = 0;
  JobStates states;
  for (;;) {
    std::size_t ended = 0;
    for (std::size_t t = 0; t < tasks; ++t) ended += exists(w.task_end(t));
    if (ended == tasks) break;
    if (ended_at && Clock::now() - *ended_at > std::chrono::duration<double>(record_grace_s)) break;
    if (!ended_at && Clock::now() >= next_query) {
      states = ask_job_states(job, tasks, limits);
      if (!pause(0)) {
        progress.finish();
        return stop_waiting(w, job);
      }
      failures = states.asked ? 0 : failures + 1;
      if (!states.asked) progress.note("qxbatch: cannot ask Slurm about job " + job + ": " + states.error);
      if (failures >= queue_failures_allowed) {
        progress.finish();
        say("gave up waiting for job " + job + "; collect it when it has ended: qxbatch --collect " + w.path);
        return 1;
      }
      if (states.ended()) ended_at = Clock::now();
      poll_every = std::min(poll_every * 1.5, longest_queue_poll_s);
      next_query = after(poll_every);
    }
    std::size_t running = 0, queued = 0;
    for (const auto& [task, t] : states.tasks) {
      if (exists(w.task_end(task))) continue;
      if (t.phase == TaskPhase::running) ++running;
      if (t.phase == TaskPhase::queued) ++queued;
    }
    progress.show("qxbatch: job " + job + ": " + std::to_string(ended) + " of " + counted(tasks, "task") + " ended" +
                  (states.asked ? ", " + std::to_string(running) + " running, " + std::to_string(queued) + " queued"
                                : std::string()));
    if (!pause(1)) {
      progress.finish();
      return stop_waiting(w, job);
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

std::string command_line(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& word : argv) line += (line.empty() ? "" : " ") + shell_quote(word);
  return line;
}

// The cases passed over, as record lines under their names of this study.
std::string skipped_lines(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before) {
  std::string lines;
  for (std::size_t i = 0; i < cases.size(); ++i)
    if (done_before[i]) {
      RecordLine l = *done_before[i];
      l.result.name = cases[i].name;
      lines += format_record_line(l);
    }
  return lines.empty() ? lines : record_header() + lines;
}

}  // namespace

int submit_study(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before,
                 const std::vector<std::string>& task_command, const SubmitSettings& s, RecordFile& record) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < cases.size(); ++i)
    if (!done_before[i]) names.push_back(cases[i].name);
  const std::size_t passed_over = cases.size() - names.size();
  if (names.empty()) {
    say("nothing to submit: " + std::string(passed_over == 1 ? "the case is" : "every case is") + " done");
    if (s.wait && !s.dry_run) {
      std::vector<CaseResult> results;
      for (const RecordLine* l : done_before) {
        results.push_back(l->result);
        results.back().status = Status::skipped;
      }
      for (std::size_t i = 0; i < cases.size(); ++i) results[i].name = cases[i].name;
      return conclude_batch(results, -1, s.summary, s.quiet, 0);
    }
    return 0;
  }
  std::string sbatch = find_program("sbatch");
  if (sbatch.empty() && !s.dry_run) {
    say("sbatch not found on PATH: --slurm needs Slurm's commands");
    return 2;
  }
  if (sbatch.empty()) sbatch = "sbatch";
  WorkDir w;
  if (const std::string e = make_work_dir(s.workdir, !s.dry_run, w); !e.empty()) {
    say(e);
    return 2;
  }
  const std::size_t tasks = std::min<std::size_t>(names.size(), s.array_size ? s.array_size : max_default_tasks);
  std::vector<std::string> directives{
      "--array=0-" + std::to_string(tasks - 1) + (s.throttle ? "%" + std::to_string(s.throttle) : std::string()),
      "--job-name=qxbatch", "--output=" + w.output_pattern()};
  directives.insert(directives.end(), s.sbatch_args.begin(), s.sbatch_args.end());
  std::vector<std::string> command{self_path(), "--slurm-task", w.path};
  command.insert(command.end(), task_command.begin(), task_command.end());
  std::error_code ec;
  const std::string script = job_script(directives, std::filesystem::current_path(ec).string(), command);
  const std::vector<std::string> argv{sbatch, "--parsable", w.script_file()};
  const std::string what = counted(names.size(), "case") + " in " + counted(tasks, "array task") +
                           (passed_over ? " (" + std::to_string(passed_over) + " done, passed over)" : "");
  if (s.dry_run) {
    std::printf("%s\n%s", command_line(argv).c_str(), script.c_str());
    if (std::fflush(stdout) != 0) return 1;
    if (!s.quiet) say("dry run: a job of " + what + " would be submitted from " + w.script_file() + "; nothing submitted");
    return 0;
  }

  std::vector<std::string> written{write_case_list(w, names, tasks), write_text_file(w.script_file(), script),
                                   write_text_file(w.sbatch_file(), command_line(argv) + "\n"),
                                   write_text_file(w.version_file(), "qxbatch " + std::string(qx::program_version) + "\n"),
                                   write_text_file(w.record_file(), record.path() + "\n")};
  if (passed_over) written.push_back(write_text_file(w.skipped_file(), skipped_lines(cases, done_before)));
  for (const std::string& e : written)
    if (!e.empty()) {
      std::remove(w.cases_file().c_str());
      say(e);
      return 2;
    }
  ::chmod(w.script_file().c_str(), 0755);

  const CommandOutput r = run_command(argv, s.limits);
  const std::string job = first_line(std::string_view(r.out).substr(0, r.out.find(';')));
  if (!r.succeeded() || job.empty() || job.find_first_not_of("0123456789") != std::string::npos) {
    if (r.timed_out) {
      say(r.failure("sbatch", s.limits) + ": the job may have been submitted; look with: squeue --name=qxbatch");
      return 2;
    }
    // Nothing was submitted: the directory may be used again.
    std::remove(w.cases_file().c_str());
    say("sbatch did not submit the job: " + r.failure("sbatch", s.limits));
    return 2;
  }
  if (const std::string e = write_text_file(w.job_file(), job + "\n"); !e.empty()) say(e);
  if (const std::string e = record.register_workdir(w.path); !e.empty()) say(e);
  if (!s.quiet) say("submitted job " + job + ": " + what + "; work directory " + w.path);
  if (!s.wait) {
    if (!s.quiet) say("collect it when it has ended: qxbatch --collect " + w.path);
    return 0;
  }
  if (const int status = wait_for_job(w, job, tasks, s); status != 0) return status;
  return collect_study(w.path, s.summary, s.quiet, s.limits);
}

}  // namespace qxbatch
