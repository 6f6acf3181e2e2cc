// The input data file reader: generated and hand-written files against a
// Fortran reading of the same files, the sections kept once, and the faults
// that stop a read.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "model/qxin_fixture.hpp"

namespace {

using qxtest::i8;
using qxtest::key;
using qxtest::QxinRun;

// Reads `path`; the store must be what tests/model/qxin_model_dump.f90 reads.
void expect_read_as_fortran_reads(QxinRun& r, const std::string& path) {
  static const qxtest::TempDir dir;
  static const std::string exe = dir.file("qxin_model_dump");
  static std::string log;
  static const bool ok =
      qxtest::compile_fortran(qxtest::read_file(QX_SOURCE_DIR "/tests/model/qxin_model_dump.f90"), exe, log);
  ASSERT_TRUE(ok) << log;
  const qxtest::CommandResult expected = qxtest::run_program({exe, path});
  ASSERT_EQ(expected.exit_status, 0) << expected.out;
  EXPECT_EQ(r.read_file_at(path), 0);
  EXPECT_EQ(qxtest::dump_store(r.run.val), expected.out);
  EXPECT_EQ(r.list_lines(), qxtest::list_after(path));
}

TEST(RQxin, GeneratedModelsReadAsFortranReadsThem) {
  const struct {
    unsigned seed;
    const char* size;
    const char* omit;
  } cases[] = {
      {1, "30k", ""},
      {7, "3M", ""},  // thousands of nodes: long node lists
      {2, "30k", "BEAM,SPRING,RIGID"},
      {3, "30k", "WATER,WATERB,SHELL,VOID,JOINTA"},
      {4, "30k", "SOLID,JOINTB,TITLE"},
      {5, "30k", "MSOLID,BDFFL,BDBASE"},
      {6, "30k", "BOUND"},
      {8, "30k", "NODE,JOINTA,JOINTB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("seed ") + std::to_string(c.seed) + " omit " + c.omit);
    QxinRun r;
    expect_read_as_fortran_reads(r, qxtest::generate_case(r.dir, c.seed, c.size, c.omit));
  }
}

TEST(RQxin, HandWrittenFilesReadAsFortranReadsThem) {
  const std::string to11 = i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  const std::string texts[] = {
      "",
      // Words that are no keyword; "#" and "+" lines inside a counted
      // section; a blank data line; implied decimals; fields anywhere in
      // their columns; text after the fields read; counts of 0 and -3 (no
      // data line: RIGID is a keyword line).
      "node           1\n  NODE         1\nNODES    are listed below\n" + key("NODE", 4) + "# comment\n" +
          "       1             125            12.5\n+ continuation\n\n" + i8({3}) +
          "           1.5E2         -2.5e-1\n      -4   -7              3.\n" + key("BEAM", 2) +
          "      10       1       2 garbage after column 24\n" + i8({11, 3, 4, 99}) + "\n" + key("SOLID", 0) +
          key("SPRING", -3) + key("RIGID", 1) + i8({20, 5, 6}) + "\n",
      // Node lists from the keyword line on: without BOUND no length; "#"
      // lines are data; a list given again replaces the first; a short line
      // reads as blanks; a list never given stays zeros.
      "BDBASE         7       8\n" + key("NODE", 1) + i8({5}) + "\nBOUND   " + i8({1, 2, 3, 13, 11, 2}) +
          "\nBDFEML  " + to11 + "\n        " + i8({12, 13, 99}) + "\nBDFFL   " + to11 + "\n#       " +
          i8({32, 33}) + "\nBDFEMR  " + to11 + "\n" + key("MSOLID", 1) + i8({1}) +
          "                             2.5\nBDFEMR  " + i8({41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52}) +
          "\nBDBASE  " + i8({61}) + "\n",
      // Densities from the first material with the solid's number, 0 for none.
      key("SOLID", 4) + i8({1, 1, 2, 3, 4, 2}) + "\n" + i8({2, 1, 2, 3, 4, 7}) + "\n" + i8({3, 1, 2, 3, 4, 1}) +
          "\n" + i8({4, 1, 2, 3, 4, 2}) + "\n" + key("MSOLID", 3) + i8({2}) + "ignored columns             1.75\n" +
          i8({1}) + "1.0E4   0.3                   2.\n" + i8({2}) + std::string(28, ' ') + "9.99\n",
      key("SOLID", 1) + i8({1, 1, 2, 3, 4, 2}) + "\n",
      // Joints counted together, taken from the line as a text; "#" lines
      // skipped; a comma ends a field of a line read from the file.
      key("JOINTB", 3) + i8({7, 1, 2, 3, 4}) + "\n# skipped\n" + i8({8, 5, 6, 7, 8}) + "\n" + i8({9, 9, 10, 11, 12}) +
          "\n" + key("JOINTA", 2) + i8({1, 2, 3, 4, 5}) + "\n+\n" + i8({2, 3, 4, 5, 6}) + "\n" + key("WATER", 1) +
          "1,2,3,4,5\n",
      // 80 bytes after BOUND: lists of up to 80/8 + 11 = 21 numbers may follow.
      "BOUND   " + i8({0, 0, 0, 21, 21, 21}) + "\n" + std::string(79, '#') + "\n",
      // NUL bytes and very long lines are ordinary characters.
      std::string("TITLE   A\0B\nNODE\0   1\n", 22) + std::string(1 << 20, 'x') + "\n" + key("NODE", 2) + i8({1}) +
          std::string(100000, '7') + "\n" + std::string(5000, ' ') + "\nBOUND   " + i8({0, 0, 0, 12, 0, 0}) +
          "\nBDFEML  " + to11 + std::string(9000, '9') + "\n        " + i8({12}) + std::string(9000, '5') + "\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 200));
    QxinRun r;
    qxtest::write_file(r.qxin, text);
    expect_read_as_fortran_reads(r, r.qxin);
  }
}

TEST(RQxin, RepeatedSectionsKeepTheFirstButTitleAndNodeListsTheLast) {
  QxinRun r;
  const std::string text = "TITLE   FIRST\n" + key("NODE", 1) + i8({1}) + "\n" + key("NODE", 2) + i8({8}) + "\n" +
                           i8({9}) + "\nTITLE   SECOND\nBOUND   " + i8({1, 1, 1, 1, 0, 0}) + "\nBOUND   " +
                           i8({2, 2, 2, 3, 3, 3}) + "\n" + key("JOINTA", 1) + i8({1, 1, 1, 1, 1}) + "\n" +
                           key("JOINTA", 2) + i8({2, 2, 2, 2, 2}) + "\n" + i8({3, 3, 3, 3, 3}) + "\n" +
                           key("JOINTB", 1) + i8({4, 4, 4, 4, 4}) + "\n";
  ASSERT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  EXPECT_EQ(std::string(v.title.begin(), v.title.end()), "SECOND" + std::string(66, ' '));
  EXPECT_EQ(std::tuple(v.ndpt, v.nja, v.nelm[9], v.nbound[0], v.nbound[1]), std::tuple(1, 1, 2, 1, 0));
  EXPECT_EQ(v.ndpts, (std::vector<qx::int4>{1}));
  EXPECT_EQ(v.njonas, (std::vector<qx::int4>{1}));
}

TEST(RQxin, FaultsStopTheReadWithError1016) {
  const auto start = std::chrono::steady_clock::now();
  const std::string to11 = i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  const struct {
    std::string text;
    int status;
  } cases[] = {
      {key("VOID", 3) + i8({1, 2, 3, 4, 5}) + "\n       2       3   1.5       4       5\n" + i8({3}) + "\n", 64},
      {"BOUND   " + i8({1, 2}) + "     abc\n", 64},
      {key("NODE", 1) + std::string("   \0   1\n", 9), 64},
      {key("JOINTA", 1) + "1,2,3,4,5\n", 64},  // a joint line is a text: the comma is no separator
      {key("NODE", 1) + i8({1}) + "\n" + key("NODE", 1) + "       x\n", 64},  // a repeated section is still read
      // Sections cut short by the end of the file.
      {key("NODE", 5) + i8({1}) + "\n" + i8({2}) + "\n# not data\n" + i8({3}) + "\n", 24},
      {key("JOINTB", 2) + i8({1, 2, 3, 4, 5}) + "\n", 24},
      {key("SOLID", 1) + "# only a comment\n", 24},
      {"BOUND   " + i8({0, 0, 0, 12, 0, 0}) + "\nBDFEML  " + to11 + "\n", 24},
      {key("NODE", 99999999) + i8({1}) + "\n" + i8({2}) + "\n", 24},  // nothing allocated ahead of the lines
      // BOUND counts that the rest of the file could never hold fail at the
      // BOUND line: the bad field after it is never read.
      {"BOUND   " + i8({0, 0, 0, 5, 99999999, 0}) + "\n" + key("NODE", 1) + "   bad\n", 24},
      {"BOUND   " + i8({0, 0, 0, 0, 22, -5}) + "\n" + std::string(79, '#') + "\n", 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 100));
    QxinRun r;
    EXPECT_EQ(r.read_text(c.text), c.status);
    EXPECT_EQ(r.list_lines(), qxtest::list_after(r.qxin, 1016, c.status));
    EXPECT_LT(r.run.val.ndpts.capacity() + r.run.val.xord.capacity(), 1000u);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RQxin, InputOfUnknownSizeChecksBoundCountsAtItsEnd) {
  for (const int count : {21, 22}) {  // 80 bytes follow: 21 fit
    QxinRun r;
    qxtest::write_file(r.qxin, "BOUND   " + i8({0, 0, 0, count, 0, 0}) + "\n" + std::string(79, '#') + "\n");
    // Removed once open, the file has no size to be looked up by its name.
    r.run.val.inpdt_name = r.qxin;
    ASSERT_EQ(r.run.ch.open_text_read(qx::unit::qxin, r.qxin), 0);
    ASSERT_EQ(r.run.ch.open_text_write(qx::unit::lst, r.lst), 0);
    ASSERT_EQ(::unlink(r.qxin.c_str()), 0);
    int irtn = -99;
    qx::r_qxin(r.run, irtn);
    EXPECT_EQ(irtn, count == 21 ? 0 : 24) << count;
  }
}

}  // namespace
