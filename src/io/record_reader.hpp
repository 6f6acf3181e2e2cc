// Sequential reader of a binary record file: every record is a 4-byte length
// marker, the payload, and the same marker again, in the file's byte order.
// Buffered, and a file of a MiB or more is read ahead on a second thread
// (io/read_ahead.hpp); memory is bounded by the buffer and the ring of the
// reading ahead, never by a record or the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/byte_order.hpp"
#include "io/io_buffer.hpp"
#include "io/io_failure.hpp"
#include "io/item.hpp"
#include "io/os_file.hpp"
#include "io/read_ahead.hpp"
#include "io/record_head.hpp"
#include "io/record_writer.hpp"
#include "io/status.hpp"

namespace qx {

// What a sized read makes of a record's payload length: the items to read
// the record into, or `holds` false when the record cannot hold what the
// caller needs (nothing is then read into anything).
struct SizedItems {
  bool holds = true;
  std::span<const InItem> items;
};

class RecordReader {
 public:
  RecordReader() = default;
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;
  ~RecordReader();

  // A large file is read ahead on a thread of its own unless `read_ahead`
  // is false: then every read is made on the caller's thread.
  int open(const std::string& path, ByteOrder order, bool read_ahead = true);
  int close();
  bool is_open() const { return file_ != os::no_file; }

  // Reads the next record into the items, in order, back to back. A record
  // longer than the items is accepted (the rest is skipped); a shorter one
  // gives 67 after filling what it holds, leaving the file behind the record.
  // -1 only for a clean end of file at a record boundary; 39 for markers that
  // disagree, a record cut short by the end of the file, or an I/O error.
  int read(std::span<const InItem> items);
  int read(std::initializer_list<InItem> items) { return read(std::span(items.begin(), items.size())); }
  // Passes over one record (a read without items).
  int skip() { return read(std::span<const InItem>{}); }
  // Reads the next record once, keeping its first RecordHead::capacity bytes
  // for the views the caller takes from them; the statuses are those of
  // read(), which the views give back.
  int read_head(RecordHead& head);
  // Reads the next record into the items that `choose` picks from its
  // payload length, called once the leading marker has been checked (the
  // record is then known to lie wholly in the file) and before any of the
  // payload is read, so that arrays are sized only from what the file
  // backs. Statuses as read(); a record that does not hold what is needed
  // is passed over and gives 67, or 39 when its trailing marker is wrong.
  // With `head`, those items (a count that sizes the rest) are read first,
  // and `choose` picks the items that follow them; a record too short for
  // the head gives 67 without `choose` being called.
  template <typename Choose>
  int read_sized(std::span<const InItem> head, Choose&& choose) {
    std::uint32_t length = 0;
    if (int st = begin_record(length); st != iostat::ok) return st;
    int st = take_items(head);
    if (st == iostat::read_failed) return st;
    if (st == iostat::ok) {
      const SizedItems chosen = choose(length);
      if (chosen.holds) return end_record(chosen.items);
      st = fail_record(RecordFault::short_record, record_start_, static_cast<std::int64_t>(length));
    }
    const int end = end_record({});
    return end != iostat::ok ? end : st;
  }
  template <typename Choose>
  int read_sized(Choose&& choose) {
    return read_sized({}, choose);
  }
  // Passes the next record on to `out` as one record of its first `values`
  // 4-byte values, the rest of a longer record passed over: what reading
  // the values and writing them gives, without their passing through an
  // array. Each value is reversed when the two files' byte orders differ.
  // A long record in one byte order is copied by the system from file to
  // file. Only a whole record, long enough, with both markers right, is
  // passed on; for anything else (and where the system cannot copy) the
  // answer is not_copied and the file is where it was, so that the caller
  // reads the record and meets its fault the ordinary way. Otherwise the
  // status of the write.
  int pass_record(std::size_t values, RecordWriter& out);
  // Payload length of the next record without consuming it: 0, -1 at a clean
  // end of file, 39 when the marker is negative or the file cannot hold the
  // record it announces.
  int peek_length(std::uint32_t& payload_bytes);
  // Back to the start of the record last read (23 when that fails).
  int backspace();
  int rewind();
  // Byte offset of the next record.
  std::uint64_t offset() const;
  // Why the first read since the open or the last rewind that gave 39 or 67
  // failed: the system's error number, or the record's fault with its
  // offsets. A reader stops at its first failure; the reads that may follow
  // it (the rest of a block header) do not hide it.
  const IoFailure& failure() const { return failure_; }

 private:
  // The two halves of read(): the leading marker, checked, and the payload
  // into the items with the trailing marker.
  int begin_record(std::uint32_t& payload_bytes);
  int leading_marker(std::uint64_t start, std::int64_t& length);
  int end_record(std::span<const InItem> items);
  int take_items(std::span<const InItem> items);

  bool hold(std::uint64_t from, std::size_t n);
  long long read_direct(std::uint64_t off, unsigned char* dst, std::size_t n);
  long long get(void* dst, std::size_t n);
  void set_offset(std::uint64_t off);
  std::int64_t decode_marker(const unsigned char* bytes) const;
  int fail_system();
  int cut_short();
  int fail_record(RecordFault fault, std::uint64_t at, std::int64_t announced, std::uint64_t file_end = 0,
                  std::int64_t trailing = 0);

  os::File file_ = os::no_file;
  ByteOrder order_ = ByteOrder::little;
  ReadAhead ahead_;  // the reads that go on through the file
  IoBuffer<unsigned char> buf_;
  std::uint64_t buf_start_ = 0;  // file offset of buf_[0]
  std::size_t pos_ = 0;          // read index into buf_
  std::size_t len_ = 0;          // valid bytes in buf_
  std::size_t fill_bytes_ = 0;   // bytes the next refill of buf_ asks for
  std::uint64_t file_size_ = 0;  // regular files only
  bool seekable_ = false;
  std::int64_t last_start_ = -1;  // offset of the record last read, for going back
  std::uint64_t record_start_ = 0;  // offset of the record begun
  std::uint64_t record_length_ = 0; // its payload length
  std::uint64_t record_left_ = 0;   // bytes of it not yet read
  IoFailure failure_;
  bool failed_ = false;  // a read has failed since the open or the rewind
  bool kept_ = false;    // and it was an earlier read than this one: failure_ stays
};

}  // namespace qx
