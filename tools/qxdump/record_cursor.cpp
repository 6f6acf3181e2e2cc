#include "record_cursor.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#include "io/status.hpp"

namespace qxdump {

namespace {

std::uint32_t load4(const unsigned char* p, qx::ByteOrder order) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return order == qx::host_order ? v : qx::swap4(v);
}

std::uint64_t load8(const unsigned char* p, qx::ByteOrder order) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return order == qx::host_order ? v : qx::swap8(v);
}

}  // namespace

std::int32_t Record::i4(std::size_t at) const {
  if (at + 4 > head_len) return 0;
  return static_cast<std::int32_t>(load4(head.data() + at, order));
}

float Record::r4(std::size_t at) const {
  if (at + 4 > head_len) return 0.0f;
  return std::bit_cast<float>(load4(head.data() + at, order));
}

double Record::r8(std::size_t at) const {
  if (at + 8 > head_len) return 0.0;
  return std::bit_cast<double>(load8(head.data() + at, order));
}

std::string_view Record::word(std::size_t at) const {
  if (at + 4 > head_len) return {};
  return {reinterpret_cast<const char*>(head.data() + at), 4};
}

bool Record::printable_word(std::size_t at) const {
  if (at + 4 > head_len) return false;
  return std::all_of(head.begin() + static_cast<std::ptrdiff_t>(at), head.begin() + static_cast<std::ptrdiff_t>(at + 4),
                     [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

RawFile::~RawFile() {
  if (file_ != qx::os::no_file) qx::os::close_file(file_);
}

std::string RawFile::open(const std::string& path) {
  if (const int error = qx::os::open_existing(path, file_); error != 0) return qx::os::error_text(error);
  qx::os::FileFacts facts;
  if (const int error = qx::os::facts_of(file_, facts); error != 0) return qx::os::error_text(error);
  if (facts.type != qx::os::FileType::regular)
    return facts.type == qx::os::FileType::directory ? "is a directory" : "not a regular file";
  size_ = facts.size;
  return {};
}

std::size_t RawFile::read_at(std::uint64_t offset, void* dst, std::size_t n) const {
  const long long got = qx::os::read_at(file_, offset, dst, n);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool RawFile::marker_at(std::uint64_t offset, qx::ByteOrder order, std::int64_t& value) const {
  unsigned char b[4];
  if (read_at(offset, b, 4) != 4) return false;
  value = static_cast<std::int32_t>(load4(b, order));
  return true;
}

std::string RecordCursor::open(const std::string& path, qx::ByteOrder order, const RawFile& raw) {
  raw_ = &raw;
  order_ = order;
  records_ = 0;
  fault_.clear();
  const int st = reader_.open(path, order);
  if (st != qx::iostat::ok) return "cannot be opened (status " + std::to_string(st) + ")";
  return {};
}

RecordCursor::Step RecordCursor::next(Record& r) {
  r.offset = reader_.offset();
  r.order = order_;
  std::span<char> head(reinterpret_cast<char*>(r.head.data()), r.head.size());
  const int st = reader_.read({qx::in_text(head)});
  if (st == qx::iostat::end_of_file) return Step::end;
  if (st != qx::iostat::ok && st != qx::iostat::short_record) {
    describe_fault(r.offset, st);
    return Step::fault;
  }
  // The reader stands behind the trailing marker: the payload is what lies
  // between the two markers.
  r.length = static_cast<std::uint32_t>(reader_.offset() - r.offset - 8);
  r.head_len = std::min<std::size_t>(r.length, r.head.size());
  ++records_;
  return Step::record;
}

bool RecordCursor::back() {
  if (reader_.backspace() != qx::iostat::ok) return false;
  --records_;
  return true;
}

RecordCursor::Step RecordCursor::words(const Record& r, std::uint64_t count, std::vector<std::uint32_t>& buffer,
                                       std::span<const std::uint32_t>& values) {
  // The record was read whole before, so its length is backed by the file.
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, r.words()));
  // The buffer only grows: every word of it that is used is read below, so
  // records of changing lengths cost no clearing.
  if (buffer.size() < n) buffer.resize(n);
  values = {buffer.data(), n};
  if (n == 0) return Step::record;
  if (reader_.backspace() != qx::iostat::ok) {
    fault_ = "record at offset " + std::to_string(r.offset) + " cannot be read again";
    return Step::fault;
  }
  const int st = reader_.read({qx::in(std::span(reinterpret_cast<std::int32_t*>(buffer.data()), n))});
  if (st != qx::iostat::ok) {
    describe_fault(r.offset, st);
    return Step::fault;
  }
  return Step::record;
}

void RecordCursor::describe_fault(std::uint64_t offset, int status) {
  fault_ = describe_record_fault(*raw_, offset, order_, status);
}

std::string describe_record_fault(const RawFile& raw, std::uint64_t offset, qx::ByteOrder order, int status) {
  const std::string at = " at offset " + std::to_string(offset);
  const std::uint64_t size = raw.size();
  std::int64_t lead = 0, trail = 0;
  if (!raw.marker_at(offset, order, lead))
    return "truncated record" + at + ": the file ends inside its length marker (" +
           std::to_string(size > offset ? size - offset : 0) + " bytes left)";
  if (lead < 0) return "corrupt record marker" + at + ": negative length " + std::to_string(lead);
  const auto length = static_cast<std::uint64_t>(lead);
  if (offset + 8 + length > size) {
    const std::uint64_t held = size - offset - 4;
    // The payload is all there: what is missing is the trailing marker, or part of it.
    if (held == length)
      return "truncated record" + at + ": its trailing length marker is missing (the file ends right after its " +
             std::to_string(lead) + " bytes)";
    if (held > length)
      return "truncated record" + at + ": the file ends inside its trailing length marker (" +
             std::to_string(held - length) + " of 4 bytes, after its " + std::to_string(lead) + " bytes)";
    return "truncated record" + at + ": its marker announces " + std::to_string(lead) + " bytes, the file holds " +
           std::to_string(held) + " after the marker";
  }
  if (!raw.marker_at(offset + 4 + length, order, trail) || trail != lead)
    return "corrupt record marker" + at + ": leading marker " + std::to_string(lead) + ", trailing marker " +
           std::to_string(trail) + " at offset " + std::to_string(offset + 4 + length);
  return "read failure" + at + " (status " + std::to_string(status) + ")";
}

}  // namespace qxdump
