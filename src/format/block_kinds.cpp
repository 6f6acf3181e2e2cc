#include "format/block_kinds.hpp"

#include <algorithm>
#include <iterator>

namespace qx::format {

namespace {

constexpr ValueCount own = ValueCount::own, first_spectrum = ValueCount::first_spectrum,
                     first_response = ValueCount::first_response, no_values = ValueCount::none;
constexpr TextOption wave = TextOption::wave, four = TextOption::four, ampl = TextOption::ampl,
                     spec = TextOption::spec, no_text = TextOption::none;

// One row per kind word: the data records in the four files, then what a
// reader and a conversion do with them.
constexpr BlockKind kinds[] = {
    // word     TP18 TP19 cTP18 cTP19 axis   values          step   lrec info   routed fixes  option
    {info_word, 0,   0,   0,    0,    false, no_values,      false, 0,   true,  false, false, no_text},
    {"WAVE",    1,   1,   1,    1,    false, own,            true,  0,   false, true,  true,  wave},
    {"FOUR",    2,   1,   3,    1,    true,  first_spectrum, false, 4,   false, true,  false, four},
    {"AMPL",    2,   2,   3,    1,    true,  first_spectrum, false, 4,   false, false, false, ampl},
    {"SPEC",    2,   1,   2,    1,    false, first_response, false, 0,   false, true,  false, spec},
};
// Any other word: the two header records alone in a TP18 file; one data
// record in a TP19 file.
constexpr BlockKind other_kind = {"", 0, 1, 0, 1, false, no_values, false, 0, false, true, false, no_text};

// A converted TP18 block holds the records read and the axis before them,
// and an lrec that is written counts them with REC2.
constexpr bool converted_records_agree() {
  for (const BlockKind& k : kinds) {
    if (k.converted_tp18_records != k.tp18_records + (k.axis ? 1 : 0)) return false;
    if (k.written_lrec != 0 && k.written_lrec != 1 + k.converted_tp18_records) return false;
    if ((k.tp18_values == no_values) != (k.tp18_records == 0)) return false;
  }
  return true;
}
static_assert(converted_records_agree(), "a kind's converted records disagree with the records read and its axis");

// Blocks that are not converted, tested in this order on the codes as read,
// with the number of data records passed over for each.
struct DropRule {
  bool (*applies)(std::string_view word, int4 nc1, int4 nc2, int4 nc3);
  int (*records)(int4 nc1);
};

constexpr DropRule drop_rules[] = {
    // quantities that neither variant knows
    {[](std::string_view, int4 nc1, int4, int4) { return nc1 == 13 || nc1 > 33; }, [](int4) { return 2; }},
    // component 5
    {[](std::string_view, int4, int4 nc2, int4) { return nc2 == 5; }, [](int4 nc1) { return nc1 > 10 ? 2 : 1; }},
    // amplification between the out-of-plane component and an in-plane one
    {[](std::string_view word, int4, int4 nc2, int4 nc3) {
       return word == "AMPL" && ((nc2 == 2 && (nc3 == 1 || nc3 == 3)) || (nc3 == 2 && (nc2 == 1 || nc2 == 3)));
     },
     [](int4) { return 2; }},
};

}  // namespace

const BlockKind& block_kind(std::string_view word) {
  const auto* k = std::find_if(std::begin(kinds), std::end(kinds), [&](const BlockKind& b) { return b.word == word; });
  return k == std::end(kinds) ? other_kind : *k;
}

std::optional<int> tp18_dropped_records(std::string_view word, int4 nc1, int4 nc2, int4 nc3) {
  for (const DropRule& rule : drop_rules)
    if (rule.applies(word, nc1, nc2, nc3)) return rule.records(nc1);
  return std::nullopt;
}

}  // namespace qx::format
