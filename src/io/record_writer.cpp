#include "io/record_writer.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "io/status.hpp"

namespace qx {

namespace {
// Items at least this long in the host's byte order go to the file from
// where they are, in one call with what the buffer holds.
constexpr std::size_t direct_bytes = std::size_t{64} << 10;
}  // namespace

int RecordWriter::open(const std::string& path, ByteOrder order) {
  order_ = order;
  return BufferedOutput::open(path);
}

// Appends bytes to the buffer, swapping every element of esize bytes when
// the file's byte order is not the host's.
void RecordWriter::append(const void* data, std::size_t bytes, std::size_t esize) {
  append_as(data, bytes, esize, order_ != host_order && esize > 1);
}

void RecordWriter::append_as(const void* data, std::size_t bytes, std::size_t esize, bool swap) {
  const auto* p = static_cast<const unsigned char*>(data);
  if (!swap && bytes >= direct_bytes) {
    write_after_buffer(p, bytes);
    return;
  }
  while (bytes > 0 && failed_ == iostat::ok) {
    std::size_t take = std::min(bytes, buf_.size() - len_);
    if (swap) take -= take % esize;
    if (take == 0) {
      flush();
      continue;
    }
    unsigned char* dst = buf_.data() + len_;
    if (!swap) {
      std::memcpy(dst, p, take);
    } else if (esize == 4) {
      copy_swapped4(dst, p, take / 4);
    } else {
      copy_swapped8(dst, p, take / 8);
    }
    len_ += take;
    p += take;
    bytes -= take;
  }
}

int RecordWriter::write(std::span<const OutItem> items) { return write_items(items, false); }

int RecordWriter::write_consuming(std::span<float> values) {
  const OutItem item = out(std::span<const float>(values));
  if (order_ == host_order || values.size_bytes() < direct_bytes || !is_open() || failed_ != iostat::ok)
    return write_items(std::span(&item, 1), false);
  swap_words4(values.data(), values.size());
  return write_items(std::span(&item, 1), true);
}

// Checks what every record needs before its first byte: an open file that
// has not failed, a payload its marker can tell, and the old contents gone.
int RecordWriter::begin_record(std::uint64_t payload) {
  if (is_open() && failed_ == iostat::ok &&
      payload > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    failure_.fault = RecordFault::too_long;
    return iostat::write_failed;
  }
  return begin_output();
}

// Items in file order are taken as bytes, never swapped again.
int RecordWriter::write_items(std::span<const OutItem> items, bool in_file_order) {
  std::uint64_t payload = 0;
  for (const OutItem& item : items) payload += item_bytes(item);
  if (int st = begin_record(payload); st != iostat::ok) return st;
  const std::uint32_t marker = static_cast<std::uint32_t>(payload);
  append(&marker, 4, 4);
  for (const OutItem& item : items) {
    std::size_t esize = item.type == ItemType::real8 ? 8 : item.type == ItemType::text || in_file_order ? 1 : 4;
    append(item.data, item_bytes(item), esize);
  }
  append(&marker, 4, 4);
  return failed_;
}

int RecordWriter::write_words(std::span<const unsigned char> payload, bool swap4) {
  if (int st = begin_record(payload.size()); st != iostat::ok) return st;
  const std::uint32_t marker = static_cast<std::uint32_t>(payload.size());
  append(&marker, 4, 4);
  append_as(payload.data(), payload.size() - payload.size() % 4, 4, swap4);
  append(&marker, 4, 4);
  return failed_;
}

}  // namespace qx
