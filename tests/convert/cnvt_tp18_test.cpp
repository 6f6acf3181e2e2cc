// The TP18 conversion of ordinary blocks: generated cases against the model
// under every option and both byte orders, hand-built corners with
// hand-computed records, and gfortran reading a big-endian result.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "convert/tp18_fixture.hpp"

namespace {

using namespace tp18test;
using qxtest::TempDir;
using tp18model::parse_records;

const Options no_options{};
const Options all_options{1, 1, 1, 1, 1, 1};

// The option sets a run can have: none, each alone, all.
std::vector<std::pair<std::string, Options>> option_sets() {
  return {{"none", {}},
          {"-four", {1, 0, 0, 0, 0, 0}},
          {"-stru", {0, 1, 0, 0, 0, 0}},
          {"-wave", {0, 0, 1, 0, 0, 0}},
          {"-ampl", {0, 0, 0, 1, 0, 0}},
          {"-spec", {0, 0, 0, 0, 1, 0}},
          {"-maxr", {0, 0, 0, 0, 0, 1}},
          {"all", all_options}};
}

i4 int_at(const std::string& rec, std::size_t k) {
  i4 v;
  std::memcpy(&v, rec.data() + 4 * k, 4);
  return v;
}
float real_at(const std::string& rec, std::size_t k) {
  float v;
  std::memcpy(&v, rec.data() + 4 * k, 4);
  return v;
}
std::vector<float> reals_of(const std::string& rec) {
  std::vector<float> v(rec.size() / 4);
  std::memcpy(v.data(), rec.data(), rec.size());
  return v;
}

TEST(CnvtTp18, GeneratedCasesMatchTheModelUnderEveryOptionAndByteOrder) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  for (const char* seed : {"1", "7"}) {
    const std::string input = generate(dir, {"--seed", seed, "--size", "60k"});
    const std::string bytes = qxtest::read_file(input);
    for (bool big : {false, true}) {
      for (const auto& [label, o] : option_sets()) {
        const std::string what = std::string("seed ") + seed + (big ? " big " : " little ") + label;
        const Conversion c = convert(dir, input, o, big);
        const auto e = expect_model(c, bytes, o, big, what);
        EXPECT_EQ(c.ier, 0) << what;
        // The case holds every kind of block, so each file gets many records.
        EXPECT_GT(e.sv.size(), 100u) << what;
        EXPECT_GT(e.sh.size(), 30u) << what;
        if (o.maxr) {
          EXPECT_FALSE(e.dump.empty()) << what;
        }
      }
    }
  }
}

TEST(CnvtTp18, DefaultInformationBlockWhenTheFileDoesNotBeginWithOne) {
  TempDir dir;
  const std::string input = generate(dir, {"--no-info", "--size", "30k"});
  const std::string rec1_le = std::string(
      "\x24\x00\x00\x00"
      "INFO"
      "\x06\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x03\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x01\x00\x00\x00"
      "\xCD\xCC\x1C\x41"
      "\x01\x00\x00\x00"
      "\x24\x00\x00\x00",
      44);
  const std::string rec2_le =
      std::string("\x18\x00\x00\x00", 4) + std::string(24, '\0') + std::string("\x18\x00\x00\x00", 4);
  const std::string rec1_be = std::string(
      "\x00\x00\x00\x24"
      "INFO"
      "\x00\x00\x00\x06"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x03"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x01"
      "\x41\x1C\xCC\xCD"
      "\x00\x00\x00\x01"
      "\x00\x00\x00\x24",
      44);
  const std::string rec2_be =
      std::string("\x00\x00\x00\x18", 4) + std::string(24, '\0') + std::string("\x00\x00\x00\x18", 4);
  for (bool big : {false, true}) {
    const Conversion c = convert(dir, input, Options{0, 1, 0, 0, 0, 0}, big);
    EXPECT_EQ(c.ier, 0);
    const std::string info = big ? rec1_be + rec2_be : rec1_le + rec2_le;
    EXPECT_EQ(c.sv.substr(c.sv_prefix.size(), 76), info);
    EXPECT_EQ(c.sh.substr(c.sh_prefix.size(), 76), info);
    // With only -stru, both twins show it and no header of a data block.
    const std::string lines =
        "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
        "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";
    EXPECT_EQ(c.svt.substr(c.svt_prefix.size()), lines);
    EXPECT_EQ(c.sht.substr(c.sht_prefix.size()), lines);
    expect_model(c, qxtest::read_file(input), Options{0, 1, 0, 0, 0, 0}, big, big ? "big" : "little");
  }
}

