#include "convert/cnvt_tp19.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "convert/block_header.hpp"
#include "convert/conversion_frame.hpp"
#include "convert/conversion_reports.hpp"
#include "convert/tp19_routing.hpp"
#include "format/block_kinds.hpp"
#include "io/layout.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"
#include "run/channel_numbers.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

constexpr int input = tp19_file.input.unit;  // channel 19

// The binary output of a variant and its text twin, indexed by Variant.
constexpr std::array<const ResultChannel*, 3> variant_binary = {nullptr, &tp19_file.sv, &tp19_file.sh};
constexpr std::array<const ResultChannel*, 3> variant_text = {nullptr, &tp19_file.svt, &tp19_file.sht};

// Information blocks go to both variants, SV first.
constexpr const ResultChannel* info_binary[] = {&tp19_file.sv, &tp19_file.sh};
constexpr const ResultChannel* info_text[] = {&tp19_file.svt, &tp19_file.sht};

int report(Run& run, Failure failure, int status, int channel = 0) {
  return report_failure(run, tp19_file, failure, status, channel);
}

// The header records of an information block as written: every code as
// read, the reals narrowed, no step.
OutHeader info_header(const BlockHeader& h) { return narrowed(h, false); }

// The header records of a converted block: quantity 41, no component codes,
// the routing code in nc6; only a time history keeps its step.
OutHeader converted_header(const BlockHeader& h, const format::BlockKind& kind, int4 code) {
  OutHeader o = narrowed(h, kind.keeps_step);
  o.nc1 = 41;
  o.nc2 = 0;
  o.nc3 = 0;
  o.nc6 = code;
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
    if (int st = ch_.rewind(input); st != 0) return report(run_, Failure::header_read, st);
    for (bool first = true;; first = false) {
      if (run_.stop != nullptr && run_.stop->load(std::memory_order_relaxed)) return iostat::write_failed;
      const int rec1_status = read_rec1(ch_, input, h_);
      if (rec1_status == iostat::end_of_file) return iostat::ok;
      const int rec2_status = read_rec2(ch_, input, h_);
      // A record that could not be read leaves the header incomplete, REC1
      // as much as REC2.
      const int header_status = rec1_status != iostat::ok ? rec1_status : rec2_status;
      const format::BlockKind& kind = format::block_kind(h_.kind());
      const bool info = kind.info;

      if (first && !info)
        if (int st = write_info_block(default_info_header()); st != 0) return st;
      if (info) {
        if (header_status != iostat::ok) return report(run_, Failure::header_read, header_status);
        if (int st = write_info_block(info_header(h_)); st != 0) return st;
        continue;
      }
      if (int st = write_block_list_lines(ch_, unit::lst, h_); st != 0) return report_list_failure(run_, tp19_file, st);
      if (header_status != iostat::ok) return report(run_, Failure::header_read, header_status);
      if (int st = convert_block(kind); st != 0) return st;
    }
  }

 private:
  // To both binary files and, under any run option, to both text twins.
  int write_info_block(const OutHeader& o) {
    for (const ResultChannel* f : info_binary) {
      if (int st = write_rec1(ch_, f->unit, o); st != 0) return report(run_, Failure::header_write, st, f->unit);
      if (int st = write_rec2(ch_, f->unit, o); st != 0) return report(run_, Failure::header_write, st, f->unit);
    }
    if (run_.val.option_sum() <= 0) return iostat::ok;
    for (const ResultChannel* f : info_text) {
      if (int st = write_rec1_text(ch_, f->unit, o, o.dap); st != 0)
        return report(run_, Failure::data_write, st, f->unit);
      if (int st = write_rec2_text(ch_, f->unit, o, o.dtt); st != 0)
        return report(run_, Failure::data_write, st, f->unit);
    }
    return iostat::ok;
  }

  int pass_over(int records) {
    for (int i = 0; i < records; ++i)
      if (int st = ch_.skip_record(input); st != iostat::ok) return report(run_, Failure::data_read, st);
    return iostat::ok;
  }

  int convert_block(const format::BlockKind& kind) {
    // Blocks of a kind that is never converted, and those whose codes have
    // no route, are passed over with their data records.
    if (!kind.tp19_routed) return pass_over(kind.tp19_records);
    const Tp19Route route = tp19_route(h_.nc1, h_.nc2);
    if (route.to == Variant::none) return pass_over(kind.tp19_records);
    const int binary = variant_binary[static_cast<std::size_t>(route.to)]->unit;
    const int text_unit = variant_text[static_cast<std::size_t>(route.to)]->unit;

    const OutHeader o = converted_header(h_, kind, route.nc6);
    if (int st = write_rec1(ch_, binary, o); st != 0) return report(run_, Failure::header_write, st, binary);
    if (int st = write_rec2(ch_, binary, o); st != 0) return report(run_, Failure::header_write, st, binary);

    const bool text = run_.val.wave == 1;
    const bool first_history = kind.fixes_tp19_length && nwave_ == 0;
    // Without a text copy nothing needs the values in memory: the record is
    // passed on as it stands where the channels can.
    if (!text && !first_history) {
      const int st = ch_.pass_record(input, binary, a_.size());
      if (st == iostat::ok) return st;
      if (st != iostat::not_copied) return report(run_, Failure::data_write, st, binary);
    }
    // Values the file did not hold are never written: a failed read leaves
    // the block without its data record.
    const int read_status = first_history ? read_first_history() : ch_.read_record(input, {in(std::span<real4>(a_))});
    // Without a text copy nothing reads the values after the binary write,
    // which may use them up.
    if (read_status == iostat::ok) {
      const int st = text ? ch_.write_record(binary, {out(std::span<const real4>(a_))})
                          : ch_.write_record_consuming(binary, a_);
      if (st != 0) return report(run_, Failure::data_write, st, binary);
    }

    if (text) {
      // The text shows the reals as read, not narrowed.
      if (int st = write_rec1_text(ch_, text_unit, o, h_.dmp); st != 0)
        return report(run_, Failure::data_write, st, text_unit);
      if (int st = write_rec2_text(ch_, text_unit, o, h_.dt); st != 0)
        return report(run_, Failure::data_write, st, text_unit);
      if (read_status == iostat::ok)
        // "(1P,6E15.5)"
        if (int st = ch_.write_text(text_unit, Real4Lines(Real4Exp::e15_5, 6, a_)); st != 0)
          return report(run_, Failure::data_write, st, text_unit);
    }
    if (read_status != iostat::ok) return report(run_, Failure::data_read, read_status);
    return iostat::ok;
  }

  // The data length of the file is fixed by its first converted time
  // history, whose data record this reads. Its size record is not trusted:
  // the data record must hold the values before room is made for them.
  int read_first_history() {
    const int4 n = h_.nsize2;
    const std::size_t values = n > 0 ? static_cast<std::size_t>(n) : 0;
    InItem item{};
    const int st = ch_.read_record_sized(input, [&](std::uint32_t payload) {
      if (payload / sizeof(real4) < values) return SizedItems{false, {}};
      a_.assign(values, 0.0f);
      item = in(std::span<real4>(a_));
      return SizedItems{true, std::span(&item, 1)};
    });
    if (st == iostat::ok) nwave_ = n;
    return st;
  }

  Run& run_;
  Channels& ch_;
  BlockHeader h_;
  int4 nwave_ = 0;         // data length of the file, 0 until a time history is converted
  std::vector<real4> a_;   // data values of the block being converted
};

int convert_tp19_blocks(Run& run) {
  Tp19Blocks blocks(run);
  return blocks.convert_file();
}

}  // namespace

void cnvt_tp19(Run& run, int& ier) { convert_result_file(run, tp19_file, convert_tp19_blocks, ier); }

}  // namespace qx
