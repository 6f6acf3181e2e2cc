// The TP19 conversion on small hand-built files and on generated cases,
// compared byte for byte with a Fortran reference in both byte orders.
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;

TEST(Tp19Frame, WithoutTheFileNothingIsWrittenAndAnEmptyFileGivesTheModelSection) {
  Harness off(tp19_file({block("WAVE", 41, 1, {{1}})}), with_wave());
  off.run.val.ltp19 = false;
  EXPECT_EQ(off.convert(77), 77);  // the status is kept
  EXPECT_EQ(off.lst() + off.file(unit::sv19) + off.file(unit::svt19), "");
  Harness h("", {Order::little, 1, 1, 1, 1});
  h.open();
  EXPECT_EQ(h.cnvt(5), 0);
  for (int u : {unit::tp19, unit::txt19, unit::sh19, unit::sht19, unit::sv19, unit::svt19, -unit::lst})
    EXPECT_EQ(h.run.ch.is_open(std::abs(u)), u < 0) << u;
  h.run.ch.close_all();
  for (int u : {unit::sv19, unit::sh19, unit::svt19, unit::sht19}) EXPECT_EQ(h.blocks(u), "") << u;
  EXPECT_TRUE(!h.model[unit::svt19].empty() && qxtest::file_exists(h.path(unit::txt19)) && h.file(unit::txt19).empty());
  EXPECT_EQ(h.lst(), start_lines + end_lines);
}

TEST(Tp19InformationBlocks, EachCopiedOnceToBothFilesWithItsOwnCodesAndNoListLines) {
  InBlock info1 = info_block(), info2 = info_block();
  info1.nc = {7, 2, 5, 8, 9, 4};
  std::tie(info1.nsize2, info1.yt, info2.dmp) = std::tuple(17, std::array{1.5f, -2.25f, 3.0f, 1e-3f}, 0.25);
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({info1, block("WAVE", 41, 3, {{1, 2}}), info2, block("WAVE", 51, 4, {{3, 4}})}),
              {o, 0, 0, 0, 1});  // -maxr
    ASSERT_EQ(h.convert(), 0);
    h.expect_reference();
    EXPECT_EQ(h.blocks(unit::sh19).size(), 2 * 76 + 92);  // two information blocks, one history
  }
}

TEST(Tp19ConvertedBlocks, DataArraySizedByTheFirstTimeHistoryRealsNarrowedTextAsRead) {
  auto with = [](InBlock b, int nsize2, double dmp = 0.05, double dt = 0.01) {
    return std::tie(b.nsize2, b.dmp, b.dt) = std::tie(nsize2, dmp, dt), b;
  };
  InBlock ampl = block("AMPL", 41, 1, {{1, 2}, {3, 4}});  // passed over, both its records
  ampl.yt = {1, -1, 0.5f, 100};
  // A block before any time history has no values; later blocks are read and
  // written with the first history's length, whatever their own. A first
  // history of length 0 leaves the length open for the next one; a negative
  // length fixes an array of no values for the rest of the file. Reals below
  // the single range are written as zeros of their sign, and shown as read.
  const std::vector<std::vector<InBlock>> cases = {
      {ampl, block("SPEC", 45, 6, {{1, 2, 3, 4}}), block("WAVE", 41, 1, {{5, 6}}), block("WAVE", 41, 3, {{7, 8, 9}}),
       with(block("WAVE", 41, 6, {{10, 11, 12}}), 1), block("STRS", 42, 2, {{13, 14, 15, 16, 17}})},
      {ampl, with(block("WAVE", 41, 1, {{}}), 0), block("WAVE", 41, 3, {{1, 2}})},
      {ampl, with(block("WAVE", 41, 1, {{}}), -3), block("WAVE", 41, 3, {{1, 2}})},
      {ampl, with(block("WAVE", 51, 1, {{1, 2, 3, 4, 5, 6, 7}}), 7, -1e-41, 1e-39),
       with(block("STRS", 43, 1, {{8, 9, 10, 11, 12, 13, 14}}), 7, 0.3, 0.125)},
  };
  for (const auto& c : cases) {
    for (Order o : {Order::little, Order::big}) {
      SCOPED_TRACE(std::string(order_name(o)) + ", " + std::to_string(c.size()) + " blocks");
      Harness h(tp19_file(c), with_wave(o));
      ASSERT_EQ(h.convert(), 0);
      h.expect_reference();
      EXPECT_GT(h.file(unit::svt19).size(), h.model.at(unit::svt19).size() + 300);
    }
  }
}

