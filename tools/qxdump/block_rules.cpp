#include "block_rules.hpp"

#include <algorithm>

namespace qxdump {

namespace {

// Data records of an ordinary block by kind word: in a TP18 and a TP19 result
// file, and in the files converted from them (spectra gain their frequency
// axis in converted TP18 files: the first of their records; converted TP19
// blocks carry one record).
struct KindRecords {
  std::string_view kind;
  int tp18, tp19, converted_tp18, converted_tp19;
  int converted_tp18_axis;
};

constexpr KindRecords kind_records[] = {
    {"INFO", 0, 0, 0, 0, 0},
    {"WAVE", 1, 1, 1, 1, 0},
    {"FOUR", 2, 1, 3, 1, 1},
    {"AMPL", 2, 2, 3, 1, 1},
    {"SPEC", 2, 1, 2, 1, 0},
};
// Any other kind word.
constexpr KindRecords other_kind = {"", 0, 1, 0, 1, 0};

const KindRecords& records_of(std::string_view kind) {
  const auto* row = std::find_if(std::begin(kind_records), std::end(kind_records),
                                 [&](const KindRecords& k) { return k.kind == kind; });
  return row == std::end(kind_records) ? other_kind : *row;
}

struct MaximaComponents {
  std::int32_t first, last;  // code range
  int nd;
};

constexpr MaximaComponents maxima_component_table[] = {
    {INT32_MIN, 103, 6}, {104, 104, 3}, {105, 105, 9}, {106, 106, 5}, {107, 107, 4},
    {109, 109, 1},       {110, 110, 3}, {111, 112, 4},
};

// Converted maxima records by the code written. The component strings name,
// value by value (a pair counts once), the component of the maxima record
// read that the converter took; '0' is a zero it wrote as a filler. An empty
// string: the variant receives no data record of this code.
constexpr MaximaShape converted_maxima_shapes[] = {
    // code ids reals optional pairs  SV       SH
    {101,   1,  4,    false,   true,  "13",    "20"},
    {102,   1,  4,    false,   true,  "13",    "20"},
    {103,   2,  4,    false,   true,  "13",    "20"},
    {104,   1,  4,    false,   true,  "13",    "20"},
    {105,   1,  3,    false,   false, "136",   "450"},
    {106,   1,  4,    false,   false, "1234",  ""},
    {107,   1,  2,    false,   false, "12",    "03"},
    {108,   1,  1,    true,    false, "4",     ""},  // the second half of a 107 block
    {109,   1,  1,    false,   false, "1",     ""},
    {110,   1,  3,    false,   false, "123",   ""},
    {111,   1,  3,    false,   false, "013",   ""},  // read as 112
    {112,   1,  3,    false,   false, "013",   ""},  // read as 111
};

constexpr bool components_fit(const MaximaShape& s, std::string_view c) {
  return c.empty() || static_cast<int>(c.size()) * (s.pairs ? 2 : 1) == s.reals;
}
constexpr bool shapes_consistent() {
  for (const MaximaShape& s : converted_maxima_shapes)
    if (s.ids < 1 || s.ids > 2 || !components_fit(s, s.sv) || !components_fit(s, s.sh) || s.sv.empty()) return false;
  return true;
}
static_assert(shapes_consistent(), "every component string names one value (or pair) of the record's reals");

}  // namespace

int ordinary_data_records(std::string_view kind, Family family, bool converted) {
  const KindRecords& k = records_of(kind);
  if (family == Family::tp19) return converted ? k.converted_tp19 : k.tp19;
  return converted ? k.converted_tp18 : k.tp18;
}

int axis_records(std::string_view kind, Family family, bool converted) {
  return family == Family::tp18 && converted ? records_of(kind).converted_tp18_axis : 0;
}

std::optional<int> tp18_dropped_records(std::string_view kind, const Codes& nc) {
  const std::int32_t nc1 = nc[0], nc2 = nc[1], nc3 = nc[2];
  if (nc1 == 13 || nc1 > 33) return 2;
  if (nc2 == 5) return nc1 > 10 ? 2 : 1;
  // Amplification functions that pair the out-of-plane component with an
  // in-plane one.
  const bool in_plane2 = nc2 == 1 || nc2 == 3;
  if (kind == "AMPL" && ((nc2 == 2 && (nc3 == 1 || nc3 == 3)) || (in_plane2 && nc3 == 2))) return 2;
  return std::nullopt;
}

std::optional<int> maxima_components(std::int32_t code) {
  for (const auto& m : maxima_component_table)
    if (code >= m.first && code <= m.last) return m.nd;
  return std::nullopt;
}

const MaximaShape* converted_maxima_shape(std::int32_t code) {
  for (const auto& s : converted_maxima_shapes)
    if (s.code == code) return &s;
  return nullptr;
}

bool is_block_header(const Record& r, FileKind kind, Family family) {
  if (kind == FileKind::empty || kind == FileKind::unknown || !r.printable_word(0)) return false;
  if (kind == FileKind::converted || kind == FileKind::blocks) return r.length == converted_rec1_bytes;
  if (family == Family::tp18 && r.word(0) == "MAXR") return r.length >= result_maxima_header_bytes;
  return r.length >= result_rec1_bytes;
}

}  // namespace qxdump
