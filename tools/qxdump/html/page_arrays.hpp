// The numeric arrays of a report page: each one line of the page's array
// block, "TYPE:BASE64", with TYPE f (32-bit floats), i (32-bit signed
// integers) or u (32-bit unsigned integers) and the values little-endian.
// The page decodes a line only when it draws what the line holds. Arrays are
// numbered from 0 in the order in which they are written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace qxdump {

// Text written to a file through a buffer, remembering the first failure.
class PageFile {
 public:
  explicit PageFile(std::FILE* f) : f_(f) { buffer_.reserve(flush_bytes + 4096); }
  void put(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= flush_bytes) flush();
  }
  bool flush();
  bool ok() const { return ok_; }
  // Bytes handed over so far.
  std::uint64_t written() const { return written_ + buffer_.size(); }

 private:
  static constexpr std::size_t flush_bytes = std::size_t{1} << 18;
  std::FILE* f_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  bool ok_ = true;
};

// Appends the base64 form of `n` bytes to `out`.
void append_base64(std::string& out, const unsigned char* data, std::size_t n);

class PageArrays {
 public:
  explicit PageArrays(PageFile& out) : out_(out) {}
  std::uint64_t floats(std::span<const float> v) { return add('f', v.data(), v.size()); }
  std::uint64_t ints(std::span<const std::int32_t> v) { return add('i', v.data(), v.size()); }
  std::uint64_t uints(std::span<const std::uint32_t> v) { return add('u', v.data(), v.size()); }
  // 4-byte words as stored, under the type given ('f', 'i' or 'u').
  std::uint64_t words(char type, std::span<const std::uint32_t> v) { return add(type, v.data(), v.size()); }
  std::uint64_t count() const { return count_; }

 private:
  std::uint64_t add(char type, const void* values, std::size_t n);
  PageFile& out_;
  std::string line_;
  std::uint64_t count_ = 0;
};

}  // namespace qxdump
