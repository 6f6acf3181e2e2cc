// The input data file reader: generated models against a Fortran reading of
// the same files, and hand-written files for the corners of the layouts, the
// section rules and the error reports.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "model/qxin_fixture.hpp"

namespace {

using qxtest::QxinRun;
using qxtest::TempDir;

const std::string source_dir = QX_SOURCE_DIR;

// A fixed-column line: the texts given, each padded or right-justified into
// its field as the layouts expect.
std::string key(const std::string& keyword, long long count) {
  std::string k = keyword;
  k.resize(8, ' ');
  std::string c = std::to_string(count);
  return k + std::string(8 - c.size(), ' ') + c + "\n";
}
std::string i8(std::initializer_list<long long> values) {
  std::string line;
  for (long long v : values) {
    std::string t = std::to_string(v);
    line += std::string(8 - t.size(), ' ') + t;
  }
  return line;
}

// A text right-justified in a 16-column field.
std::string f16(const std::string& text) { return std::string(16 - text.size(), ' ') + text; }

const std::vector<std::string> error_lines(int status) {
  std::string st = std::to_string(status);
  return {"  **** ERROR NO. 1016 **** INPUT DATA FILE READ ERROR ****",
          std::string(20, ' ') + " *** FILENAME = qxin  *** IOSTAT = " + std::string(5 - st.size(), ' ') + st + " ***"};
}

std::vector<std::string> echo_then(const std::string& name, const std::vector<std::string>& more) {
  std::vector<std::string> lines = qxtest::echo_lines(name);
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

struct FortranReference {
  TempDir dir;
  std::string exe = dir.file("qxin_model_dump");
  std::string log;
  bool ok = qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/model/qxin_model_dump.f90"), exe, log);
};

const FortranReference& reference() {
  static FortranReference r;
  return r;
}

// The store after a read agrees with the Fortran reading of the same file.
void expect_fortran_agrees(const QxinRun& r) {
  ASSERT_TRUE(reference().ok) << reference().log;
  const qxtest::CommandResult expected = qxtest::run_program({reference().exe, r.qxin});
  ASSERT_EQ(expected.exit_status, 0) << expected.out;
  EXPECT_EQ(qxtest::dump_store(r.run.val), expected.out);
}

// ---- generated models ----

TEST(RQxin, GeneratedModelsReadAsFortranReadsThem) {
  ASSERT_TRUE(reference().ok) << reference().log;
  struct Case {
    unsigned seed;
    const char* size;
    const char* omit;
  };
  const Case cases[] = {
      {1, "30k", ""},
      {7, "3M", ""},  // a model of thousands of nodes: long node lists
      {2, "30k", "BEAM,SPRING,RIGID"},
      {3, "30k", "WATER,WATERB,SHELL,VOID,JOINTA"},
      {4, "30k", "SOLID,JOINTB,TITLE"},
      {5, "30k", "MSOLID,BDFFL,BDBASE"},
      {6, "30k", "BOUND"},
      {8, "30k", "NODE,JOINTA,JOINTB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("seed ") + std::to_string(c.seed) + " omit " + c.omit);
    QxinRun r;
    const std::string path = qxtest::generate_case(r.dir, c.seed, c.size, c.omit);
    const qxtest::CommandResult expected = qxtest::run_program({reference().exe, path});
    ASSERT_EQ(expected.exit_status, 0) << expected.out;
    EXPECT_EQ(r.read_file_at(path), 0);
    EXPECT_EQ(qxtest::dump_store(r.run.val), expected.out);
    EXPECT_EQ(r.list_lines(), qxtest::echo_lines(path));
  }
}

// ---- hand-written files ----

TEST(RQxin, EmptyFileGivesTheEchoAndAnEmptyModel) {
  QxinRun r;
  EXPECT_EQ(r.read_text(""), 0);
  EXPECT_EQ(r.list_lines(), qxtest::echo_lines(r.qxin));
  EXPECT_EQ(qxtest::dump_store(r.run.val), qxtest::dump_store(qx::ComValTp18{}));
}

TEST(RQxin, CountedSectionsPassOverCommentsAndReadBlankLinesAsZeros) {
  QxinRun r;
  const std::string text =
      "node           1\n"           // lower case: not a keyword
      "  NODE         1\n"           // leading blanks: not a keyword
      "NODES    are listed below\n"  // longer word
      + key("NODE", 4) +
      "# comment line\n"
"       1             125            12.5\n"  // implied decimals: F16.0 without a point
      "+ continuation mark\n"
      "\n"  // a data line of zeros
      + i8({3}) + f16("1.5E2") + f16("-2.5e-1") + "\n" +
      "      -4   -7              3.\n"  // fields anywhere in their columns
      + key("BEAM", 2) +
      "      10       1       2 garbage after column 24\n"
      "      11       3       4      99\n"
      + key("SOLID", 0) + key("SPRING", -3) + key("RIGID", 1) + "      20       5       6\n";
  EXPECT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  EXPECT_EQ(v.ndpt, 4);
  EXPECT_EQ(v.ndpts, (std::vector<qx::int4>{1, 0, 3, -4}));
  EXPECT_EQ(v.xord, (std::vector<float>{125.0f, 0.0f, 150.0f, -7.0f}));
  EXPECT_EQ(v.zord, (std::vector<float>{12.5f, 0.0f, -0.25f, 3.0f}));
  EXPECT_EQ(v.nelm[1], 2);
  EXPECT_EQ(v.nbeaels, (std::vector<qx::int4>{10, 11}));
  EXPECT_EQ(v.npj_bm, (std::vector<qx::int4>{2, 4}));
  EXPECT_EQ(v.nelm[0], 0);
  EXPECT_TRUE(v.nsolels.empty());
  // A negative count reads no data line: the RIGID line after it is a keyword line.
  EXPECT_EQ(v.nelm[2], -3);
  EXPECT_TRUE(v.nsprels.empty());
  EXPECT_EQ(v.nelm[7], 1);
  EXPECT_EQ(v.nrigels, (std::vector<qx::int4>{20}));
  EXPECT_EQ(r.list_lines(), qxtest::echo_lines(r.qxin));
  expect_fortran_agrees(r);
}

TEST(RQxin, NodeListsRunOverLinesFromTheKeywordLine) {
  QxinRun r;
  const std::string text =
      // Before BOUND a list has no length: it takes its keyword line only,
      // and the NODE line after it is still a keyword line.
      "BDBASE         7       8\n" + key("NODE", 1) + i8({5}) + "\n" +
      "BOUND   " + i8({1, 2, 3, 13, 11, 2}) + "\n" +
      "BDFEML  " + i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + "\n" +
      "        " + i8({12, 13, 99}) + "\n" +     // the rest of the last line is ignored
      "BDFFL   " + i8({21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}) + "\n" +
      "#       " + i8({32, 33}) + "\n" +          // inside a list "#" lines are data
      "BDFEMR  " + i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + "\n" +
      key("MSOLID", 1) + i8({1}) + "                             2.5\n" +  // right after a full first line
      "BDFEMR  " + i8({41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}) + "\n" +  // again: replaces
      "BDBASE  " + i8({61}) + "\n";
  EXPECT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  EXPECT_EQ(v.keyb, (std::array<qx::int4, 3>{1, 2, 3}));
  EXPECT_EQ(v.nbound, (std::array<qx::int4, 3>{13, 11, 2}));
  EXPECT_EQ(v.ndpts, (std::vector<qx::int4>{5}));
  EXPECT_EQ(v.lcor[0], (std::vector<qx::int4>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(v.lcor[1], (std::vector<qx::int4>{21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33}));
  EXPECT_EQ(v.ncor[0], (std::vector<qx::int4>{41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}));
  EXPECT_TRUE(v.ncor[1].empty());  // never given: the writer puts zeros there
  EXPECT_EQ(v.mso, 1);
  EXPECT_EQ(v.densm, (std::vector<float>{2.5f}));
  EXPECT_EQ(v.nbase, (std::vector<qx::int4>{61, 0}));  // a short line reads as blanks
  expect_fortran_agrees(r);
}

TEST(RQxin, DensitiesComeFromTheFirstMatchingMaterial) {
  QxinRun r;
  const std::string text = key("SOLID", 4) + i8({1, 1, 2, 3, 4, 2}) + "\n" + i8({2, 1, 2, 3, 4, 7}) + "\n" +
                           i8({3, 1, 2, 3, 4, 1}) + "\n" + i8({4, 1, 2, 3, 4, 2}) + "\n" + key("MSOLID", 3) +
                           i8({2}) + "ignored columns " + f16("1.75") + "\n" + i8({1}) + "1.0E4   0.3     " +
                           f16("2.") + "\n" + i8({2}) + std::string(16, ' ') + f16("9.99") + "\n";
  EXPECT_EQ(r.read_text(text), 0);
  EXPECT_EQ(r.run.val.mat_so, (std::vector<qx::int4>{2, 7, 1, 2}));
  EXPECT_EQ(r.run.val.den_so, (std::vector<float>{1.75f, 0.0f, 2.0f, 1.75f}));
  expect_fortran_agrees(r);

  QxinRun none;  // no material table at all
  EXPECT_EQ(none.read_text(key("SOLID", 1) + i8({1, 1, 2, 3, 4, 2}) + "\n"), 0);
  EXPECT_EQ(none.run.val.den_so, (std::vector<float>{0.0f}));
}

TEST(RQxin, JointsAreCountedTogetherAndReadFromTheLineAsText) {
  QxinRun r;
  const std::string text = key("JOINTB", 3) + i8({7, 1, 2, 3, 4}) + "\n# skipped\n" + i8({8, 5, 6, 7, 8}) + "\n" +
                           i8({9, 9, 10, 11, 12}) + "\n" + key("JOINTA", 0) +
                           // external reads end a numeric field at a comma
                           key("WATER", 1) + "1,2,3,4,5\n";
  EXPECT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  EXPECT_EQ(v.nja, 0);
  EXPECT_EQ(v.njb, 3);
  EXPECT_EQ(v.nelm[9], 3);
  EXPECT_EQ(v.njonbs, (std::vector<qx::int4>{7, 8, 9}));
  EXPECT_EQ(v.npl_jb, (std::vector<qx::int4>{4, 8, 12}));
  EXPECT_EQ(v.nwatels, (std::vector<qx::int4>{1}));
  EXPECT_EQ(v.npl_wt, (std::vector<qx::int4>{5}));
  expect_fortran_agrees(r);

  // A joint line is picked apart as a text, where a comma is no separator.
  QxinRun comma;
  EXPECT_EQ(comma.read_text(key("JOINTA", 1) + "1,2,3,4,5\n"), 64);
}

TEST(RQxin, RepeatedSectionsKeepTheFirstExceptTitleAndNodeLists) {
  QxinRun r;
  const std::string text = "TITLE   FIRST\n" + key("NODE", 1) + i8({1}) + "\n" + key("NODE", 2) + i8({8}) + "\n" +
                           i8({9}) + "\n" + "TITLE   SECOND\n" + "BOUND   " + i8({1, 1, 1, 1, 0, 0}) + "\n" +
                           "BOUND   " + i8({2, 2, 2, 3, 3, 3}) + "\n" + key("JOINTA", 1) + i8({1, 1, 1, 1, 1}) +
                           "\n" + key("JOINTA", 2) + i8({2, 2, 2, 2, 2}) + "\n" + i8({3, 3, 3, 3, 3}) + "\n";
  EXPECT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  std::string title(v.title.begin(), v.title.end());
  EXPECT_EQ(title, "SECOND" + std::string(66, ' '));
  EXPECT_EQ(v.ndpt, 1);
  EXPECT_EQ(v.ndpts, (std::vector<qx::int4>{1}));
  EXPECT_EQ(v.nbound, (std::array<qx::int4, 3>{1, 0, 0}));
  EXPECT_EQ(v.nja, 1);
  EXPECT_EQ(v.nelm[9], 1);
  EXPECT_EQ(v.njonas, (std::vector<qx::int4>{1}));

  // The second occurrence is still read through its layouts.
  QxinRun bad;
  EXPECT_EQ(bad.read_text(key("NODE", 1) + i8({1}) + "\n" + key("NODE", 1) + "       x\n"), 64);
}

TEST(RQxin, BadNumberStopsAtOnceWithStatus64) {
  QxinRun r;
  const std::string text = key("VOID", 5) + i8({1, 2, 3, 4, 5}) + "\n" + "       2       3   1.5       4       5\n" +
                           i8({3, 2, 3, 4, 5}) + "\n" + i8({4, 2, 3, 4, 5}) + "\n" + i8({5, 2, 3, 4, 5}) + "\n";
  EXPECT_EQ(r.read_text(text), 64);
  EXPECT_EQ(r.list_lines(), echo_then(r.qxin, error_lines(64)));
  EXPECT_EQ(r.run.val.nvoids, (std::vector<qx::int4>{1}));  // what was read before the fault stays
  EXPECT_EQ(r.run.err.cmerr[0].substr(0, 58), "  **** ERROR NO. 1016 **** INPUT DATA FILE READ ERROR ****");

  QxinRun count;
  EXPECT_EQ(count.read_text("BOUND   " + i8({1, 2}) + "     abc\n"), 64);
  EXPECT_EQ(count.list_lines(), echo_then(count.qxin, error_lines(64)));
}

TEST(RQxin, SectionCutShortByTheEndIsStatus24) {
  const std::vector<std::string> texts = {
      key("NODE", 5) + i8({1}) + "\n" + i8({2}) + "\n# not data\n" + i8({3}) + "\n",
      key("JOINTB", 2) + i8({1, 2, 3, 4, 5}) + "\n",
      key("SOLID", 1) + "# only a comment\n",
      "BOUND   " + i8({0, 0, 0, 12, 0, 0}) + "\nBDFEML  " + i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + "\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    QxinRun r;
    EXPECT_EQ(r.read_text(text), 24);
    EXPECT_EQ(r.list_lines(), echo_then(r.qxin, error_lines(24)));
  }
}

TEST(RQxin, HugeCountsFailQuicklyWithoutAllocating) {
  const auto start = std::chrono::steady_clock::now();
  QxinRun r;
  // The largest count an eight-column field holds.
  EXPECT_EQ(r.read_text(key("NODE", 99999999) + i8({1}) + "\n" + i8({2}) + "\n"), 24);
  EXPECT_EQ(r.run.val.ndpt, 99999999);
  EXPECT_LT(r.run.val.ndpts.capacity(), 1000u);
  EXPECT_LT(r.run.val.xord.capacity(), 1000u);

  // A BOUND count that the rest of the file could never hold as a node list
  // fails at the BOUND line: the bad field after it is never read.
  QxinRun bound;
  EXPECT_EQ(bound.read_text("BOUND   " + i8({0, 0, 0, 5, 99999999, 0}) + "\n" + key("NODE", 1) + "   bad\n"), 24);
  EXPECT_EQ(bound.list_lines(), echo_then(bound.qxin, error_lines(24)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RQxin, BoundCountsUpToWhatTheRestOfTheFileCouldHold) {
  // 80 bytes follow the BOUND line: lists of up to 80/8 + 11 = 21 numbers fit.
  const std::string rest = std::string(79, '#') + "\n";
  QxinRun fits;
  EXPECT_EQ(fits.read_text("BOUND   " + i8({0, 0, 0, 21, 21, 21}) + "\n" + rest), 0);
  EXPECT_EQ(fits.run.val.nbound, (std::array<qx::int4, 3>{21, 21, 21}));
  EXPECT_TRUE(fits.run.val.lcor[0].empty());
  QxinRun over;
  EXPECT_EQ(over.read_text("BOUND   " + i8({0, 0, 0, 0, 22, -5}) + "\n" + rest), 24);
}

TEST(RQxin, InputOfUnknownSizeChecksBoundCountsAtItsEnd) {
  // Read from a pipe, the file's size is known only when it has ended.
  for (const int count : {21, 22}) {
    QxinRun r;
    ASSERT_EQ(::mkfifo(r.qxin.c_str(), 0600), 0);
    std::thread writer([&] {
      qxtest::write_file(r.qxin, "BOUND   " + i8({0, 0, 0, count, 0, 0}) + "\n" + std::string(79, '#') + "\n");
    });
    const int irtn = r.read_file_at(r.qxin);
    writer.join();
    EXPECT_EQ(irtn, count == 21 ? 0 : 24) << count;
  }
}

TEST(RQxin, NulBytesAndVeryLongLinesAreOrdinaryCharacters) {
  QxinRun r;
  std::string title = "TITLE   A";
  title += '\0';
  title += "B\n";
  std::string fake_keyword = "NODE";
  fake_keyword += '\0';
  fake_keyword += "   1\n";
  const std::string text = title + fake_keyword + std::string(1 << 20, 'x') + "\n" + key("NODE", 2) +
                           i8({1}) + std::string(100000, '7') + "\n" + std::string(5000, ' ') + "\n" +
                           "BOUND   " + i8({0, 0, 0, 12, 0, 0}) + "\n" + "BDFEML  " +
                           i8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + std::string(9000, '9') + "\n" + "        " +
                           i8({12}) + std::string(9000, '5') + "\n";
  EXPECT_EQ(r.read_text(text), 0);
  const qx::ComValTp18& v = r.run.val;
  EXPECT_EQ(std::string(v.title.begin(), v.title.begin() + 4), std::string("A\0B ", 4));
  EXPECT_EQ(v.ndpts, (std::vector<qx::int4>{1, 0}));
  EXPECT_EQ(v.xord, (std::vector<float>{7777777777777777.0f, 0.0f}));
  EXPECT_EQ(v.lcor[0].size(), 12u);
  EXPECT_EQ(v.lcor[0].back(), 12);
  expect_fortran_agrees(r);

  QxinRun nul;
  std::string line = i8({1});
  line[3] = '\0';
  EXPECT_EQ(nul.read_text(key("NODE", 1) + line + "\n"), 64);
  EXPECT_EQ(nul.list_lines(), echo_then(nul.qxin, error_lines(64)));
}

}  // namespace
