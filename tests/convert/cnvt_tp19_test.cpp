// The TP19 conversion on small hand-built files: the frame, information
// blocks, converted and passed-over blocks, the data array, text twins and
// list lines, in both byte orders of the converted files.
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;
namespace unit = qx::unit;

InBlock block(const std::string& name, int nc1, int nc2, std::vector<float> values, int nsize2) {
  InBlock b;
  b.name = name;
  b.nc = {nc1, nc2, 3, 2, 1, 5};
  b.nsize2 = nsize2;
  b.data = {std::move(values)};
  return b;
}
InBlock block(const std::string& name, int nc1, int nc2, std::vector<float> values) {
  const int n = static_cast<int>(values.size());
  return block(name, nc1, nc2, std::move(values), n);
}

// The lines of a converted block in a text twin under -wave: the reals as read.
std::string converted_text(const InBlock& b, int code, const std::vector<float>& values) {
  return header_lines(b.name, {41, 0, 0, b.nc[3], b.nc[4], code}, b.dmp, b.lrec, b.nsize2, b.dt, b.yt) +
         value_lines(values);
}

std::string unhex(std::string_view hex) {
  std::string s;
  unsigned v = 0;
  int digits = 0;
  for (char c : hex) {
    if (c == ' ' || c == '|' || c == ',') continue;
    v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
    if (++digits == 2) {
      s += static_cast<char>(v);
      v = 0;
      digits = 0;
    }
  }
  return s;
}

const std::string zeros24 = unhex("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

// The default information block, byte by byte.
std::string default_info_bytes(Order o) {
  if (o == Order::little)
    return unhex("24 00 00 00 | 49 4E 46 4F | 06 00 00 00 | 00 00 00 00 | 03 00 00 00 | 00 00 00 00 |"
                 "00 00 00 00 | 01 00 00 00 | CD CC 1C 41 | 01 00 00 00 | 24 00 00 00") +
           unhex("18 00 00 00") + zeros24 + unhex("18 00 00 00");
  return unhex("00 00 00 24 | 49 4E 46 4F | 00 00 00 06 | 00 00 00 00 | 00 00 00 03 | 00 00 00 00 |"
               "00 00 00 00 | 00 00 00 01 | 41 1C CC CD | 00 00 00 01 | 00 00 00 24") +
         unhex("00 00 00 18") + zeros24 + unhex("00 00 00 18");
}

const std::string default_info_text =
    "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
    "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";

TEST(Tp19Frame, WithoutTheFileNothingIsWrittenAndTheStatusIsKept) {
  Harness h(tp19_file({block("WAVE", 41, 1, {1})}), with_wave());
  h.run.val.ltp19 = false;
  EXPECT_EQ(h.convert(77), 77);
  EXPECT_EQ(h.lst(), "");
  EXPECT_EQ(h.sv(), "");
  EXPECT_EQ(h.svt(), "");
}

TEST(Tp19Frame, EmptyFileGivesTheModelSectionAndStartAndEnd) {
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Settings s = in_order(o);
    s.spec = 1;
    Harness h("", s);
    EXPECT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19]);
    EXPECT_EQ(h.sh(), h.model[unit::sh19]);
    EXPECT_EQ(h.svt(), "");
    EXPECT_EQ(h.sht(), "");
    EXPECT_EQ(h.lst(), start_lines() + end_lines());
  }
}

TEST(Tp19Frame, ClosesItsChannelsAndLeavesTheTextResultFileEmpty) {
  Settings s = with_wave();
  s.four = s.stru = s.ampl = s.spec = s.maxr = 1;
  InBlock ampl = block("AMPL", 41, 1, {3});
  ampl.data.push_back({3.5f});
  Harness h(tp19_file({block("WAVE", 41, 1, {1, 2}), ampl, block("WAVE", 41, 4, {4, 5})}), s);
  h.open();
  int ier = 5;
  qx::cnvt_tp19(h.run, ier);
  EXPECT_EQ(ier, 0);
  for (int u : {unit::tp19, unit::txt19, unit::sh19, unit::sht19, unit::sv19, unit::svt19})
    EXPECT_FALSE(h.run.ch.is_open(u)) << u;
  EXPECT_TRUE(h.run.ch.is_open(unit::lst));
  h.run.ch.close_all();
  EXPECT_TRUE(qxtest::file_exists(h.path(unit::txt19)));
  EXPECT_EQ(h.file(unit::txt19), "");
  EXPECT_TRUE(ends_with(h.lst(), end_lines()));
}

