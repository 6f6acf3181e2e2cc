#include "convert/maxima_block.hpp"

#include <cstdint>
#include <span>

#include "convert/block_header.hpp"
#include "convert/conversion_reports.hpp"
#include "format/block_kinds.hpp"
#include "format/maxima_codes.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

using format::Ids;
using format::MaximaCode;
using format::MaximaRecord;
using format::Piece;
using format::Target;

OutHeader maxima_header(int4 nc1, int4 nc2, int4 lrec) {
  OutHeader h;
  h.name = kind_word(format::maxima_word);
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
  if (h.nc1 > format::last_maxima_code) {
    const int st = ch.skip_record(input);
    return st != iostat::ok ? read_error(run, st) : iostat::ok;
  }
  const MaximaCode& rule = format::maxima_code(h.nc1);
  const OutHeader header = maxima_header(format::written_maxima_code(h.nc1), h.nc2, 1);
  const OutHeader split_header = maxima_header(format::split_code, h.nc2, h.lrec);
  const bool to_sh = format::maxima_goes_to_sh(header.nc1);
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

  const std::span<const MaximaRecord> records = rule.written();
  for (Target target : {Target::sv, Target::sh}) {
    for (const MaximaRecord& r : records) {
      if (r.target != target) continue;
      const int u = binary_unit(target);
      st = r.piece == Piece::extra_header ? write_rec1(ch, u, split_header) : write_record(run, u, r);
      if (st != iostat::ok) return write_error(run, u, st);
    }
  }
  if (!text) return iostat::ok;
  for (Target target : {Target::sv, Target::sh}) {
    for (const MaximaRecord& r : records) {
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
int MaximaBlocks::read_data(Run& run, const MaximaCode& rule) {
  const InItem count = in(na_);
  InItem rest[3];
  const int st = run.ch.read_record_sized(input, std::span(&count, 1), [&](std::uint32_t length) {
    const std::uint64_t items = na_ > 0 ? static_cast<std::uint64_t>(na_) : 0;
    const std::uint64_t nd = static_cast<std::uint64_t>(
        rule.nd == format::nd_from_record ? format::maxima_components_from_record(na_, length) : rule.nd);
    if (format::maxima_record_bytes(items, nd) > length) return SizedItems{false, {}};
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
void MaximaBlocks::pick_values(const MaximaRecord& r) {
  picked_.resize(items_ * r.values_per_item);
  const std::size_t per_item = 2 * static_cast<std::size_t>(nd_);
  real4* dst = picked_.data();
  for (std::size_t a = 0; a < items_; ++a) {
    const real4* acl = acl_.data() + a * per_item;
    for (std::size_t k = 0; k < r.n_picks; ++k) {
      const format::Pick& pick = r.picks[k];
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

int MaximaBlocks::write_record(Run& run, int unit, const MaximaRecord& r) {
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
int MaximaBlocks::write_record_text(Run& run, int unit, const MaximaRecord& r) {
  static const Layout count("(I8)");
  int st = run.ch.write_text(unit, count, {out(na_)});
  if (st != iostat::ok) return st;
  pick_values(r);
  const format::TextShape& shape = format::text_shape(r.text);
  const std::span<const real4> values(picked_);
  if (!r.ids_in_text) return run.ch.write_text(unit, Real4Lines(shape.edit, shape.values, values));
  const std::span<const int4> ia1(ia1_.data(), items_);
  const std::span<const int4> ia2 = r.ids == Ids::ia1_ia2 ? std::span<const int4>(ia2_.data(), items_) : ia1.first(0);
  return run.ch.write_text(unit, Real4Lines(shape.edit, shape.values, values, ia1, ia2));
}

}  // namespace qx
