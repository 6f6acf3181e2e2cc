#include "maxima_table.hpp"

namespace qxdump {

namespace {

// Converted records: na, the identifiers (ia1 alone, or ia1 and ia2 of each
// item in turn), then the reals of each item.
bool take_converted(const FileInfo& info, const BlockReport& b, Words words, MaximaTable& t) {
  const qx::format::ConvertedMaxima* shape = qx::format::converted_maxima(b.nc[0]);
  if (!shape) return false;
  const auto ids = static_cast<std::uint64_t>(shape->ids);
  const auto reals = static_cast<std::uint64_t>(shape->reals);
  if (words.size() != 1 + (ids + reals) * t.na) return false;
  for (std::uint64_t a = 0; a < t.na; ++a) {
    t.id1.push_back(int4_at(words, 1 + ids * a));
    if (ids == 2) t.id2.push_back(int4_at(words, 2 + ids * a));
  }
  t.values = words.subspan(1 + ids * t.na);
  return maxima_columns(info, b, t);
}

// Records of a TP18 file: na, ia1(na), ia2(na), then nd pairs per item.
bool take_read(const FileInfo& info, const BlockReport& b, Words words, MaximaTable& t) {
  if (!b.nd || *b.nd <= 0) return false;
  const auto nd = static_cast<std::uint64_t>(*b.nd);
  if (words.size() != 1 + 2 * t.na + 2 * nd * t.na) return false;
  t.id1.assign(words.begin() + 1, words.begin() + static_cast<std::ptrdiff_t>(1 + t.na));
  t.id2.assign(words.begin() + static_cast<std::ptrdiff_t>(1 + t.na),
               words.begin() + static_cast<std::ptrdiff_t>(1 + 2 * t.na));
  t.values = words.subspan(1 + 2 * t.na);
  return maxima_columns(info, b, t);
}

}  // namespace

bool maxima_columns(const FileInfo& info, const BlockReport& b, MaximaTable& t) {
  t.component_numbers.clear();
  if (b.converted) {
    const qx::format::ConvertedMaxima* shape = qx::format::converted_maxima(b.nc[0]);
    if (!shape) return false;
    t.pairs = shape->pairs;
    const std::size_t per_component = shape->pairs ? 2 : 1;
    t.components = static_cast<std::size_t>(shape->reals) / per_component;
    // The component behind each value, once per pair.
    const bool sv = info.side == Side::sv, sh = info.side == Side::sh;
    const std::size_t named = sv ? shape->sv_values : sh ? shape->sh_values : 0;
    for (std::size_t v = 0; v < named; v += per_component)
      t.component_numbers.push_back((sv ? shape->sv : shape->sh)[v]);
    return true;
  }
  if (!b.nd || *b.nd <= 0) return false;
  t.pairs = true;
  t.components = static_cast<std::size_t>(*b.nd);
  for (int d = 1; d <= *b.nd; ++d) t.component_numbers.push_back(d);
  return true;
}

bool take_maxima_record(const FileInfo& info, const BlockReport& b, const RecordEntry& record, Words words,
                        MaximaTable& t) {
  t = {};
  // Every word of the record, and no bytes beyond the last whole word.
  if (record.length % 4 != 0 || words.size() != record.length / 4 || words.empty()) return false;
  const std::int32_t na = int4_at(words, 0);
  if (na < 0) return false;
  // The size checks below compare the record with what na calls for before
  // anything is taken, so na is never trusted beyond the record.
  t.na = static_cast<std::uint64_t>(na);
  return b.converted ? take_converted(info, b, words, t) : take_read(info, b, words, t);
}

std::vector<std::string> maxima_value_names(const MaximaTable& t) {
  std::vector<std::string> names;
  for (std::size_t c = 0; c < t.components; ++c) {
    const int number = c < t.component_numbers.size() ? t.component_numbers[c] : -1;
    const std::string d = number < 0 ? "value" + std::to_string(c + 1) : number == 0 ? "zero" : "c" + std::to_string(number);
    if (t.pairs) {
      names.push_back(d + "_1");
      names.push_back(d + "_2");
    } else {
      names.push_back(d);
    }
  }
  return names;
}

}  // namespace qxdump
