#include "stop_signals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace qxbatch {
namespace {

volatile sig_atomic_t interrupt_count = 0;
volatile sig_atomic_t terminate_signal = 0;
int wake_pipe[2] = {-1, -1};

void on_signal(int sig) {
  const int saved = errno;
  if (sig == SIGINT) interrupt_count = interrupt_count + 1;
  if (sig == SIGTERM || sig == SIGHUP) terminate_signal = sig;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int StopRequest::exit_status() const { return 128 + (terminated ? terminated : SIGINT); }

void install_stop_signals() {
  if (wake_pipe[0] < 0 && ::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) wake_pipe[0] = wake_pipe[1] = -1;
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sa.sa_flags = SA_RESTART;
  ::sigemptyset(&sa.sa_mask);
  struct sigaction old {};
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
    if (sig == SIGHUP && ::sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

int signal_wake_fd() { return wake_pipe[0]; }

StopRequest take_stop_request() {
  char buf[64];
  while (wake_pipe[0] >= 0 && ::read(wake_pipe[0], buf, sizeof buf) > 0) {
  }
  return {static_cast<int>(interrupt_count), static_cast<int>(terminate_signal)};
}

}  // namespace qxbatch
