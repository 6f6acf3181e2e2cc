// The file set: which channels are opened under which conditions and on
// which names, files made anew or left alone, the numbered report of each
// failed open and the terminal line of a list file that cannot be opened.
#include "control/utlflsw_tp18.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>

#include "control/expected_texts.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

using namespace qxtest;

namespace {

const std::string list_suffix = "_TP18-19_COVT.lst";

struct FileSet {
  TempDir dir;
  std::string base = dir.file("case");
  std::istringstream in;
  std::ostringstream term, err;
  qx::Run run{{in, term, err}};
  int irtn = 99;

  FileSet(bool tp18, bool tp19, bool options = false) {
    write_file(dir.file("case.qxin"), "TITLE   x\n");
    run.val.inpdt_name = dir.file("case.qxin");
    run.val.rslt_name = base;
    run.val.ltp18 = tp18;
    run.val.ltp19 = tp19;
    run.val.spec = options ? 1 : 0;
    if (tp18) write_file(base + ".TP18", "");
    if (tp19) write_file(base + ".TP19", "");
  }
  void open() { qx::utlflsw_tp18(run, irtn); }
  std::set<int> open_channels() const {
    std::set<int> units;
    for (int u = 0; u <= qx::Channels::max_unit; ++u)
      if (run.ch.is_open(u)) units.insert(u);
    return units;
  }
  // The file as the run leaves it.
  std::string file(const std::string& suffix) {
    run.ch.close_all();
    return read_file(base + suffix);
  }
};

TEST(Utlflsw, WhatIsOpenedOnWhichChannelAndWhatIsMadeAnew) {
  const std::pair<int, const char*> names[] = {
      {7, "_TP18-19_COVT.lst"}, {18, ".TP18"},          {19, ".TP19"},          {20, "_QX2D.TP18"},
      {21, "_QX2D.TP19"},       {22, "_QXSH.TP18"},     {23, "_QXSH.TP19"},     {24, ".TP18.txt"},
      {25, ".TP19.txt"},        {26, "_QX2D.TP18.txt"}, {27, "_QX2D.TP19.txt"}, {28, "_QXSH.TP18.txt"},
      {29, "_QXSH.TP19.txt"},
  };
  // Twins only with an option, and only those of an existing result file.
  struct Config {
    bool tp18, options;
    std::set<int> open;
  };
  const Config configs[] = {
      {false, false, {7, 19, 21, 23, 71}},
      {false, true, {7, 19, 21, 23, 25, 27, 29, 71}},
      {true, true, {7, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 71}},
  };
  for (const Config& c : configs) {
    FileSet fs(c.tp18, true, c.options);
    write_file(fs.base + list_suffix, "a list file of an earlier run\n");
    write_file(fs.base + "_QX2D.TP19", "converted earlier");
    for (auto [unit, suffix] : names)
      if (unit >= 24) write_file(fs.base + suffix, "earlier twin");
    fs.open();
    EXPECT_EQ(fs.irtn, 0);
    EXPECT_EQ(fs.open_channels(), c.open);
    for (auto [unit, suffix] : names)
      if (fs.run.ch.is_open(unit)) { EXPECT_EQ(fs.run.ch.name(unit), fs.base + suffix) << unit; }
    EXPECT_EQ(fs.run.ch.name(71), fs.dir.file("case.qxin"));
    EXPECT_EQ(fs.term.str(), "");
    EXPECT_EQ(fs.file(list_suffix), "") << "the list file is made anew";
    EXPECT_EQ(fs.file("_QX2D.TP19"), "converted earlier") << "replaced only by its first record";
    for (auto [unit, suffix] : names)
      if (unit >= 24) { EXPECT_EQ(fs.file(suffix), c.open.count(unit) ? "" : "earlier twin") << suffix; }
  }
}

TEST(Utlflsw, EachFailedOpenIsReportedWithItsNumberAndTheResultFileItDerivesFrom) {
  struct OpenFailure {
    const char* in_the_way;  // a directory of this suffix blocks the open
    bool tp18, tp19, options;
    int number;
    const char* named;  // suffix of the file named in the extra text
    int next_unit;      // the next channel of the order, which stays closed
  };
  const OpenFailure failures[] = {
      // The list file itself: nothing can be reported in it, the terminal is told.
      {"_TP18-19_COVT.lst", true, true, false, 0, "", 7},
      {".qxin", true, true, false, 1000, ".qxin", 18},
      {".TP18", true, true, false, 1001, ".TP18", 19},
      {".TP19", true, true, false, 1002, ".TP19", 20},
      {"_QX2D.TP18", true, true, false, 1003, ".TP18", 21},
      {"_QX2D.TP19", true, true, false, 1004, ".TP19", 22},
      {"_QXSH.TP18", true, false, true, 1005, ".TP18", 24},
      {"_QXSH.TP19", true, true, false, 1006, ".TP19", 24},
      {".TP18.txt", true, true, true, 1009, ".TP18", 25},
      {".TP19.txt", true, true, true, 1010, ".TP19", 26},
      {"_QX2D.TP18.txt", true, true, true, 1011, ".TP18", 27},
      {"_QX2D.TP19.txt", false, true, true, 1012, ".TP19", 29},
      {"_QXSH.TP18.txt", true, true, true, 1013, ".TP18", 29},
      {"_QXSH.TP19.txt", true, true, true, 1014, ".TP19", 30},
  };
  for (const OpenFailure& f : failures) {
    FileSet fs(f.tp18, f.tp19, f.options);
    write_file(fs.base + list_suffix, "  **** ERROR NO. 1003 left by an earlier run\n");
    const std::string blocked = fs.base + f.in_the_way;
    ::unlink(blocked.c_str());
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    fs.open();
    EXPECT_EQ(fs.irtn, 30) << f.in_the_way;
    EXPECT_FALSE(fs.run.ch.is_open(f.next_unit)) << f.in_the_way;
    if (f.number <= 1000) { EXPECT_EQ(fs.open_channels(), (f.number ? std::set<int>{7} : std::set<int>{})); }
    EXPECT_EQ(fs.term.str(), f.number ? "" : expected::list_file_line(blocked, 30));
    // Standard error says what the terminal and the list file cannot: why an
    // input is refused, or that the list file is lost. An input that is not
    // a regular file (a directory here) is told as such.
    const std::string told = f.number == 0      ? "qxconv: the list file " + blocked +
                                                      " cannot be written (IOSTAT = 30): is a directory\n"
                             : f.number <= 1002 ? "qxconv: '" + blocked + "' is not a regular file\n"
                                                : "";
    EXPECT_EQ(fs.err.str(), told) << f.in_the_way;
    if (f.number == 0) continue;
    // The stop line of the run names the file and why, from the cause kept.
    EXPECT_EQ(fs.run.err.cause, blocked + ": is a directory") << f.in_the_way;
    const std::string kind = f.number == 1000 ? "INPUT DATA" : std::string(f.in_the_way + (f.in_the_way[0] == '.'));
    EXPECT_EQ(fs.file(list_suffix), expected::open_error(f.number, kind, fs.base + f.named, 30)) << f.in_the_way;
  }
}

TEST(Utlflsw, LongNamesAreCutAndNothingOverflows) {
  // Derived names are cut to 264 characters: the list file of a 253-character
  // base name loses the end of its suffix.
  FileSet fs(true, false);
  const std::string sub = fs.dir.file(std::string(120, 'd'));
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  const std::string base = sub + "/" + std::string(253 - sub.size() - 1, 'b');
  write_file(base + ".TP18", "");
  fs.run.val.rslt_name = base;
  fs.open();
  ASSERT_EQ(fs.irtn, 0);
  EXPECT_EQ(fs.run.ch.name(7), base + "_TP18-19_CO");
  EXPECT_EQ(fs.run.ch.name(20), base + "_QX2D.TP18");

  // An extra text that would pass 256 characters is cut there.
  FileSet cut(true, false);
  const std::string name = cut.dir.file(std::string(220, 'n'));
  write_file(name + ".TP18", "");
  ASSERT_EQ(mkdir((name + "_QXSH.TP18").c_str(), 0755), 0);
  cut.run.val.rslt_name = name;
  cut.open();
  EXPECT_EQ(cut.irtn, 30);
  cut.run.ch.close_all();
  std::string report = expected::open_error(1005, "_QXSH.TP18", name + ".TP18", 30);
  report.erase(report.find('\n') + 1 + 256);
  EXPECT_EQ(read_file(name + list_suffix), report + "\n");
}

}  // namespace
