// The TP19 conversion on small hand-built files: the frame, information
// blocks, the narrowing of reals, and the data array kept for the file, in
// both byte orders of the converted files.
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;

const std::string default_info_text =
    "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
    "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";

TEST(Tp19Frame, WithoutTheFileNothingIsWrittenAndTheStatusIsKept) {
  Harness h(tp19_file({block("WAVE", 41, 1, {{1}})}), with_wave());
  h.run.val.ltp19 = false;
  EXPECT_EQ(h.convert(77), 77);
  EXPECT_EQ(h.lst() + h.file(unit::sv19) + h.svt(), "");
}

TEST(Tp19Frame, EmptyFileGivesTheModelSectionAndClosesItsChannels) {
  Harness h("", {Order::little, 1, 1, 1, 1, {}});
  h.open();
  EXPECT_EQ(h.cnvt(5), 0);
  for (int u : {unit::tp19, unit::txt19, unit::sh19, unit::sht19, unit::sv19, unit::svt19})
    EXPECT_FALSE(h.run.ch.is_open(u)) << u;
  EXPECT_TRUE(h.run.ch.is_open(unit::lst));
  h.run.ch.close_all();
  EXPECT_FALSE(h.model[unit::svt19].empty());
  for (int u : {unit::sv19, unit::sh19, unit::svt19, unit::sht19}) EXPECT_EQ(h.file(u), h.model[u]) << u;
  EXPECT_TRUE(qxtest::file_exists(h.path(unit::txt19)));
  EXPECT_EQ(h.file(unit::txt19), "");
  EXPECT_EQ(h.lst(), start_lines() + end_lines());
}

TEST(Tp19InformationBlocks, EachCopiedOnceToBothFilesWithItsOwnCodesAndNoListLines) {
  InBlock info1 = info_block(), info2 = info_block();
  info1.nc = {7, 2, 5, 8, 9, 4};
  info1.nsize2 = 17;
  info1.yt = {1.5f, -2.25f, 3.0f, 1e-3f};
  info2.dmp = 0.25;
  const InBlock wave1 = block("WAVE", 41, 3, {{1, 2}}), wave2 = block("WAVE", 51, 4, {{3, 4}});
  auto info_out = [](const InBlock& b) {
    return OutBlock{"INFO", b.nc, narrow(b.dmp), b.lrec, b.nsize2, 0.0f, b.yt, std::nullopt};
  };
  const std::string text = header_lines("INFO", info1.nc, 9.8f, 1, 17, 0.0, info1.yt) +
                           header_lines("INFO", info2.nc, 0.25, 1, 0, 0.0, info2.yt);
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({info1, wave1, info2, wave2}), {o, 0, 0, 0, 1, {}});  // -maxr
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.blocks(unit::sv19), out_blocks({info_out(info1), converted(wave1, 2, {{1, 2}}), info_out(info2)}, o));
    EXPECT_EQ(h.blocks(unit::sh19), out_blocks({info_out(info1), info_out(info2), converted(wave2, 4, {{3, 4}})}, o));
    EXPECT_EQ(h.svt(), text);
    EXPECT_EQ(h.sht(), text);
    EXPECT_EQ(h.lst(), start_lines() + list_lines(wave1) + list_lines(wave2) + end_lines());
  }
}

TEST(Tp19ConvertedBlocks, DataArraySizedByTheFirstTimeHistoryRealsNarrowedTextAsRead) {
  struct Converted {
    InBlock in;
    int code;
    std::vector<float> values;  // as written
  };
  auto with = [](InBlock b, int nsize2, double dmp = 0.05, double dt = 0.01) {
    std::tie(b.nsize2, b.dmp, b.dt) = std::tie(nsize2, dmp, dt);
    return b;
  };
  InBlock ampl = block("AMPL", 41, 1, {{1, 2}, {3, 4}});
  ampl.yt = {1, -1, 0.5f, 100};
  // A block before any time history has no values; later blocks are read and
  // written with the first history's length, whatever their own. A first
  // history of length 0 leaves the length open for the next one; a negative
  // length fixes an array of no values for the rest of the file. Reals below
  // the single range are written as zeros of their sign, and shown as read.
  const std::vector<std::vector<Converted>> cases = {
      {{block("SPEC", 45, 6, {{1, 2, 3, 4}}), 3, {}},
       {block("WAVE", 41, 1, {{5, 6}}), 1, {5, 6}},
       {block("WAVE", 41, 3, {{7, 8, 9}}), 2, {7, 8}},
       {with(block("WAVE", 41, 6, {{10, 11, 12}}), 1), 3, {10, 11}},
       {block("STRS", 42, 2, {{13, 14, 15, 16, 17}}), 13, {13, 14}}},
      {{with(block("WAVE", 41, 1, {{}}), 0), 1, {}}, {block("WAVE", 41, 3, {{1, 2}}), 2, {1, 2}}},
      {{with(block("WAVE", 41, 1, {{}}), -3), 1, {}}, {block("WAVE", 41, 3, {{1, 2}}), 2, {}}},
      {{with(block("WAVE", 51, 1, {{1, 2, 3, 4, 5, 6, 7}}), 7, -1e-41, 1e-39), 4, {1, 2, 3, 4, 5, 6, 7}},
       {with(block("STRS", 43, 1, {{8, 9, 10, 11, 12, 13, 14}}), 7, 0.3, 0.125), 21, {8, 9, 10, 11, 12, 13, 14}}},
  };
  for (const auto& c : cases) {
    for (Order o : {Order::little, Order::big}) {
      SCOPED_TRACE(std::string(order_name(o)) + ", " + std::to_string(c.size()) + " blocks");
      std::vector<InBlock> in{ampl};  // passed over, both its records
      std::vector<OutBlock> sv{default_info()};
      std::string svt = default_info_text, lst = start_lines() + list_lines(ampl);
      for (const auto& b : c) {
        in.push_back(b.in);
        sv.push_back(converted(b.in, b.code, b.values));
        svt += converted_lines(b.in, b.code) + value_lines(b.values);
        lst += list_lines(b.in);
      }
      Harness h(tp19_file(in), with_wave(o));
      ASSERT_EQ(h.convert(), 0);
      EXPECT_EQ(h.blocks(unit::sv19), out_blocks(sv, o));
      EXPECT_EQ(h.blocks(unit::sh19), default_info().bytes(o));
      EXPECT_EQ(h.svt(), svt);
      EXPECT_EQ(h.lst(), lst + end_lines());
    }
  }
}

}  // namespace