TEST(Tp19InformationBlocks, DefaultBlockWhenTheFileDoesNotBeginWithOne) {
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    InBlock wave = block("WAVE", 41, 1, {2.5f});
    wave.dt = 0.01;
    Settings s = in_order(o);
    s.spec = 1;  // text twins open, but no -wave
    Harness h(tp19_file({wave}), s);
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(o) + converted(wave, 1, {{2.5f}}).bytes(o));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(o));
    EXPECT_EQ(h.svt(), default_info_text);
    EXPECT_EQ(h.sht(), default_info_text);
    EXPECT_EQ(h.lst(), start_lines() +
                           "WAVE      41       1       3       2       1       5    5.00000E-02       2\n"
                           "       1    1.00000E-02    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n" +
                           end_lines());
  }
}

TEST(Tp19InformationBlocks, CopiedOnceToEachFileWithTheirOwnCodesAndNoListLines) {
  InBlock info1;
  info1.name = "INFO";
  info1.nc = {7, 2, 5, 8, 9, 4};
  info1.dmp = 9.8;
  info1.lrec = 1;
  info1.nsize2 = 17;
  info1.dt = 0.5;
  info1.yt = {1.5f, -2.25f, 3.0f, 1e-3f};
  InBlock info2;
  info2.name = "INFO";
  info2.nc = {6, 0, 3, 0, 0, 1};
  info2.dmp = 0.25;
  info2.lrec = 1;
  info2.dt = 3.0;
  const InBlock wave1 = block("WAVE", 41, 3, {1, 2});
  const InBlock wave2 = block("WAVE", 51, 4, {3, 4});

  auto info_out = [](const InBlock& b) {
    OutBlock o;
    o.name = "INFO";
    o.nc = b.nc;
    o.dap = static_cast<float>(b.dmp);
    o.lrec = b.lrec;
    o.nsize2 = b.nsize2;
    o.dtt = 0.0f;
    o.yt = b.yt;
    return o;
  };
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Settings s = in_order(o);
    s.maxr = 1;
    Harness h(tp19_file({info1, wave1, info2, wave2}), s);
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + out_blocks({info_out(info1), converted(wave1, 2, {{1, 2}}), info_out(info2)}, o));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + out_blocks({info_out(info1), info_out(info2), converted(wave2, 4, {{3, 4}})}, o));
    const std::string info_text =
        "INFO       7       2       5       8       9       4    9.80000E+00       1\n"
        "      17    0.00000E+00    1.50000E+00   -2.25000E+00    3.00000E+00    1.00000E-03\n"
        "INFO       6       0       3       0       0       1    2.50000E-01       1\n"
        "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";
    EXPECT_EQ(h.svt(), info_text);
    EXPECT_EQ(h.sht(), info_text);
    EXPECT_EQ(h.lst(), start_lines() + list_lines(wave1) + list_lines(wave2) + end_lines());
  }
}

TEST(Tp19ConvertedBlocks, TimeHistoryToShWithItsCodesStepAndText) {
  InBlock wave = block("WAVE", 41, 4, {1.5f, -2.0f, 1e-20f});
  wave.nc = {41, 4, 3, 8, 9, 7};
  wave.dt = 0.02;
  wave.yt = {10, 20, 30, 40};
  Harness h(tp19_file({wave}), with_wave());
  ASSERT_EQ(h.convert(), 0);
  OutBlock o = converted(wave, 1, {{1.5f, -2.0f, 1e-20f}});
  EXPECT_EQ(o.nc, (std::array<std::int32_t, 6>{41, 0, 0, 8, 9, 1}));
  EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(Order::little) + o.bytes(Order::little));
  EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(Order::little));
  EXPECT_EQ(h.sht(), default_info_text +
                         "WAVE      41       0       0       8       9       1    5.00000E-02       2\n"
                         "       3    2.00000E-02    1.00000E+01    2.00000E+01    3.00000E+01    4.00000E+01\n"
                         "    1.50000E+00   -2.00000E+00    1.00000E-20\n");
  EXPECT_EQ(h.svt(), default_info_text);
}

TEST(Tp19ConvertedBlocks, BinaryNarrowsTheRealsAndTheTextShowsThemAsRead) {
  // Reals below the single precision range become zeros of their sign in the
  // converted records; only a time history keeps its step.
  InBlock wave = block("WAVE", 51, 1, {1, 2, 3, 4, 5, 6, 7});
  wave.dmp = -1e-41;
  wave.dt = 1e-39;
  InBlock other = block("STRS", 43, 1, {8, 9, 10, 11, 12, 13, 14});
  other.dt = 0.125;
  other.dmp = 0.3;
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({wave, other}), with_wave(o));
    ASSERT_EQ(h.convert(), 0);
    OutBlock w = converted(wave, 4, wave.data[0]);
    w.dap = -0.0f;
    w.dtt = 0.0f;
    const OutBlock s = converted(other, 21, other.data[0]);
    EXPECT_EQ(s.dtt, 0.0f);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(o) + w.bytes(o) + s.bytes(o));
    EXPECT_EQ(h.svt(), default_info_text + converted_text(wave, 4, wave.data[0]) +
                           converted_text(other, 21, other.data[0]));
    EXPECT_NE(h.svt().find("   -1.00000E-41       2\n       7    1.00000E-39"), std::string::npos);
    EXPECT_NE(h.svt().find("\n       7    1.25000E-01"), std::string::npos);
  }
}

