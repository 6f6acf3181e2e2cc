// The TP19 conversion on damaged inputs and full disks: every fault is
// reported, nothing is written that the file did not hold, the blocks before
// the fault are in the outputs, and the conversion stops there.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "convert/cnvt_tp19_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp19test;

// The two lines of an error report in the list file: a read error (1007),
// or a write error (status 38) naming its channel (1015 for header records, 1008 else).
std::string read_report(bool header, int status) {
  return printed("  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n%20s*** FILE NAME = TP19%s%5d ***\n", "",
                 header ? " REC1,2:  IOSTAT = " : "  IOSTAT = ", status);
}
std::string write_report(bool header, int channel) {
  return printed("  **** ERROR NO. %d **** _QX2D._QX2H.%s FILE WRITE ERROR ****\n%20s"
                 " *** FILENAME = TP19(SV or SH)%2d%s*** IOSTAT =    38 ***\n",
                 header ? 1015 : 1008, header ? "TP19" : "TP1819", "", channel, header ? "REC1,2:  " : "  ");
}

// A small file of every treatment, cut at and just after every record
// boundary, inside the leading marker, the payload and the trailing marker,
// and at its end.
TEST(Tp19Truncation, CutsAtAndInsideEveryRecordEndNormallyOrReportAReadErrorAfterTheBlocksBefore) {
  struct Entry {
    InBlock in;
    int to, code;  // to: 0 SV, 1 SH, -1 passed over or information
  };
  const Entry entries[] = {
      {info_block(), -1, 0},  // the same bytes as the default one
      {block("WAVE", 41, 1, {{1, 2, 3}}), 0, 1},  {block("AMPL", 41, 2, {{4, 5}, {6, 7}}), -1, 0},
      {block("WAVE", 41, 4, {{8, 9, 10}}), 1, 1}, {block("WAVE", 44, 1, {{11}}), -1, 0},
      {block("STRS", 42, 2, {{12, 13, 14, 15}}), 0, 13},  // written with the three values of the array
  };
  const std::string info = default_info().bytes(Order::little);
  std::string bytes;
  // The status and kind of read error of a cut (0 for a clean end between
  // blocks), and what SV and SH then hold behind the model section.
  auto expect_cut = [&](std::size_t at, int status, bool header, const std::array<std::string, 2>& out) {
    SCOPED_TRACE("cut after " + std::to_string(at) + " bytes");
    Harness h(bytes.substr(0, at), Settings{});
    EXPECT_EQ(h.convert(), status);
    EXPECT_EQ(h.blocks(unit::sv19), out[0]);
    EXPECT_EQ(h.blocks(unit::sh19), out[1]);
    EXPECT_TRUE(h.lst().ends_with(status == 0 ? end_lines : read_report(header, status))) << h.lst();
  };
  std::array<std::string, 2> done;  // the whole blocks so far
  for (const auto& [b, to, code] : entries) {
    OutBlock o;
    std::array<std::string, 2> headers = done;  // and the header records of this block
    if (to >= 0) {
      o = converted(b, code, std::vector<float>(b.data[0].begin(), b.data[0].begin() + 3));
      headers[static_cast<std::size_t>(to)] += o.headers(Order::little);
    }
    std::vector<std::string> records{b.rec1(), b.rec2()};
    for (std::size_t i = 0; i < b.data.size(); ++i) records.push_back(b.data_record(i));
    for (std::size_t r = 0; r < records.size(); ++r) {
      const std::size_t start = bytes.size(), end = start + records[r].size();
      bytes += records[r];
      for (std::size_t at : {start, start + 1, start + 3, start + 4, start + 5, (start + end) / 2, end - 4, end - 1}) {
        if (r == 0 && at == start)
          expect_cut(at, 0, false, done);
        else if (r == 0 && start == 0)  // no information block shown: the default one precedes the error
          expect_cut(at, 39, true, {info, info});
        else
          expect_cut(at, at == start ? -1 : 39, r < 2, r < 2 ? done : headers);
      }
    }
    if (b.name == "INFO") done = {done[0] + info, done[1] + info};
    if (to >= 0) done[static_cast<std::size_t>(to)] += o.bytes(Order::little);
  }
  expect_cut(bytes.size(), 0, false, done);
}

