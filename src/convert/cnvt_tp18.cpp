#include "convert/cnvt_tp18.hpp"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "convert/block_header.hpp"
#include "convert/conversion_frame.hpp"
#include "convert/conversion_reports.hpp"
#include "convert/maxima_block.hpp"
#include "format/block_kinds.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"
#include "run/channel_numbers.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

// The run option under which a kind's values reach the text twins.
int4 text_switch(const ComValTp18& v, format::TextOption option) {
  switch (option) {
    case format::TextOption::wave: return v.wave;
    case format::TextOption::four: return v.four;
    case format::TextOption::ampl: return v.ampl;
    case format::TextOption::spec: return v.spec;
    case format::TextOption::none: break;
  }
  return 0;
}

// Where a block goes and how its component codes are renumbered there.
struct Route {
  const ResultChannel& out;   // binary output
  const ResultChannel& outt;  // its text twin
  int4 component_from;        // nc2 and nc3 equal to this ...
  int4 component_to;          // ... become this
};
constexpr Route sh_route{tp18_file.sh, tp18_file.sht, 2, 1};  // the out-of-plane component, nc2 = 2
constexpr Route sv_route{tp18_file.sv, tp18_file.svt, 3, 2};  // the in-plane components

int4 renumber(int4 code, int4 from, int4 to) { return code == from ? to : code; }

constexpr int input = tp18_file.input.unit;  // channel 18

// The look-ahead takes a maxima block's whole header: its kind word, code,
// nc2 and lrec.
static_assert(4 + 3 * sizeof(int4) == format::maxima_header_bytes);

int write_maxima_list_line(Channels& ch, const BlockHeader& h) {
  static const Layout line("(A4,6I8,1P,E15.5,I8)");
  return ch.write_text(unit::lst, line, {out_text(h.kind()), out(h.nc1), out(h.nc2), out(h.lrec)});
}

// One conversion of the TP18 file: the reading state and the work arrays,
// which live for the call and grow only when a block needs more.
class Tp18Conversion {
 public:
  // Before anything is read the kind word is blank (a file cut inside its
  // first record shows a blank kind in the list).
  explicit Tp18Conversion(Run& run) : run_(run), ch_(run.ch) { h_.name = {' ', ' ', ' ', ' '}; }
  int convert_blocks();

 private:
  int write_default_info();
  int maxima_block(int look_ahead);
  int ordinary_block(int look_ahead);
  int pass_over(int records);
  int write_headers(const Route& route, const OutHeader& oh);
  int write_info_copies(const OutHeader& oh);
  template <typename Size>
  int read_sized_values(std::size_t values, Size size);
  int read_values(std::span<real4> values);
  int write_values(const Route& route, std::span<const real4> values, bool text);
  int pass_on_values(const Route& route, std::span<real4> values, bool text);
  int pass_record(const Route& route, std::size_t values, bool text);
  int read_fixing_count(std::vector<real4>& values, std::size_t count);
  int convert_records(const Route& route, std::vector<real4>& values, int records, bool first_read, bool text);
  int convert_data(const format::BlockKind& kind, const Route& route);
  int read_error(int status) { return report_failure(run_, tp18_file, Failure::data_read, status); }
  int write_error(int unit, int status) { return report_failure(run_, tp18_file, Failure::data_write, status, unit); }

  Run& run_;
  Channels& ch_;
  RecordHead rec1_;  // the first record of the block being converted
  BlockHeader h_;    // as read; a failed read leaves the fields it did not reach
  MaximaHeader maxima_header_;
  MaximaBlocks maxima_;
  std::vector<real4> a_;       // values of a time history
  std::vector<real4> b0_, b_;  // frequency axis and values of Fourier and amplification spectra
  std::vector<real4> c_;       // values of response spectra
  bool n_fixed_ = false, m_fixed_ = false;
};

int Tp18Conversion::convert_blocks() {
  if (int st = ch_.rewind(input); st != iostat::ok) return report_failure(run_, tp18_file, Failure::header_read, st);
  for (bool first = true;; first = false) {
    // The block's first record, read once. Its first words are the kind
    // word and, for a maxima block, the whole header: that view decides the
    // block, and an ordinary block's REC1 is taken from the same bytes.
    if (ch_.read_record_head(input, rec1_) == iostat::end_of_file) return iostat::ok;
    const int look = rec1_.take({in_text(h_.name), in(h_.nc1), in(h_.nc2), in(h_.lrec)});
    int st = iostat::ok;
    if (first && !format::block_kind(h_.kind()).info && (st = write_default_info()) != iostat::ok) return st;
    st = h_.kind() == format::maxima_word ? maxima_block(look) : ordinary_block(look);
    if (st != iostat::ok) return st;
  }
}

// Written to both files when the TP18 file does not begin with an information
// block.
int Tp18Conversion::write_default_info() { return write_info_copies(default_info_header()); }