TEST(Tp19DataArray, SizedByTheFirstTimeHistoryAndKeptForTheFile) {
  InBlock spec = block("SPEC", 45, 6, {1, 2, 3, 4});
  spec.dt = 0.5;
  const InBlock wave1 = block("WAVE", 41, 1, {5, 6});
  const InBlock wave2 = block("WAVE", 41, 3, {7, 8, 9});
  const InBlock shorter = block("WAVE", 41, 6, {10, 11, 12}, 1);
  const InBlock strs = block("STRS", 42, 2, {13, 14, 15, 16, 17});
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({spec, wave1, wave2, shorter, strs}), with_wave(o));
    ASSERT_EQ(h.convert(), 0);
    // A block before any time history has no values; later blocks are read
    // and written with the first history's length, whatever their own.
    const std::vector<OutBlock> sv = {converted(spec, 3, {{}}), converted(wave1, 1, {{5, 6}}),
                                      converted(wave2, 2, {{7, 8}}), converted(shorter, 3, {{10, 11}}),
                                      converted(strs, 13, {{13, 14}})};
    EXPECT_EQ(sv[2].nsize2, 3);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(o) + out_blocks(sv, o));
    EXPECT_EQ(h.svt(), default_info_text + converted_text(spec, 3, {}) + converted_text(wave1, 1, {5, 6}) +
                           converted_text(wave2, 2, {7, 8}) + converted_text(shorter, 3, {10, 11}) +
                           converted_text(strs, 13, {13, 14}));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(o));
  }
}

TEST(Tp19DataArray, FirstHistoryWithoutValues) {
  // A first history of length 0 leaves the length open for the next one; a
  // negative length fixes an array of no values for the rest of the file.
  const InBlock empty = block("WAVE", 41, 1, {}, 0);
  const InBlock negative = block("WAVE", 41, 1, {}, -3);
  const InBlock next = block("WAVE", 41, 3, {1, 2});
  {
    Harness h(tp19_file({empty, next}), Settings{});
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(Order::little) +
                          out_blocks({converted(empty, 1, {{}}), converted(next, 2, {{1, 2}})}, Order::little));
  }
  {
    Harness h(tp19_file({negative, next}), Settings{});
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(Order::little) +
                          out_blocks({converted(negative, 1, {{}}), converted(next, 2, {{}})}, Order::little));
  }
}

TEST(Tp19PassedOverBlocks, ListedButNeitherWrittenNorMisread) {
  InBlock ampl = block("AMPL", 41, 1, {1, 2});
  ampl.data.push_back({3, 4});
  ampl.lrec = 3;
  ampl.dmp = 0.02;
  ampl.dt = 0.25;
  ampl.yt = {1, -1, 0.5f, 100};
  const std::vector<InBlock> passed = {ampl,
                                       block("WAVE", 44, 1, {5}),
                                       block("WAVE", 48, 3, {6}),
                                       block("WAVE", 41, 0, {7}),
                                       block("WAVE", 41, 7, {8}),
                                       block("STRS", 40, 1, {9}),
                                       block("WAVE", 55, 6, {10})};
  std::vector<InBlock> in = passed;
  const InBlock last = block("WAVE", 53, 5, {11});
  in.push_back(last);
  Harness h(tp19_file(in), with_wave());
  ASSERT_EQ(h.convert(), 0);
  EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info_bytes(Order::little) +
                        converted(last, 54, {{11}}).bytes(Order::little));
  EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info_bytes(Order::little));
  EXPECT_EQ(h.svt(), default_info_text + converted_text(last, 54, {11}));
  EXPECT_EQ(h.sht(), default_info_text);

  std::string list;
  for (const auto& b : in) list += list_lines(b);
  EXPECT_EQ(h.lst(), start_lines() + list + end_lines());
  EXPECT_EQ(qxtest::split_lines(h.lst())[5],
            "AMPL      41       1       3       2       1       5    2.00000E-02       3");
  EXPECT_EQ(qxtest::split_lines(h.lst())[6],
            "       2    2.50000E-01    1.00000E+00   -1.00000E+00    5.00000E-01    1.00000E+02");
}

}  // namespace
