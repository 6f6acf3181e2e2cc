#include "runner.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <span>

#include "answers.hpp"
#include "child_process.hpp"
#include "done_check.hpp"
#include "study_record.hpp"

namespace qxbatch {
namespace {

using Clock = std::chrono::steady_clock;

// The end of what a run shows: enough for the reasons of a failure.
constexpr std::size_t kept_output = 64 * 1024;
// The end of its standard error that the record keeps.
constexpr std::size_t recorded_err = 4096;

struct Running {
  std::size_t index = 0;  // into the cases
  Child child;
  Clock::time_point start;
  std::vector<FileState> outputs_before;
  CaseInputs inputs;
  std::string out, err;
  bool out_open = true, err_open = true;
  std::optional<int> wait_status;
  bool sent_sigterm = false;
};

// Bytes the process has read so far, from the kernel's count; 0 where
// it cannot be seen.
std::uint64_t bytes_read_by(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  for (std::string key; io >> key;) {
    std::uint64_t value = 0;
    if (!(io >> value)) break;
    if (key == "rchar:") return value;
  }
  return 0;
}

void close_pipes(Running& r) {
  if (r.child.out_fd >= 0) ::close(r.child.out_fd);
  if (r.child.err_fd >= 0) ::close(r.child.err_fd);
  r.child.out_fd = r.child.err_fd = -1;
  r.out_open = r.err_open = false;
}

// The end of `text` that holds at most `limit` bytes, from the start of a
// line, marked when something was left out.
std::string text_end(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t from = text.size() - limit;
  const std::size_t line = text.find('\n', from);
  if (line != std::string::npos && line + 1 < text.size()) from = line + 1;
  return "[...]\n" + text.substr(from);
}

class Batch {
 public:
  Batch(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before,
        const RunSettings& settings, RecordFile& record)
      : cases_(cases), settings_(settings), record_(record), results_(cases.size()) {
    std::uint64_t to_read = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      if (i < done_before.size() && done_before[i]) {
        results_[i] = done_before[i]->result;
        skipped_.push_back(i);
      } else if (cases[i].problem.empty()) {
        to_read += cases[i].bytes_in;
      }
      // The case as it is named now, not as the record names it.
      results_[i].name = cases[i].name;
    }
    progress_.emplace(settings.progress, cases.size(), to_read);
  }

  BatchOutcome run() {
    for (std::size_t i : skipped_) {
      results_[i].status = Status::skipped;
      done_[i] = true;
      progress_->case_ended(results_[i]);
    }
    for (;;) {
      take_signals();
      fill_slots();
      if (running_.empty() && (next_ == cases_.size() || stop_.stop_launching())) break;
      wait_for_events();
      std::vector<Running> ended = reap();
      // A freed slot gets its next case before the ended ones are judged and
      // recorded, so that syncing the record does not hold a processor idle.
      take_signals();
      fill_slots();
      finish_runs(ended);
      update_progress();
    }
    if (stop_.stop_launching()) {
      for (std::size_t i = 0; i < cases_.size(); ++i)
        if (!done_[i]) finish_without_run(i, Status::interrupted, "not started: the batch was stopped");
    }
    progress_->finish();
    return {std::move(results_), stop_, record_error_};
  }

 private:
  void take_signals() {
    const StopRequest before = stop_;
    stop_ = take_stop_request();
    tell_stop(before);
    if (stop_.end_running()) end_running();
  }

  void fill_slots() {
    while (!stop_.stop_launching() && running_.size() < settings_.jobs && next_ < cases_.size()) launch(next_++);
  }

  void tell_stop(const StopRequest& before) {
    const std::string running =
        running_.size() == 1 ? "running conversion" : std::to_string(running_.size()) + " running conversions";
    if (stop_.end_running() && !before.end_running() && !running_.empty())
      progress_->note("qxbatch: stopping the " + running);
    else if (stop_.stop_launching() && !before.stop_launching() && !running_.empty())
      progress_->note("qxbatch: interrupted: no more conversions start; waiting for the " + running +
                      " (interrupt again to stop " + (running_.size() == 1 ? "it" : "them") + ")");
  }

  // A case that ended without a run: one that cannot be run is recorded as
  // failed; one that was never started is not recorded.
  void finish_without_run(std::size_t i, Status status, std::string message) {
    CaseResult& r = results_[i];
    r.status = status;
    r.message = std::move(message);
    done_[i] = true;
    if (status == Status::failed) {
      RecordLine line;
      line.result = r;
      line.path = cases_[i].key;
      line.settings = settings_.identity;
      line.qxin = cases_[i].qxin;
      record({&line, 1});
    }
    progress_->case_ended(r);
  }

  // Appends the lines in one write and one sync.
  void record(std::span<RecordLine> lines) {
    if (lines.empty()) return;
    std::string text;
    for (RecordLine& line : lines) {
      line.ended = utc_now();
      text += format_record_line(line);
    }
    if (const std::string e = record_.append(text); !e.empty() && record_error_.empty()) {
      record_error_ = e;
      progress_->note("qxbatch: " + e + "; a case that is not recorded is converted again by --skip-done");
    }
  }

