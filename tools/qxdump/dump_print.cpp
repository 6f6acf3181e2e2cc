#include "dump_print.hpp"

#include <algorithm>
#include <bit>
#include <vector>

namespace qxdump {

namespace {

std::string join(const Codes& v, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) s += ',';
    s += std::to_string(v[i]);
  }
  return s;
}

std::string at(std::uint64_t offset) { return "@" + std::to_string(offset); }

std::string record_lengths(const std::vector<RecordEntry>& records) {
  std::string s;
  for (const RecordEntry& r : records) {
    if (!s.empty()) s += ',';
    s += std::to_string(r.length);
  }
  return s;
}

}  // namespace

std::string real_text(double v) {
  static const qx::Layout layout("(1P,E12.5)");
  std::string s;
  qx::write_internal(layout, {qx::out(v)}, s, 12);
  const std::size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? s : s.substr(first);
}

std::string printable_text(std::string_view s) {
  std::string t(s);
  std::replace_if(
      t.begin(), t.end(), [](unsigned char c) { return c < 0x20 || c > 0x7E; }, '.');
  t.erase(t.find_last_not_of(' ') + 1);
  return t;
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Printer::line(const std::string& text) {
  out_.put(text);
  out_.put("\n");
}

void Printer::file_line(const FileInfo& info) {
  std::string s = "file " + printable_text(info.path) + ": " + std::string(kind_text(info));
  if (info.kind != FileKind::empty && info.kind != FileKind::unknown) {
    s += ", " + std::string(family_text(info.family));
    if (!info.family_from_name) s += " rules (the name does not say TP18 or TP19)";
  }
  if (info.kind != FileKind::empty) s += info.order == qx::ByteOrder::big ? ", big-endian" : ", little-endian";
  s += ", " + std::to_string(info.size) + " bytes";
  line(s);
}

void Printer::model_line(Side side, std::string_view how) {
  line("model " + at(0) + " " + std::string(side_text(side)) + " (" + std::string(how) + ")");
}

void Printer::model_record(const ModelRecordReport& m, Words v) {
  std::string s =
      "  " + m.name + " " + at(m.record.offset) + " length=" + std::to_string(m.record.length) + " " + m.fields;
  if (shows_values(m.record))
    s += " (first " + std::to_string(v.size()) + " of " + std::to_string(m.record.length / 4) + " values)";
  line(s);
  for (const std::string& n : m.notes) line("    note: " + n);
  if (shows_values(m.record)) values(m.record, v);
}

void Printer::block(const BlockReport& b, std::span<const std::vector<std::uint32_t>> v, std::string_view means) {
  std::string s;
  s.reserve(160);
  s += "block " + std::to_string(b.number) + " " + at(b.offset) + " " + printable_text(b.kind);
  if (b.maxima) {
    s += " code=" + std::to_string(b.nc[0]) + " nc2=" + std::to_string(b.nc[1]) + " lrec=" + std::to_string(b.lrec);
    if (b.has_na) s += " na=" + std::to_string(b.na);
    if (!b.converted && b.has_na) s += " nd=" + (b.nd ? std::to_string(*b.nd) : std::string("?"));
  } else {
    s += " nc=" + join(b.nc, 6) + " lrec=" + std::to_string(b.lrec);
    if (b.has_sizes) {
      s += " nsize2=" + std::to_string(b.nsize2);
      s += (b.converted ? " dap=" : " dmp=") + real_text(b.real);
      s += (b.converted ? " dtt=" : " dt=") + real_text(b.step);
    } else {
      s += (b.converted ? " dap=" : " dmp=") + real_text(b.real);
    }
  }
  s += " records=" + record_lengths(b.records);
  if (b.dropped) s += " dropped";
  line(s);
  if (!means.empty()) line("  means: " + std::string(means));
  for (const std::string& n : b.notes) line("  note: " + n);
  for (std::size_t i = 0; i < b.records.size(); ++i) {
    const RecordEntry& r = b.records[i];
    const Words shown = i < v.size() ? Words(v[i]) : Words();
    if (options_.records || shows_values(r)) record_line(r, shown.size());
    if (shows_values(r)) values(r, shown);
  }
}

void Printer::note(std::string_view text) { line("  note: " + std::string(text)); }

void Printer::unplaced(const RecordEntry& r, std::string_view first_word, Words v) {
  std::string s = "record " + at(r.offset) + " length=" + std::to_string(r.length) + " not in a block";
  if (!first_word.empty()) s += ", begins \"" + std::string(first_word) + "\"";
  line(s);
  if (shows_values(r)) values(r, v);
}

void Printer::end_line(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals) {
  line("end " + at(offset) + " records=" + std::to_string(records) + " blocks=" + std::to_string(totals.blocks) +
       " unplaced=" + std::to_string(totals.unplaced) + " notes=" + std::to_string(totals.notes));
}

void Printer::record_line(const RecordEntry& r, std::size_t shown) {
  std::string s = "  record " + at(r.offset) + " length=" + std::to_string(r.length) + " " + std::string(r.role);
  if (shows_values(r)) s += " (first " + std::to_string(shown) + " of " + std::to_string(r.length / 4) + " values)";
  line(s);
}

// Integers through (4X,8I12), reals through (4X,1P,6E15.5): the leading
// int4 words of the record first, then the real4 values.
void Printer::values(const RecordEntry& r, Words words) {
  static const qx::Layout int_layout("(4X,8I12)");
  static const qx::Layout real_layout("(4X,1P,6E15.5)");
  const std::size_t n = words.size();
  const std::size_t ints = static_cast<std::size_t>(std::min<std::uint64_t>(r.int_words, n));
  std::string text;
  if (ints > 0) {
    std::vector<std::int32_t> v(ints);
    std::transform(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(ints), v.begin(),
                   [](std::uint32_t w) { return static_cast<std::int32_t>(w); });
    qx::write_layout(int_layout, {qx::out(std::span<const std::int32_t>(v))}, text);
  }
  if (n > ints) {
    std::vector<float> v(n - ints);
    std::transform(words.begin() + static_cast<std::ptrdiff_t>(ints), words.end(), v.begin(),
                   [](std::uint32_t w) { return std::bit_cast<float>(w); });
    qx::write_layout(real_layout, {qx::out(std::span<const float>(v))}, text);
  }
  out_.put(text);
}

}  // namespace qxdump
