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

struct CommandOutput {
  std::string start_error;  // empty when the program ran
  int wait_status = 0;
  std::string out, err;
  bool succeeded() const;
};

// Runs a program to its end and captures what it writes.
CommandOutput run_command(const std::vector<std::string>& argv);

// The program as it would be run: `name` itself when it holds a slash,
// otherwise the first executable file of that name on PATH; empty if none.
std::string find_program(const std::string& name);

}  // namespace qxbatch
