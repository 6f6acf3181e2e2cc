// The frame that both conversions share: a line of the list file that cannot
// be written, whether the START line, a block's line or the END line, stops
// the conversion of either result file with one report, a failed write of
// the list file's channel.
#include "convert/conversion_frame.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "convert/cnvt_tp18.hpp"
#include "convert/cnvt_tp19.hpp"
#include "convert/cnvt_tp19_fixture.hpp"
#include "io/trim_right.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"
#include "support/write_faults.hpp"

namespace {

using tp19test::Bytes;
using tp19test::record;

// A run with the list file and the channels of one result file open, the
// result file holding `blocks` blocks of an unknown kind word, each with its
// two list lines (TP18: header records only, converted; TP19: one data
// record, passed over for want of a route of its codes).
struct FrameRun {
  qxtest::TempDir dir;
  std::istringstream in;
  std::ostringstream out, err;
  qx::Run run{{in, out, err}};
  std::string list = dir.file("case_TP18-19_COVT.lst");

  FrameRun(const qx::ResultFile& f, int blocks) {
    run.val.conv = "LITTLE_ENDIAN";
    run.val.*f.exists = true;
    std::string input;
    const int nc1 = f.kind == "TP18" ? 2 : 44;
    for (int b = 0; b < blocks; ++b) {
      input += record(Bytes().text("STAT").i32(nc1).i32(1).i32(1).i32(0).i32(0).i32(0).f64(0.5).i32(1));
      input += record(Bytes().i32(b).f64(0.01).f32s(std::vector<float>{1, 2, 3, 4}));
      if (f.kind == "TP19") input += record(Bytes().f32(7));
    }
    qxtest::write_file(dir.file("case") + std::string(f.input.suffix), input);
    EXPECT_EQ(run.ch.open_text_write(qx::unit::lst, list), 0);
    EXPECT_EQ(run.ch.open_binary_read(f.input.unit, dir.file("case") + std::string(f.input.suffix),
                                      qx::ByteOrder::little),
              0);
    for (const qx::ResultChannel& c : {f.sv, f.sh})
      EXPECT_EQ(run.ch.open_binary_write(c.unit, dir.file("case") + std::string(c.suffix), qx::ByteOrder::little), 0);
  }
};

// From here on every line of the list file fails: what it buffers cannot be
// handed over, and a writer that failed once fails every later write.
void break_list(qx::Run& run) {
  static const qx::Layout line("(A)");
  ASSERT_EQ(run.ch.write_text(qx::unit::lst, line, {qx::out_text("a line the disk has no room for")}), 0);
  ASSERT_EQ(run.ch.flush(qx::unit::lst), 38);
}

TEST(ConversionFrame, AListLineThatCannotBeWrittenStopsEitherConversionAsAFailedWriteOfItsChannel) {
  enum class Where { start, block, end };
  for (const qx::ResultFile* f : qx::result_files) {
    for (Where where : {Where::start, Where::block, Where::end}) {
      const std::string what = std::string(f->kind) + (where == Where::start   ? ": START line"
                                                       : where == Where::block ? ": a block's lines"
                                                                               : ": END line");
      SCOPED_TRACE(what);
      // Enough blocks that their lines pass the list file's buffer of 1 MiB.
      FrameRun r(*f, where == Where::block ? 8000 : 2);
      qxtest::WriteBudget full(r.list, 0);
      if (where == Where::start) break_list(r.run);
      int ier = 0;
      if (where == Where::end) {
        // The blocks are done (nothing to convert), then the list file fails.
        qx::convert_result_file(r.run, *f, [](qx::Run& run) { return break_list(run), 0; }, ier);
      } else if (f == &qx::tp18_file) {
        qx::cnvt_tp18(r.run, ier);
      } else {
        qx::cnvt_tp19(r.run, ier);
      }
      EXPECT_EQ(ier, 38);
      EXPECT_EQ(r.run.err.iecode, 1008);
      EXPECT_EQ(qx::trim_right(r.run.err.cmerr[1]),
                std::string(20, ' ') + " *** FILENAME = " + std::string(f->kind) + "(SV or SH) 7  *** IOSTAT =    38 ***");
      // The conversion stopped where the line failed: only the END line comes
      // after the files are closed.
      EXPECT_EQ(r.run.ch.is_open(f->input.unit), where != Where::end);
      // A failed START line comes before the model section.
      if (where == Where::start) { EXPECT_EQ(qxtest::read_file(r.dir.file("case") + std::string(f->sv.suffix)), ""); }
      r.run.ch.close_all();
    }
  }
}

}  // namespace
