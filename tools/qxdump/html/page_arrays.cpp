#include "page_arrays.hpp"

#include <bit>
#include <cstring>
#include <vector>

namespace qxdump {

bool PageFile::flush() {
  if (!buffer_.empty() && ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), f_) != buffer_.size()) ok_ = false;
  written_ += buffer_.size();
  buffer_.clear();
  return ok_;
}

void append_base64(std::string& out, const unsigned char* data, std::size_t n) {
  static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (n + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t w = std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | data[i + 2];
    out += digits[w >> 18];
    out += digits[(w >> 12) & 63];
    out += digits[(w >> 6) & 63];
    out += digits[w & 63];
  }
  if (i < n) {
    const bool two = i + 1 < n;
    const std::uint32_t w = std::uint32_t{data[i]} << 16 | (two ? std::uint32_t{data[i + 1]} << 8 : 0);
    out += digits[w >> 18];
    out += digits[(w >> 12) & 63];
    out += two ? digits[(w >> 6) & 63] : '=';
    out += '=';
  }
}

std::uint64_t PageArrays::add(char type, const void* values, std::size_t n) {
  line_.clear();
  line_ += type;
  line_ += ':';
  // The page reads the bytes little-endian.
  const auto* bytes = static_cast<const unsigned char*>(values);
  if constexpr (std::endian::native == std::endian::little) {
    append_base64(line_, bytes, 4 * n);
  } else {
    std::vector<unsigned char> swapped(4 * n);
    for (std::size_t i = 0; i < 4 * n; ++i) swapped[i] = bytes[i / 4 * 4 + 3 - i % 4];
    append_base64(line_, swapped.data(), swapped.size());
  }
  line_ += '\n';
  out_.put(line_);
  return count_++;
}

}  // namespace qxdump