int Tp18Conversion::maxima_block(int look_ahead) {
  if (int st = write_maxima_list_line(ch_, h_); st != iostat::ok) return report_list_failure(run_, tp18_file, st);
  if (look_ahead != iostat::ok) return report_failure(run_, tp18_file, Failure::header_read, look_ahead);
  maxima_header_ = {h_.name, h_.nc1, h_.nc2, h_.lrec};
  return maxima_.convert(run_, maxima_header_);
}

int Tp18Conversion::ordinary_block(int look_ahead) {
  // The header in full, REC1 from the bytes already read. A record that was
  // not whole lends only its first words (what the kind view took), and
  // leaves no telling where REC2 begins.
  int st1 = look_ahead, st2 = iostat::ok;
  if (look_ahead == iostat::ok || look_ahead == iostat::short_record) {
    st1 = take_rec1(rec1_, h_);
    if (st1 == iostat::ok || st1 == iostat::short_record) st2 = read_rec2(ch_, input, h_);
  }
  if (int st = write_block_list_lines(ch_, unit::lst, h_); st != iostat::ok)
    return report_list_failure(run_, tp18_file, st);
  if (st1 != iostat::ok) return report_failure(run_, tp18_file, Failure::header_read, st1);
  if (st2 != iostat::ok) return report_failure(run_, tp18_file, Failure::header_read, st2);

  if (const auto dropped = format::tp18_dropped_records(h_.kind(), h_.nc1, h_.nc2, h_.nc3))
    return pass_over(*dropped);

  const format::BlockKind& kind = format::block_kind(h_.kind());
  const Route& route = h_.nc2 == 2 ? sh_route : sv_route;
  OutHeader oh = narrowed(h_, kind.keeps_step);
  oh.nc1 = format::written_quantity(h_.nc1);
  oh.nc2 = renumber(h_.nc2, route.component_from, route.component_to);
  oh.nc3 = renumber(h_.nc3, route.component_from, route.component_to);
  if (kind.written_lrec != 0) oh.lrec = kind.written_lrec;

  if (int st = write_headers(route, oh); st != iostat::ok) return st;
  if (kind.info) return write_info_copies(oh);
  return convert_data(kind, route);
}

int Tp18Conversion::pass_over(int records) {
  for (int r = 0; r < records; ++r)
    if (int st = ch_.skip_record(input); st != iostat::ok) return read_error(st);
  return iostat::ok;
}

int Tp18Conversion::write_headers(const Route& route, const OutHeader& oh) {
  int st = write_rec1(ch_, route.out.unit, oh);
  if (st == iostat::ok) st = write_rec2(ch_, route.out.unit, oh);
  if (st != iostat::ok) return report_failure(run_, tp18_file, Failure::header_write, st, route.out.unit);
  const ComValTp18& v = run_.val;
  // Header lines reach the twins under the options of block data (time
  // histories and spectra); the model and maxima options do not count here.
  if (v.four + v.wave + v.spec + v.ampl > 0) {
    st = write_rec1_text(ch_, route.outt.unit, oh, oh.dap);
    if (st == iostat::ok) st = write_rec2_text(ch_, route.outt.unit, oh, oh.dtt);
    if (st != iostat::ok) return report_failure(run_, tp18_file, Failure::header_write, st, route.outt.unit);
  }
  return iostat::ok;
}

// An information block's header goes to both files (and their text twins
// under any option); with the routed header written before, the block is
// present twice in the file it is routed to and once in the other.
int Tp18Conversion::write_info_copies(const OutHeader& oh) {
  for (const ResultChannel& f : {tp18_file.sv, tp18_file.sh}) {
    int st = write_rec1(ch_, f.unit, oh);
    if (st == iostat::ok) st = write_rec2(ch_, f.unit, oh);
    if (st != iostat::ok) return report_failure(run_, tp18_file, Failure::header_write, st, f.unit);
  }
  if (run_.val.option_sum() <= 0) return iostat::ok;
  for (const ResultChannel& f : {tp18_file.svt, tp18_file.sht}) {
    int st = write_rec1_text(ch_, f.unit, oh, oh.dap);
    if (st == iostat::ok) st = write_rec2_text(ch_, f.unit, oh, oh.dtt);
    if (st != iostat::ok) return report_failure(run_, tp18_file, Failure::header_write, st, f.unit);
  }
  return iostat::ok;
}

// Sizes come from the file: an array is sized from one only once the data
// record that must hold its values is known to lie in the file and to be
// long enough; `size` then makes room for `values` and gives the span to
// read into.
template <typename Size>
int Tp18Conversion::read_sized_values(std::size_t values, Size size) {
  InItem item{};
  const int st = ch_.read_record_sized(input, [&](std::uint32_t length) {
    if (length / 4 < values) return SizedItems{false, {}};
    item = in(size());
    return SizedItems{true, std::span(&item, 1)};
  });
  return st != iostat::ok ? read_error(st) : iostat::ok;
}

