// Writes a whole buffer to a file descriptor, retrying partial writes and
// interrupted calls; false when the system refuses (disk full, I/O error).
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace qx {

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

}  // namespace qx
