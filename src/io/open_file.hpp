// Opening a file at the descriptor level for the readers and the
// read-write files: a directory is refused like a missing file would be,
// since reading it would end the run with nothing converted.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "io/status.hpp"

namespace qx {

// Opens path with flags; on success fd and st describe the open file.
// Returns the status number of the failure otherwise (fd is then closed).
inline int open_file(const std::string& path, int flags, int& fd, struct stat& st) {
  fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return iostat::from_open_errno(errno);
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return iostat::open_failed;
  }
  return iostat::ok;
}

}  // namespace qx
