#include "convert/block_header.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "format/block_kinds.hpp"
#include "io/channels.hpp"

namespace qx {

namespace {

// Layouts of the header lines of the text twins, applied at run time.
const Layout& fmt1s() {
  static const Layout l("(a4,6i8,1PE15.5,i8)");
  return l;
}
const Layout& fmt2s() {
  static const Layout l("(I8,1P5E15.5)");
  return l;
}

std::string_view text_of(const std::array<char, 4>& name) { return {name.data(), name.size()}; }

// The header records as the formats give their lengths.
static_assert(4 + 6 * sizeof(int4) + sizeof(real8) + sizeof(int4) == format::rec1_bytes);
static_assert(sizeof(int4) + sizeof(real8) + 4 * sizeof(real4) == format::rec2_bytes);
static_assert(4 + 6 * sizeof(int4) + sizeof(real4) + sizeof(int4) == format::converted_rec1_bytes);
static_assert(sizeof(int4) + sizeof(real4) + 4 * sizeof(real4) == format::converted_rec2_bytes);

template <typename Real>
int rec1_text(Channels& ch, int unit, const OutHeader& h, const Real& shown) {
  return ch.write_text(unit, fmt1s(),
                       {out_text(text_of(h.name)), out(h.nc1), out(h.nc2), out(h.nc3), out(h.nc4), out(h.nc5),
                        out(h.nc6), out(shown), out(h.lrec)});
}

template <typename Real>
int rec2_text(Channels& ch, int unit, const OutHeader& h, const Real& shown) {
  return ch.write_text(unit, fmt2s(), {out(h.nsize2), out(shown), out(std::span<const real4>(h.yt))});
}

// REC1 as read, one item list for reading the record and for taking it from
// a record already read.
std::array<InItem, 9> rec1_items(BlockHeader& h) {
  return {in_text(h.name), in(h.nc1), in(h.nc2), in(h.nc3), in(h.nc4), in(h.nc5), in(h.nc6), in(h.dmp), in(h.lrec)};
}

}  // namespace

real4 narrow(real8 v) {
  constexpr real4 smallest_normal = std::numeric_limits<real4>::min();
  // Half a unit of the last place of a 24-bit significand below it.
  constexpr real8 rounds_to_smallest = real8{smallest_normal} * (1.0 - 0x1p-25);
  const real8 magnitude = std::fabs(v);
  if (magnitude < real8{smallest_normal})
    return std::copysign(magnitude >= rounds_to_smallest ? smallest_normal : 0.0f, static_cast<real4>(v));
  return static_cast<real4>(v);
}

std::array<char, 4> kind_word(std::string_view word) {
  std::array<char, 4> name{' ', ' ', ' ', ' '};
  word.copy(name.data(), std::min(word.size(), name.size()));
  return name;
}

OutHeader default_info_header() {
  OutHeader h;
  h.name = kind_word(format::info_word);
  h.nc1 = 6;
  h.nc2 = 0;
  h.nc3 = 3;
  h.nc4 = 0;
  h.nc5 = 0;
  h.nc6 = 1;
  h.dap = 9.8f;
  h.lrec = 1;
  return h;
}

OutHeader narrowed(const BlockHeader& h, bool keeps_step) {
  OutHeader o;
  o.name = h.name;
  o.nc1 = h.nc1;
  o.nc2 = h.nc2;
  o.nc3 = h.nc3;
  o.nc4 = h.nc4;
  o.nc5 = h.nc5;
  o.nc6 = h.nc6;
  o.dap = narrow(h.dmp);
  o.lrec = h.lrec;
  o.nsize2 = h.nsize2;
  o.dtt = keeps_step ? narrow(h.dt) : 0.0f;
  o.yt = h.yt;
  return o;
}

int read_rec1(Channels& ch, int unit, BlockHeader& h) { return ch.read_record(unit, rec1_items(h)); }

int take_rec1(const RecordHead& rec, BlockHeader& h) { return rec.take(rec1_items(h)); }

int read_rec2(Channels& ch, int unit, BlockHeader& h) {
  return ch.read_record(unit, {in(h.nsize2), in(h.dt), in(std::span<real4>(h.yt))});
}

int write_rec1(Channels& ch, int unit, const OutHeader& h) {
  return ch.write_record(unit, {out_text(text_of(h.name)), out(h.nc1), out(h.nc2), out(h.nc3), out(h.nc4),
                                out(h.nc5), out(h.nc6), out(h.dap), out(h.lrec)});
}

int write_rec2(Channels& ch, int unit, const OutHeader& h) {
  return ch.write_record(unit, {out(h.nsize2), out(h.dtt), out(std::span<const real4>(h.yt))});
}

int write_rec1_text(Channels& ch, int unit, const OutHeader& h, real8 shown_real) {
  return rec1_text(ch, unit, h, shown_real);
}
int write_rec1_text(Channels& ch, int unit, const OutHeader& h, real4 shown_real) {
  return rec1_text(ch, unit, h, shown_real);
}
int write_rec2_text(Channels& ch, int unit, const OutHeader& h, real8 shown_step) {
  return rec2_text(ch, unit, h, shown_step);
}
int write_rec2_text(Channels& ch, int unit, const OutHeader& h, real4 shown_step) {
  return rec2_text(ch, unit, h, shown_step);
}

int write_block_list_lines(Channels& ch, int unit, const BlockHeader& h) {
  static const Layout line1("(A4,6I8,1P,E15.5,I8)");
  static const Layout line2("(I8,1P,5E15.5,I8)");
  int st = ch.write_text(unit, line1,
                         {out_text(h.kind()), out(h.nc1), out(h.nc2), out(h.nc3), out(h.nc4), out(h.nc5), out(h.nc6),
                          out(h.dmp), out(h.lrec)});
  int st2 = ch.write_text(unit, line2, {out(h.nsize2), out(h.dt), out(std::span<const real4>(h.yt))});
  return st != 0 ? st : st2;
}

}  // namespace qx
