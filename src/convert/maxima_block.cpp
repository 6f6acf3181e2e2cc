#include "convert/maxima_block.hpp"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "convert/block_header.hpp"
#include "convert/conversion_reports.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

enum class Target : std::uint8_t { sv, sh };
enum class Piece : std::uint8_t { record, extra_header };
// Identifiers of a converted record: ia1 of all items, or ia1(a), ia2(a)
// item by item.
enum class Ids : std::uint8_t { ia1, ia1_ia2 };

// Layouts of the item lines of the text twins.
enum class TextLayout : std::uint8_t { id_4e, ids_4e, id_3e, id_2e, id_1e, values_8e, none };

// The shape of each layout: identifiers (I8) and values at the head of a
// line, or only values, so many to a line.
struct TextShape {
  Real4Exp edit;
  std::size_t ids;
  std::size_t values;
};
constexpr TextShape text_shapes[] = {
    {Real4Exp::e15_5, 1, 4},  // (I8,1P,4E15.5)
    {Real4Exp::e15_5, 2, 4},  // (2I8,1P,4E15.5)
    {Real4Exp::e15_5, 1, 3},  // (I8,1P,3E15.5)
    {Real4Exp::e15_5, 1, 2},  // (I8,1P,2E15.5)
    {Real4Exp::e15_5, 1, 1},  // (I8,1P,E15.5)
    {Real4Exp::e12_4, 0, 8},  // (1P,8E12.4)
};
constexpr const TextShape& text_shape(TextLayout t) { return text_shapes[static_cast<std::size_t>(t)]; }

// One value of an item in a converted record: a component's pair
// acl(1..2, d), its first value acl(1, d) alone, or a zero filler.
struct Pick {
  int component = 0;  // 1..nd; 0 for the zero filler
  bool pair = false;
};
constexpr Pick p(int d) { return {d, true}; }
constexpr Pick v(int d) { return {d, false}; }
constexpr Pick zero{0, false};

}  // namespace

// One output of a maxima block: a record of picked values for the SV or SH
// file (with its text lines), or the extra 108 header of a split block.
struct MaximaRecordRule {
  Target target = Target::sv;
  Piece piece = Piece::record;
  Ids ids = Ids::ia1;
  bool ids_in_text = true;
  TextLayout text = TextLayout::none;
  std::array<Pick, 4> picks{};
  std::size_t n_picks = 0;
  std::size_t values_per_item = 0;
};

struct MaximaCodeRule {
  int4 code = 0;
  int4 nd = 0;  // components per item in the data record
  std::array<MaximaRecordRule, 4> records{};
  std::size_t n_records = 0;
};

