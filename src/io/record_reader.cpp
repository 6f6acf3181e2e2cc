#include "io/record_reader.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "io/status.hpp"

namespace qx {

namespace {

// Small enough that what a refill brings is still in the processor's cache
// when it is copied on: a buffer of a MiB was copied from memory, not cache.
constexpr std::size_t buffer_bytes = std::size_t{64} << 10;
// Items at least this long are read straight into their destination: the
// values of a long data record then pass through no intermediate copy.
// After such a read, and after passing over a record, the buffer is filled
// with a look-ahead first and with twice as much at each refill after that:
// a file of short records soon reads a whole buffer at a time, while the
// header records between long records do not drag the long ones through
// the buffer.
constexpr std::size_t direct_bytes = std::size_t{64} << 10;
constexpr std::size_t look_ahead_bytes = std::size_t{4} << 10;

// Bytes of one element of an item.
constexpr std::size_t element_bytes(ItemType t) { return item_bytes(t, 1, 1); }

}  // namespace

RecordReader::~RecordReader() { close(); }

int RecordReader::open(const std::string& path, ByteOrder order, bool read_ahead) {
  close();
  os::FileFacts facts;
  failed_ = kept_ = false;
  if (int status = os::open_for_reading(path, file_, facts); status != iostat::ok) {
    failure_ = IoFailure::from_system(os::last_error());
    return status;
  }
  failure_ = {};
  order_ = order;
  seekable_ = facts.type == os::FileType::regular;
  file_size_ = seekable_ ? facts.size : 0;
  // No larger than the file (a regular file is read to its end), and never
  // smaller than a look-ahead.
  buf_.allocate(seekable_ ? std::clamp<std::uint64_t>(file_size_, look_ahead_bytes, buffer_bytes) : buffer_bytes);
  fill_bytes_ = buf_.size();
  ahead_.attach(file_, read_ahead && seekable_ && file_size_ >= ReadAhead::threaded_from);
  buf_start_ = 0;
  pos_ = len_ = 0;
  last_start_ = -1;
  return iostat::ok;
}

int RecordReader::close() {
  if (file_ == os::no_file) return iostat::ok;
  ahead_.detach();
  os::close_file(file_);
  file_ = os::no_file;
  buf_.release();
  return iostat::ok;
}

std::uint64_t RecordReader::offset() const { return buf_start_ + pos_; }

void RecordReader::set_offset(std::uint64_t off) {
  if (off >= buf_start_ && off <= buf_start_ + len_) {
    pos_ = static_cast<std::size_t>(off - buf_start_);
  } else {
    buf_start_ = off;
    pos_ = len_ = 0;
  }
}

// Reads n bytes at `off` straight into dst, leaving the buffer empty behind
// them with a look-ahead for its next refill. Returns the bytes put into dst
// (fewer only at the end of the file) or -1 on an I/O error.
long long RecordReader::read_direct(std::uint64_t off, unsigned char* dst, std::size_t n) {
  const long long got = ahead_.read(off, dst, n);
  if (got < 0) return -1;
  buf_start_ = off + static_cast<std::uint64_t>(got);
  pos_ = len_ = 0;
  fill_bytes_ = look_ahead_bytes;
  return got;
}

// Copies up to n bytes from the current position into dst, or passes over
// them when dst is null; returns the bytes taken (fewer at the end of the
// file) or -1 on an I/O error.
long long RecordReader::get(void* dst, std::size_t n) {
  auto* p = static_cast<unsigned char*>(dst);
  std::size_t done = 0;
  while (done < n) {
    if (pos_ < len_) {
      std::size_t take = std::min(n - done, len_ - pos_);
      if (p) std::memcpy(p + done, buf_.data() + pos_, take);
      pos_ += take;
      done += take;
      continue;
    }
    const std::uint64_t here = offset();
    if (!p && seekable_) {
      // Passing over: move without reading, never beyond the end.
      std::uint64_t room = file_size_ > here ? file_size_ - here : 0;
      std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(room, n - done));
      set_offset(here + take);
      fill_bytes_ = look_ahead_bytes;
      done += take;
      break;
    }
    if (p && n - done >= direct_bytes) {
      long long r = read_direct(here, p + done, n - done);
      if (r < 0) return -1;
      done += static_cast<std::size_t>(r);
      break;
    }
    long long r = ahead_.read(here, buf_.data(), fill_bytes_);
    if (r < 0) return -1;
    fill_bytes_ = std::min(2 * fill_bytes_, buf_.size());
    buf_start_ = here;
    pos_ = 0;
    len_ = static_cast<std::size_t>(r);
    if (len_ == 0) break;
  }
  return static_cast<long long>(done);
}

