// Exclusive locks on files (flock, or LockFileEx on Windows), held until
// released: a run takes them on the files of its case so that a second run
// of the same case is kept out instead of writing the same outputs at the
// same time. No lock file is made; the lock lives on the file's own open and
// goes with the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/os_file.hpp"

namespace qx {

class FileLocks {
 public:
  enum class Outcome : std::uint8_t {
    locked,   // held until release()
    skipped,  // the file cannot be opened or is not a regular file: nothing held
    busy,     // another open of the file holds a lock on it
    failed,   // the file system does not lock it (the system's error number is given)
  };

  FileLocks() = default;
  FileLocks(const FileLocks&) = delete;
  FileLocks& operator=(const FileLocks&) = delete;
  ~FileLocks() { release(); }

  // Opens path for reading without waiting for a writer (a FIFO) and takes
  // an exclusive lock without waiting for another holder. `error` receives
  // the system's error number for `failed`.
  Outcome lock(const std::string& path, int& error);
  // Gives up every lock held.
  void release();

 private:
  std::vector<os::File> files_;
};

}  // namespace qx
