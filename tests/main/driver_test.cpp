// The run driver: zero-on-underflow, and whole runs of the real program: the
// dialogue, the cover page at the start of the list file, "NORMAL END" at
// the end of both, the files made, and the exit status of runs that stop.
#include "main/driver.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "control/expected_texts.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

using namespace qxtest;

namespace {

#if defined(__x86_64__)
TEST(Driver, ZeroOnUnderflowTurnsSubnormalResultsIntoSignedZeros) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved & ~0x8000u);
  volatile float a = 1.0e-30f, b = 1.0e-10f, m = -1.0e-30f;
  volatile double c = 1.0e-300, d = 1.0e-20;
  ASSERT_NE(a * b, 0.0f) << "without the mode the product is subnormal";
  const unsigned before = _mm_getcsr();
  qx::set_zero_on_underflow();
  const unsigned now = _mm_getcsr();
  const float product = a * b, negative = m * b;
  const double wide = c * d;
  _mm_setcsr(saved);
  EXPECT_EQ(now, before | 0x8000u) << "no other bit changes";
  EXPECT_EQ(product, 0.0f);
  EXPECT_FALSE(std::signbit(product));
  EXPECT_EQ(negative, 0.0f);
  EXPECT_TRUE(std::signbit(negative));
  EXPECT_EQ(wide, 0.0);
}

// A run sets the mode before its first phase and leaves it set: tried with a
// dialogue that stops at its first question.
TEST(Driver, ARunSetsZeroOnUnderflow) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved & ~0x8000u);
  TempDir dir;
  std::istringstream in(dir.file("missing.qxin") + "\n");
  std::ostringstream out, err;
  qx::Run run({in, out, err});
  qx::run_driver(run);
  volatile float a = 1.0e-30f, b = 1.0e-10f;
  const float product = a * b;
  const unsigned now = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_NE(out.str().find("not exist"), std::string::npos) << out.str();
  EXPECT_NE(now & 0x8000u, 0u) << "the run left MXCSR.FTZ clear";
  EXPECT_EQ(product, 0.0f);
}
#endif

const std::string list_suffix = "_TP18-19_COVT.lst";

std::set<std::string> files_in(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

#ifdef QXGEN_PATH
TEST(DriverProgram, ARunWithAnOptionMakesEveryFileAnewAndEndsNormally) {
  TempDir dir;
  auto gen = run_program({QXGEN_PATH, "--out", dir.file("case.b"), "--seed", "7"});
  ASSERT_EQ(gen.exit_status, 0) << gen.err;
  write_file(dir.file("case.b" + list_suffix), "A LINE OF AN EARLIER RUN\n");
  write_file(dir.file("case.b_QXSH.TP19.txt"), "AN EARLIER TWIN\n");
  auto res = run_program({QXCONV_PATH, "-wave"}, "case.b.qxin\ncase.b.TP19\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 0);
  EXPECT_EQ(res.out, expected::dialogue() + "\nNORMAL END (zelvorith)\n");
  EXPECT_EQ(res.err, "");
  const std::string list = read_file(dir.file("case.b" + list_suffix));
  EXPECT_EQ(list.substr(0, expected::cover_page().size()), expected::cover_page());
  EXPECT_EQ(list.substr(list.size() - 12), "\nNORMAL END\n");
  EXPECT_EQ(list.find("EARLIER"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("case.b_QXSH.TP19.txt")).find("EARLIER"), std::string::npos);
  std::set<std::string> files = {"case.b.qxin", "case.b" + list_suffix};
  for (const char* kind : {"", "_QX2D", "_QXSH"})
    for (const char* ext : {".TP18", ".TP19"}) {
      files.insert("case.b" + std::string(kind) + ext);
      files.insert("case.b" + std::string(kind) + ext + ".txt");
    }
  EXPECT_EQ(files_in(dir.path()), files);
}
#endif

TEST(DriverProgram, ARunThatStopsExitsWithOneAndItsReport) {
  struct Stop {
    const char* in_the_way;  // a directory of this name blocks an open
    std::vector<std::string> argv;
    std::string answers, terminal, list, errors;
  };
  const std::string qxconv = QXCONV_PATH, answers = "case.qxin\ncase\nNo\n";
  const std::string see = "; see case" + list_suffix + "\n",
                    list_lost = "qxconv: the list file case" + list_suffix + " cannot be written (IOSTAT = ";
  const Stop stops[] = {
      {"case_QXSH.TP19", {qxconv}, answers, "", expected::open_error(1006, "_QXSH.TP19", "case.TP19", 30),
       "qxconv: error 1006 (_QXSH.TP19 FILE OPEN ERROR), IOSTAT = 30: case_QXSH.TP19: is a directory" + see},
      {"case_QX2D.TP19.txt", {qxconv, "-AMPL"}, "case.qxin\ncase\ny\n", "",
       expected::open_error(1012, "_QX2D.TP19.txt", "case.TP19", 30),
       "qxconv: error 1012 (_QX2D.TP19.txt FILE OPEN ERROR), IOSTAT = 30: case_QX2D.TP19.txt: is a directory" + see},
      {"case_TP18-19_COVT.lst", {qxconv, "-wave"}, answers, expected::list_file_line("case" + list_suffix, 30),
       "", list_lost + "30): is a directory\n"},
      // The list file cannot grow beyond its heading: the cover page fails,
      // and its report cannot be written either.
      {nullptr, {"prlimit", "--fsize=692", qxconv}, answers, expected::list_file_line("case" + list_suffix, 38),
       expected::cover_page().substr(0, 692),
       "qxconv: error 999 (COVER PAGE OUTPUT ERROR  OF LIST FILE), IOSTAT = 38: case" + list_suffix +
           ": file too large\n" + list_lost + "38): file too large\n"},
  };
  for (const Stop& s : stops) {
    TempDir dir;
    for (const char* ext : {".qxin", ".TP18", ".TP19"}) write_file(dir.file("case" + std::string(ext)), "");
    write_file(dir.file("case" + list_suffix), std::string(5000, 'o') + "\nNORMAL END\n");
    if (s.in_the_way) {
      unlink(dir.file(s.in_the_way).c_str());
      ASSERT_EQ(mkdir(dir.file(s.in_the_way).c_str(), 0755), 0);
    }
    auto res = run_program(s.argv, s.answers, dir.path());
    EXPECT_EQ(res.exit_status, 1) << s.answers;
    EXPECT_EQ(res.out, expected::dialogue(s.answers.ends_with("y\n")) + s.terminal) << s.answers;
    EXPECT_EQ(res.err, s.errors) << s.answers;
    if (!s.list.empty()) { EXPECT_EQ(read_file(dir.file("case" + list_suffix)), s.list) << s.answers; }
  }
}

}  // namespace
