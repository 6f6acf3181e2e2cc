#include "record_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qxgen {
namespace {

constexpr std::size_t buffer_bytes = std::size_t{1} << 20;

void store_le32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void store_le64(unsigned char* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// A programming error of the generator itself: a record filled with more or
// fewer bytes than its length says would be a silently broken case.
[[noreturn]] void framing_bug(const char* what) {
  std::fprintf(stderr, "qxgen: internal error: %s\n", what);
  std::abort();
}

}  // namespace

RecordFile::~RecordFile() {
  if (fd_ >= 0) close();
}

bool RecordFile::open(const std::string& path, std::uint64_t limit) {
  path_ = path;
  limit_ = limit;
  written_ = 0;
  used_ = 0;
  error_.clear();
  buffer_.resize(buffer_bytes);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd_ < 0) {
    error_ = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool RecordFile::close() {
  if (fd_ < 0) return error_.empty();
  if (in_record_) framing_bug("file closed inside a record");
  flush();
  if (::close(fd_) != 0 && error_.empty()) error_ = path_ + ": " + std::strerror(errno);
  fd_ = -1;
  return error_.empty();
}

void RecordFile::flush() {
  std::size_t done = 0;
  while (done < used_ && error_.empty()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = path_ + ": " + std::strerror(errno);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  used_ = 0;
}

void RecordFile::put_bytes(const void* data, std::size_t n) {
  if (in_record_) {
    if (n > record_left_) framing_bug("record payload longer than its length");
    record_left_ -= n;
  }
  const auto* p = static_cast<const unsigned char*>(data);
  // Past the limit the bytes are counted as dropped, never stored.
  if (written_ >= limit_) return;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, limit_ - written_));
  written_ += n;
  while (n > 0) {
    if (used_ == buffer_.size()) flush();
    std::size_t k = std::min(n, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, p, k);
    used_ += k;
    p += k;
    n -= k;
  }
}

void RecordFile::put_u32(std::uint32_t v) {
  unsigned char b[4];
  store_le32(b, v);
  put_bytes(b, 4);
}

void RecordFile::begin(std::uint32_t payload_bytes) {
  if (in_record_) framing_bug("record begun inside a record");
  if (payload_bytes > 0x7FFFFFFFu) framing_bug("record longer than a 4-byte length allows");
  put_u32(payload_bytes);
  in_record_ = true;
  record_left_ = payload_bytes;
  marker_ = payload_bytes;
}

void RecordFile::end() {
  if (!in_record_ || record_left_ != 0) framing_bug("record payload shorter than its length");
  in_record_ = false;
  put_u32(marker_);
}

void RecordFile::put_i32(std::int32_t v) { put_u32(static_cast<std::uint32_t>(v)); }

void RecordFile::put_f32(float v) { put_u32(std::bit_cast<std::uint32_t>(v)); }

void RecordFile::put_f64(double v) {
  unsigned char b[8];
  store_le64(b, std::bit_cast<std::uint64_t>(v));
  put_bytes(b, 8);
}

void RecordFile::put_i32s(const std::int32_t* v, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    put_bytes(v, n * 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) put_i32(v[i]);
  }
}

void RecordFile::put_f32s(const float* v, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    put_bytes(v, n * 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) put_f32(v[i]);
  }
}

void RecordFile::put_zeros(std::size_t n) {
  static constexpr unsigned char zeros[64] = {};
  while (n > 0) {
    std::size_t k = std::min(n, sizeof zeros);
    put_bytes(zeros, k);
    n -= k;
  }
}

}  // namespace qxgen
