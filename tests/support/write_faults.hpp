// Fault injection for output files: a budget of bytes that one file accepts
// before every further write to it fails with ENOSPC, as on a disk that
// fills up at a chosen point. The test binary interposes the system's
// write() and writev(), so the converter's own code meets the failure
// exactly where the budget runs out, in one file only.
#pragma once

#include <cstddef>
#include <string>

namespace qxtest {

class WriteBudget {
 public:
  // Writes to `path` (as the file system resolves it) succeed for `bytes`
  // bytes in all; the write that crosses the budget writes what still fits.
  WriteBudget(const std::string& path, std::size_t bytes);
  ~WriteBudget();
  WriteBudget(const WriteBudget&) = delete;
  WriteBudget& operator=(const WriteBudget&) = delete;

 private:
  std::string path_;
};

}  // namespace qxtest
