#include "io/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qx {

FileLocks::Outcome FileLocks::lock(const std::string& path, int& error) {
  error = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Outcome::skipped;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Outcome::skipped;
  }
  int r;
  do {
    r = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r == 0) {
    fds_.push_back(fd);
    return Outcome::locked;
  }
  error = errno;
  ::close(fd);
  return error == EWOULDBLOCK ? Outcome::busy : Outcome::failed;
}

void FileLocks::release() {
  for (int fd : fds_) ::close(fd);
  fds_.clear();
}

}  // namespace qx