namespace {

// Component count of a 108 block read from a file: 108 is made by the
// conversion from 107 and its data are not converted, so the count is taken
// from the length of the record itself.
constexpr int4 nd_from_record = -1;
constexpr int4 widest_nd = 9;
constexpr int4 last_maxima_code = 112;

constexpr MaximaRecordRule record(Target t, Ids ids, TextLayout text, std::initializer_list<Pick> picks,
                                  bool ids_in_text = true) {
  MaximaRecordRule r;
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

constexpr MaximaRecordRule extra_header() {
  MaximaRecordRule r;
  r.piece = Piece::extra_header;
  return r;
}

constexpr MaximaCodeRule code_rule(int4 code, int4 nd, std::initializer_list<MaximaRecordRule> records) {
  MaximaCodeRule c;
  c.code = code;
  c.nd = nd;
  for (const MaximaRecordRule& r : records) c.records[c.n_records++] = r;
  return c;
}

constexpr Target sv = Target::sv;
constexpr Target sh = Target::sh;
using enum Ids;
using enum TextLayout;

// Per maxima code (as read): the component count of its data record, and the
// records written for it, SV and SH, in the order they are written.
constexpr MaximaCodeRule maxima_codes[] = {
    code_rule(101, 6, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(102, 6, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(103, 6, {record(sv, ia1_ia2, ids_4e, {p(1), p(3)}), record(sh, ia1_ia2, ids_4e, {p(2), zero, zero})}),
    code_rule(104, 3, {record(sv, ia1, id_4e, {p(1), p(3)}), record(sh, ia1, id_4e, {p(2), zero, zero})}),
    code_rule(105, 9, {record(sv, ia1, id_3e, {v(1), v(3), v(6)}), record(sh, ia1, id_3e, {v(4), v(5), zero})}),
    code_rule(106, 5, {record(sv, ia1, id_4e, {v(1), v(2), v(3), v(4)})}),
    code_rule(107, 4,
              {record(sv, ia1, id_2e, {v(1), v(2)}), extra_header(), record(sv, ia1, id_1e, {v(4)}),
               record(sh, ia1, values_8e, {zero, v(3)}, /*ids_in_text=*/false)}),
    code_rule(108, nd_from_record, {}),
    code_rule(109, 1, {record(sv, ia1, id_1e, {v(1)})}),
    code_rule(110, 3, {record(sv, ia1, id_3e, {v(1), v(2), v(3)})}),
    code_rule(111, 4, {record(sv, ia1, id_3e, {zero, v(1), v(3)})}),
    code_rule(112, 4, {record(sv, ia1, id_3e, {zero, v(1), v(3)})}),
};
// Codes below the table (up to 100 and any other code below 104): six
// components, the header only.
constexpr MaximaCodeRule header_only = code_rule(0, 6, {});

constexpr bool picks_within_components() {
  for (const MaximaCodeRule& c : maxima_codes)
    for (std::size_t i = 0; i < c.n_records; ++i)
      for (std::size_t k = 0; k < c.records[i].n_picks; ++k)
        if (c.records[i].picks[k].component > c.nd) return false;
  return true;
}
static_assert(picks_within_components(), "a maxima record picks a component its code does not have");

// A line with identifiers holds one item: its identifiers and all its
// values; a line of values alone holds whole items.
constexpr bool text_lines_hold_items() {
  for (const MaximaCodeRule& c : maxima_codes)
    for (std::size_t i = 0; i < c.n_records; ++i) {
      const MaximaRecordRule& r = c.records[i];
      if (r.piece != Piece::record || r.text == TextLayout::none) continue;
      const TextShape& shape = text_shape(r.text);
      const std::size_t ids = r.ids == Ids::ia1_ia2 ? 2 : 1;
      const bool ok = r.ids_in_text ? shape.ids == ids && shape.values == r.values_per_item
                                    : shape.ids == 0 && shape.values % r.values_per_item == 0;
      if (!ok) return false;
    }
  return true;
}
static_assert(text_lines_hold_items(), "a maxima record's text layout does not suit its items");

// Codes written in place of the code read.
constexpr std::pair<int4, int4> renumbered_codes[] = {{9, 10}, {111, 112}, {112, 111}};

const MaximaCodeRule& rule_of(int4 code) {
  for (const MaximaCodeRule& c : maxima_codes)
    if (c.code == code) return c;
  return header_only;
}

int4 written_code(int4 code) {
  for (const auto& [from, to] : renumbered_codes)
    if (code == from) return to;
  return code;
}

// The SH file receives the maxima blocks of the in-plane-and-out-of-plane
// codes: those below 106, and 107.
bool goes_to_sh(int4 written) { return written < 106 || written == 107; }

OutHeader maxima_header(int4 nc1, int4 nc2, int4 lrec) {
  OutHeader h;
  h.name = {'M', 'A', 'X', 'R'};
  h.nc1 = nc1;
  h.nc2 = nc2;
  h.lrec = lrec;
  return h;
}

int binary_unit(Target t) { return t == Target::sv ? tp18_file.sv.unit : tp18_file.sh.unit; }
int text_unit(Target t) { return t == Target::sv ? tp18_file.svt.unit : tp18_file.sht.unit; }

constexpr int input = tp18_file.input.unit;     // channel 18
constexpr int dump_unit = tp18_file.dump.unit;  // channel 24, .TP18.txt

int read_error(Run& run, int status) { return report_failure(run, tp18_file, Failure::data_read, status); }
int write_error(Run& run, int unit, int status) {
  return report_failure(run, tp18_file, Failure::data_write, status, unit);
}

}  // namespace

int MaximaBlocks::convert(Run& run, const MaximaHeader& h) {
  Channels& ch = run.ch;
  if (h.nc1 > last_maxima_code) {
    const int st = ch.skip_record(input);
    return st != iostat::ok ? read_error(run, st) : iostat::ok;
  }
  const MaximaCodeRule& rule = rule_of(h.nc1);
  const OutHeader header = maxima_header(written_code(h.nc1), h.nc2, 1);
  const OutHeader split_header = maxima_header(108, h.nc2, h.lrec);
  const bool to_sh = goes_to_sh(header.nc1);
  const bool text = run.val.maxr == 1;

  const int sv = binary_unit(Target::sv), sh = binary_unit(Target::sh);
  const int svt = text_unit(Target::sv), sht = text_unit(Target::sh);
  int st = write_rec1(ch, sv, header);
  if (st != iostat::ok) return write_error(run, sv, st);
  if (to_sh && (st = write_rec1(ch, sh, header)) != iostat::ok) return write_error(run, sh, st);
  if (text) {
    if ((st = write_rec1_text(ch, svt, header, header.dap)) != iostat::ok) return write_error(run, svt, st);
    if (to_sh && (st = write_rec1_text(ch, sht, header, header.dap)) != iostat::ok) return write_error(run, sht, st);
  }

  if ((st = read_data(run, rule)) != iostat::ok) return st;
  if (text && (st = dump(run)) != iostat::ok) return st;

  const std::span<const MaximaRecordRule> records(rule.records.data(), rule.n_records);
  for (Target target : {Target::sv, Target::sh}) {
    for (const MaximaRecordRule& r : records) {
      if (r.target != target) continue;
      const int u = binary_unit(target);
      st = r.piece == Piece::extra_header ? write_rec1(ch, u, split_header) : write_record(run, u, r);
      if (st != iostat::ok) return write_error(run, u, st);
    }
  }
  if (!text) return iostat::ok;
  for (Target target : {Target::sv, Target::sh}) {
    for (const MaximaRecordRule& r : records) {
      if (r.target != target) continue;
      const int u = text_unit(target);
      st = r.piece == Piece::extra_header ? write_rec1_text(ch, u, split_header, split_header.dap)
                                          : write_record_text(run, u, r);
      if (st != iostat::ok) return write_error(run, u, st);
    }
  }
  return iostat::ok;
}

// Reads the data record once: na first, then, once the record's length is
// known to hold na items of the code's components, the rest. Nothing is
// sized from na before that check.
int MaximaBlocks::read_data(Run& run, const MaximaCodeRule& rule) {
  const InItem count = in(na_);
  InItem rest[3];
  const int st = run.ch.read_record_sized(input, std::span(&count, 1), [&](std::uint32_t length) {
    const std::uint64_t items = na_ > 0 ? static_cast<std::uint64_t>(na_) : 0;
    const std::uint64_t id_bytes = 4 + 8 * items;
    std::uint64_t nd = static_cast<std::uint64_t>(rule.nd);
    if (rule.nd == nd_from_record)
      nd = items == 0 || length < id_bytes ? 0 : std::min<std::uint64_t>(widest_nd, (length - id_bytes) / (8 * items));
    if (id_bytes + 8 * nd * items > length) return SizedItems{false, {}};
    items_ = static_cast<std::size_t>(items);
    nd_ = static_cast<int4>(nd);
    ia1_.resize(items_);
    ia2_.resize(items_);
    acl_.resize(2 * static_cast<std::size_t>(nd) * items_);
    rest[0] = in(std::span(ia1_));
    rest[1] = in(std::span(ia2_));
    rest[2] = in(std::span(acl_));
    return SizedItems{true, std::span<const InItem>(rest)};
  });
  return st != iostat::ok ? read_error(run, st) : iostat::ok;
}

// The raw record, as read, to the maxima dump .TP18.txt.
int MaximaBlocks::dump(Run& run) {
  static const Layout head("(A,I7,A)");
  static const Layout ids("(15I7)");
  Channels& ch = run.ch;
  int st = ch.write_text(dump_unit, head,
                         {out_text("na="), out(na_), out_text(", ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)")});
  if (st == iostat::ok) st = ch.write_text(dump_unit, ids, {out(std::span<const int4>(ia1_.data(), items_))});
  if (st == iostat::ok) st = ch.write_text(dump_unit, ids, {out(std::span<const int4>(ia2_.data(), items_))});
  const std::size_t per_item = 2 * static_cast<std::size_t>(nd_);
  // "(1P,18E12.4)", one write per item
  for (std::size_t a = 0; a < items_ && st == iostat::ok; ++a)
    st = ch.write_text(dump_unit, Real4Lines(Real4Exp::e12_4, 18, std::span(acl_.data() + a * per_item, per_item)));
  return st != iostat::ok ? write_error(run, dump_unit, st) : iostat::ok;
}

// Fills picked_ with the record's values, item by item.
void MaximaBlocks::pick_values(const MaximaRecordRule& r) {
  picked_.resize(items_ * r.values_per_item);
  const std::size_t per_item = 2 * static_cast<std::size_t>(nd_);
  real4* dst = picked_.data();
  for (std::size_t a = 0; a < items_; ++a) {
    const real4* acl = acl_.data() + a * per_item;
    for (std::size_t k = 0; k < r.n_picks; ++k) {
      const Pick& pick = r.picks[k];
      if (pick.component == 0) {
        *dst++ = 0.0f;
        continue;
      }
      const real4* pair = acl + 2 * static_cast<std::size_t>(pick.component - 1);
      *dst++ = pair[0];
      if (pick.pair) *dst++ = pair[1];
    }
  }
}

int MaximaBlocks::write_record(Run& run, int unit, const MaximaRecordRule& r) {
  pick_values(r);
  OutItem ids = out(std::span<const int4>(ia1_.data(), items_));
  if (r.ids == Ids::ia1_ia2) {
    id_pairs_.resize(2 * items_);
    for (std::size_t a = 0; a < items_; ++a) {
      id_pairs_[2 * a] = ia1_[a];
      id_pairs_[2 * a + 1] = ia2_[a];
    }
    ids = out(std::span<const int4>(id_pairs_));
  }
  return run.ch.write_record(unit, {out(na_), ids, out(std::span<const real4>(picked_))});
}

// The record as text: na on a line of its own, then the lines of one write
// of all items through the record's layout.
int MaximaBlocks::write_record_text(Run& run, int unit, const MaximaRecordRule& r) {
  static const Layout count("(I8)");
  int st = run.ch.write_text(unit, count, {out(na_)});
  if (st != iostat::ok) return st;
  pick_values(r);
  const TextShape& shape = text_shape(r.text);
  const std::span<const real4> values(picked_);
  if (!r.ids_in_text) return run.ch.write_text(unit, Real4Lines(shape.edit, shape.values, values));
  const std::span<const int4> ia1(ia1_.data(), items_);
  const std::span<const int4> ia2 = r.ids == Ids::ia1_ia2 ? std::span<const int4>(ia2_.data(), items_) : ia1.first(0);
  return run.ch.write_text(unit, Real4Lines(shape.edit, shape.values, values, ia1, ia2));
}

}  // namespace qx
