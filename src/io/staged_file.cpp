#include "io/staged_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <filesystem>

namespace qx {

namespace {

// A nameless file in dir, open for reading and writing, or -1.
int open_nameless(const std::string& dir) {
  return ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace

// A name of this process that no other file has: a hidden name beside the
// target, numbered until one is free.
std::string StagedFile::temp_name_for(const std::string& target, int attempt) const {
  const std::string base = target.substr(target.find_last_of('/') + 1);
  return directory_of(target) + "/." + base + ".qxconv-" + std::to_string(::getpid()) + "-" + std::to_string(fd_) +
         "-" + std::to_string(attempt);
}

std::string directory_of(const std::string& name) {
  std::string dir = std::filesystem::path(name).parent_path().string();
  return dir.empty() ? "." : dir;
}

StagedFile::~StagedFile() { drop(); }

// The writers open the file again through its /proc path; a system without
// /proc fails that open, and the caller then writes in turn.
void StagedFile::adopt(int fd) {
  fd_ = fd;
  path_ = "/proc/self/fd/" + std::to_string(fd);
}

bool StagedFile::stage_for(const std::string& target) {
  drop();
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0) return false;
  // A link or a file with other names may be another output of the run
  // under a second name, which is written meanwhile: only a file of its own
  // is written ahead of its turn, in place or aside.
  if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return false;
  if (st.st_size == 0) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
      ::close(fd);
      return false;
    }
    in_place_ = true;
    target_ = target;
    adopt(fd);
    return true;
  }
  // A file of another owner would change hands in the rename, and a name
  // too long for the temporary name beside it would fail only at the end
  // (room is left for a larger descriptor and attempt number).
  const std::size_t temp_name_length = temp_name_for(target, 0).size() - directory_of(target).size() - 1;
  if (st.st_uid != ::geteuid() || temp_name_length + 8 > NAME_MAX) return false;
  const int fd = open_nameless(directory_of(target));
  if (fd < 0) return false;
  // The group first: a change of group clears the set-group-ID bit.
  if ((st.st_gid != ::getegid() && ::fchown(fd, -1, st.st_gid) != 0) || ::fchmod(fd, st.st_mode & 07777) != 0) {
    ::close(fd);
    return false;
  }
  target_ = target;
  adopt(fd);
  return true;
}

bool StagedFile::make_scratch(const std::string& dir) {
  drop();
  const int fd = open_nameless(dir);
  if (fd < 0) return false;
  adopt(fd);
  return true;
}

bool StagedFile::stage_new(const std::string& target, bool by_name) {
  drop();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  int fd = by_name ? -1 : open_nameless(directory_of(target));
  if (fd >= 0) {
    if (::fchmod(fd, 0666 & ~mask) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
    target_ = target;
    adopt(fd);
    return true;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = temp_name_for(target, attempt);
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      target_ = target;
      temp_name_ = name;
      adopt(fd);
      if (by_name) path_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

long long StagedFile::size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

bool StagedFile::link_beside() {
  if (in_place_) return fd_ >= 0 && !target_.empty();
  if (fd_ < 0 || target_.empty()) return false;
  if (!temp_name_.empty()) return true;  // named when it was made
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = temp_name_for(target_, attempt);
    if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_name_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool StagedFile::replace_target() {
  if (in_place_ && !target_.empty()) {
    target_.clear();
    return true;
  }
  if (temp_name_.empty()) return false;
  if (::rename(temp_name_.c_str(), target_.c_str()) != 0) return false;
  temp_name_.clear();
  target_.clear();  // in place: nothing is left to drop but the descriptor
  return true;
}

int StagedFile::drop() {
  // Emptied only when something was written: a cut to length zero also
  // makes ext4 write the file out.
  int error = 0;
  if (in_place_ && !target_.empty() && size() > 0 && ::ftruncate(fd_, 0) != 0) error = errno;
  in_place_ = false;
  if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
  temp_name_.clear();
  target_.clear();
  path_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  return error;
}

}  // namespace qx
