#include "convert/cnvt_tp19.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/channel_numbers.hpp"
#include "control/com_errcmn_tp18.hpp"
#include "control/run.hpp"
#include "convert/block_header.hpp"
#include "convert/tp19_routing.hpp"
#include "convert/w_qxin.hpp"
#include "io/layout.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"

namespace qx {

namespace {

// The binary output of a variant and its text twin.
struct VariantChannels {
  int binary;
  int text;
};

// Indexed by Variant.
constexpr std::array<VariantChannels, 3> variant_channels = {{
    {0, 0},                          // none: the block is passed over
    {unit::sv19, unit::svt19},       // SV, _QX2D.TP19
    {unit::sh19, unit::sht19},       // SH, _QXSH.TP19
}};

// Information blocks go to both variants, SV first.
constexpr int info_binary[] = {unit::sv19, unit::sh19};
constexpr int info_text[] = {unit::svt19, unit::sht19};

// Closed at the end of the file, in this order.
constexpr int close_order[] = {unit::tp19, unit::txt19, unit::sh19, unit::sht19, unit::sv19, unit::svt19};

// The four failures the conversion reports, each with its error number and
// the texts of its extra line.
enum class Failure : std::uint8_t { header_read, header_write, data_read, data_write };

struct FailureForm {
  int number;
  bool names_channel;  // the extra text shows the channel that failed
  std::string_view lead;
  std::string_view status_label;
};

// Indexed by Failure.
constexpr std::array<FailureForm, 4> failure_forms = {{
    {1007, false, "*** FILE NAME = TP19 ", "REC1,2:  IOSTAT = "},
    {1015, true, " *** FILENAME = TP19(SV or SH)", "REC1,2:  *** IOSTAT = "},
    {1007, false, "*** FILE NAME = TP19", "  IOSTAT = "},
    {1008, true, " *** FILENAME = TP19(SV or SH)", "  *** IOSTAT = "},
}};

// Reports a failure in the list file and returns its status, which becomes
// the conversion's status.
int report(Run& run, Failure failure, int status, int channel = 0) {
  static const Layout plain("(20X,A,A,I5,A4)");
  static const Layout with_channel("(20X,A,I2,A,I5,A4)");
  constexpr std::size_t smerr_length = 256;
  const FailureForm& form = failure_forms[static_cast<std::size_t>(failure)];
  std::string smerr;
  if (form.names_channel)
    write_internal(with_channel,
                   {out_text(form.lead), out(channel), out_text(form.status_label), out(status), out_text(" *** ")},
                   smerr, smerr_length);
  else
    write_internal(plain, {out_text(form.lead), out_text(form.status_label), out(status), out_text(" *** ")}, smerr,
                   smerr_length);
  errcmn_set(run, form.number, smerr);
  return status;
}

// The header records of an information block as written: every code as
// read, the reals narrowed, no step.
OutHeader info_header(const BlockHeader& h) {
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
  o.dtt = 0.0f;
  o.yt = h.yt;
  return o;
}

// The header records of a converted block: quantity 41, no component codes,
// the routing code in nc6; only a time history keeps its step.
OutHeader converted_header(const BlockHeader& h, int4 code) {
  OutHeader o;
  o.name = h.name;
  o.nc1 = 41;
  o.nc2 = 0;
  o.nc3 = 0;
  o.nc4 = h.nc4;
  o.nc5 = h.nc5;
  o.nc6 = code;
  o.dap = narrow(h.dmp);
  o.lrec = h.lrec;
  o.nsize2 = h.nsize2;
  o.dtt = h.kind() == "WAVE" ? narrow(h.dt) : 0.0f;
  o.yt = h.yt;
  return o;
}

// The block loop over the TP19 file. Every member returns 0 or the status
// of a failure it has already reported.
class Tp19Blocks {
 public:
  explicit Tp19Blocks(Run& run) : run_(run), ch_(run.ch) {
    h_.name = {' ', ' ', ' ', ' '};
  }

  int convert_file() {
    if (int st = ch_.rewind(unit::tp19); st != 0) return report(run_, Failure::header_read, st);
    for (bool first = true;; first = false) {
      const int rec1_status = read_rec1(ch_, unit::tp19, h_);
      if (rec1_status == iostat::end_of_file) return iostat::ok;
      const int rec2_status = read_rec2(ch_, unit::tp19, h_);
      // A record that could not be read leaves the header incomplete, REC1
      // as much as REC2.
      const int header_status = rec1_status != iostat::ok ? rec1_status : rec2_status;
      const bool info = h_.kind() == "INFO";

      if (first && !info)
        if (int st = write_info_block(default_info_header()); st != 0) return st;
      if (info) {
        if (header_status != iostat::ok) return report(run_, Failure::header_read, header_status);
        if (int st = write_info_block(info_header(h_)); st != 0) return st;
        continue;
      }
      if (int st = write_block_list_lines(ch_, unit::lst, h_); st != 0)
        return report(run_, Failure::data_write, st, unit::lst);
      if (header_status != iostat::ok) return report(run_, Failure::header_read, header_status);
      if (int st = convert_block(); st != 0) return st;
    }
  }

