// Helpers shared by the tests: temporary directories, whole files, running
// programs with piped input, and compiling Fortran reference programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxtest {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);

struct CommandResult {
  int exit_status = -1;  // exit code, or 128 + signal number
  std::string out;       // standard output
  std::string err;       // standard error
};

// Runs argv[0] with the arguments in directory `dir`, feeding `input` to its
// standard input.
CommandResult run_program(const std::vector<std::string>& argv, const std::string& input = {},
                          const std::string& dir = {});
// Runs a shell command line in `dir`.
CommandResult run_shell(const std::string& command, const std::string& input = {}, const std::string& dir = {});

// Compiles a Fortran source text with gfortran into `exe`; false with the
// compiler's messages in `log` when it fails or gfortran is missing.
bool compile_fortran(const std::string& source, const std::string& exe, std::string& log);

}  // namespace qxtest
