#include "io/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/open_file.hpp"
#include "io/status.hpp"
#include "io/write_all.hpp"

namespace qx {

namespace {
constexpr std::size_t buffer_bytes = std::size_t{1} << 20;
// Chunks at least this long (layouts hand over long arrays in such chunks)
// go to the file from where they are, in one call with what the buffer
// holds.
constexpr std::size_t direct_bytes = std::size_t{128} << 10;
}  // namespace

// ---- TextWriter ----

TextWriter::~TextWriter() { close(); }

int TextWriter::open(const std::string& path) {
  close();
  failure_ = {};
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    failure_ = IoFailure::from_system(errno);
    return iostat::from_open_errno(errno);
  }
  fd_ = fd;
  len_ = 0;
  replaced_ = false;
  failed_ = iostat::ok;
  return iostat::ok;
}

int TextWriter::close() {
  if (fd_ < 0) return iostat::ok;
  flush();
  if (::close(fd_) != 0) fail_system();
  fd_ = -1;
  buf_.release();
  return failed_;
}

// The first write that the system refused: its error number is read right
// after the call that failed.
int TextWriter::fail_system() {
  if (failed_ == iostat::ok) failure_ = IoFailure::from_system(errno);
  return failed_ = iostat::write_failed;
}

int TextWriter::flush() {
  if (fd_ < 0) return iostat::write_failed;
  if (len_ > 0 && failed_ == iostat::ok && !write_all(fd_, buf_.data(), len_)) fail_system();
  len_ = 0;
  return failed_;
}

// Before any output: false once a write failed. The first output replaces
// whatever the file held before.
bool TextWriter::begin_output() {
  if (failed_ != iostat::ok) return false;
  if (!replaced_) {
    if (!empty_for_rewrite(fd_)) {
      fail_system();
      return false;
    }
    replaced_ = true;
  }
  if (buf_.size() == 0) buf_.allocate_reused(buffer_bytes);
  return true;
}

int TextWriter::put(std::string_view text) {
  if (fd_ < 0) return iostat::write_failed;
  if (!begin_output()) return failed_;
  if (text.size() >= direct_bytes) {
    iovec parts[2] = {{buf_.data(), len_}, {const_cast<char*>(text.data()), text.size()}};
    if (!write_all(fd_, parts, 2)) fail_system();
    len_ = 0;
    return failed_;
  }
  if (len_ + text.size() > buffer_bytes) flush();
  if (!text.empty()) std::memcpy(buf_.data() + len_, text.data(), text.size());
  len_ += text.size();
  return failed_;
}

// The lines reach the file at the points where the layout engine's chunks
// would (put above), so that a full disk fails the same write as through the
// engine: a short write waits in the buffer whole; a long one goes out in
// chunks of layout_chunk_bytes and more, each with what the buffer holds,
// and a rest shorter than direct_bytes waits.
int TextWriter::put(Real4Lines& lines) {
  if (fd_ < 0) return iostat::write_failed;
  if (!lines.valid() || lines.max_line() > buffer_bytes - layout_chunk_bytes) return iostat::bad_layout;
  if (!begin_output()) return failed_;
  const std::size_t total = lines.total();
  if (total < direct_bytes) {
    if (len_ + total > buffer_bytes) flush();
    len_ += lines.fill(buf_.data() + len_, buffer_bytes - len_);
    return failed_;
  }
  while (!lines.done() && failed_ == iostat::ok) {
    // Room for a chunk and its last line after what the buffer holds.
    if (buffer_bytes - len_ < layout_chunk_bytes + lines.max_line()) flush();
    const std::size_t n = lines.fill(buf_.data() + len_, buffer_bytes - len_, layout_chunk_bytes);
    len_ += n;
    if (n >= direct_bytes) flush();
  }
  return failed_;
}

// ---- TextReader ----

TextReader::~TextReader() { close(); }

int TextReader::open(const std::string& path) {
  close();
  int fd = -1;
  struct stat st {};
  failure_ = {};
  if (int status = open_input_file(path, fd, st); status != iostat::ok) {
    failure_ = IoFailure::from_system(errno);
    return status;
  }
  fd_ = fd;
  // No larger than the file and its line feed; a file that grows is read in
  // more calls.
  buf_.allocate(static_cast<std::size_t>(std::clamp<off_t>(st.st_size + 1, 4096, buffer_bytes)));
  pos_ = len_ = 0;
  line_.clear();
  reread_ = have_line_ = eof_ = false;
  return iostat::ok;
}

int TextReader::close() {
  if (fd_ < 0) return iostat::ok;
  ::close(fd_);
  fd_ = -1;
  buf_.release();
  return iostat::ok;
}

int TextReader::fill() {
  for (;;) {
    ssize_t r = ::read(fd_, buf_.data(), buf_.size());
    if (r < 0) {
      if (errno == EINTR) continue;
      failure_ = IoFailure::from_system(errno);
      return iostat::read_failed;
    }
    pos_ = 0;
    len_ = static_cast<std::size_t>(r);
    if (r == 0) eof_ = true;
    return iostat::ok;
  }
}

int TextReader::next_line(std::string_view& line) {
  if (fd_ < 0) return iostat::read_failed;
  if (reread_) {
    reread_ = false;
    line = line_;
    return iostat::ok;
  }
  line_.clear();
  bool any = false;
  for (;;) {
    if (pos_ == len_) {
      if (eof_) break;
      if (int st = fill(); st != iostat::ok) return st;
      if (eof_) break;
    }
    const char* begin = buf_.data() + pos_;
    const char* nl = static_cast<const char*>(std::memchr(begin, '\n', len_ - pos_));
    std::size_t n = nl ? static_cast<std::size_t>(nl - begin) : len_ - pos_;
    // Keep at most max_line characters; the rest of an endless line is passed over.
    if (line_.size() < max_line) line_.append(begin, std::min(n, max_line - line_.size()));
    any = true;
    pos_ += n;
    if (nl) {
      ++pos_;
      break;
    }
  }
  if (!any) {
    have_line_ = false;
    return iostat::end_of_file;
  }
  // A line ended by carriage return and line feed is the same line.
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  have_line_ = true;
  line = line_;
  return iostat::ok;
}

int TextReader::backspace() {
  if (fd_ < 0 || !have_line_ || reread_) return iostat::backspace_failed;
  reread_ = true;
  return iostat::ok;
}

int TextReader::rewind() {
  if (fd_ < 0) return iostat::rewind_failed;
  if (::lseek(fd_, 0, SEEK_SET) < 0) return iostat::rewind_failed;
  pos_ = len_ = 0;
  line_.clear();
  reread_ = have_line_ = eof_ = false;
  return iostat::ok;
}

}  // namespace qx
