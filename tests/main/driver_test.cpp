// The run driver: zero-on-underflow, and whole runs of the real program on
// generated cases: the dialogue, the cover page at the start of the list
// file, "NORMAL END" at the end of both, the files made, the exit status.
#include "main/driver.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <xmmintrin.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "control/expected_texts.hpp"
#include "support/test_support.hpp"

using qxtest::file_exists;
using qxtest::read_file;
using qxtest::run_program;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

TEST(Driver, ZeroOnUnderflowTurnsSubnormalResultsIntoSignedZeros) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved & ~0x8000u);
  volatile float a = 1.0e-30f, b = 1.0e-10f, m = -1.0e-30f;
  volatile double c = 1.0e-300, d = 1.0e-20;
  ASSERT_NE(a * b, 0.0f) << "without the mode the product is subnormal";

  const unsigned before = _mm_getcsr();
  qx::set_zero_on_underflow();
  const unsigned now = _mm_getcsr();
  float product = a * b;
  float negative = m * b;
  double wide = c * d;
  _mm_setcsr(saved);

  EXPECT_EQ(now & 0x8000u, 0x8000u);
  EXPECT_EQ(now & ~0x8000u, before & ~0x8000u) << "no other bit changes";
  EXPECT_EQ(product, 0.0f);
  EXPECT_FALSE(std::signbit(product));
  EXPECT_EQ(negative, 0.0f);
  EXPECT_TRUE(std::signbit(negative));
  EXPECT_EQ(wide, 0.0);
}

std::string qxconv() { return QXCONV_PATH; }