TEST(Tp19DataRecords, RecordsThatCannotBackTheArrayAreReadErrorsWithoutValues) {
  // The first converted history fixes the array: a size its data record
  // cannot back is refused before any room is made for it, and a later
  // record shorter than the array gives no values either.
  const InBlock spec = block("SPEC", 45, 1, {{5, 6}});  // before any history: no values
  const InBlock first = block("WAVE", 41, 1, {{1, 2, 3, 4}});
  const std::string three = record(Bytes().f32s({1, 2, 3}));
  struct Case {
    const char* what;
    const InBlock& before;
    std::vector<float> before_values;
    std::int32_t nsize2;
    std::string data;
    int status;
  };
  const std::vector<Case> cases = {
      {"two billion values claimed, three held", spec, {}, 2000000000, three, 67},
      {"one value more than held", spec, {}, 4, three, 67},
      {"no data record", spec, {}, 2000000000, "", -1},
      {"marker claims more than the file holds", spec, {}, 2000000000,
       Bytes().i32(2147483600).str() + Bytes().f32s({1, 2, 3}).str(), 39},
      {"later record shorter than the array", first, {1, 2, 3, 4}, 2, record(Bytes().f32s({5, 6})), 67},
  };
  for (const auto& c : cases) {
    for (Order o : {Order::little, Order::big}) {
      SCOPED_TRACE(std::string(c.what) + ", " + order_name(o));
      InBlock wave = block("WAVE", 41, 4, {});
      wave.nsize2 = c.nsize2;
      Harness h(c.before.bytes() + wave.rec1() + wave.rec2() + c.data, with_wave(o));
      h.open();
      // The conversion runs in a child whose address space may grow by
      // 256 MiB only: making room for the values claimed would end it.
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
#ifndef __SANITIZE_ADDRESS__
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const std::size_t limit = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + (std::size_t{256} << 20);
        const rlimit as{limit, limit};
        setrlimit(RLIMIT_AS, &as);
#endif
        const int ier = h.cnvt();
        h.run.ch.close_all();
        _exit(ier & 0xFF);
      }
      int child = 0;
      ASSERT_EQ(waitpid(pid, &child, 0), pid);
      h.run.ch.close_all();
      ASSERT_TRUE(WIFEXITED(child)) << "child status " << child;
      EXPECT_EQ(WEXITSTATUS(child), c.status & 0xFF);
      EXPECT_EQ(h.blocks(unit::sv19), default_info().bytes(o) + converted(c.before, 1, c.before_values).bytes(o));
      EXPECT_EQ(h.blocks(unit::sh19), default_info().bytes(o) + converted(wave, 1, std::nullopt).bytes(o));
      EXPECT_TRUE(h.file(unit::sht19).ends_with("\n" + converted_lines(wave, 1))) << h.file(unit::sht19);
      EXPECT_TRUE(h.lst().ends_with(list_lines(wave) + read_report(false, c.status))) << h.lst();
    }
  }
}

// A TP19 file whose SV output crosses every 64 KiB boundary `into` bytes
// after the start of a converted time history block (76 header bytes, then
// its data record), where the writers hand a full buffer over to a full disk.
// Information blocks (76 bytes) and empty converted blocks (84 bytes) move
// the first history into place.
std::string failing_at(std::size_t into) {
  constexpr std::size_t boundary = 65536;
  constexpr std::int32_t values = (boundary - 84) / 4;  // each history block is 64 KiB
  std::size_t room = (3 * boundary - into - 76) % boundary;
  if (room < 1440) room += boundary;
  std::size_t empties = 0;
  while ((room - 84 * empties) % 76 != 0) ++empties;
  std::vector<InBlock> in(1 + (room - 84 * empties) / 76, info_block());
  for (std::size_t i = 0; i < empties; ++i) in.push_back(block("SPEC", 45, 1, {{1}}));
  for (int i = 0; i < 20; ++i) in.push_back(block("WAVE", 41, 1, {std::vector<float>(values, 0.5f * i)}));
  return tp19_file(in);
}

TEST(Tp19WriteFailures, FailedWritesAreReportedWithTheirChannelAndStopTheConversion) {
  struct Case {
    const char* what;
    std::string file;
    int wave;               // -1: -maxr
    std::vector<int> full;  // disks full behind the model section; negative: /dev/full instead
    bool at_close, header;  // at_close: the loss shows when the buffers are handed over at the close
    int reported;           // the channel named in the report
  };
  const InBlock to_sh = block("WAVE", 41, 4, {{3, 4}});
  const std::string small = tp19_file({block("WAVE", 41, 1, {{1, 2}}), to_sh});
  const std::vector<InBlock> many_sh(600, block("WAVE", 41, 4, {std::vector<float>(500, 0.5f)}));
  const std::vector<Case> cases = {
      // Small outputs stay buffered until the close, which names the first channel closed that lost its output.
      {"SV binary at the close", small, 1, {unit::sv19}, true, false, unit::sv19},
      {"both binaries: SH closed first", small, 1, {unit::sv19, unit::sh19}, true, false, unit::sh19},
      {"SH text before SV binary", small, 1, {unit::sv19, unit::sht19}, true, false, unit::sht19},
      {"at REC1", failing_at(0), 0, {unit::sv19}, false, true, unit::sv19},
      {"inside the data record", failing_at(176), 0, {unit::sv19}, false, false, unit::sv19},
      {"SH text", tp19_file(many_sh), 1, {-unit::sht19}, false, false, unit::sht19},
      {"text lines of information blocks", tp19_file(std::vector<InBlock>(8000, info_block())), -1, {-unit::svt19},
       false, false, unit::svt19},
      // The list file: its own report is lost with it, but the status stops the run.
      {"list", tp19_file(std::vector<InBlock>(8000, block("WAVE", 44, 1, {{1}}))), 0, {-unit::lst}, false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(c.file, {Order::little, std::max(c.wave, 0), 0, 0, c.wave < 0, -std::min(c.full[0], 0)});
    h.open();  // the model section is handed over on its own: the disk is full from the next write on
    std::vector<std::unique_ptr<qxtest::WriteBudget>> full;
    for (int u : c.full)
      if (u > 0) full.push_back(std::make_unique<qxtest::WriteBudget>(h.path(u), h.model[u].size()));
    EXPECT_EQ(h.cnvt(), 38);
    EXPECT_EQ(h.run.ch.is_open(unit::tp19), !c.at_close);
    h.run.ch.close_all();
    full.clear();
    if (c.full[0] == -unit::lst) continue;  // reads as endless zeros
    const std::string lst = h.lst();
    EXPECT_TRUE(lst.ends_with(write_report(c.header, c.reported))) << lst.substr(std::max(lst.size(), 300ul) - 300);
    if (!c.at_close || c.full.size() > 1) continue;  // else every channel was still closed: the others are whole
    EXPECT_EQ(h.blocks(unit::sh19),
              default_info().bytes(Order::little) + converted(to_sh, 1, {{3, 4}}).bytes(Order::little));
  }
}

}  // namespace