std::int64_t RecordReader::decode_marker(const unsigned char* b) const {
  std::uint32_t v;
  std::memcpy(&v, b, 4);
  if (order_ != host_order) v = swap4(v);
  return static_cast<std::int32_t>(v);
}

// The failure of a read that the system refused, told by its error number:
// read right after the call that failed. Of a record read, the last failure
// counts (a short record whose trailing marker is wrong too gives 39); of
// the reads, the first that failed.
int RecordReader::fail_system() {
  if (!kept_) failure_ = IoFailure::from_system(os::last_error());
  failed_ = true;
  return iostat::read_failed;
}

// A record that does not hold together: 67 for one shorter than the read,
// 39 for the others.
int RecordReader::fail_record(RecordFault fault, std::uint64_t at, std::int64_t announced, std::uint64_t file_end,
                              std::int64_t trailing) {
  if (!kept_) failure_ = IoFailure{0, fault, at, announced, file_end, trailing};
  failed_ = true;
  return fault == RecordFault::short_record ? iostat::short_record : iostat::read_failed;
}

// The record begun is cut off by the end of the file, where the reader now
// stands (a file that is not regular, or one that shrank while read).
int RecordReader::cut_short() {
  return fail_record(RecordFault::cut_record, record_start_, static_cast<std::int64_t>(record_length_), offset());
}

int RecordReader::read(std::span<const InItem> items) {
  std::uint32_t length = 0;
  if (int st = begin_record(length); st != iostat::ok) return st;
  return end_record(items);
}

// The leading marker of the record at `start`, where the reader stands: the
// record's length, or the status of a marker that is cut, negative or
// announces more than a regular file holds. The reader then stands after it.
int RecordReader::leading_marker(std::uint64_t start, std::int64_t& length) {
  unsigned char mark[4];
  const long long got = get(mark, 4);
  if (got < 0) return fail_system();
  if (got == 0) return iostat::end_of_file;
  if (got < 4) return fail_record(RecordFault::cut_marker, start, 0, start + static_cast<std::uint64_t>(got));
  length = decode_marker(mark);
  if (length < 0) return fail_record(RecordFault::negative_length, start, length);
  // The record must be wholly in the file, its trailing marker included.
  if (seekable_ && start + 8 + static_cast<std::uint64_t>(length) > file_size_)
    return fail_record(RecordFault::cut_record, start, length, file_size_);
  return iostat::ok;
}

int RecordReader::begin_record(std::uint32_t& payload_bytes) {
  kept_ = failed_;
  if (file_ == os::no_file) return iostat::read_failed;
  const std::uint64_t start = offset();
  std::int64_t length = 0;
  if (int st = leading_marker(start, length); st != iostat::ok) return st;
  record_start_ = start;
  record_length_ = record_left_ = static_cast<std::uint64_t>(length);
  payload_bytes = static_cast<std::uint32_t>(length);
  return iostat::ok;
}

int RecordReader::take_items(std::span<const InItem> items) {
  for (const InItem& item : items) {
    const std::size_t esize = element_bytes(item.type);
    const std::size_t want = item_bytes(item);
    std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(want, record_left_));
    take -= take % esize;
    const long long got = get(item.data, take);
    if (got < 0) return fail_system();
    if (static_cast<std::size_t>(got) < take) return cut_short();
    if (order_ != host_order) {
      if (esize == 4) swap_words4(item.data, take / 4);
      if (esize == 8) swap_words8(item.data, take / 8);
    }
    record_left_ -= take;
    if (take < want) return fail_record(RecordFault::short_record, record_start_, static_cast<std::int64_t>(record_length_));
  }
  return iostat::ok;
}

int RecordReader::end_record(std::span<const InItem> items) {
  const int status = take_items(items);
  if (status == iostat::read_failed) return status;
  long long got = 0;
  if (record_left_ > 0) {
    got = get(nullptr, static_cast<std::size_t>(record_left_));
    if (got < 0) return fail_system();
    if (static_cast<std::uint64_t>(got) < record_left_) return cut_short();
  }
  unsigned char mark[4];
  got = get(mark, 4);
  if (got < 0) return fail_system();
  if (got != 4) return cut_short();
  if (const std::int64_t trailing = decode_marker(mark); trailing != static_cast<std::int64_t>(record_length_))
    return fail_record(RecordFault::marker_mismatch, record_start_, static_cast<std::int64_t>(record_length_), 0,
                       trailing);
  last_start_ = static_cast<std::int64_t>(record_start_);
  return status;
}