#ifdef QXGEN_PATH
// Writes a generated case BASE.qxin, BASE.TP18, BASE.TP19 into the directory.
void generate(const TempDir& dir, const std::string& base, std::initializer_list<std::string> extra = {}) {
  std::vector<std::string> argv = {QXGEN_PATH, "--out", dir.file(base), "--seed", "7"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  auto res = run_program(argv);
  ASSERT_EQ(res.exit_status, 0) << res.err;
}

std::set<std::string> files_in(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }
bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const std::string terminal_end = "\nNORMAL END (zelvorith)\n";
const std::string list_end = "\nNORMAL END\n";

TEST(DriverProgram, ARunWithAnOptionMakesEveryFileAndEndsNormally) {
  TempDir dir;
  generate(dir, "case");
  write_file(dir.file("case_TP18-19_COVT.lst"), "A LINE OF AN EARLIER RUN\n");
  write_file(dir.file("case_QXSH.TP19.txt"), "AN EARLIER TWIN\n");
  auto res = run_program({qxconv(), "-wave"}, "case.qxin\ncase.TP18\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 0) << res.out;
  EXPECT_EQ(res.out, expected::dialogue() + terminal_end);
  EXPECT_EQ(res.err, "");
  const std::string list = read_file(dir.file("case_TP18-19_COVT.lst"));
  EXPECT_TRUE(starts_with(list, expected::cover_page())) << list.substr(0, 1200);
  EXPECT_TRUE(ends_with(list, list_end));
  EXPECT_EQ(list.find("EARLIER"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("case_QXSH.TP19.txt")).find("EARLIER"), std::string::npos);
  EXPECT_EQ(files_in(dir.path()),
            (std::set<std::string>{"case.qxin", "case.TP18", "case.TP19", "case_TP18-19_COVT.lst", "case_QX2D.TP18",
                                   "case_QX2D.TP19", "case_QXSH.TP18", "case_QXSH.TP19", "case.TP18.txt",
                                   "case.TP19.txt", "case_QX2D.TP18.txt", "case_QX2D.TP19.txt",
                                   "case_QXSH.TP18.txt", "case_QXSH.TP19.txt"}));
}

TEST(DriverProgram, WithoutOptionsNoTwinIsMadeAndEarlierTwinsStay) {
  TempDir dir;
  generate(dir, "case", {"--only-tp19"});
  write_file(dir.file("case_QX2D.TP19.txt"), "AN EARLIER TWIN\n");
  // Neither five-character form of an option.
  auto res = run_program({qxconv(), "-Stru", "-str", "--wave"}, "case.qxin\ncase.TP18\nYES\n", dir.path());
  EXPECT_EQ(res.exit_status, 0) << res.out;
  EXPECT_EQ(res.out, expected::dialogue(true) + terminal_end);
  EXPECT_EQ(read_file(dir.file("case_QX2D.TP19.txt")), "AN EARLIER TWIN\n");
  EXPECT_EQ(files_in(dir.path()),
            (std::set<std::string>{"case.qxin", "case.TP19", "case_TP18-19_COVT.lst", "case_QX2D.TP19",
                                   "case_QXSH.TP19", "case_QX2D.TP19.txt"}));
  EXPECT_TRUE(ends_with(read_file(dir.file("case_TP18-19_COVT.lst")), list_end));
}

TEST(DriverProgram, EveryFormOfTheResultNameGivesTheSameBaseName) {
  struct Form {
    std::string generated, answer, base;
  };
  const Form forms[] = {
      {"run1", "run1.TP19", "run1"},     {"run1", "run1", "run1"},
      {"run1", "run1.anything", "run1"}, {"case.b", "case.b.TP18", "case.b"},
      {"sub/run1", "'sub/run1.TP18'", "sub/run1"},
  };
  for (const Form& f : forms) {
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    generate(dir, f.generated);
    auto res = run_program({qxconv(), "-SPEC"}, "'" + dir.file(f.generated) + ".qxin'\n" + f.answer + "\nn\n",
                           dir.path());
    EXPECT_EQ(res.exit_status, 0) << f.answer;
    EXPECT_EQ(res.out, expected::dialogue() + terminal_end) << f.answer;
    EXPECT_TRUE(starts_with(read_file(dir.file(f.base + "_TP18-19_COVT.lst")), expected::cover_page())) << f.answer;
    for (const char* made : {"_QX2D.TP18", "_QXSH.TP19", ".TP18.txt", "_QXSH.TP19.txt"})
      EXPECT_TRUE(file_exists(dir.file(f.base + made))) << f.answer << made;
  }

  // ".TP18" leaves an empty base name: the files are the suffixes alone.
  TempDir dir;
  generate(dir, "x");
  std::filesystem::rename(dir.file("x.TP18"), dir.file(".TP18"));
  std::filesystem::rename(dir.file("x.TP19"), dir.file(".TP19"));
  auto res = run_program({qxconv()}, "x.qxin\n.TP18\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 0);
  EXPECT_EQ(res.out, expected::dialogue() + terminal_end);
  EXPECT_EQ(files_in(dir.path()), (std::set<std::string>{"x.qxin", ".TP18", ".TP19", "_TP18-19_COVT.lst",
                                                         "_QX2D.TP18", "_QX2D.TP19", "_QXSH.TP18", "_QXSH.TP19"}));
}
#endif

TEST(DriverProgram, OnlyARunThatEndsNormallyExitsWithZero) {
  TempDir dir;
  write_file(dir.file("case.qxin"), "");
  write_file(dir.file("case.TP19"), "");
  // Refused, stopped at the end of the input, stopped by a failed open.
  auto refused = run_program({qxconv()}, "none.qxin\n", dir.path());
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.out.find("NORMAL END"), std::string::npos);
  auto ended = run_program({qxconv()}, "case.qxin\ncase\n", dir.path());
  EXPECT_EQ(ended.exit_status, 1);
  EXPECT_EQ(ended.out, expected::dialogue());
  mkdir(dir.file("case_QXSH.TP19").c_str(), 0755);
  auto failed = run_program({qxconv()}, "case.qxin\ncase\nNo\n", dir.path());
  EXPECT_EQ(failed.exit_status, 1);
  EXPECT_EQ(failed.out, expected::dialogue());
  EXPECT_EQ(read_file(dir.file("case_TP18-19_COVT.lst")),
            "  **** ERROR NO. 1006 **** _QXSH.TP19 FILE OPEN ERROR ****\n"
            "                    *** FILE NAME = case.TP19  IOSTAT =    30 ***\n");
}

}  // namespace
