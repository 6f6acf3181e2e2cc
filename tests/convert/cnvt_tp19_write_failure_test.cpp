// The TP19 conversion with outputs on a full device: a lost write is
// reported with the channel that lost it, at the write where it shows or at
// the close, and the conversion stops there.
#include <gtest/gtest.h>

#include <memory>

#include "convert/cnvt_tp19_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp19test;
namespace unit = qx::unit;

// A small file whose outputs all carry something.
std::string small_file() {
  return tp19_file({records_block("WAVE", 41, 1, {{1, 2}}), records_block("WAVE", 41, 4, {{3, 4}})});
}

TEST(Tp19WriteFailures, LostWritesShowAtTheCloseAndNameTheFirstChannelClosed) {
  struct Case {
    const char* what;
    std::vector<int> full;  // channels whose disk fills up right after the model section
    int named;
  };
  const std::vector<Case> cases = {
      {"SV binary", {unit::sv19}, unit::sv19},
      {"SH binary", {unit::sh19}, unit::sh19},
      {"both binaries: SH is closed first", {unit::sv19, unit::sh19}, unit::sh19},
      {"SV text", {unit::svt19}, unit::svt19},
      {"both texts: SH is closed first", {unit::svt19, unit::sht19}, unit::sht19},
      {"SH text before SV binary", {unit::sv19, unit::sht19}, unit::sht19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h(small_file(), with_wave());
    h.open();
    std::vector<std::unique_ptr<qxtest::WriteBudget>> full;
    for (int u : c.full) full.push_back(std::make_unique<qxtest::WriteBudget>(h.path(u), h.model[u].size()));
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    h.run.ch.close_all();
    full.clear();
    EXPECT_EQ(ier, 38);
    EXPECT_TRUE(ends_with(h.lst(), data_write_report(c.named, 38))) << h.lst();
    // Every channel was still closed: the files that could be written are whole.
    if (c.full == std::vector<int>{unit::sv19}) {
      EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(Order::little) +
                            converted(records_block("WAVE", 41, 4, {{3, 4}}), 1, {{3, 4}}).bytes(Order::little));
    }
  }
  {
    // Nothing is written to the text result file: it cannot fail.
    Settings s = with_wave();
    s.file_of[unit::txt19] = "/dev/full";
    Harness h(small_file(), s);
    EXPECT_EQ(h.convert(), 0);
  }
}

// A TP19 file whose SV output crosses every 64 KiB boundary `into` bytes
// after the start of a converted time history block (76 header bytes, then
// its data record). The writers hand their output over in buffers of a power
// of two bytes, at least 64 KiB, so on a full device the write that crosses
// such a boundary is the one that fails. Information blocks (76 bytes) and
// empty converted blocks (84 bytes) move the first history into place.
std::string failing_at(std::size_t model_bytes, std::size_t into) {
  constexpr std::size_t boundary = 65536;
  constexpr std::int32_t values = (boundary - 84) / 4;  // each history block is 64 KiB
  const std::size_t first_history = boundary - into;   // where the histories begin, modulo the boundary
  std::size_t room = (first_history + 2 * boundary - model_bytes - 76) % boundary;
  if (room < 1440) room += boundary;
  std::size_t infos = 0, empties = 0;
  while ((room - 84 * empties) % 76 != 0) ++empties;
  infos = (room - 84 * empties) / 76;

  InBlock info = records_block("INFO", 6, 0, {});
  std::vector<InBlock> in(1 + infos, info);
  for (std::size_t i = 0; i < empties; ++i) in.push_back(records_block("SPEC", 45, 1, {{1}}));
  for (int i = 0; i < 20; ++i) in.push_back(records_block("WAVE", 41, 1, {std::vector<float>(values, 0.5f * i)}));
  return tp19_file(in);
}

TEST(Tp19WriteFailures, FailedWritesStopTheConversionWhereTheyShow) {
  std::size_t model_bytes = 0;
  {
    Harness probe("", Settings{});
    probe.open();
    model_bytes = probe.model[unit::sv19].size();
    ASSERT_EQ(model_bytes % 4, 0u);
  }
  struct Case {
    const char* what;
    std::size_t into;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"at REC1", 0, header_write_report(unit::sv19, 38)},
      {"inside REC1", 20, header_write_report(unit::sv19, 38)},
      {"inside REC2", 60, header_write_report(unit::sv19, 38)},
      {"inside the data record", 176, data_write_report(unit::sv19, 38)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The model section is handed to the file on its own, so the output
    // buffer starts empty behind it; the disk is full from there on.
    Harness h(failing_at(0, c.into), Settings{});
    h.open();
    qxtest::WriteBudget full(h.path(unit::sv19), model_bytes);
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    EXPECT_EQ(ier, 38);
    EXPECT_TRUE(h.run.ch.is_open(unit::tp19)) << "stopped before the end of the file";
    h.run.ch.close_all();
    const std::string lst = h.lst();
    EXPECT_TRUE(ends_with(lst, c.report)) << lst.substr(lst.size() > 300 ? lst.size() - 300 : 0);
  }
  std::vector<InBlock> many;
  for (int i = 0; i < 600; ++i) many.push_back(records_block("WAVE", 41, 1, {std::vector<float>(500, 0.5f * i)}));
  {
    Settings s = with_wave();
    s.file_of[unit::sht19] = "/dev/full";
    std::vector<InBlock> sh = many;
    for (auto& b : sh) b.nc[1] = 4;
    Harness h(tp19_file(sh), s);
    h.open();
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    EXPECT_EQ(ier, 38);
    EXPECT_TRUE(h.run.ch.is_open(unit::tp19));
    h.run.ch.close_all();
    EXPECT_TRUE(ends_with(h.lst(), data_write_report(unit::sht19, 38)));
  }
  {
    // The list file: its own report is lost with it, but the status stops the run.
    std::vector<InBlock> passed(8000, records_block("WAVE", 44, 1, {{1}}));
    Settings s;
    s.file_of[unit::lst] = "/dev/full";
    Harness h(tp19_file(passed), s);
    h.open();
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    EXPECT_EQ(ier, 38);
    EXPECT_TRUE(h.run.ch.is_open(unit::tp19));
    h.run.ch.close_all();
  }
  {
    // The text lines of information blocks.
    InBlock info = records_block("INFO", 6, 0, {});
    std::vector<InBlock> infos(8000, info);
    Settings s;
    s.maxr = 1;
    s.file_of[unit::svt19] = "/dev/full";
    Harness h(tp19_file(infos), s);
    h.open();
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    EXPECT_EQ(ier, 38);
    EXPECT_TRUE(h.run.ch.is_open(unit::tp19));
    h.run.ch.close_all();
    EXPECT_TRUE(ends_with(h.lst(), data_write_report(unit::svt19, 38)));
  }
}

}  // namespace
