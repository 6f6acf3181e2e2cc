// The cases of a study: each argument is a base name (DIR/NAME, with or
// without the .TP18, .TP19 or .qxin ending) or a directory that holds one
// case. Discovery works out where each case runs and what it answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxbatch {

struct Case {
  std::string name;      // as given: the case column of the summary
  std::string dir;       // the directory qxconv runs in
  std::string base;      // the base name inside `dir`
  std::string qxin;      // answer (1), relative to `dir`
  std::string result;    // answer (2): the base name with the ending of a result file
  std::string problem;   // why the case cannot be run; empty when it can
  std::string key;       // the case in the record: its directory, without links, and base name
  std::uint64_t bytes_in = 0;  // the input data file and result files as they are now

  std::string path(const std::string& suffix) const { return dir + "/" + base + suffix; }
  std::string qxin_path() const { return qxin.starts_with('/') ? qxin : dir + "/" + qxin; }
};

// The input data file of a case: "{}.qxin" by default; "{}" stands for the
// base name, and a pattern with *, ? or [ is matched in the case's directory
// and must match exactly one file.
inline constexpr const char* default_qxin_pattern = "{}.qxin";

struct Discovery {
  std::vector<Case> cases;
  std::vector<std::string> converted_files;  // arguments that name a file qxconv writes
};

// One case per argument, in order; arguments that name a case already
// listed (the same directory, reached by any path, and base name) are
// dropped, so that no case is converted twice, and so are arguments that
// name a converted file, a text twin or a list file, which are no cases.
Discovery discover_cases(const std::vector<std::string>& arguments, const std::string& qxin_pattern);

// Whether an argument names a file that qxconv writes: its name ends as one
// of them, or its base name ends with the _QX2D, _QXSH or list file mark.
bool names_converted_file(const std::string& argument);

}  // namespace qxbatch
