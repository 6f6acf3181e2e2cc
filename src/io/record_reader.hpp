// Sequential reader of a binary record file: every record is a 4-byte length
// marker, the payload, and the same marker again, in the file's byte order.
// Buffered; memory is bounded by the buffer, never by a record or the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/byte_order.hpp"
#include "io/io_buffer.hpp"
#include "io/item.hpp"

namespace qx {

class RecordReader {
 public:
  RecordReader() = default;
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;
  ~RecordReader();

  int open(const std::string& path, ByteOrder order);
  int close();
  bool is_open() const { return fd_ >= 0; }

  // Reads the next record into the items, in order, back to back. A record
  // longer than the items is accepted (the rest is skipped); a shorter one
  // gives 67 after filling what it holds, leaving the file behind the record.
  // -1 only for a clean end of file at a record boundary; 39 for markers that
  // disagree, a record cut short by the end of the file, or an I/O error.
  int read(std::span<const InItem> items);
  int read(std::initializer_list<InItem> items) { return read(std::span(items.begin(), items.size())); }
  // Passes over one record (a read without items).
  int skip() { return read(std::span<const InItem>{}); }
  // Payload length of the next record without consuming it: 0, -1 at a clean
  // end of file, 39 when the marker is negative or the file cannot hold the
  // record it announces.
  int peek_length(std::uint32_t& payload_bytes);
  // Back to the start of the record last read (23 when that fails).
  int backspace();
  int rewind();
  // Byte offset of the next record.
  std::uint64_t offset() const;

 private:
  long long read_at(std::uint64_t off, void* dst, std::size_t n);
  long long read_direct(std::uint64_t off, unsigned char* dst, std::size_t n);
  long long get(void* dst, std::size_t n);
  void set_offset(std::uint64_t off);
  std::int64_t decode_marker(const unsigned char* bytes) const;

  int fd_ = -1;
  ByteOrder order_ = ByteOrder::little;
  IoBuffer<unsigned char> buf_;
  std::uint64_t buf_start_ = 0;  // file offset of buf_[0]
  std::size_t pos_ = 0;          // read index into buf_
  std::size_t len_ = 0;          // valid bytes in buf_
  std::size_t fill_bytes_ = 0;   // bytes the next refill of buf_ asks for
  std::uint64_t file_size_ = 0;  // regular files only
  bool seekable_ = false;
  std::int64_t last_start_ = -1;  // offset of the record last read, for going back
};

}  // namespace qx
