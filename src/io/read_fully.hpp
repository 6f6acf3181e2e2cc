// The reading counterpart of write_all.hpp: pread until the bytes asked for
// are in, the end of the file is met, or the system refuses.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace qx {

// pread retried over partial and interrupted reads up to n bytes: the bytes
// read, fewer only at the end of the file, or -1 on an I/O error. One call
// moves at most a GiB, as Linux reads no more at once.
inline long long pread_fully(int fd, std::uint64_t off, void* dst, std::size_t n) {
  constexpr std::size_t max_call_bytes = std::size_t{1} << 30;
  auto* p = static_cast<unsigned char*>(dst);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, p + got, std::min(n - got, max_call_bytes), static_cast<off_t>(off + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

}  // namespace qx
