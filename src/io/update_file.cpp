#include "io/update_file.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "io/text_file.hpp"

namespace qx {

namespace {

constexpr std::size_t chunk_bytes = 4096;

// Bytes of one element of an item.
constexpr std::size_t element_bytes(ItemType t) { return item_bytes(t, 1, 1); }

void swap_elements(void* data, std::size_t bytes, std::size_t esize) {
  if (esize == 4) swap_words4(data, bytes / 4);
  if (esize == 8) swap_words8(data, bytes / 8);
}

}  // namespace

UpdateFile::~UpdateFile() { close(); }

int UpdateFile::open(const std::string& path, Form form, ByteOrder order) {
  close();
  os::FileFacts facts;
  if (int status = os::open_for_update(path, file_, facts); status != iostat::ok) return status;
  regular_ = facts.type == os::FileType::regular;
  form_ = form;
  order_ = order;
  pos_ = 0;
  last_start_ = -1;
  failed_ = iostat::ok;
  return iostat::ok;
}

int UpdateFile::open_scratch(Form form, ByteOrder order) {
  close();
  if (os::open_temporary(file_) != 0) return iostat::open_failed;
  regular_ = true;
  form_ = form;
  order_ = order;
  pos_ = 0;
  last_start_ = -1;
  failed_ = iostat::ok;
  return iostat::ok;
}

int UpdateFile::close() {
  if (file_ == os::no_file) return iostat::ok;
  if (!os::close_file(file_) && failed_ == iostat::ok) failed_ = iostat::write_failed;
  file_ = os::no_file;
  line_.clear();
  return failed_;
}

std::uint64_t UpdateFile::file_size() const {
  os::FileFacts facts;
  return os::facts_of(file_, facts) == 0 ? facts.size : 0;
}

std::int64_t UpdateFile::decode_marker(const unsigned char* b) const {
  std::uint32_t v;
  std::memcpy(&v, b, 4);
  if (order_ != host_order) v = swap4(v);
  return static_cast<std::int32_t>(v);
}

// Writes at the position and cuts the file off behind what was written.
int UpdateFile::write_bytes(const void* data, std::size_t n) {
  if (file_ == os::no_file) return iostat::write_failed;
  if (failed_ != iostat::ok) return failed_;
  if (!os::write_all_at(file_, pos_, data, n)) return failed_ = iostat::write_failed;
  pos_ += n;
  if (regular_ && os::set_size(file_, pos_) != 0) return failed_ = iostat::write_failed;
  last_start_ = -1;
  return iostat::ok;
}

int UpdateFile::write(std::span<const OutItem> items) {
  std::uint64_t payload = 0;
  for (const OutItem& item : items) payload += item_bytes(item);
  if (payload > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return iostat::write_failed;
  std::uint32_t marker = static_cast<std::uint32_t>(payload);
  if (order_ != host_order) marker = swap4(marker);
  std::vector<unsigned char> record(static_cast<std::size_t>(payload) + 8);
  std::memcpy(record.data(), &marker, 4);
  std::size_t at = 4;
  for (const OutItem& item : items) {
    const std::size_t bytes = item_bytes(item);
    if (bytes == 0) continue;
    std::memcpy(record.data() + at, item.data, bytes);
    if (order_ != host_order) swap_elements(record.data() + at, bytes, element_bytes(item.type));
    at += bytes;
  }
  std::memcpy(record.data() + at, &marker, 4);
  return write_bytes(record.data(), record.size());
}

// Checks the record that begins at start: both markers present and equal,
// the whole record inside the file.
int UpdateFile::record_at(std::uint64_t start, std::int64_t& length) {
  unsigned char mark[4];
  long long got = os::read_at(file_, start, mark, 4);
  if (got == 0) return iostat::end_of_file;
  if (got != 4) return iostat::read_failed;
  length = decode_marker(mark);
  if (length < 0 || start + 8 + static_cast<std::uint64_t>(length) > file_size()) return iostat::read_failed;
  if (os::read_at(file_, start + 4 + static_cast<std::uint64_t>(length), mark, 4) != 4 || decode_marker(mark) != length)
    return iostat::read_failed;
  return iostat::ok;
}

int UpdateFile::read(std::span<const InItem> items) {
  if (file_ == os::no_file) return iostat::read_failed;
  const std::uint64_t start = pos_;
  std::int64_t length = 0;
  if (int st = record_at(start, length); st != iostat::ok) return st;
  std::uint64_t remaining = static_cast<std::uint64_t>(length);
  std::uint64_t off = start + 4;
  int status = iostat::ok;
  for (const InItem& item : items) {
    const std::size_t esize = element_bytes(item.type);
    const std::size_t want = item_bytes(item);
    std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(want, remaining));
    take -= take % esize;
    if (os::read_at(file_, off, item.data, take) != static_cast<long long>(take)) return iostat::read_failed;
    if (order_ != host_order) swap_elements(item.data, take, esize);
    off += take;
    remaining -= take;
    if (take < want) {
      status = iostat::short_record;
      break;
    }
  }
  pos_ = start + 8 + static_cast<std::uint64_t>(length);
  last_start_ = static_cast<std::int64_t>(start);
  return status;
}

int UpdateFile::peek_length(std::uint32_t& payload_bytes) {
  if (file_ == os::no_file) return iostat::read_failed;
  std::int64_t length = 0;
  if (int st = record_at(pos_, length); st != iostat::ok) return st;
  payload_bytes = static_cast<std::uint32_t>(length);
  return iostat::ok;
}

int UpdateFile::put(std::string_view text) { return write_bytes(text.data(), text.size()); }

int UpdateFile::next_line(std::string_view& line) {
  if (file_ == os::no_file) return iostat::read_failed;
  const std::uint64_t start = pos_;
  line_.clear();
  char chunk[chunk_bytes];
  std::uint64_t off = start;
  bool any = false;
  for (;;) {
    long long got = os::read_at(file_, off, chunk, sizeof chunk);
    if (got < 0) return iostat::read_failed;
    if (got == 0) break;
    any = true;
    const auto n = static_cast<std::size_t>(got);
    const char* nl = static_cast<const char*>(std::memchr(chunk, '\n', n));
    const std::size_t body = nl ? static_cast<std::size_t>(nl - chunk) : n;
    // An endless line is cut, as the read-only text files cut it.
    if (line_.size() < TextReader::max_line) line_.append(chunk, std::min(body, TextReader::max_line - line_.size()));
    off += body;
    if (nl) {
      ++off;
      break;
    }
  }
  if (!any) return iostat::end_of_file;
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  pos_ = off;
  last_start_ = static_cast<std::int64_t>(start);
  line = line_;
  return iostat::ok;
}

int UpdateFile::backspace() {
  if (file_ == os::no_file) return iostat::backspace_failed;
  if (last_start_ >= 0) {
    pos_ = static_cast<std::uint64_t>(last_start_);
    last_start_ = -1;
    return iostat::ok;
  }
  if (pos_ == 0) return iostat::ok;
  if (form_ == Form::binary) {
    // Back over the record that ends here, found by its trailing marker.
    if (pos_ < 8) return iostat::backspace_failed;
    unsigned char mark[4];
    if (os::read_at(file_, pos_ - 4, mark, 4) != 4) return iostat::backspace_failed;
    const std::int64_t length = decode_marker(mark);
    if (length < 0 || static_cast<std::uint64_t>(length) + 8 > pos_) return iostat::backspace_failed;
    const std::uint64_t start = pos_ - 8 - static_cast<std::uint64_t>(length);
    std::int64_t check = 0;
    if (record_at(start, check) != iostat::ok || check != length) return iostat::backspace_failed;
    pos_ = start;
    return iostat::ok;
  }
  // Back over the line that ends here: to just after the line feed before it.
  std::uint64_t end = pos_ - 1;  // the line feed that ends the line
  char chunk[chunk_bytes];
  while (end > 0) {
    const std::uint64_t from = end > chunk_bytes ? end - chunk_bytes : 0;
    const auto n = static_cast<std::size_t>(end - from);
    if (os::read_at(file_, from, chunk, n) != static_cast<long long>(n)) return iostat::backspace_failed;
    for (std::size_t i = n; i > 0; --i) {
      if (chunk[i - 1] == '\n') {
        pos_ = from + i;
        return iostat::ok;
      }
    }
    end = from;
  }
  pos_ = 0;
  return iostat::ok;
}

int UpdateFile::rewind() {
  if (file_ == os::no_file) return iostat::rewind_failed;
  pos_ = 0;
  last_start_ = -1;
  return iostat::ok;
}

}  // namespace qx