 private:
  // To both binary files and, under any run option, to both text twins.
  int write_info_block(const OutHeader& o) {
    for (int unit : info_binary) {
      if (int st = write_rec1(ch_, unit, o); st != 0) return report(run_, Failure::header_write, st, unit);
      if (int st = write_rec2(ch_, unit, o); st != 0) return report(run_, Failure::header_write, st, unit);
    }
    if (run_.val.option_sum() <= 0) return iostat::ok;
    for (int unit : info_text) {
      if (int st = write_rec1_text(ch_, unit, o, o.dap); st != 0) return report(run_, Failure::data_write, st, unit);
      if (int st = write_rec2_text(ch_, unit, o, o.dtt); st != 0) return report(run_, Failure::data_write, st, unit);
    }
    return iostat::ok;
  }

  int pass_over(int records) {
    for (int i = 0; i < records; ++i)
      if (int st = ch_.skip_record(unit::tp19); st != iostat::ok) return report(run_, Failure::data_read, st);
    return iostat::ok;
  }

  int convert_block() {
    if (h_.kind() == "AMPL") return pass_over(2);
    const Tp19Route route = tp19_route(h_.nc1, h_.nc2);
    if (route.to == Variant::none) return pass_over(1);
    const VariantChannels& to = variant_channels[static_cast<std::size_t>(route.to)];

    const OutHeader o = converted_header(h_, route.nc6);
    if (int st = write_rec1(ch_, to.binary, o); st != 0) return report(run_, Failure::header_write, st, to.binary);
    if (int st = write_rec2(ch_, to.binary, o); st != 0) return report(run_, Failure::header_write, st, to.binary);

    // Values the file did not hold are never written: a failed read leaves
    // the block without its data record.
    int read_status = iostat::ok;
    if (h_.kind() == "WAVE" && nwave_ == 0) read_status = create_data_array();
    if (read_status == iostat::ok) read_status = ch_.read_record(unit::tp19, {in(std::span<real4>(a_))});
    // Without a text copy nothing reads the values after the binary write,
    // which may use them up.
    const bool text = run_.val.wave == 1;
    if (read_status == iostat::ok) {
      const int st = text ? ch_.write_record(to.binary, {out(std::span<const real4>(a_))})
                          : ch_.write_record_consuming(to.binary, a_);
      if (st != 0) return report(run_, Failure::data_write, st, to.binary);
    }

    if (text) {
      // The text shows the reals as read, not narrowed.
      if (int st = write_rec1_text(ch_, to.text, o, h_.dmp); st != 0)
        return report(run_, Failure::data_write, st, to.text);
      if (int st = write_rec2_text(ch_, to.text, o, h_.dt); st != 0)
        return report(run_, Failure::data_write, st, to.text);
      if (read_status == iostat::ok)
        // "(1P,6E15.5)"
        if (int st = ch_.write_text(to.text, Real4Lines(Real4Exp::e15_5, 6, a_)); st != 0)
          return report(run_, Failure::data_write, st, to.text);
    }
    if (read_status != iostat::ok) return report(run_, Failure::data_read, read_status);
    return iostat::ok;
  }

  // The data length of the file is fixed by its first converted time
  // history. Its size record is not trusted: the data record must hold the
  // values before room is made for them. Returns the status of the data
  // read that this check stands for.
  int create_data_array() {
    const int4 n = h_.nsize2;
    if (n > 0) {
      std::uint32_t payload = 0;
      if (int st = ch_.peek_record_length(unit::tp19, payload); st != iostat::ok) return st;
      if (payload / sizeof(real4) < static_cast<std::uint32_t>(n)) return iostat::short_record;
    }
    nwave_ = n;
    a_.assign(n > 0 ? static_cast<std::size_t>(n) : 0, 0.0f);
    return iostat::ok;
  }

  Run& run_;
  Channels& ch_;
  BlockHeader h_;
  int4 nwave_ = 0;         // data length of the file, 0 until a time history is converted
  std::vector<real4> a_;   // data values of the block being converted
};

// Closes the files of the conversion. A buffered output that cannot be
// handed over at its close is a lost write; every channel is still closed.
int close_files(Run& run) {
  int failed_status = iostat::ok, failed_unit = 0;
  for (int unit : close_order) {
    const int st = run.ch.close(unit);
    if (st != iostat::ok && failed_status == iostat::ok) {
      failed_status = st;
      failed_unit = unit;
    }
  }
  if (failed_status != iostat::ok) return report(run, Failure::data_write, failed_status, failed_unit);
  return iostat::ok;
}

}  // namespace

void cnvt_tp19(Run& run, int& ier) {
  if (!run.val.ltp19) return;

  static const Layout start_layout("(/,/,/,A,/)");
  static const Layout end_layout("(/,A)");
  if (int st = run.ch.write_text(unit::lst, start_layout, {out_text("START (CONVERT TP19)")}); st != 0) {
    ier = report(run, Failure::data_write, st, unit::lst);
    return;
  }

  w_qxin(run, "TP19", ier);
  if (ier != 0) return;

  Tp19Blocks blocks(run);
  ier = blocks.convert_file();
  if (ier != 0) return;
  ier = close_files(run);
  if (ier != 0) return;

  if (int st = run.ch.write_text(unit::lst, end_layout, {out_text("END (CONVERT TP19)")}); st != 0)
    ier = report(run, Failure::data_write, st, unit::lst);
}

}  // namespace qx
