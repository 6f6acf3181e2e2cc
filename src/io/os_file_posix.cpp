// The files of os_file.hpp on POSIX systems (Linux): descriptors, pread and
// writev, flock, nameless files (O_TMPFILE) given a name by linkat.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "io/os_file.hpp"
#include "io/status.hpp"

namespace qx::os {

namespace {

// One call moves at most a GiB, as Linux reads and writes no more at once.
constexpr std::size_t max_call_bytes = std::size_t{1} << 30;

int fd_of(File f) { return static_cast<int>(f); }

void take_facts(const struct stat& st, FileFacts& facts) {
  facts.type = S_ISREG(st.st_mode)   ? FileType::regular
               : S_ISDIR(st.st_mode) ? FileType::directory
               : S_ISLNK(st.st_mode) ? FileType::link
                                     : FileType::other;
  facts.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  facts.links = static_cast<std::uint64_t>(st.st_nlink);
  facts.owner = static_cast<std::uint32_t>(st.st_uid);
  facts.group = static_cast<std::uint32_t>(st.st_gid);
  facts.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
}

// Opens path with flags; a directory is refused like a missing file would
// be, since reading it would end the run with nothing converted.
int open_checked(const std::string& path, int flags, int& fd, FileFacts& facts) {
  fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return iostat::from_open_errno(errno);
  struct stat st {};
  const bool unknown = ::fstat(fd, &st) != 0;
  if (unknown || S_ISDIR(st.st_mode)) {
    const int error = unknown ? errno : EISDIR;
    ::close(fd);
    fd = -1;
    errno = error;
    return iostat::open_failed;
  }
  take_facts(st, facts);
  return iostat::ok;
}

}  // namespace

std::string error_text(int error) { return std::strerror(error); }
int last_error() { return errno; }
bool is_missing(int error) { return error == ENOENT || error == ENOTDIR; }
bool is_taken(int error) { return error == EEXIST; }

int facts_of(const std::string& path, bool follow_links, FileFacts& facts) {
  struct stat st {};
  if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return errno;
  take_facts(st, facts);
  return 0;
}

int facts_of(File f, FileFacts& facts) {
  struct stat st {};
  if (::fstat(fd_of(f), &st) != 0) return errno;
  take_facts(st, facts);
  return 0;
}

bool owned_by_me(const FileFacts& facts) { return facts.owner == ::geteuid(); }

int take_group_and_mode(File f, const FileFacts& facts) {
  // The group first: a change of group clears the set-group-ID bit.
  const int fd = fd_of(f);
  if (facts.group != ::getegid() && ::fchown(fd, static_cast<uid_t>(-1), facts.group) != 0) return errno;
  return ::fchmod(fd, facts.mode) != 0 ? errno : 0;
}

// The open itself does not wait for a FIFO's writer; reads of the regular
// file then block as usual.
int open_for_reading(const std::string& path, File& f, FileFacts& facts) {
  int fd = -1;
  if (int status = open_checked(path, O_RDONLY | O_NONBLOCK, fd, facts); status != iostat::ok) return status;
  const int flags = ::fcntl(fd, F_GETFL);
  if (facts.type != FileType::regular || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = facts.type == FileType::regular ? errno : 0;
    ::close(fd);
    errno = error;
    return iostat::open_failed;
  }
  f = fd;
  return iostat::ok;
}

int open_for_writing(const std::string& path, File& f) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return iostat::from_open_errno(errno);
  f = fd;
  return iostat::ok;
}

int open_for_update(const std::string& path, File& f, FileFacts& facts) {
  int fd = -1;
  if (int status = open_checked(path, O_RDWR | O_CREAT, fd, facts); status != iostat::ok) return status;
  f = fd;
  return iostat::ok;
}

int open_existing(const std::string& path, File& f) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  f = fd;
  return 0;
}

bool open_empty_in_place(const std::string& path, File& f) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
    ::close(fd);
    return false;
  }
  f = fd;
  return true;
}

bool close_file(File f) { return ::close(fd_of(f)) == 0; }

long long read_at(File f, std::uint64_t offset, void* dst, std::size_t n) {
  auto* p = static_cast<unsigned char*>(dst);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd_of(f), p + got, std::min(n - got, max_call_bytes), static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

long long read_next(File f, void* dst, std::size_t n) {
  for (;;) {
    const ssize_t r = ::read(fd_of(f), dst, std::min(n, max_call_bytes));
    if (r >= 0) return r;
    if (errno != EINTR) return -1;
  }
}

bool rewind_file(File f) { return ::lseek(fd_of(f), 0, SEEK_SET) == 0; }

bool write_all(File f, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd_of(f), p, std::min(n, max_call_bytes));
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

bool write_all_at(File f, std::uint64_t offset, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::pwrite(fd_of(f), p + done, std::min(n - done, max_call_bytes), static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

bool write_all(File f, std::span<WritePart> parts) {
  if (parts.size() > max_write_parts) return false;
  iovec vec[max_write_parts];
  int count = 0;
  for (const WritePart& part : parts) vec[count++] = {const_cast<void*>(part.data), part.bytes};
  iovec* v = vec;
  while (count > 0) {
    const ssize_t w = ::writev(fd_of(f), v, count);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    auto done = static_cast<std::size_t>(w);
    for (; count > 0 && done >= v->iov_len; ++v, --count) done -= v->iov_len;
    if (count > 0) {
      v->iov_base = static_cast<unsigned char*>(v->iov_base) + done;
      v->iov_len -= done;
    }
  }
  return true;
}

int set_size(File f, std::uint64_t size) { return ::ftruncate(fd_of(f), static_cast<off_t>(size)) == 0 ? 0 : errno; }

// An advisory lock (flock) on the file's own open description, which goes
// with the process.
LockOutcome lock_exclusive(File f, int& error) {
  error = 0;
  int r;
  do {
    r = ::flock(fd_of(f), LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r == 0) return LockOutcome::locked;
  error = errno;
  return error == EWOULDBLOCK ? LockOutcome::busy : LockOutcome::failed;
}

// Closing the descriptor gives the lock up at once.
void unlock(File) {}

int create_aside(const std::string& dir, const std::string&, File& f, bool& named) {
  named = false;
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  f = fd;
  return 0;
}

int create_scratch(const std::string& dir, const std::string& hidden_name, File& f, bool& named) {
  return create_aside(dir, hidden_name, f, named);
}

int open_temporary(File& f) {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // File systems without unnamed files: make one and remove its name at once.
    std::string name = dir + "/qxscratch-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    ::unlink(name.c_str());
  }
  f = fd;
  return 0;
}

std::FILE* temporary_stream() { return std::tmpfile(); }

int create_unique_file(const std::string& prefix, std::string& name, File& f) {
  name = prefix + "XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  // mkstemp makes the file private; it gets what a new file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  f = fd;
  return 0;
}

// The writers open the file again through its /proc path; a system without
// /proc fails that open.
std::string reopen_path(File f, const std::string&) { return "/proc/self/fd/" + std::to_string(fd_of(f)); }

int link_file(const std::string& path, const std::string& name) {
  return ::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int replace_file(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int remove_file(const std::string& name) { return ::unlink(name.c_str()) == 0 ? 0 : errno; }

bool free_bytes(const std::string& dir, std::uint64_t& bytes) {
  struct statvfs fs {};
  if (::statvfs(dir.c_str(), &fs) != 0) return false;
  bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  return true;
}

const std::string_view path_separators = "/";

std::string directory_of(const std::string& name) {
  std::string dir = std::filesystem::path(name).parent_path().string();
  return dir.empty() ? "." : dir;
}

}  // namespace qx::os