int RecordReader::read_head(RecordHead& head) {
  head.order_ = order_;
  head.held_ = 0;
  head.length_ = 0;
  std::uint32_t length = 0;
  head.status_ = begin_record(length);
  if (head.status_ != iostat::ok) return head.status_;
  // The payload's first bytes as they are in the file; the views swap them.
  head.length_ = length;
  head.held_ = std::min<std::size_t>(length, RecordHead::capacity);
  const InItem bytes{ItemType::text, head.bytes_.data(), 1, head.held_};
  head.status_ = end_record(std::span(&bytes, 1));
  return head.status_;
}

// Makes the buffer hold the n bytes at `from`, keeping what it holds of them
// and reading the rest; false when they do not fit in it or cannot be read.
bool RecordReader::hold(std::uint64_t from, std::size_t n) {
  if (n > buf_.size()) return false;
  if (from >= buf_start_ && from + n <= buf_start_ + len_) return true;
  std::size_t kept = 0;
  if (from >= buf_start_ && from < buf_start_ + len_) {
    kept = static_cast<std::size_t>(buf_start_ + len_ - from);
    std::memmove(buf_.data(), buf_.data() + (from - buf_start_), kept);
  }
  const long long r = ahead_.read(from + kept, buf_.data() + kept, buf_.size() - kept);
  buf_start_ = from;
  pos_ = 0;
  len_ = kept + static_cast<std::size_t>(std::max(r, 0LL));
  return r >= 0 && n <= len_;
}

int RecordReader::pass_record(std::size_t values, RecordWriter& out) {
  if (file_ == os::no_file || !seekable_ || !out.is_open()) return iostat::not_copied;
  const std::uint64_t start = offset();
  const std::uint64_t bytes = std::uint64_t{values} * 4;
  std::uint32_t length = 0;
  if (begin_record(length) != iostat::ok || length < bytes) {
    set_offset(start);
    return iostat::not_copied;
  }
  const std::uint64_t payload = start + 4;
  const bool swap = order_ != out.order();
  int status = iostat::not_copied;
  if (!(swap && bytes >= direct_bytes) && hold(start, std::size_t{length} + 8)) {
    // The whole record is in the buffer: from there into the writer's.
    const unsigned char* at = buf_.data() + (payload - buf_start_);
    if (decode_marker(at + length) == length)
      status = out.write_words(std::span(at, static_cast<std::size_t>(bytes)), swap);
  }
  if (status == iostat::not_copied) {
    set_offset(start);
    return status;
  }
  set_offset(payload + length + 4);
  last_start_ = static_cast<std::int64_t>(start);
  return status;
}

int RecordReader::peek_length(std::uint32_t& payload_bytes) {
  kept_ = failed_;
  if (file_ == os::no_file) return iostat::read_failed;
  const std::uint64_t start = offset();
  std::int64_t length = 0;
  const int st = leading_marker(start, length);
  set_offset(start);  // a look: the record is read from its start
  if (st != iostat::ok) return st;
  if (seekable_) {
    const std::uint64_t end = start + 4 + static_cast<std::uint64_t>(length);
    unsigned char mark[4];
    const long long got = os::read_at(file_, end, mark, 4);
    if (got < 0) return fail_system();
    if (got != 4) return fail_record(RecordFault::cut_record, start, length, end + static_cast<std::uint64_t>(got));
    if (const std::int64_t trailing = decode_marker(mark); trailing != length)
      return fail_record(RecordFault::marker_mismatch, start, length, 0, trailing);
  }
  payload_bytes = static_cast<std::uint32_t>(length);
  return iostat::ok;
}

int RecordReader::backspace() {
  if (file_ == os::no_file) return iostat::backspace_failed;
  if (last_start_ >= 0) {
    set_offset(static_cast<std::uint64_t>(last_start_));
    last_start_ = -1;
    return iostat::ok;
  }
  // No record read since the last move: step back over the record that ends
  // here by its trailing marker.
  const std::uint64_t here = offset();
  if (here == 0) return iostat::ok;
  if (here < 8) return iostat::backspace_failed;
  unsigned char mark[4];
  if (os::read_at(file_, here - 4, mark, 4) != 4) return iostat::backspace_failed;
  const std::int64_t length = decode_marker(mark);
  if (length < 0 || static_cast<std::uint64_t>(length) + 8 > here) return iostat::backspace_failed;
  const std::uint64_t start = here - 8 - static_cast<std::uint64_t>(length);
  if (os::read_at(file_, start, mark, 4) != 4 || decode_marker(mark) != length) return iostat::backspace_failed;
  set_offset(start);
  return iostat::ok;
}

int RecordReader::rewind() {
  if (file_ == os::no_file) return iostat::rewind_failed;
  set_offset(0);
  last_start_ = -1;
  failure_ = {};
  failed_ = kept_ = false;
  return iostat::ok;
}

}  // namespace qx
