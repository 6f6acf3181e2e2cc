// The TP19 conversion on small hand-built files: the frame, information
// blocks, the narrowing of reals, and the data array kept for the file, in
// both byte orders of the converted files.
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;

// The default information block, byte by byte, in words of four bytes:
// marker 36, "INFO", codes 6 0 3 0 0 1, 9.8 as a single, 1, marker 36;
// marker 24, size 0, step 0, four zeros, marker 24.
std::string default_info_bytes(Order o) {
  static const unsigned char little[] = {
      0x24, 0, 0, 0, 'I', 'N', 'F', 'O', 6, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
      0xCD, 0xCC, 0x1C, 0x41, 1, 0, 0, 0, 0x24, 0, 0, 0, 0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x18, 0, 0, 0};
  std::string s(reinterpret_cast<const char*>(little), sizeof little);
  for (std::size_t i = 0; o == Order::big && i < s.size(); i += 4)
    if (i != 4) std::reverse(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i + 4));
  return s;
}

const std::string default_info_text =
    "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
    "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";

TEST(Tp19Frame, WithoutTheFileNothingIsWrittenAndTheStatusIsKept) {
  Harness h(tp19_file({block("WAVE", 41, 1, {{1}})}), with_wave());
  h.run.val.ltp19 = false;
  EXPECT_EQ(h.convert(77), 77);
  EXPECT_EQ(h.lst() + h.sv() + h.svt(), "");
}

TEST(Tp19Frame, EmptyFileGivesTheModelSectionAndClosesItsChannels) {
  Settings s = with_wave();
  s.stru = s.spec = s.maxr = 1;
  Harness h("", s);
  h.open();
  EXPECT_EQ(h.cnvt(5), 0);
  for (int u : {unit::tp19, unit::txt19, unit::sh19, unit::sht19, unit::sv19, unit::svt19})
    EXPECT_FALSE(h.run.ch.is_open(u)) << u;
  EXPECT_TRUE(h.run.ch.is_open(unit::lst));
  h.run.ch.close_all();
  for (int u : {unit::sv19, unit::sh19, unit::svt19, unit::sht19}) EXPECT_EQ(h.file(u), h.model[u]) << u;
  EXPECT_FALSE(h.model[unit::svt19].empty());
  EXPECT_TRUE(qxtest::file_exists(h.path(unit::txt19)));
  EXPECT_EQ(h.file(unit::txt19), "");
  EXPECT_EQ(h.lst(), start_lines() + end_lines());
}

TEST(Tp19InformationBlocks, DefaultOneFirstOrEachCopiedToBothFilesWithItsOwnCodes) {
  const InBlock wave = block("WAVE", 41, 1, {{2.5f}});
  InBlock info1 = info_block();
  info1.nc = {7, 2, 5, 8, 9, 4};
  info1.nsize2 = 17;
  info1.yt = {1.5f, -2.25f, 3.0f, 1e-3f};
  InBlock info2 = info_block();
  info2.dmp = 0.25;
  info2.dt = 3.0;
  const InBlock wave1 = block("WAVE", 41, 3, {{1, 2}});
  const InBlock wave2 = block("WAVE", 51, 4, {{3, 4}});
  auto info_out = [](const InBlock& b) {
    return OutBlock{"INFO", b.nc, static_cast<float>(b.dmp), b.lrec, b.nsize2, 0.0f, b.yt, std::nullopt};
  };
  auto info_text = [](const InBlock& b) {
    return header_lines("INFO", b.nc, static_cast<float>(b.dmp), b.lrec, b.nsize2, 0.0, b.yt);
  };
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    {
      Settings s{o, 0, 0, 1, 0, {}};  // text twins open, but no -wave
      Harness h(tp19_file({wave}), s);
      ASSERT_EQ(h.convert(), 0);
      EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(o) + converted(wave, 1, {{2.5f}}).bytes(o));
      EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(o));
      EXPECT_EQ(h.svt(), default_info_text);
      EXPECT_EQ(h.sht(), default_info_text);
      EXPECT_EQ(h.lst(), start_lines() + list_lines(wave) + end_lines());
    }
    Settings s{o, 0, 0, 0, 1, {}};
    Harness h(tp19_file({info1, wave1, info2, wave2}), s);
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + out_blocks({info_out(info1), converted(wave1, 2, {{1, 2}}), info_out(info2)}, o));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + out_blocks({info_out(info1), info_out(info2), converted(wave2, 4, {{3, 4}})}, o));
    EXPECT_EQ(h.svt(), info_text(info1) + info_text(info2));
    EXPECT_EQ(h.sht(), info_text(info1) + info_text(info2));
    EXPECT_EQ(h.lst(), start_lines() + list_lines(wave1) + list_lines(wave2) + end_lines());
  }
}

