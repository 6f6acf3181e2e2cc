// Helpers of the buffered writers at the file descriptor: writing whole
// buffers, and emptying a file that is written anew.
#pragma once

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace qx {

// Writes a whole buffer, retrying partial writes and interrupted calls;
// false when the system refuses (disk full, I/O error).
inline bool write_all(int fd, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n > (std::size_t{1} << 30) ? (std::size_t{1} << 30) : n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Writes the parts one after the other, in one call when the system takes
// them all; the parts are used up in the process. False as above.
inline bool write_all(int fd, iovec* parts, int count) {
  while (count > 0) {
    ssize_t w = ::writev(fd, parts, count);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    auto done = static_cast<std::size_t>(w);
    for (; count > 0 && done >= parts->iov_len; ++parts, --count) done -= parts->iov_len;
    if (count > 0) {
      parts->iov_base = static_cast<unsigned char*>(parts->iov_base) + done;
      parts->iov_len -= done;
    }
  }
  return true;
}

// Empties a regular file before its first write; false when that fails.
// An empty file is left alone: ext4 takes a cut to length zero for a file
// being replaced and writes all of it out at the close, which would make
// every new output file cost a wait for the disk.
inline bool empty_for_rewrite(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || st.st_size == 0) return true;
  return ::ftruncate(fd, 0) == 0;
}

}  // namespace qx
