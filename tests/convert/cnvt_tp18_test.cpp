// The TP18 conversion against the model of tp18_model.hpp under every option
// set and both byte orders; hand-computed bytes of the default information
// block, and gfortran reading a big-endian result.
#include <gtest/gtest.h>

#include "convert/tp18_fixture.hpp"

namespace {

using namespace tp18test;

// The option sets a run can have: none, each alone, all.
const std::vector<Options> option_sets = {{},           {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0},
                                          {0, 0, 0, 1}, {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1}};

// Generated cases, and hand-built corners: routing and renumbering,
// narrowing, dropped blocks, counts fixed by the first spectrum, unknown
// kinds, and every maxima code.
TEST(CnvtTp18, CasesMatchTheModelUnderEveryOptionAndByteOrder) {
  ScratchDir dir;
  std::vector<std::pair<std::string, std::string>> inputs;  // what, bytes
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--seed", "1", "--size", "60k"}, {"--seed", "7", "--size", "60k"}, {"--no-info"}})
    inputs.emplace_back(args.back(), qxtest::read_file(generate(dir, args)));
  const std::size_t generated = inputs.size();

  Tp18File ordinary;
  ordinary.rec1("INFO", 6, 0, 3, 9.80665, 1).rec2(0, 0.0);
  ordinary.block("WAVE", 9, 3, 3, 0.01, {1, 2, 3, 4, 5, 6, 7}, 1, 1.0e-50);      // narrowed to zero
  ordinary.block("WAVE", 2, 1, 1, 2.0e-40, {1}, 1, -3.0e-39);                    // subnormals
  ordinary.block("FOUR", 13, 1, 1, 0.5, {9, 9, 9}, 2);                           // dropped: N not fixed
  ordinary.block("SPEC", 34, 1, 1, 0.5, {9, 9, 9, 9, 9}, 2);                     // dropped: M not fixed
  ordinary.block("FOUR", 1, 2, 2, 0.1, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 2);          // fixes N and the axis
  ordinary.block("AMPL", 1, 1, 3, 0.7, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, 2);  // longer: read with N
  for (i4 nc2 : {1, 2, 3})
    for (i4 nc3 : {1, 2, 3}) ordinary.block("AMPL", 1, nc2, nc3, 0.1, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 2);
  ordinary.block("WAVE", 4, 5, 1, 0.01, {1, 2}, 1).block("WAVE", 10, 5, 1, 0.01, {1, 2}, 1);  // component 5
  ordinary.block("SPEC", 11, 5, 1, 0.02, {1, 2}, 2);
  ordinary.block("SPEC", 2, 1, 1, 0.02, {3, 4, 5}, 2).block("SPEC", 2, 2, 1, 0.02, {6, 7, 8, 9}, 2);
  ordinary.rec1("STAT", 2, 2, 2).rec2(17, 0.5);  // unknown kind: header records only
  ordinary.block("INFO", 6, 2, 2, 0.0, {}, 0);
  inputs.emplace_back("ordinary", ordinary.bytes());

  Tp18File maxima;  // no information block first
  const std::pair<i4, int> codes[] = {{101, 6}, {102, 6}, {103, 6}, {104, 3}, {105, 9}, {106, 5}, {108, 9},
                                      {109, 1}, {110, 3}, {111, 4}, {112, 4}, {113, 2}, {50, 6},  {9, 6}};
  for (const auto& [code, nd] : codes) maxima.maxr(code, code % 4, 2, nd);
  maxima.maxr(107, 2, 5, 4, 3).maxr(107, 0, 0, 4).maxr(103, 1, 1, 6).maxr(108, 1, 1, 7).maxr(101, 1, 0, 6);
  maxima.maxr_header(101, 1).record(Payload().i(-3));  // a negative count: no items
  // 108 takes its components from its record: at most nine, whole ones only.
  maxima.maxr(108, 2, 2, 11);
  maxima.maxr_header(108, 3).record(Payload().i(2).i(1).i(2).i(3).i(4).reals(std::vector<float>(4 * 3 + 3, 0.5f)));
  inputs.emplace_back("maxima", maxima.bytes());

  for (std::size_t k = 0; k < inputs.size(); ++k)
    for (bool big : {false, true})
      for (const Options& o : option_sets) {
        char label[32];
        std::snprintf(label, sizeof label, " %d%d%d%d%d%d %d", o.four, o.stru, o.wave, o.ampl, o.spec, o.maxr, big);
        const auto e = check(dir, inputs[k].second, o, big, inputs[k].first + label);
        EXPECT_EQ(e.ier, 0);
        if (k < generated) {  // with every kind of block, so each file gets many records
          EXPECT_GT(e.sh.size(), 30u);
          EXPECT_EQ(e.dump.empty(), o.maxr == 0);
        }
      }
}

// A file of some megabytes is read ahead on a second thread: the
// conversion must still agree with the model, with and without the text
// copies, in both byte orders.
TEST(CnvtTp18, AFileReadAheadMatchesTheModel) {
  ScratchDir dir;
  const std::string bytes = qxtest::read_file(generate(dir, {"--seed", "11", "--size", "5M"}));
  ASSERT_GT(bytes.size(), std::size_t{3} << 20);
  for (bool big : {false, true})
    for (const Options& o : {Options{}, Options{1, 1, 1, 1, 1, 1}}) {
      const auto e = check(dir, bytes, o, big, std::string("5M") + (o.wave ? " every option" : "") + (big ? " BE" : ""));
      EXPECT_EQ(e.ier, 0);
    }
}

TEST(CnvtTp18, DefaultInformationBlockIsHandComputedBytes) {
  ScratchDir dir;
  Tp18File f;
  f.block("WAVE", 1, 1, 1, 0.01, {1, 2}, 1);
  const Conversion c = convert(dir, write_input(dir, f.bytes()), {0, 1, 0, 0, 0, 0}, true);
  const std::string info = std::string("\0\0\0\x24INFO\0\0\0\x06\0\0\0\0\0\0\0\x03", 20) + std::string(8, '\0') +
                           std::string("\0\0\0\x01\x41\x1C\xCC\xCD\0\0\0\x01\0\0\0\x24\0\0\0\x18", 20) +
                           std::string(24, '\0') + std::string("\0\0\0\x18", 4);
  EXPECT_EQ(c.sv.substr(c.sv_prefix.size(), info.size()), info);
  EXPECT_EQ(c.sh.substr(c.sh_prefix.size()), info);
  EXPECT_EQ(c.sht.substr(c.sht_prefix.size()),
            "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
            "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n");
}

TEST(CnvtTp18, NothingHappensWithoutATp18File) {
  qx::Run run;  // ltp18 false: no channel is touched
  int ier = 12345;
  qx::cnvt_tp18(run, ier);
  EXPECT_EQ(ier, 12345);
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
  do i = 1, skip; read(10); end do
  do i = 1, nrec
    read(*,*) form, k, m
    if (form == 1) then
      read(10) name, nc, dap, lrec
      write(*,'(A,A4,8(1X,I0))') 'H ', name, nc, transfer(dap, 0), lrec
    else
      allocate(ids(k), vals(m))
      if (form == 2) read(10) vals
      if (form == 3) read(10) na, ids, vals
      if (form == 2) write(*,'(A,*(1X,I0))') 'R', transfer(vals, 0, m)
      if (form == 3) write(*,'(A,*(1X,I0))') 'I', na, ids, transfer(vals, 0, m)
      deallocate(ids, vals)
    end if
  end do
  read(10, iostat=ios)
  if (ios < 0) write(*,'(A)') 'END'
end program
)";
  ScratchDir dir;
  const std::string exe = dir.file("read_converted");
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(source, exe, log)) << log;

  const std::string input = generate(dir, {"--seed", "5", "--size", "40k"});
  const Conversion c = convert(dir, input, {}, true);
  ASSERT_EQ(c.ier, 0);
  const auto e = tp18model::convert(tp18model::parse_records(qxtest::read_file(input)), {});
  for (const auto& [file, records, prefix] :
       {std::tuple{"case_QX2D.TP18", &e.sv, &c.sv_prefix}, std::tuple{"case_QXSH.TP18", &e.sh, &c.sh_prefix}}) {
    std::string plan = dir.file(file) + "\n" + std::to_string(tp18model::parse_records(*prefix, true).records.size()) +
                       " " + std::to_string(records->size()) + "\n";
    std::string expected;
    for (const auto& r : *records) {
      std::size_t ints = 0;  // leading integers of a record that does not begin with text
      while (ints < r.size() && r[ints].type == 'i') ++ints;
      const bool header = !r.empty() && r[0].type == 't';
      plan += header      ? "1 0 0\n"
              : ints == 0 ? "2 0 " + std::to_string(r.size()) + "\n"
                          : "3 " + std::to_string(ints - 1) + " " + std::to_string(r.size() - ints) + "\n";
      expected += header ? "H " + r[0].text : ints == 0 ? "R" : "I";
      for (std::size_t k = header ? 1 : 0; k < r.size(); ++k)
        expected += " " + std::to_string(static_cast<i4>(r[k].bits));
      expected += "\n";
    }
    const auto run = qxtest::run_program({exe}, plan);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    expect_same(run.out, expected + "END\n", std::string("gfortran ") + file);
  }
}

}  // namespace
