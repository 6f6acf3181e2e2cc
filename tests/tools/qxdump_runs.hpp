// Running the qxdump program from the tests, and what its exports leave
// behind in a directory.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace qxtools {

inline qxtest::CommandResult qxdump(std::vector<std::string> args) {
  args.insert(args.begin(), QXDUMP_PATH);
  return qxtest::run_program(args);
}

// The names in a directory, sorted.
inline std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> n;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n.push_back(e.path().filename().string());
  std::sort(n.begin(), n.end());
  return n;
}

// An export of `input` into `out` (both names in `dir`) stopped by SIGTERM
// once its hidden temporary file exists; the input is removed afterwards.
// The shell prints "status N" with qxdump's exit status.
inline qxtest::CommandResult export_stopped_midway(const std::string& dir, const std::string& option,
                                                   const std::string& out, const std::string& input) {
  std::string pattern = "^\\.";  // grep pattern of the temporary name: the name, dots escaped
  for (char c : out) pattern += c == '.' ? std::string("\\.") : std::string(1, c);
  return qxtest::run_shell("'" + std::string(QXDUMP_PATH) + "' " + option + " " + out + " " + input +
                               " & pid=$!\n"
                               "until ls -A | grep -q '" + pattern + "\\.'; do sleep 0.01; done\n"
                               "kill -TERM $pid; wait $pid; echo \"status $?\"; rm " + input,
                           "", dir);
}

}  // namespace qxtools
