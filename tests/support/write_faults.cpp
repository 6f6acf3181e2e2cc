#include "support/write_faults.hpp"

#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::map<std::string, std::size_t>& budgets() {
  static std::map<std::string, std::size_t> b;
  return b;
}

std::string canonical(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

}  // namespace

namespace qxtest {

WriteBudget::WriteBudget(const std::string& path, std::size_t bytes) : path_(canonical(path)) {
  budgets()[path_] = bytes;
}

WriteBudget::~WriteBudget() { budgets().erase(path_); }

}  // namespace qxtest

namespace {

// The budget of the file behind fd, or null when it has none.
std::size_t* budget_of(int fd) {
  auto& b = budgets();
  if (b.empty()) return nullptr;
  char link[64];
  char target[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t len = readlink(link, target, sizeof target - 1);
  if (len <= 0) return nullptr;
  auto it = b.find(std::string(target, static_cast<std::size_t>(len)));
  return it == b.end() ? nullptr : &it->second;
}

}  // namespace

// Every write() and writev() of the test binary passes through here; only
// the files under a budget are affected.
extern "C" ssize_t write(int fd, const void* data, size_t n) {
  if (std::size_t* budget = budget_of(fd)) {
    if (*budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    if (n > *budget) n = *budget;
    *budget -= n;
  }
  return syscall(SYS_write, fd, data, n);
}

extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
  std::size_t* budget = budget_of(fd);
  if (!budget || count <= 0 || count > IOV_MAX) return syscall(SYS_writev, fd, parts, count);
  if (*budget == 0) {
    errno = ENOSPC;
    return -1;
  }
  // The parts that fit, the last one cut where the budget ends.
  struct iovec fit[IOV_MAX];
  int used = 0;
  std::size_t room = *budget;
  for (int i = 0; i < count && room > 0; ++i, ++used) {
    fit[i] = parts[i];
    if (fit[i].iov_len > room) fit[i].iov_len = room;
    room -= fit[i].iov_len;
  }
  const ssize_t w = syscall(SYS_writev, fd, fit, used);
  if (w > 0) *budget -= static_cast<std::size_t>(w);
  return w;
}
