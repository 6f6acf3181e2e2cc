#include "file_kind.hpp"

#include <algorithm>
#include <cctype>

#include "block_rules.hpp"
#include "format/file_names.hpp"

namespace qxdump {

namespace {

// The leading marker read in `order` announces a payload that the file holds,
// and the trailing marker behind it says the same.
bool first_record_fits(const RawFile& raw, qx::ByteOrder order) {
  std::int64_t lead = 0, trail = 0;
  if (!raw.marker_at(0, order, lead) || lead < 0) return false;
  const auto length = static_cast<std::uint64_t>(lead);
  if (8 + length > raw.size()) return false;
  return raw.marker_at(4 + length, order, trail) && trail == lead;
}

std::string upper(std::string_view s) {
  std::string u(s);
  std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return u;
}

struct NameMark {
  std::string_view text;  // upper case
  bool sets_family;
  Family family;
  Side side;
};

// Name parts that state the family or the variant of a file.
constexpr NameMark name_marks[] = {
    {qx::format::tp18_suffix, true, Family::tp18, Side::either},
    {qx::format::tp19_suffix, true, Family::tp19, Side::either},
    {qx::format::sv_mark, false, Family::tp18, Side::sv},
    {qx::format::sh_mark, false, Family::tp18, Side::sh},
};

}  // namespace

bool detect_byte_order(const RawFile& raw, qx::ByteOrder& order, std::string& why) {
  for (qx::ByteOrder o : {qx::ByteOrder::little, qx::ByteOrder::big}) {
    if (first_record_fits(raw, o)) {
      order = o;
      return true;
    }
  }
  // Neither fits: described in the order that reads the smaller length (a
  // record length is small next to its byte swap), little-endian on a tie.
  std::int64_t little = -1, big = -1;
  raw.marker_at(0, qx::ByteOrder::little, little);
  raw.marker_at(0, qx::ByteOrder::big, big);
  const bool take_big = big >= 0 && (little < 0 || big < little);
  why = describe_record_fault(raw, 0, take_big ? qx::ByteOrder::big : qx::ByteOrder::little, 0);
  return false;
}

void name_hints(std::string_view path, FileInfo& info) {
  const std::size_t slash = path.rfind('/');
  const std::string name = upper(slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (const NameMark& m : name_marks) {
    if (name.find(m.text) == std::string::npos) continue;
    if (m.sets_family) {
      info.family = m.family;
      info.family_from_name = true;
    } else {
      info.side = m.side;
      info.side_from_name = true;
    }
  }
}

void detect_kind(const Record& first, FileInfo& info) {
  if (first.length == model_counts_bytes) {
    info.kind = FileKind::converted;
  } else if (first.printable_word(0) && first.length == converted_rec1_bytes) {
    info.kind = FileKind::blocks;
  } else if (first.word(0) == maxima_word && first.length >= maxima_header_bytes) {
    info.kind = FileKind::result;
    if (!info.family_from_name) info.family = Family::tp18;  // only TP18 files hold maxima blocks
  } else if (first.printable_word(0) && first.length >= rec1_bytes) {
    info.kind = FileKind::result;
  } else {
    info.kind = FileKind::unknown;
  }
}

std::string_view kind_text(const FileInfo& info) {
  switch (info.kind) {
    case FileKind::empty: return "empty file";
    case FileKind::result: return "result file";
    case FileKind::converted: return "converted file";
    case FileKind::blocks: return "converted result blocks without a model section";
    case FileKind::unknown: return "file of unknown kind";
  }
  return "";
}

std::string_view family_text(Family f) { return f == Family::tp19 ? "TP19" : "TP18"; }

std::string_view side_text(Side s) {
  switch (s) {
    case Side::sv: return "SV";
    case Side::sh: return "SH";
    case Side::either: return "SV or SH";
  }
  return "";
}

}  // namespace qxdump
