#include "format/maxima_codes.hpp"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "format/block_kinds.hpp"

namespace qx::format {

namespace {

constexpr TextShape text_shapes[] = {
    {Real4Exp::e15_5, 1, 4},  // (I8,1P,4E15.5)
    {Real4Exp::e15_5, 2, 4},  // (2I8,1P,4E15.5)
    {Real4Exp::e15_5, 1, 3},  // (I8,1P,3E15.5)
    {Real4Exp::e15_5, 1, 2},  // (I8,1P,2E15.5)
    {Real4Exp::e15_5, 1, 1},  // (I8,1P,E15.5)
    {Real4Exp::e12_4, 0, 8},  // (1P,8E12.4)
};
constexpr const TextShape& shape_of(TextLayout t) { return text_shapes[static_cast<std::size_t>(t)]; }

constexpr Pick p(int d) { return {d, true}; }
constexpr Pick v(int d) { return {d, false}; }
constexpr Pick zero{0, false};

constexpr MaximaRecord record(Target t, Ids ids, TextLayout text, std::initializer_list<Pick> picks,
                              bool ids_in_text = true) {
  MaximaRecord r;
  r.target = t;
  r.ids = ids;
  r.text = text;
  r.ids_in_text = ids_in_text;
  for (const Pick& k : picks) {
    r.picks[r.n_picks++] = k;
    r.values_per_item += k.pair ? 2 : 1;
  }
  return r;
}

constexpr MaximaRecord extra_header() {
  MaximaRecord r;
  r.piece = Piece::extra_header;
  return r;
}

constexpr MaximaCode code_rule(int4 code, int4 nd, std::initializer_list<MaximaRecord> records) {
  MaximaCode c;
  c.code = code;
  c.nd = nd;
  for (const MaximaRecord& r : records) c.records[c.n_records++] = r;
  return c;
}

constexpr Target sv = Target::sv;
constexpr Target sh = Target::sh;
using enum Ids;
using enum TextLayout;

// Per maxima code (as read): the component count of its data record, and the
// records written for it, SV and SH, in the order they are written.
constexpr MaximaCode maxima_codes[] = {
    code_rule(101, 6, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(102, 6, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(103, 6, {record(sv, ia1_ia2, ids_4e, {p(1), p(3)}), record(sh, ia1_ia2, ids_4e, {p(2), zero, zero})}),
    code_rule(104, 3, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(105, 9, {record(sv, ia1, id_3e, {v(1), v(3), v(6)}), record(sh, ia1, id_3e, {v(4), v(5), zero})}),
    code_rule(106, 5, {record(sv, ia1, id_4e, {v(1), v(2), v(3), v(4)})}),
    code_rule(107, 4,
              {record(sv, ia1, id_2e, {v(1), v(2)}), extra_header(), record(sv, ia1, id_1e, {v(4)}),
               record(sh, ia1, values_8e, {zero, v(3)}, /*ids_in_text=*/false)}),
    code_rule(split_code, nd_from_record, {}),
    code_rule(109, 1, {record(sv, ia1, id_1e, {v(1)})}),
    code_rule(110, 3, {record(sv, ia1, id_3e, {v(1), v(2), v(3)})}),
    code_rule(111, 4, {record(sv, ia1, id_3e, {zero, v(1), v(3)})}),
    code_rule(112, 4, {record(sv, ia1, id_3e, {zero, v(1), v(3)})}),
};
static_assert(maxima_codes[std::size(maxima_codes) - 1].code == last_maxima_code);

// Codes below the table (up to 100): six components, the header only.
constexpr MaximaCode header_only = code_rule(0, 6, {});

constexpr bool picks_within_components() {
  for (const MaximaCode& c : maxima_codes)
    for (const MaximaRecord& r : c.written())
      for (std::size_t k = 0; k < r.n_picks; ++k)
        if (r.picks[k].component > c.nd) return false;
  return true;
}
static_assert(picks_within_components(), "a maxima record picks a component its code does not have");

// A line with identifiers holds one item: its identifiers and all its
// values; a line of values alone holds whole items.
constexpr bool text_lines_hold_items() {
  for (const MaximaCode& c : maxima_codes)
    for (const MaximaRecord& r : c.written()) {
      if (r.piece != Piece::record || r.text == TextLayout::none) continue;
      const TextShape& shape = shape_of(r.text);
      const std::size_t ids = r.ids == Ids::ia1_ia2 ? 2 : 1;
      const bool ok = r.ids_in_text ? shape.ids == ids && shape.values == r.values_per_item
                                    : shape.ids == 0 && shape.values % r.values_per_item == 0;
      if (!ok) return false;
    }
  return true;
}
static_assert(text_lines_hold_items(), "a maxima record's text layout does not suit its items");

// Codes written in place of the code read.
constexpr std::pair<int4, int4> renumbered_codes[] = {{111, 112}, {112, 111}};

constexpr int4 written_code(int4 code) {
  for (const auto& [from, to] : renumbered_codes)
    if (code == from) return to;
  return written_quantity(code);
}

// The converted blocks, by the code written, as the table makes them: a
// record belongs to the block of its code, or, for the SV file, to the 108
// block once the extra header has been written.
constexpr int4 first_converted = 101;
constexpr std::size_t converted_codes = static_cast<std::size_t>(last_maxima_code - first_converted + 1);

struct ConvertedTable {
  std::array<ConvertedMaxima, converted_codes> blocks{};
  bool consistent = true;  // each variant gets one record per code, SV and SH of one shape
};

constexpr void take_record(ConvertedMaxima& b, const MaximaRecord& r, bool& consistent) {
  const int ids = r.ids == Ids::ia1_ia2 ? 2 : 1;
  const int reals = static_cast<int>(r.values_per_item);
  bool pairs = false;
  std::array<std::int8_t, 8> values{};
  std::size_t n = 0;
  for (std::size_t k = 0; k < r.n_picks; ++k) {
    const Pick& pick = r.picks[k];
    pairs = pairs || pick.pair;
    for (int i = 0; i < (pick.pair ? 2 : 1); ++i) values[n++] = static_cast<std::int8_t>(pick.component);
  }
  const bool first = b.sv_values == 0 && b.sh_values == 0;
  if (!first && (b.ids != ids || b.reals != reals || b.pairs != pairs)) consistent = false;
  b.ids = ids;
  b.reals = reals;
  b.pairs = pairs;
  std::size_t& held = r.target == Target::sv ? b.sv_values : b.sh_values;
  if (held != 0) consistent = false;
  held = n;
  (r.target == Target::sv ? b.sv : b.sh) = values;
}

constexpr ConvertedTable make_converted_table() {
  ConvertedTable t;
  std::array<bool, converted_codes> header_alone{};
  for (std::size_t i = 0; i < converted_codes; ++i) t.blocks[i].code = first_converted + static_cast<int4>(i);
  const auto index = [](int4 code) { return static_cast<std::size_t>(code - first_converted); };
  for (const MaximaCode& c : maxima_codes) {
    const int4 written = written_code(c.code);
    std::array<int4, 2> block = {written, written};  // the block a record joins, SV and SH
    if (c.n_records == 0) header_alone[index(written)] = true;
    for (const MaximaRecord& r : c.written()) {
      int4& code = block[static_cast<std::size_t>(r.target)];
      if (r.piece == Piece::extra_header) {
        code = split_code;
        continue;
      }
      take_record(t.blocks[index(code)], r, t.consistent);
    }
  }
  for (std::size_t i = 0; i < converted_codes; ++i) {
    ConvertedMaxima& b = t.blocks[i];
    if (b.sv_values == 0) t.consistent = false;  // every code converted writes an SV record
    b.data_optional = header_alone[i];
  }
  return t;
}

constexpr ConvertedTable converted_table = make_converted_table();
static_assert(converted_table.consistent, "the converted maxima blocks of a code differ in shape");

}  // namespace

const TextShape& text_shape(TextLayout t) { return shape_of(t); }

const MaximaCode& maxima_code(int4 code) {
  for (const MaximaCode& c : maxima_codes)
    if (c.code == code) return c;
  return header_only;
}

int4 written_maxima_code(int4 code) { return written_code(code); }

std::optional<int> maxima_components(int4 code) {
  if (code > last_maxima_code) return std::nullopt;
  const int4 nd = maxima_code(code).nd;
  if (nd == nd_from_record) return std::nullopt;
  return nd;
}

int maxima_components_from_record(std::int64_t na, std::uint64_t length) {
  const std::uint64_t items = na > 0 ? static_cast<std::uint64_t>(na) : 0;
  const std::uint64_t id_bytes = maxima_record_bytes(items, 0);
  if (items == 0 || length < id_bytes) return 0;
  return static_cast<int>(std::min<std::uint64_t>(widest_nd, (length - id_bytes) / (8 * items)));
}

const ConvertedMaxima* converted_maxima(int4 written_code) {
  if (written_code < first_converted || written_code > last_maxima_code) return nullptr;
  return &converted_table.blocks[static_cast<std::size_t>(written_code - first_converted)];
}

}  // namespace qx::format
