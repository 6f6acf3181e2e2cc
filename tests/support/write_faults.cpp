#include "support/write_faults.hpp"

#include <sys/syscall.h>
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

// Every write() of the test binary passes through here; only the files
// under a budget are affected.
extern "C" ssize_t write(int fd, const void* data, size_t n) {
  auto& b = budgets();
  if (!b.empty()) {
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t len = readlink(link, target, sizeof target - 1);
    if (len > 0) {
      auto it = b.find(std::string(target, static_cast<std::size_t>(len)));
      if (it != b.end()) {
        if (it->second == 0) {
          errno = ENOSPC;
          return -1;
        }
        if (n > it->second) n = it->second;
        it->second -= n;
      }
    }
  }
  return syscall(SYS_write, fd, data, n);
}
