// Starting programs: each in a process group of its own, so that a Ctrl-C
// at the terminal reaches only qxbatch, with its standard input filled
// beforehand and its standard output and error on pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qxbatch {

struct Child {
  pid_t pid = -1;
  int out_fd = -1, err_fd = -1;  // read ends, non-blocking, close-on-exec
};

// Starts `argv` (argv[0] a path, or a name looked up on PATH) in `dir` with
// `input` (at most a pipe's capacity) on its standard input. Empty on
// success; otherwise why it could not be started, and nothing is running.
std::string start_child(const std::vector<std::string>& argv, const std::string& dir, const std::string& input,
                        Child& child);

// Reads what is there without waiting; false at the end of the stream.
// Keeps only the last `limit` bytes of `text`.
bool read_available(int fd, std::string& text, std::size_t limit);

// A wait status as a word: "exit status N" or "signal NAME".
std::string describe_wait_status(int status);

// How long a program may take, and whether an interrupt (see
// stop_signals.hpp) ends it.
struct CommandLimits {
  double timeout_s = 0;  // 0: no limit
  bool stop_on_interrupt = false;
};

struct CommandOutput {
  std::string start_error;  // empty when the program ran
  int wait_status = 0;
  std::string out, err;
  bool timed_out = false, interrupted = false;  // and so it was ended
  bool succeeded() const;
  // Why it did not succeed, in one line: "squeue did not answer within
  // 60 s", its last words on standard error and its exit status, ...
  std::string failure(const std::string& program, const CommandLimits& limits) const;
};

// Runs a program and captures what it writes. One that outlives its limits
// is sent SIGTERM, and SIGKILL a second later, with its process group.
CommandOutput run_command(const std::vector<std::string>& argv, const CommandLimits& limits = {});

// The program as it would be run: `name` itself when it holds a slash,
// otherwise the first executable file of that name on PATH; empty if none.
std::string find_program(const std::string& name);

}  // namespace qxbatch