  void launch(std::size_t i) {
    if (done_[i]) return;
    const Case& c = cases_[i];
    if (!c.problem.empty()) return finish_without_run(i, Status::failed, c.problem);
    Running r;
    r.index = i;
    r.start = Clock::now();
    r.outputs_before = output_states(c.dir, c.base);
    r.inputs = inputs_now(c);
    std::vector<std::string> argv{settings_.qxconv};
    argv.insert(argv.end(), settings_.run_options.begin(), settings_.run_options.end());
    const std::string why =
        start_child(argv, c.dir, dialogue_answers(c.qxin, c.result, settings_.big_endian), r.child);
    if (!why.empty()) return finish_without_run(i, Status::failed, why);
    running_.push_back(std::move(r));
  }

  void end_running() {
    for (Running& r : running_)
      if (!r.sent_sigterm && !r.wait_status) {
        ::kill(-r.child.pid, SIGTERM);
        r.sent_sigterm = true;
      }
  }

  void wait_for_events() {
    std::vector<pollfd> fds{{signal_wake_fd(), POLLIN, 0}};
    for (const Running& r : running_) {
      fds.push_back({r.out_open ? r.child.out_fd : -1, POLLIN, 0});
      fds.push_back({r.err_open ? r.child.err_fd : -1, POLLIN, 0});
    }
    // A status line is kept moving; otherwise only events matter, but a
    // child is looked at now and then in case its end went unnoticed.
    const int timeout_ms = settings_.progress == ProgressMode::status_line ? 200 : 1000;
    if (::poll(fds.data(), fds.size(), timeout_ms) < 0 && errno != EINTR) return;
    for (std::size_t k = 0; k < running_.size(); ++k) {
      Running& r = running_[k];
      if (r.out_open && fds[1 + 2 * k].revents) r.out_open = read_available(r.child.out_fd, r.out, kept_output);
      if (r.err_open && fds[2 + 2 * k].revents) r.err_open = read_available(r.child.err_fd, r.err, kept_output);
    }
  }

  // The conversions that have ended, taken out of the running ones.
  std::vector<Running> reap() {
    std::vector<Running> ended;
    for (std::size_t k = 0; k < running_.size();) {
      Running& r = running_[k];
      int status = 0;
      if (!r.wait_status && ::waitpid(r.child.pid, &status, WNOHANG) == r.child.pid) r.wait_status = status;
      if (!r.wait_status) {
        ++k;
        continue;
      }
      // Its writes are all in the pipes now; whatever a leftover process
      // holds open is not waited for.
      if (r.out_open) read_available(r.child.out_fd, r.out, kept_output);
      if (r.err_open) read_available(r.child.err_fd, r.err, kept_output);
      close_pipes(r);
      ended.push_back(std::move(r));
      running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(k));
    }
    return ended;
  }

  // The conversions that ended together, judged and recorded at once.
  void finish_runs(const std::vector<Running>& ended) {
    std::vector<RecordLine> lines;
    for (const Running& r : ended) lines.push_back(finish_run(r));
    record(lines);
    for (const Running& r : ended) progress_->case_ended(results_[r.index]);
  }

  // The result of a conversion that ended and the line that records it.
  RecordLine finish_run(const Running& r) {
    const Case& c = cases_[r.index];
    CaseResult& result = results_[r.index];
    const std::vector<FileState> after = output_states(c.dir, c.base);
    RunTrace trace;
    trace.wait_status = *r.wait_status;
    trace.list_rewritten = after.back().exists && !(after.back() == r.outputs_before.back());
    if (trace.list_rewritten) trace.list = read_list_end(c.path(std::string(list_suffix)));
    trace.out = r.out;
    trace.err = r.err;
    trace.sent_sigterm = r.sent_sigterm;
    judge_run(trace, result);
    result.seconds = std::chrono::duration<double>(Clock::now() - r.start).count();
    result.bytes_in = c.bytes_in;
    result.bytes_out = bytes_written(r.outputs_before, after);
    result.err = text_end(r.err, recorded_err);
    done_[r.index] = true;

    RecordLine line;
    line.result = result;
    line.path = c.key;
    line.settings = settings_.identity;
    line.qxin = r.inputs.qxin;
    line.inputs = r.inputs.marks;
    for (std::size_t k = 0; k < after.size(); ++k)
      if (after[k].exists && !(after[k] == r.outputs_before[k]))
        line.outputs.push_back({std::string(output_suffixes[k]), after[k].size, after[k].mtime_ns});
    return line;
  }

  void update_progress() {
    if (settings_.progress != ProgressMode::status_line) return;
    std::uint64_t bytes = 0;
    for (const Running& r : running_) bytes += std::min(bytes_read_by(r.child.pid), cases_[r.index].bytes_in);
    progress_->update(running_.size(), bytes);
  }

  const std::vector<Case>& cases_;
  const RunSettings& settings_;
  RecordFile& record_;
  std::string record_error_;
  std::vector<CaseResult> results_;
  std::vector<char> done_ = std::vector<char>(cases_.size(), 0);
  std::vector<std::size_t> skipped_;
  std::vector<Running> running_;
  std::size_t next_ = 0;
  StopRequest stop_;
  std::optional<Progress> progress_;
};

}  // namespace

BatchOutcome run_batch(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before,
                       const RunSettings& settings, RecordFile& record) {
  return Batch(cases, done_before, settings, record).run();
}

}  // namespace qxbatch