TEST(Tp19ConvertedBlocks, BinaryNarrowsTheRealsAndTheTextShowsThemAsRead) {
  // Reals below the single precision range become zeros of their sign in the
  // converted records; only a time history keeps its step.
  InBlock wave = block("WAVE", 51, 1, {{1, 2, 3, 4, 5, 6, 7}});
  wave.dmp = -1e-41;
  wave.dt = 1e-39;
  InBlock other = block("STRS", 43, 1, {{8, 9, 10, 11, 12, 13, 14}});
  other.dt = 0.125;
  other.dmp = 0.3;
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({wave, other}), with_wave(o));
    ASSERT_EQ(h.convert(), 0);
    OutBlock w = converted(wave, 4, wave.data[0]);
    w.dap = -0.0f;
    w.dtt = 0.0f;
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(o) + w.bytes(o) +
                          converted(other, 21, other.data[0]).bytes(o));
    EXPECT_EQ(h.svt(), default_info_text + converted_lines(wave, 4) + value_lines(wave.data[0]) +
                           converted_lines(other, 21) + value_lines(other.data[0]));
    EXPECT_NE(h.svt().find("   -1.00000E-41       2\n       7    1.00000E-39"), std::string::npos);
  }
}

TEST(Tp19DataArray, SizedByTheFirstTimeHistoryAndKeptForTheFile) {
  struct Converted {
    InBlock in;
    int code;
    std::vector<float> values;  // as written
  };
  auto sized = [](InBlock b, int nsize2) {
    b.nsize2 = nsize2;
    return b;
  };
  InBlock ampl = block("AMPL", 41, 1, {{1, 2}, {3, 4}});
  ampl.yt = {1, -1, 0.5f, 100};
  // A block before any time history has no values; later blocks are read and
  // written with the first history's length, whatever their own. A first
  // history of length 0 leaves the length open for the next one; a negative
  // length fixes an array of no values for the rest of the file.
  const std::vector<std::vector<Converted>> cases = {
      {{block("SPEC", 45, 6, {{1, 2, 3, 4}}), 3, {}},
       {block("WAVE", 41, 1, {{5, 6}}), 1, {5, 6}},
       {block("WAVE", 41, 3, {{7, 8, 9}}), 2, {7, 8}},
       {sized(block("WAVE", 41, 6, {{10, 11, 12}}), 1), 3, {10, 11}},
       {block("STRS", 42, 2, {{13, 14, 15, 16, 17}}), 13, {13, 14}}},
      {{sized(block("WAVE", 41, 1, {{}}), 0), 1, {}}, {block("WAVE", 41, 3, {{1, 2}}), 2, {1, 2}}},
      {{sized(block("WAVE", 41, 1, {{}}), -3), 1, {}}, {block("WAVE", 41, 3, {{1, 2}}), 2, {}}},
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
      EXPECT_EQ(h.sv(), h.model[unit::sv19] + out_blocks(sv, o));
      EXPECT_EQ(h.svt(), svt);
      EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(o));
      EXPECT_EQ(h.lst(), lst + end_lines());
    }
  }
}

}  // namespace
