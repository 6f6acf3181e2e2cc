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
// Returns the status number of the failure otherwise (fd is then closed),
// with errno telling why.
inline int open_file(const std::string& path, int flags, int& fd, struct stat& st) {
  fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return iostat::from_open_errno(errno);
  const bool unknown = ::fstat(fd, &st) != 0;
  if (unknown || S_ISDIR(st.st_mode)) {
    const int error = unknown ? errno : EISDIR;
    ::close(fd);
    fd = -1;
    errno = error;
    return iostat::open_failed;
  }
  return iostat::ok;
}

// Opens an input file for reading. Only a regular file (or a link to one) is
// taken: a FIFO, socket or device would block the run or never end, so it is
// refused as an open failure, with errno 0: the system refused nothing. The
// open itself does not wait for a FIFO's writer; reads of the regular file
// then block as usual.
inline int open_input_file(const std::string& path, int& fd, struct stat& st) {
  if (int status = open_file(path, O_RDONLY | O_NONBLOCK, fd, st); status != iostat::ok) return status;
  const int flags = ::fcntl(fd, F_GETFL);
  if (!S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = S_ISREG(st.st_mode) ? errno : 0;
    ::close(fd);
    fd = -1;
    errno = error;
    return iostat::open_failed;
  }
  return iostat::ok;
}

// The name leads to something other than a regular file (a directory, FIFO,
// socket or device), which open_input_file refuses.
inline bool names_special_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace qx
