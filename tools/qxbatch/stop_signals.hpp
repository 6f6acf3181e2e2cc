// The signals that stop a batch. A first SIGINT asks to start nothing more,
// a second one, SIGTERM or SIGHUP to end the running conversions too. The
// handlers only count and wake the main loop through a pipe; SIGCHLD wakes
// it as well.
#pragma once

namespace qxbatch {

struct StopRequest {
  int interrupts = 0;   // SIGINT received
  int terminated = 0;   // SIGTERM or SIGHUP received: its number
  bool stop_launching() const { return interrupts > 0 || terminated != 0; }
  bool end_running() const { return interrupts > 1 || terminated != 0; }
  // The exit status of a stopped batch: 128 + the signal.
  int exit_status() const;
};

// Installs the handlers (SIGHUP stays ignored when it was, as under nohup)
// and ignores SIGPIPE.
void install_stop_signals();

// The end of the pipe to poll for readability.
int signal_wake_fd();

// Empties the pipe and returns what has been received so far.
StopRequest take_stop_request();

}  // namespace qxbatch
