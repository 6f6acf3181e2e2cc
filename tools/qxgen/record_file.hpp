// Writer of little-endian sequential binary record files: every record is a
// 4-byte length, the payload, and the same length again. Output goes through
// one large buffer; a byte limit cuts the file short for fault cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qxgen {

class RecordFile {
 public:
  static constexpr std::uint64_t no_limit = ~std::uint64_t{0};

  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  // Creates (or empties) the file; bytes past `limit` are dropped.
  bool open(const std::string& path, std::uint64_t limit = no_limit);
  // Flushes and closes; false when any write failed.
  bool close();
  const std::string& error() const { return error_; }

  // One record whose payload is exactly `payload_bytes` long, filled by the
  // put calls between begin and end.
  void begin(std::uint32_t payload_bytes);
  void end();

  void put_text4(const char (&text)[4]) { put_bytes(text, 4); }
  void put_i32(std::int32_t v);
  void put_f32(float v);
  void put_f64(double v);
  void put_i32s(const std::int32_t* v, std::size_t n);
  void put_f32s(const float* v, std::size_t n);
  void put_zeros(std::size_t n);

  // True once the byte limit is reached: nothing more will be stored.
  bool full() const { return written_ >= limit_; }
  std::uint64_t bytes_written() const { return written_; }

 private:
  void put_bytes(const void* data, std::size_t n);
  void put_u32(std::uint32_t v);
  void flush();

  int fd_ = -1;
  std::string path_;
  std::string error_;
  std::vector<unsigned char> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;  // bytes accepted, within the limit
  std::uint64_t limit_ = no_limit;
  std::uint64_t record_left_ = 0;
  std::uint32_t marker_ = 0;
  bool in_record_ = false;
};

}  // namespace qxgen