int Tp18Conversion::read_values(std::span<real4> values) {
  const int st = ch_.read_record(input, {in(values)});
  return st != iostat::ok ? read_error(st) : iostat::ok;
}

int Tp18Conversion::write_values(const Route& route, std::span<const real4> values, bool text) {
  int st = ch_.write_record(route.out.unit, {out(values)});
  if (st != iostat::ok) return write_error(route.out.unit, st);
  // "(1P,6E15.5)"
  if (text && (st = ch_.write_text(route.outt.unit, Real4Lines(Real4Exp::e15_5, 6, values))) != iostat::ok)
    return write_error(route.outt.unit, st);
  return iostat::ok;
}

// Values read for one record only: without a text copy nothing reads them
// after the binary write, which may use them up.
int Tp18Conversion::pass_on_values(const Route& route, std::span<real4> values, bool text) {
  if (text) return write_values(route, values, text);
  const int st = ch_.write_record_consuming(route.out.unit, values);
  return st != iostat::ok ? write_error(route.out.unit, st) : iostat::ok;
}

// A data record whose values no text copy needs is passed on as it stands
// where the channels can: not_copied leaves it to be read and written.
int Tp18Conversion::pass_record(const Route& route, std::size_t values, bool text) {
  if (text) return iostat::not_copied;
  const int st = ch_.pass_record(input, route.out.unit, values);
  return st == iostat::ok || st == iostat::not_copied ? st : write_error(route.out.unit, st);
}

// The first record of values of the block that fixes their number for the
// file (N or M), read into `values` sized from it.
int Tp18Conversion::read_fixing_count(std::vector<real4>& values, std::size_t count) {
  return read_sized_values(count, [&] {
    values.resize(count);
    return std::span<real4>(values);
  });
}

// The records of values of a spectrum, each as long as `values`; the first
// already in `values` when it was read to fix their number.
int Tp18Conversion::convert_records(const Route& route, std::vector<real4>& values, int records, bool first_read,
                                    bool text) {
  for (int r = 0; r < records; ++r) {
    int st = iostat::ok;
    if (!(first_read && r == 0)) {
      if ((st = pass_record(route, values.size(), text)) == iostat::ok) continue;
      if (st != iostat::not_copied || (st = read_values(values)) != iostat::ok) return st;
    }
    if ((st = pass_on_values(route, values, text)) != iostat::ok) return st;
  }
  return iostat::ok;
}

int Tp18Conversion::convert_data(const format::BlockKind& kind, const Route& route) {
  const bool text = text_switch(run_.val, kind.text_option) == 1;
  const std::size_t nsize2 = h_.nsize2 > 0 ? static_cast<std::size_t>(h_.nsize2) : 0;
  int st = iostat::ok;
  switch (kind.tp18_values) {
    case format::ValueCount::own: {
      // One record of the block's own nsize2 values.
      if ((st = pass_record(route, nsize2, text)) != iostat::not_copied) return st;
      st = read_sized_values(nsize2, [&] {
        if (a_.size() < nsize2) a_.resize(nsize2);
        return std::span<real4>(a_.data(), nsize2);
      });
      if (st != iostat::ok) return st;
      return pass_on_values(route, std::span<real4>(a_.data(), nsize2), text);
    }
    case format::ValueCount::first_spectrum: {
      // The first such block converted fixes N and the axis, in single
      // precision from its step narrowed: b0(i) = (i - 1) * dt.
      // Its first record of values is read before the axis is written.
      const bool fixes_n = !n_fixed_;
      if (fixes_n) {
        if ((st = read_fixing_count(b_, nsize2)) != iostat::ok) return st;
        b0_.resize(nsize2);
        const real4 df = narrow(h_.dt);
        for (std::size_t i = 0; i < nsize2; ++i) b0_[i] = static_cast<real4>(i) * df;
        n_fixed_ = true;
      }
      if (kind.axis && (st = write_values(route, b0_, text)) != iostat::ok) return st;
      return convert_records(route, b_, kind.tp18_records, fixes_n, text);
    }
    case format::ValueCount::first_response: {
      const bool fixes_m = !m_fixed_;
      if (fixes_m) {
        if ((st = read_fixing_count(c_, nsize2)) != iostat::ok) return st;
        m_fixed_ = true;
      }
      return convert_records(route, c_, kind.tp18_records, fixes_m, text);
    }
    case format::ValueCount::none:
      return iostat::ok;
  }
  return iostat::ok;
}

int convert_tp18_blocks(Run& run) {
  Tp18Conversion conversion(run);
  return conversion.convert_blocks();
}

}  // namespace

void cnvt_tp18(Run& run, int& ier) { convert_result_file(run, tp18_file, convert_tp18_blocks, ier); }

}  // namespace qx