TEST(CnvtTp18, OrdinaryBlocksAreRoutedRenumberedNarrowedAndDropped) {
  TempDir dir;
  Tp18File f;
  f.rec1("INFO", 6, 0, 3, 9.80665, 1).rec2(0, 0.0);
  f.block("WAVE", 9, 3, 3, 0.01, {1, 2, 3, 4, 5, 6, 7}, 1, 1.0e-50);  // nc1 9 -> 10, component 3 -> 2
  f.block("FOUR", 13, 1, 1, 0.5, {9, 9, 9}, 2);                       // dropped: does not fix N
  f.block("FOUR", 1, 2, 2, 0.1, {1, 2, 3, 4}, 2);                     // fixes N = 4, axis 0, 0.1, 0.2, 0.3
  f.block("AMPL", 1, 1, 3, 0.7, {5, 6, 7, 8, 9, 10}, 2);              // longer: read with N = 4, first axis
  f.block("AMPL", 1, 2, 1, 0.1, {1, 1, 1, 1}, 2);                     // component 2 with 1: dropped
  f.block("AMPL", 1, 2, 2, 0.1, {2, 2, 2, 2}, 2);                     // to SH with 1, 1
  f.block("WAVE", 4, 5, 1, 0.01, {1, 2}, 1);                          // component 5: one record passed over
  f.block("SPEC", 11, 5, 1, 0.02, {1, 2}, 2);                         // component 5, nc1 > 10: two
  f.block("SPEC", 2, 1, 1, 0.02, {3, 4, 5}, 2);
  f.rec1("STAT", 2, 2, 2).rec2(17, 0.5);  // unknown kind: header records only
  const std::string input = write_input(dir, f.bytes());

  const Conversion c = convert(dir, input, all_options, false);
  ASSERT_EQ(c.ier, 0) << c.list;
  const auto sv = converted_records(c.sv, c.sv_prefix);
  const auto sh = converted_records(c.sh, c.sh_prefix);

  // SV: INFO (its headers, then the two copies), WAVE, AMPL, SPEC.
  ASSERT_EQ(sv.size(), 4u + 3 + 5 + 4);
  ASSERT_EQ(sh.size(), 2u + 5 + 5 + 2);
  EXPECT_EQ(sv[0], sv[2]);
  EXPECT_EQ(sv[1], sv[3]);
  EXPECT_EQ(sh[0], sv[0]);
  EXPECT_EQ(sv[0].size(), 36u);
  EXPECT_EQ(sv[0].substr(0, 4), "INFO");
  EXPECT_EQ(int_at(sv[0], 3), 2);  // nc3 3 -> 2
  EXPECT_EQ(real_at(sv[0], 7), 9.80665f);

  // WAVE: codes 10, 2, 2; dap of 1e-50 narrowed to zero; REC2 keeps its step.
  EXPECT_EQ(sv[4].substr(0, 4), "WAVE");
  EXPECT_EQ(int_at(sv[4], 1), 10);
  EXPECT_EQ(int_at(sv[4], 2), 2);
  EXPECT_EQ(int_at(sv[4], 3), 2);
  EXPECT_EQ(real_at(sv[4], 7), 0.0f);
  EXPECT_EQ(int_at(sv[4], 8), 2);
  EXPECT_EQ(int_at(sv[5], 0), 7);
  EXPECT_EQ(real_at(sv[5], 1), 0.01f);
  EXPECT_EQ(reals_of(sv[6]), (std::vector<float>{1, 2, 3, 4, 5, 6, 7}));

  // FOUR to SH: lrec 4, step 0, the axis in single precision, its two records.
  EXPECT_EQ(sh[2].substr(0, 4), "FOUR");
  EXPECT_EQ(int_at(sh[2], 2), 1);
  EXPECT_EQ(int_at(sh[2], 3), 1);
  EXPECT_EQ(int_at(sh[2], 8), 4);
  EXPECT_EQ(real_at(sh[3], 1), 0.0f);
  const float df = 0.1f;
  EXPECT_EQ(reals_of(sh[4]), (std::vector<float>{0.0f, df, 2.0f * df, 3.0f * df}));
  EXPECT_EQ(reals_of(sh[5]), (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(reals_of(sh[6]), (std::vector<float>{101, 102, 103, 104}));

  // The longer AMPL: the first block's axis and count, its own nsize2.
  EXPECT_EQ(sv[7].substr(0, 4), "AMPL");
  EXPECT_EQ(int_at(sv[7], 2), 1);
  EXPECT_EQ(int_at(sv[7], 3), 2);  // nc3 3 -> 2
  EXPECT_EQ(int_at(sv[8], 0), 6);
  EXPECT_EQ(sv[9], sh[4]);
  EXPECT_EQ(reals_of(sv[10]), (std::vector<float>{5, 6, 7, 8}));

  // The AMPL of components 2 and 2 to SH as 1 and 1; then SPEC; STAT headers.
  EXPECT_EQ(sh[7].substr(0, 4), "AMPL");
  EXPECT_EQ(int_at(sh[7], 2), 1);
  EXPECT_EQ(int_at(sh[7], 3), 1);
  EXPECT_EQ(reals_of(sv[14]), (std::vector<float>{3, 4, 5}));
  EXPECT_EQ(sh[12].substr(0, 4), "STAT");
  EXPECT_EQ(int_at(sh[13], 0), 17);
  EXPECT_EQ(real_at(sh[13], 1), 0.0f);

  // List: two lines per block, dropped ones included, the values as read.
  const auto list = qxtest::split_lines(c.list);
  ASSERT_EQ(list.size(), 5u + 2 * 11 + 2);
  EXPECT_EQ(list[5], "INFO       6       0       3     101       2       7    9.80665E+00       1");
  EXPECT_EQ(list[7], "WAVE       9       3       3     101       2       7    1.00000E-50       2");
  EXPECT_EQ(list[8], "       7    1.00000E-02    1.50000E+00    2.25000E+00   -3.00000E+00    0.00000E+00");
  EXPECT_EQ(list[9].substr(0, 12), "FOUR      13");
  EXPECT_EQ(c.list.substr(c.list.size() - 20), "\nEND (CONVERT TP18)\n");

  // Text twins: the header as written, data lines six to a line.
  const auto svt = qxtest::split_lines(c.svt.substr(c.svt_prefix.size()));
  EXPECT_EQ(svt[0], "INFO       6       0       2     101       2       7    9.80665E+00       1");
  EXPECT_EQ(svt[4], "WAVE      10       2       2     101       2       7    0.00000E+00       2");
  EXPECT_EQ(svt[5], "       7    1.00000E-02    1.50000E+00    2.25000E+00   -3.00000E+00    0.00000E+00");
  EXPECT_EQ(svt[6], "    1.00000E+00    2.00000E+00    3.00000E+00    4.00000E+00    5.00000E+00    6.00000E+00");
  EXPECT_EQ(svt[7], "    7.00000E+00");

  expect_model(c, f.bytes(), all_options, false, "hand-built");
}

TEST(CnvtTp18, TextTwinsFollowTheirOptions) {
  TempDir dir;
  Tp18File f;
  f.block("WAVE", 1, 1, 1, 0.01, {1, 2}, 1).block("FOUR", 1, 1, 1, 0.1, {3}, 2).block("SPEC", 1, 1, 1, 0.1, {4}, 2);
  f.block("AMPL", 1, 1, 1, 0.1, {5}, 2).block("INFO", 6, 0, 3, 0.0, {}, 0);
  const std::string input = write_input(dir, f.bytes());
  const std::string default_info =
      "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
      "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";
  struct Case {
    Options o;
    std::vector<std::string> data_lines;  // the data lines expected in the SV twin
  };
  const Case cases[] = {
      {{0, 0, 1, 0, 0, 0}, {"    1.00000E+00    2.00000E+00"}},
      {{1, 0, 0, 0, 0, 0}, {"    0.00000E+00", "    3.00000E+00", "    1.03000E+02"}},
      {{0, 0, 0, 0, 1, 0}, {"    4.00000E+00", "    1.04000E+02"}},
      {{0, 0, 0, 1, 0, 0}, {"    0.00000E+00", "    5.00000E+00", "    1.05000E+02"}},
  };
  for (const Case& k : cases) {
    const Conversion c = convert(dir, input, k.o, false);
    ASSERT_EQ(c.ier, 0);
    const auto lines = qxtest::split_lines(c.svt.substr(c.svt_prefix.size()));
    // default block, four data blocks of two header lines, INFO and its copy
    ASSERT_EQ(lines.size(), 2u + 4 * 2 + 2 + 2 + k.data_lines.size());
    std::vector<std::string> data;
    for (const auto& l : lines)
      if (!l.empty() && l[0] == ' ' && l.size() % 15 == 0) data.push_back(l);
    EXPECT_EQ(data, k.data_lines);
    EXPECT_EQ(c.svt.substr(c.svt_prefix.size(), default_info.size()), default_info);
    expect_model(c, f.bytes(), k.o, false, "text options");
  }
  // With only -stru or only -maxr no header of a data block reaches the twins.
  for (const Options& o : {Options{0, 1, 0, 0, 0, 0}, Options{0, 0, 0, 0, 0, 1}}) {
    const Conversion c = convert(dir, input, o, false);
    const auto lines = qxtest::split_lines(c.svt.substr(c.svt_prefix.size()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 4), "INFO");
    EXPECT_EQ(lines[2].substr(0, 4), "INFO");
    EXPECT_EQ(c.sht.substr(c.sht_prefix.size()), default_info + lines[2] + "\n" + lines[3] + "\n");
  }
}

TEST(CnvtTp18, NothingHappensWithoutATp18FileAndAnEmptyFileGivesOnlyTheFrame) {
  TempDir dir;
  {
    qx::Run run;
    int ier = 12345;
    qx::cnvt_tp18(run, ier);  // ltp18 false: no channel is touched
    EXPECT_EQ(ier, 12345);
  }
  const Conversion c = convert(dir, write_input(dir, ""), all_options, true);
  EXPECT_EQ(c.ier, 0);
  EXPECT_EQ(c.sv, c.sv_prefix);
  EXPECT_EQ(c.sh, c.sh_prefix);
  EXPECT_EQ(c.svt, c.svt_prefix);
  EXPECT_EQ(c.list, "\n\n\nSTART (CONVERT TP18)\n\n\nEND (CONVERT TP18)\n");
  EXPECT_EQ(c.dump, "");
}

// gfortran reads a converted big-endian file record by record, each by the
// form the model gives it, and shows every integer and the bits of every real.
TEST(CnvtTp18, GfortranReadsTheBigEndianOutput) {
  const char* source = R"(
program read_converted
  implicit none
  character(len=512) :: path
  character(len=4) :: name
  integer :: skip, nrec, i, form, k, m, na, lrec, nc(6), ios
  real :: dap
  integer, allocatable :: ids(:)
  real, allocatable :: vals(:)
  read(*,'(A)') path
  read(*,*) skip, nrec
  open(10, file=trim(path), form='unformatted', access='sequential', status='old', convert='BIG_ENDIAN')
  do i = 1, skip
    read(10)
  end do
  do i = 1, nrec
    read(*,*) form, k, m
    if (form == 1) then
      read(10) name, nc, dap, lrec
      write(*,'(A,A4,8(1X,I0))') 'H ', name, nc, transfer(dap, 0), lrec
    else if (form == 2) then
      allocate(vals(m))
      read(10) vals
      write(*,'(A,*(1X,I0))') 'R', transfer(vals, 0, m)
      deallocate(vals)
    else
      allocate(ids(k), vals(m))
      read(10) na, ids, vals
      write(*,'(A,*(1X,I0))') 'I', na, ids, transfer(vals, 0, m)
      deallocate(ids, vals)
    end if
  end do
  read(10, iostat=ios)
  if (ios < 0) write(*,'(A)') 'END'
end program
)";
  TempDir dir;
  const std::string exe = dir.file("read_converted");
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(source, exe, log)) << log;

  const std::string input = generate(dir, {"--seed", "5", "--size", "40k"});
  const Conversion c = convert(dir, input, no_options, true);
  ASSERT_EQ(c.ier, 0);
  const auto e = tp18model::convert(parse_records(qxtest::read_file(input)), no_options);
  for (const auto& [file, records, prefix] : {std::tuple{std::string("case_QX2D.TP18"), &e.sv, &c.sv_prefix},
                                              std::tuple{std::string("case_QXSH.TP18"), &e.sh, &c.sh_prefix}}) {
    std::string plan = dir.file(file) + "\n" + std::to_string(parse_records(*prefix, true).records.size()) + " " +
                       std::to_string(records->size()) + "\n";
    std::string expected;
    for (const auto& r : *records) {
      auto show = [](const tp18model::Field& f) { return " " + std::to_string(static_cast<i4>(f.bits)); };
      if (r.empty()) {
        plan += "2 0 0\n";
        expected += "R";
      } else if (r[0].type == 't') {
        plan += "1 0 0\n";
        expected += "H " + r[0].text;
        for (std::size_t k = 1; k < r.size(); ++k) expected += show(r[k]);
      } else if (r[0].type == 'r') {
        plan += "2 0 " + std::to_string(r.size()) + "\n";
        expected += "R";
        for (const auto& f : r) expected += show(f);
      } else {
        std::size_t ints = 1;
        while (ints < r.size() && r[ints].type == 'i') ++ints;
        plan += "3 " + std::to_string(ints - 1) + " " + std::to_string(r.size() - ints) + "\n";
        expected += "I";
        for (const auto& f : r) expected += show(f);
      }
      expected += "\n";
    }
    expected += "END\n";
    const auto run = qxtest::run_program({exe}, plan);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    expect_same_lines(run.out, expected, "gfortran " + file);
  }
}

}  // namespace
