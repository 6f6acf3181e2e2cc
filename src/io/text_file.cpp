#include "io/text_file.hpp"

#include <algorithm>
#include <cstring>

#include "io/status.hpp"

namespace qx {

namespace {
constexpr std::size_t buffer_bytes = BufferedOutput::buffer_bytes;
// Chunks at least this long (layouts hand over long arrays in such chunks)
// go to the file from where they are, in one call with what the buffer
// holds.
constexpr std::size_t direct_bytes = std::size_t{128} << 10;
}  // namespace

// ---- TextWriter ----

int TextWriter::put(std::string_view text) {
  if (int st = begin_output(); st != iostat::ok) return st;
  if (text.size() >= direct_bytes) {
    write_after_buffer(text.data(), text.size());
    return failed_;
  }
  if (len_ + text.size() > buffer_bytes) flush();
  if (!text.empty()) std::memcpy(text_end(), text.data(), text.size());
  len_ += text.size();
  return failed_;
}

// The lines reach the file at the points where the layout engine's chunks
// would (put above), so that a full disk fails the same write as through the
// engine: a short write waits in the buffer whole; a long one goes out in
// chunks of layout_chunk_bytes and more, each with what the buffer holds,
// and a rest shorter than direct_bytes waits.
int TextWriter::put(Real4Lines& lines) {
  if (!is_open()) return iostat::write_failed;
  if (!lines.valid() || lines.max_line() > buffer_bytes - layout_chunk_bytes) return iostat::bad_layout;
  if (int st = begin_output(); st != iostat::ok) return st;
  const std::size_t total = lines.total();
  if (total < direct_bytes) {
    if (len_ + total > buffer_bytes) flush();
    len_ += lines.fill(text_end(), buffer_bytes - len_);
    return failed_;
  }
  while (!lines.done() && failed_ == iostat::ok) {
    // Room for a chunk and its last line after what the buffer holds.
    if (buffer_bytes - len_ < layout_chunk_bytes + lines.max_line()) flush();
    const std::size_t n = lines.fill(text_end(), buffer_bytes - len_, layout_chunk_bytes);
    len_ += n;
    if (n >= direct_bytes) flush();
  }
  return failed_;
}

// ---- TextReader ----

TextReader::~TextReader() { close(); }

int TextReader::open(const std::string& path) {
  close();
  os::FileFacts facts;
  failure_ = {};
  if (int status = os::open_for_reading(path, file_, facts); status != iostat::ok) {
    failure_ = IoFailure::from_system(os::last_error());
    return status;
  }
  // No larger than the file and its line feed; a file that grows is read in
  // more calls.
  buf_.allocate(static_cast<std::size_t>(std::clamp<std::uint64_t>(facts.size + 1, 4096, buffer_bytes)));
  pos_ = len_ = 0;
  line_.clear();
  reread_ = have_line_ = eof_ = false;
  return iostat::ok;
}

int TextReader::close() {
  if (file_ == os::no_file) return iostat::ok;
  os::close_file(file_);
  file_ = os::no_file;
  buf_.release();
  return iostat::ok;
}

int TextReader::fill() {
  const long long r = os::read_next(file_, buf_.data(), buf_.size());
  if (r < 0) {
    failure_ = IoFailure::from_system(os::last_error());
    return iostat::read_failed;
  }
  pos_ = 0;
  len_ = static_cast<std::size_t>(r);
  if (r == 0) eof_ = true;
  return iostat::ok;
}

int TextReader::next_line(std::string_view& line) {
  if (file_ == os::no_file) return iostat::read_failed;
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
  if (file_ == os::no_file || !have_line_ || reread_) return iostat::backspace_failed;
  reread_ = true;
  return iostat::ok;
}

int TextReader::rewind() {
  if (file_ == os::no_file || !os::rewind_file(file_)) return iostat::rewind_failed;
  pos_ = len_ = 0;
  line_.clear();
  reread_ = have_line_ = eof_ = false;
  return iostat::ok;
}

}  // namespace qx
