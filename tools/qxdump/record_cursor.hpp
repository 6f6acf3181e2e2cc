// Record-by-record access to a binary record file for the inspector: the
// project's RecordReader does the framing, this adds the first bytes of each
// payload decoded in the file's byte order, the first values of a record on
// demand, and a description of a broken record that names its byte offset.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_order.hpp"
#include "io/os_file.hpp"
#include "io/record_reader.hpp"

namespace qxdump {

// One record as the walkers see it: where it is, how long its payload is, and
// its first bytes (enough for every header record of the formats).
struct Record {
  static constexpr std::size_t head_capacity = 128;

  std::uint64_t offset = 0;  // of the leading length marker
  std::uint32_t length = 0;  // payload bytes
  std::size_t head_len = 0;  // min(length, head_capacity)
  std::array<unsigned char, head_capacity> head{};
  qx::ByteOrder order = qx::ByteOrder::little;

  // Fields at byte `at` of the payload, in the file's byte order; 0 when the
  // field lies beyond the bytes held.
  std::int32_t i4(std::size_t at) const;
  float r4(std::size_t at) const;
  double r8(std::size_t at) const;
  // Four characters at `at`, as stored; empty when not held.
  std::string_view word(std::size_t at) const;
  // The four bytes at `at` are printable ASCII (a kind word).
  bool printable_word(std::size_t at) const;
  std::uint64_t words() const { return length / 4; }
  std::uint64_t end() const { return offset + 8 + length; }
};

// Small positioned reads of a file, for the byte-order detection and for
// describing a broken record.
class RawFile {
 public:
  RawFile() = default;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;
  ~RawFile();

  // Empty string on success, else why the file cannot be inspected.
  std::string open(const std::string& path);
  std::uint64_t size() const { return size_; }
  // Bytes actually read (fewer at the end of the file; 0 on an error).
  std::size_t read_at(std::uint64_t offset, void* dst, std::size_t n) const;
  // The 4-byte length marker at `offset` in a byte order; false when the file
  // ends before it.
  bool marker_at(std::uint64_t offset, qx::ByteOrder order, std::int64_t& value) const;

 private:
  qx::os::File file_ = qx::os::no_file;
  std::uint64_t size_ = 0;
};

// What is wrong with the record at `offset` read in `order`, from its raw
// markers: a marker cut by the end of the file, a negative length, a length
// that runs past the end of the file (a truncated record), or a trailing
// marker that differs from the leading one. Names the byte offset.
std::string describe_record_fault(const RawFile& raw, std::uint64_t offset, qx::ByteOrder order, int status);

class RecordCursor {
 public:
  enum class Step { record, end, fault };

  // Opens the file for reading in the given byte order; empty string on
  // success, else the reason.
  std::string open(const std::string& path, qx::ByteOrder order, const RawFile& raw);

  // Reads the next record. `end` only at a record boundary at the end of the
  // file; `fault` for a corrupt marker or a truncated record (see fault()).
  Step next(Record& r);
  // Goes back to the start of the record last read by next(); it no longer
  // counts as read.
  bool back();
  // The first min(count, r.words()) 4-byte values of the record last read by
  // next() (r), in host order: read into `buffer`, which grows to hold them,
  // and shown by `values`. `fault` when the record cannot be read again.
  Step words(const Record& r, std::uint64_t count, std::vector<std::uint32_t>& buffer,
             std::span<const std::uint32_t>& values);

  std::uint64_t offset() const { return reader_.offset(); }
  std::uint64_t records_read() const { return records_; }
  qx::ByteOrder order() const { return order_; }
  // Description of the last fault, with its byte offset.
  const std::string& fault() const { return fault_; }

 private:
  void describe_fault(std::uint64_t offset, int status);

  qx::RecordReader reader_;
  const RawFile* raw_ = nullptr;
  qx::ByteOrder order_ = qx::ByteOrder::little;
  std::uint64_t records_ = 0;
  std::string fault_;
};

}  // namespace qxdump
