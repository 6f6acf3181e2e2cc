// The list file's cover page: the heading and framed block as written, the
// page counter, and the reports of writes that fail at each step (the list
// file under a file size limit, in a child process or in the real program).
#include "control/qxident_tp18.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "control/expected_texts.hpp"
#include "control/run.hpp"
#include "support/test_support.hpp"

using qxtest::read_file;
using qxtest::run_program;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

std::string trim_right(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

TEST(Qxident, CoverPageOfARun) {
  TempDir dir;
  const std::string path = dir.file("case_TP18-19_COVT.lst");
  qx::Run run;
  ASSERT_EQ(run.ch.open_text_write(7, path), 0);
  int irtn = 99;
  qx::qxident_tp18(run, irtn);
  EXPECT_EQ(irtn, 0);
  EXPECT_EQ(run.val.nhdg, 1);
  ASSERT_EQ(run.ch.close(7), 0);
  const std::string text = read_file(path);
  EXPECT_EQ(text, expected::cover_page());

  std::vector<std::string> lines = qxtest::split_lines(text);
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0].size(), 113u);
  for (std::size_t i = 5; i <= 17; ++i) {
    EXPECT_EQ(lines[i].size(), 81u) << i;
    EXPECT_EQ(lines[i].substr(0, 17), std::string(15, ' ') + "**") << i;
    EXPECT_EQ(lines[i].substr(79), "**") << i;
  }
}

TEST(Qxident, AnotherHeadingStartsANewPage) {
  TempDir dir;
  const std::string path = dir.file("l.lst");
  qx::Run run;
  ASSERT_EQ(run.ch.open_text_write(7, path), 0);
  int irtn = 99;
  qx::qxident_tp18(run, irtn);
  ASSERT_EQ(irtn, 0);
  qx::uthead_tp18(run, irtn);
  EXPECT_EQ(irtn, 0);
  EXPECT_EQ(run.val.nhdg, 2);
  ASSERT_EQ(run.ch.close(7), 0);
  EXPECT_EQ(read_file(path), expected::cover_page() + "\n\n\n\n" + expected::heading(2));
}

TEST(Qxident, VersionAndDateComeFromTheStore) {
  TempDir dir;
  const std::string path = dir.file("l.lst");
  qx::Run run;
  run.val.vrnum = 3.7f;
  run.val.mkdate = "(2031/12/01)";
  ASSERT_EQ(run.ch.open_text_write(7, path), 0);
  int irtn = 99;
  qx::qxident_tp18(run, irtn);
  ASSERT_EQ(irtn, 0);
  ASSERT_EQ(run.ch.close(7), 0);
  std::vector<std::string> lines = qxtest::split_lines(read_file(path));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], "     Zelvorith (V3.7)  for Quarndimex" + std::string(68, ' ') + "PAGE   1");
  EXPECT_EQ(lines[11], "               **  VERSION                 3.7  (2031/12/01)                   **");
}

TEST(Qxident, AHeadingThatCannotBeWrittenIsReportedWithItsStatus) {
  qx::Run run;
  ASSERT_EQ(run.ch.open_text_write(7, "/dev/full"), 0);
  int irtn = 0;
  qx::qxident_tp18(run, irtn);
  EXPECT_EQ(irtn, 38);
  EXPECT_EQ(trim_right(run.err.cmerr[0]), "  **** ERROR NO. 1000 **** INPUT DATA FILE OPEN ERROR ****");
  EXPECT_EQ(trim_right(run.err.cmerr[1]), "                    *** IOSTAT =    38 ***");
}

struct LimitedRun {
  int irtn = 99;
  std::string cmerr0, cmerr1, list;
};

// Writes the cover page in a child process whose files cannot grow beyond
// `limit` bytes; the child hands back the status and the last report.
LimitedRun cover_under_limit(long limit) {
  TempDir dir;
  const std::string path = dir.file("l.lst");
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &lim);
    std::string report;
    {
      qx::Run run;
      int irtn = 99;
      if (run.ch.open_text_write(7, path) == 0) qx::qxident_tp18(run, irtn);
      report = std::to_string(irtn) + "\n" + trim_right(run.err.cmerr[0]) + "\n" + trim_right(run.err.cmerr[1]);
    }
    ssize_t w = write(fds[1], report.data(), report.size());
    _exit(w == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string got;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  LimitedRun r;
  std::vector<std::string> parts = qxtest::split_lines(got);
  if (parts.empty()) return r;
  r.irtn = std::stoi(parts[0]);
  if (parts.size() > 1) r.cmerr0 = parts[1];
  if (parts.size() > 2) r.cmerr1 = parts[2];
  r.list = read_file(path);
  return r;
}

TEST(Qxident, AFailedWriteAtEachStepIsReportedOnce) {
  const std::string page = expected::cover_page();
  ASSERT_EQ(page.size(), 1186u);
  const std::string heading_failure = "  **** ERROR NO. 1000 **** INPUT DATA FILE OPEN ERROR ****";
  const std::string cover_failure = "  **** ERROR NO.  999 **** COVER PAGE OUTPUT ERROR  OF LIST FILE ****";
  struct Step {
    long limit;
    const std::string& message;
  };
  // 114: the heading only; 692: up to the version line; 856: up to the
  // developer line; 1185: all but the last empty line.
  const Step steps[] = {{0, heading_failure},  {113, heading_failure}, {114, cover_failure},
                        {600, cover_failure},  {692, cover_failure},   {700, cover_failure},
                        {856, cover_failure},  {1185, cover_failure}};
  for (const Step& s : steps) {
    LimitedRun r = cover_under_limit(s.limit);
    EXPECT_EQ(r.irtn, 38) << s.limit;
    EXPECT_EQ(r.cmerr0, s.message) << s.limit;
    EXPECT_EQ(r.cmerr1, &s.message == &heading_failure ? "                    *** IOSTAT =    38 ***" : "")
        << s.limit;
    EXPECT_EQ(r.list, page.substr(0, static_cast<std::size_t>(s.limit))) << s.limit;
  }
  LimitedRun whole = cover_under_limit(1186);
  EXPECT_EQ(whole.irtn, 0);
  EXPECT_EQ(whole.cmerr0, "");
  EXPECT_EQ(whole.list, page);
}

// ---- through the real program ----

TEST(QxidentProgram, AListFileThatCannotGrowEndsTheRunAfterTheDialogue) {
  TempDir dir;
  write_file(dir.file("case.qxin"), "");
  write_file(dir.file("case.TP18"), "");
  const std::string lost =
      expected::dialogue() + "                    *** FILE NAME = case_TP18-19_COVT.lst  IOSTAT =    38 ***\n";
  for (long limit : {0L, 114L, 692L}) {
    auto res = run_program({"prlimit", "--fsize=" + std::to_string(limit), QXCONV_PATH, "-wave"},
                           "case.qxin\ncase.TP18\nNo\n", dir.path());
    EXPECT_EQ(res.exit_status, 1) << limit;
    EXPECT_EQ(res.out, lost) << limit;
    EXPECT_EQ(read_file(dir.file("case_TP18-19_COVT.lst")),
              expected::cover_page().substr(0, static_cast<std::size_t>(limit)))
        << limit;
  }
}

}  // namespace
