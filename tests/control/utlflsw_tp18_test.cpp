// The file set: which channels are opened under which conditions and on
// which names, files made anew or left alone, the numbered report of each
// failed open and the terminal line of a list file that cannot be opened.
#include "control/utlflsw_tp18.hpp"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include "control/expected_texts.hpp"
#include "control/run.hpp"
#include "support/test_support.hpp"

using qxtest::file_exists;
using qxtest::read_file;
using qxtest::run_program;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

struct FileSet {
  TempDir dir;
  std::string base = dir.file("case");
  std::istringstream in;
  std::ostringstream term;
  qx::Run run{{in, term}};
  int irtn = 99;

  FileSet(bool tp18, bool tp19) {
    write_file(dir.file("case.qxin"), "TITLE   x\n");
    run.val.inpdt_name = dir.file("case.qxin");
    run.val.rslt_name = base;
    run.val.ltp18 = tp18;
    run.val.ltp19 = tp19;
    run.val.conv = "LITTLE_ENDIAN";
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
  // The list file as the run leaves it.
  std::string list_file() {
    run.ch.close_all();
    return read_file(base + "_TP18-19_COVT.lst");
  }
};

TEST(Utlflsw, WithoutOptionsTheListInputAndBinaryFilesAreOpened) {
  FileSet fs(true, true);
  write_file(fs.base + "_TP18-19_COVT.lst", "a list file of an earlier run\n");
  write_file(fs.base + "_QX2D.TP18", "converted earlier");
  for (const char* twin : {".TP18.txt", "_QX2D.TP18.txt", "_QXSH.TP19.txt"}) write_file(fs.base + twin, "earlier twin");
  fs.open();
  EXPECT_EQ(fs.irtn, 0);
  EXPECT_EQ(fs.open_channels(), (std::set<int>{7, 18, 19, 20, 21, 22, 23, 71}));
  const std::pair<int, const char*> names[] = {
      {7, "_TP18-19_COVT.lst"}, {18, ".TP18"},       {19, ".TP19"},       {20, "_QX2D.TP18"},
      {21, "_QX2D.TP19"},       {22, "_QXSH.TP18"}, {23, "_QXSH.TP19"},
  };
  for (auto [unit, suffix] : names) EXPECT_EQ(fs.run.ch.name(unit), fs.base + suffix) << unit;
  EXPECT_EQ(fs.run.ch.name(71), fs.dir.file("case.qxin"));
  EXPECT_EQ(fs.term.str(), "");
  EXPECT_EQ(fs.list_file(), "") << "the list file is made anew";
  EXPECT_EQ(read_file(fs.base + "_QX2D.TP18"), "converted earlier") << "replaced only by its first record";
  for (const char* twin : {".TP18.txt", "_QX2D.TP18.txt", "_QXSH.TP19.txt"})
    EXPECT_EQ(read_file(fs.base + twin), "earlier twin") << twin;
  EXPECT_FALSE(file_exists(fs.base + ".TP19.txt"));
}

TEST(Utlflsw, AnyOptionMakesTheTextTwinsOfTheExistingResultFileAnew) {
  FileSet fs(false, true);
  fs.run.val.maxr = 1;
  write_file(fs.base + "_QX2D.TP19.txt", "earlier twin");
  write_file(fs.base + "_QX2D.TP18.txt", "twin of the other kind");
  fs.open();
  EXPECT_EQ(fs.irtn, 0);
  EXPECT_EQ(fs.open_channels(), (std::set<int>{7, 19, 21, 23, 25, 27, 29, 71}));
  const std::pair<int, const char*> names[] = {
      {25, ".TP19.txt"}, {27, "_QX2D.TP19.txt"}, {29, "_QXSH.TP19.txt"}};
  for (auto [unit, suffix] : names) EXPECT_EQ(fs.run.ch.name(unit), fs.base + suffix) << unit;
  fs.run.ch.close_all();
  for (const char* twin : {".TP19.txt", "_QX2D.TP19.txt", "_QXSH.TP19.txt"}) {
    EXPECT_TRUE(file_exists(fs.base + twin)) << twin;
    EXPECT_EQ(read_file(fs.base + twin), "") << twin;
  }
  EXPECT_EQ(read_file(fs.base + "_QX2D.TP18.txt"), "twin of the other kind");
  EXPECT_FALSE(file_exists(fs.base + "_QX2D.TP18"));
}

TEST(Utlflsw, TheBigEndianAnswerChangesOnlyTheConvertedFiles) {
  FileSet fs(true, false);
  fs.run.val.conv = "BIG_ENDIAN   ";
  write_file(fs.base + ".TP18", std::string("\x04\0\0\0\x05\0\0\0\x04\0\0\0", 12));
  fs.open();
  ASSERT_EQ(fs.irtn, 0);
  std::int32_t v = 0;
  ASSERT_EQ(fs.run.ch.read_record(18, {qx::in(v)}), 0);
  EXPECT_EQ(v, 5);
  ASSERT_EQ(fs.run.ch.write_record(20, {qx::out(v)}), 0);
  ASSERT_EQ(fs.run.ch.write_record(22, {qx::out(v)}), 0);
  fs.run.ch.close_all();
  const std::string big("\0\0\0\x04\0\0\0\x05\0\0\0\x04", 12);
  EXPECT_EQ(read_file(fs.base + "_QX2D.TP18"), big);
  EXPECT_EQ(read_file(fs.base + "_QXSH.TP18"), big);
}

struct OpenFailure {
  const char* in_the_way;  // a directory of this suffix blocks the open
  bool tp18, tp19, options;
  int number;
  const char* message;
  const char* named;  // suffix of the file named in the extra text
  int next_unit;      // the next channel of the order, which stays closed
};

TEST(Utlflsw, EachFailedOpenIsReportedWithItsNumberAndTheResultFileItDerivesFrom) {
  const OpenFailure failures[] = {
      {".TP18", true, true, false, 1001, " **** TP18 FILE OPEN ERROR ****", ".TP18", 19},
      {".TP19", true, true, false, 1002, " **** TP19 FILE OPEN ERROR ****", ".TP19", 20},
      {"_QX2D.TP18", true, true, false, 1003, " **** _QX2D.TP18 FILE OPEN ERROR ****", ".TP18", 21},
      {"_QX2D.TP19", true, true, false, 1004, " **** _QX2D.TP19 FILE OPEN ERROR ****", ".TP19", 22},
      {"_QXSH.TP18", true, false, true, 1005, " **** _QXSH.TP18 FILE OPEN ERROR ****", ".TP18", 24},
      {"_QXSH.TP19", true, true, false, 1006, " **** _QXSH.TP19 FILE OPEN ERROR ****", ".TP19", 24},
      {".TP18.txt", true, true, true, 1009, " **** TP18.txt FILE OPEN ERROR ****", ".TP18", 25},
      {".TP19.txt", true, true, true, 1010, " **** TP19.txt FILE OPEN ERROR ****", ".TP19", 26},
      {"_QX2D.TP18.txt", true, true, true, 1011, " **** _QX2D.TP18.txt FILE OPEN ERROR ****", ".TP18", 27},
      {"_QX2D.TP19.txt", false, true, true, 1012, " **** _QX2D.TP19.txt FILE OPEN ERROR ****", ".TP19", 29},
      {"_QXSH.TP18.txt", true, true, true, 1013, " **** _QXSH.TP18.txt FILE OPEN ERROR ****", ".TP18", 29},
      {"_QXSH.TP19.txt", true, true, true, 1014, " **** _QXSH.TP19.txt FILE OPEN ERROR ****", ".TP19", 30},
  };
  for (const OpenFailure& f : failures) {
    FileSet fs(f.tp18, f.tp19);
    fs.run.val.spec = f.options ? 1 : 0;
    std::string blocked = fs.base + f.in_the_way;
    ::unlink(blocked.c_str());
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    fs.open();
    EXPECT_EQ(fs.irtn, 30) << f.in_the_way;
    EXPECT_FALSE(fs.run.ch.is_open(f.next_unit)) << f.in_the_way;
    EXPECT_EQ(fs.term.str(), "");
    EXPECT_EQ(fs.list_file(), expected::open_error(f.number, f.message, fs.base + f.named, 30)) << f.in_the_way;
  }
}

TEST(Utlflsw, AFailedInputDataFileOpenLeavesOnlyItsReportInANewListFile) {
  FileSet fs(true, true);
  write_file(fs.base + "_TP18-19_COVT.lst", "  **** ERROR NO. 1003 left by an earlier run\n");
  fs.run.val.inpdt_name = fs.dir.file("gone.qxin");
  fs.open();
  EXPECT_EQ(fs.irtn, 29);
  EXPECT_EQ(fs.open_channels(), std::set<int>{7});
  EXPECT_EQ(fs.list_file(), expected::open_error(1000, " **** INPUT DATA FILE OPEN ERROR ****",
                                                 fs.dir.file("gone.qxin"), 29));
  EXPECT_FALSE(file_exists(fs.base + "_QX2D.TP18"));
}

TEST(Utlflsw, AListFileThatCannotBeOpenedIsToldOnTheTerminal) {
  FileSet fs(true, true);
  const std::string lst = fs.base + "_TP18-19_COVT.lst";
  ASSERT_EQ(mkdir(lst.c_str(), 0755), 0);
  fs.open();
  EXPECT_EQ(fs.irtn, 30);
  EXPECT_EQ(fs.term.str(), expected::list_file_line(lst, 30));
  EXPECT_TRUE(fs.open_channels().empty());
  struct stat st {};
  EXPECT_EQ(stat(lst.c_str(), &st), 0) << "what is in the way is not deleted";

  FileSet nodir(true, false);
  nodir.run.val.rslt_name = nodir.dir.file("no/case");
  nodir.open();
  EXPECT_EQ(nodir.irtn, 29);
  EXPECT_EQ(nodir.term.str(), expected::list_file_line(nodir.dir.file("no/case_TP18-19_COVT.lst"), 29));
}

TEST(Utlflsw, LongNamesAreCutAndNothingOverflows) {
  // Derived names are cut to 264 characters: the list file of a 253-character
  // base name loses the end of its suffix.
  FileSet fs(true, false);
  const std::string sub = fs.dir.file(std::string(120, 'd'));
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  const std::string base = sub + "/" + std::string(253 - sub.size() - 1, 'b');
  ASSERT_EQ(base.size(), 253u);
  write_file(base + ".TP18", "");
  fs.run.val.rslt_name = base;
  fs.open();
  ASSERT_EQ(fs.irtn, 0);
  EXPECT_EQ(fs.run.ch.name(7), base + "_TP18-19_CO");
  EXPECT_EQ(fs.run.ch.name(20), base + "_QX2D.TP18");
  fs.run.ch.close_all();
  EXPECT_TRUE(file_exists(base + "_TP18-19_CO"));

  // An extra text that would pass 256 characters is cut there.
  FileSet cut(true, false);
  const std::string name = cut.dir.file(std::string(220, 'n'));
  write_file(name + ".TP18", "");
  ASSERT_EQ(mkdir((name + "_QXSH.TP18").c_str(), 0755), 0);
  cut.run.val.rslt_name = name;
  cut.open();
  EXPECT_EQ(cut.irtn, 30);
  cut.run.ch.close_all();
  std::string extra = std::string(20, ' ') + "*** FILE NAME = " + name + ".TP18  IOSTAT =    30 ***";
  ASSERT_GT(extra.size(), 256u);
  EXPECT_EQ(read_file(name + "_TP18-19_COVT.lst"),
            "  **** ERROR NO. 1005 **** _QXSH.TP18 FILE OPEN ERROR ****\n" + extra.substr(0, 256) + "\n");
}

// ---- through the real program ----

std::string qxconv() { return QXCONV_PATH; }

// A case whose files only need to exist: the runs below stop in the file set.
void tiny_case(const TempDir& dir) {
  write_file(dir.file("case.qxin"), "");
  write_file(dir.file("case.TP18"), "");
  write_file(dir.file("case.TP19"), "");
}

TEST(UtlflswProgram, AConvertedFileThatCannotBeOpenedStopsTheRunWithItsReport) {
  TempDir dir;
  tiny_case(dir);
  mkdir(dir.file("case_QX2D.TP18").c_str(), 0755);
  auto res = run_program({qxconv()}, "case.qxin\ncase.TP18\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 1);
  EXPECT_EQ(res.out, expected::dialogue());
  EXPECT_EQ(read_file(dir.file("case_TP18-19_COVT.lst")),
            "  **** ERROR NO. 1003 **** _QX2D.TP18 FILE OPEN ERROR ****\n"
            "                    *** FILE NAME = case.TP18  IOSTAT =    30 ***\n");
  EXPECT_FALSE(file_exists(dir.file("case_QX2D.TP19")));
  EXPECT_FALSE(file_exists(dir.file("case_QXSH.TP18")));
}

TEST(UtlflswProgram, ATextTwinThatCannotBeOpenedStopsTheRunWithItsReport) {
  TempDir dir;
  tiny_case(dir);
  mkdir(dir.file("case_QX2D.TP19.txt").c_str(), 0755);
  auto res = run_program({qxconv(), "-AMPL"}, "case.qxin\ncase\ny\n", dir.path());
  EXPECT_EQ(res.exit_status, 1);
  EXPECT_EQ(res.out, expected::dialogue(true));
  EXPECT_EQ(read_file(dir.file("case_TP18-19_COVT.lst")),
            "  **** ERROR NO. 1012 **** _QX2D.TP19.txt FILE OPEN ERROR ****\n"
            "                    *** FILE NAME = case.TP19  IOSTAT =    30 ***\n");
  EXPECT_TRUE(file_exists(dir.file("case_QX2D.TP18.txt")));
  EXPECT_FALSE(file_exists(dir.file("case_QXSH.TP18.txt")));
}

TEST(UtlflswProgram, AListFileThatCannotBeOpenedIsToldOnTheTerminalAndNothingElseIsOpened) {
  TempDir dir;
  tiny_case(dir);
  mkdir(dir.file("case_TP18-19_COVT.lst").c_str(), 0755);
  auto res = run_program({qxconv(), "-wave"}, "case.qxin\ncase.TP19\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 1);
  EXPECT_EQ(res.out, expected::dialogue() +
                         "                    *** FILE NAME = case_TP18-19_COVT.lst  IOSTAT =    30 ***\n");
  EXPECT_FALSE(file_exists(dir.file("case_QX2D.TP18")));
  EXPECT_FALSE(file_exists(dir.file("case.TP18.txt")));
}

TEST(UtlflswProgram, AnEarlierListFileIsReplacedWhenTheInputDataFileCannotBeOpened) {
  TempDir dir;
  tiny_case(dir);
  write_file(dir.file("case_TP18-19_COVT.lst"), std::string(5000, 'o') + "\nNORMAL END\n");
  // A socket exists and is no directory, but cannot be opened as a file.
  const std::string sock = dir.file("model.qxin");
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  sock.copy(addr.sun_path, sock.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
  auto res = run_program({qxconv()}, "model.qxin\ncase.TP18\nNo\n", dir.path());
  EXPECT_EQ(res.exit_status, 1);
  EXPECT_EQ(res.out, expected::dialogue());
  EXPECT_EQ(read_file(dir.file("case_TP18-19_COVT.lst")),
            "  **** ERROR NO. 1000 **** INPUT DATA FILE OPEN ERROR ****\n"
            "                    *** FILE NAME = model.qxin  IOSTAT =    30 ***\n");
  EXPECT_FALSE(file_exists(dir.file("case_QX2D.TP18")));
}

}  // namespace
