#include "child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <cstring>

#include "stop_signals.hpp"

namespace qxbatch {
namespace {

// What the child could not do, sent on a close-on-exec pipe: an exec that
// works closes it without a word.
struct StartFailure {
  int stage;  // 1 entering the directory, 2 executing the program
  int error;
};

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

[[noreturn]] void fail_in_child(int report_fd, int stage) {
  const StartFailure f{stage, errno};
  [[maybe_unused]] const ssize_t n = ::write(report_fd, &f, sizeof f);
  ::_exit(127);
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void become(const std::vector<char*>& args, const char* dir, int in_fd, int out_fd, int err_fd,
                         int report_fd, pid_t parent) {
  ::setpgid(0, 0);
  // A conversion must not outlive a qxbatch that was killed outright.
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD, SIGQUIT}) ::sigaction(sig, &dfl, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0) fail_in_child(report_fd, 2);
  if (dir[0] && ::chdir(dir) != 0) fail_in_child(report_fd, 1);
  if (std::strchr(args[0], '/'))
    ::execv(args[0], args.data());
  else
    ::execvp(args[0], args.data());
  fail_in_child(report_fd, 2);
}

bool is_executable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool CommandOutput::succeeded() const {
  return start_error.empty() && WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
}

std::string start_child(const std::vector<std::string>& argv, const std::string& dir, const std::string& input,
                        Child& child) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1}, report[2] = {-1, -1};
  auto close_all = [&] {
    for (int* p : {in, out, err, report}) {
      close_fd(p[0]);
      close_fd(p[1]);
    }
  };
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC) || ::pipe2(report, O_CLOEXEC)) {
    const std::string why = std::strerror(errno);
    close_all();
    return "cannot make a pipe: " + why;
  }
  // The answers fit in the pipe, so they are written before the program starts.
  if (!input.empty() && ::write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    const std::string why = std::strerror(errno);
    close_all();
    return "cannot write the answers: " + why;
  }
  close_fd(in[1]);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    const std::string why = std::strerror(errno);
    close_all();
    return "cannot start " + argv[0] + ": " + why;
  }
  if (pid == 0) become(args, dir.c_str(), in[0], out[1], err[1], report[1], parent);
  // Also here, so that the group exists before anything signals it.
  ::setpgid(pid, pid);
  close_fd(in[0]);
  close_fd(out[1]);
  close_fd(err[1]);
  close_fd(report[1]);

  StartFailure failure{};
  ssize_t got;
  do got = ::read(report[0], &failure, sizeof failure);
  while (got < 0 && errno == EINTR);
  close_fd(report[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    close_all();
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return failure.stage == 1 ? "cannot enter " + dir + ": " + std::strerror(failure.error)
                              : "cannot run " + argv[0] + ": " + std::strerror(failure.error);
  }
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  ::fcntl(err[0], F_SETFL, O_NONBLOCK);
  child = {pid, out[0], err[0]};
  return {};
}

bool read_available(int fd, std::string& text, std::size_t limit) {
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<std::size_t>(n));
      if (text.size() > limit) text.erase(0, text.size() - limit);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);  // more may come; else the end
  }
}

std::string describe_wait_status(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    const char* name = ::sigabbrev_np(WTERMSIG(status));
    return std::string("signal ") + (name ? std::string("SIG") + name : std::to_string(WTERMSIG(status)));
  }
  return "wait status " + std::to_string(status);
}

std::string CommandOutput::failure(const std::string& program, const CommandLimits& limits) const {
  if (!start_error.empty()) return start_error;
  if (timed_out) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", limits.timeout_s);
    return program + " did not answer within " + seconds + " s";
  }
  if (interrupted) return program + " was stopped by an interrupt";
  std::string said = err;
  while (!said.empty() && (said.back() == '\n' || said.back() == ' ' || said.back() == '\r')) said.pop_back();
  said = said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1);
  // Slurm's commands name themselves: "squeue: error: ...".
  const std::string name = program.substr(program.rfind('/') + 1);
  if (!said.starts_with(name + ":")) said = program + (said.empty() ? "" : ": " + said);
  return said + " (" + describe_wait_status(wait_status) + ")";
}

CommandOutput run_command(const std::vector<std::string>& argv, const CommandLimits& limits) {
  using Clock = std::chrono::steady_clock;
  CommandOutput r;
  Child c;
  r.start_error = start_child(argv, "", "", c);
  if (!r.start_error.empty()) return r;
  constexpr std::size_t limit = std::size_t{1} << 20;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(limits.timeout_s > 0 ? limits.timeout_s : 0));
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    int wait_ms = -1;
    if (limits.timeout_s > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        r.timed_out = true;
        break;
      }
      wait_ms = static_cast<int>(std::min<long long>(left, 1000));
    }
    pollfd fds[3] = {{out_open ? c.out_fd : -1, POLLIN, 0},
                     {err_open ? c.err_fd : -1, POLLIN, 0},
                     {limits.stop_on_interrupt ? signal_wake_fd() : -1, POLLIN, 0}};
    if (::poll(fds, 3, wait_ms) < 0 && errno != EINTR) break;
    if (out_open && fds[0].revents) out_open = read_available(c.out_fd, r.out, limit);
    if (err_open && fds[1].revents) err_open = read_available(c.err_fd, r.err, limit);
    if (limits.stop_on_interrupt && take_stop_request().stop_launching()) {
      r.interrupted = true;
      break;
    }
  }
  close_fd(c.out_fd);
  close_fd(c.err_fd);
  if (r.timed_out || r.interrupted) {
    ::kill(-c.pid, SIGTERM);
    for (int i = 0; i < 50 && ::waitpid(c.pid, &r.wait_status, WNOHANG) == 0; ++i) ::usleep(20000);
    ::kill(-c.pid, SIGKILL);
  }
  while (::waitpid(c.pid, &r.wait_status, 0) < 0 && errno == EINTR) {
  }
  return r;
}

std::string find_program(const std::string& name) {
  if (name.find('/') != std::string::npos) return is_executable(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (is_executable(candidate)) return candidate;
    if (colon == std::string::npos) return {};
    start = colon + 1;
  }
}

}  // namespace qxbatch