// Every (nc1, nc2) from 40 to 55 and 0 to 7, of a time history and of another kind
// word, lands in the variant with the code of the conversion table, or is passed over.
TEST(Tp19ConversionTable, EveryPairLandsWhereTheTableSays) {
  for (Order order : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(order));
    std::vector<InBlock> in{info_block()};
    for (int i = 1; i <= 256; ++i) {  // both kinds, each with (nc1, nc2) from (40, 0) to (55, 7)
      const int nc1 = 40 + (i - 1) / 8 % 16, nc2 = (i - 1) % 8;
      InBlock b = block(i <= 128 ? "WAVE" : "STRS", nc1, nc2, {{static_cast<float>(i), -0.5f * static_cast<float>(i)}});
      b.nc = {nc1, nc2, 1 + i % 3, 100 + i % 50, 200 + i % 70, 9};
      std::tie(b.dmp, b.dt, b.yt) = std::tuple(0.01 * i, 0.25 * i, std::array<float, 4>{float(i), 1, 2, 3});
      in.push_back(b);
    }
    Harness h(tp19_file(in), Settings{order, 1, 0, 0, 0});
    ASSERT_EQ(h.convert(), 0);
    h.expect_reference();
    // Six cells of the table lead to SH, 28 to SV, for each kind; 76 bytes of headers, 16 of data.
    EXPECT_EQ(h.blocks(unit::sh19).size(), 76 + 2 * 6 * 92);
    EXPECT_EQ(h.blocks(unit::sv19).size(), 76 + 2 * 28 * 92);
  }
}

TEST(Tp19Generated, ConvertedFilesAgreeWithTheReference) {
  struct Case {
    std::vector<std::string> qxgen;  // none: the bundled example
    Settings settings;
  };
  const std::vector<Case> cases = {
      {{"--seed", "2", "--no-info"}, {Order::big, 1, 1, 0, 0}},
      {{"--seed", "3", "--size", "300k"}, {Order::little, 0, 0, 1, 0}},
      {{"--seed", "4"}, {Order::big, 0, 0, 0, 0}},
      {{"--seed", "5", "--no-info", "--size", "1M"}, {Order::little, 1, 1, 1, 0}},
      {{"--seed", "6", "--size", "12M"}, {Order::big, 0, 0, 0, 0}},  // read ahead on a second thread
      {{}, {Order::big, 1, 1, 1, 0}},
  };
  for (const auto& [qxgen, settings] : cases) {
    SCOPED_TRACE(qxgen.empty() ? "example" : "seed " + qxgen[1]);
    qxtest::TempDir dir;
    std::string tp19 = std::string(QX_SOURCE_DIR) + "/example/case1.TP19";
    if (!qxgen.empty()) {
      std::vector<std::string> argv{QXGEN_PATH, "--out", dir.file("case"), "--only-tp19"};
      argv.insert(argv.end(), qxgen.begin(), qxgen.end());
      const qxtest::CommandResult r = qxtest::run_program(argv);
      ASSERT_EQ(r.exit_status, 0) << r.err;
      tp19 = dir.file("case.TP19");
    }
    Harness h(qxtest::read_file(tp19), settings);
    ASSERT_EQ(h.convert(), 0) << h.lst();
    h.expect_reference();
    // The case holds blocks of both variants, and text for them under -wave.
    EXPECT_GT(h.blocks(unit::sh19).size(), 200u);
    EXPECT_TRUE(settings.wave == 0 || h.blocks(unit::sht19).size() > 1000);
    EXPECT_EQ(h.file(unit::txt19), "");
  }
}

}  // namespace
