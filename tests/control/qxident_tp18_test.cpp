// The list file's cover page: the heading and framed block as written, the
// page counter, and the report of a write that fails at each step.
#include "control/qxident_tp18.hpp"

#include <gtest/gtest.h>

#include <string>

#include "control/expected_texts.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"
#include "support/write_faults.hpp"

using namespace qxtest;

namespace {

struct Cover {
  int irtn = 99;
  std::string list, cmerr0, cmerr1;
};

// Writes the cover page, then `more` headings, into a list file that accepts
// `budget` bytes.
Cover cover(qx::Run& run, int more = 0, std::size_t budget = 1u << 20) {
  TempDir dir;
  const std::string path = dir.file("case_TP18-19_COVT.lst");
  write_file(path, "");
  qxtest::WriteBudget limit(path, budget);
  Cover c;
  EXPECT_EQ(run.ch.open_text_write(7, path), 0);
  qx::qxident_tp18(run, c.irtn);
  for (int i = 0; i < more && c.irtn == 0; ++i) qx::uthead_tp18(run, c.irtn);
  run.ch.close(7);
  c.list = read_file(path);
  c.cmerr0 = run.err.cmerr[0].substr(0, run.err.cmerr[0].find_last_not_of(' ') + 1);
  c.cmerr1 = run.err.cmerr[1].substr(0, run.err.cmerr[1].find_last_not_of(' ') + 1);
  return c;
}

TEST(Qxident, CoverPageAndTheHeadingsOfLaterPages) {
  qx::Run run;
  Cover c = cover(run, 2);
  EXPECT_EQ(c.irtn, 0);
  EXPECT_EQ(run.val.nhdg, 3);
  EXPECT_EQ(c.list, expected::cover_page() + "\n\n\n\n" + expected::heading(2) + "\n\n\n\n" + expected::heading(3));
  EXPECT_EQ(c.cmerr0, "");
}

TEST(Qxident, VersionAndDateComeFromTheStore) {
  qx::Run run;
  run.val.vrnum = 3.7f;
  run.val.mkdate = "(2031/12/01)";
  std::vector<std::string> lines = qxtest::split_lines(cover(run).list);
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], "     Zelvorith (V3.7)  for Quarndimex" + std::string(68, ' ') + "PAGE   1");
  EXPECT_EQ(lines[11], "               **  VERSION                 3.7  (2031/12/01)                   **");
}

TEST(Qxident, AFailedWriteAtEachStepIsReportedOnce) {
  const std::string page = expected::cover_page();
  ASSERT_EQ(page.size(), 1186u);
  const std::string heading_failure = "  **** ERROR NO. 1000 **** INPUT DATA FILE OPEN ERROR ****";
  const std::string cover_failure = "  **** ERROR NO.  999 **** COVER PAGE OUTPUT ERROR  OF LIST FILE ****";
  // 114: the heading only; 692: up to the version line; 856: up to the
  // developer line; 1185: all but the last empty line.
  for (std::size_t budget : {0, 113, 114, 600, 692, 700, 856, 1185, 1186}) {
    qx::Run run;
    Cover c = cover(run, 0, budget);
    const bool heading = budget < 114, whole = budget == page.size();
    EXPECT_EQ(c.irtn, whole ? 0 : 38) << budget;
    EXPECT_EQ(c.cmerr0, whole ? "" : heading ? heading_failure : cover_failure) << budget;
    EXPECT_EQ(c.cmerr1, heading ? "                    *** IOSTAT =    38 ***" : "") << budget;
    EXPECT_EQ(c.list, page.substr(0, budget)) << budget;
  }
}

}  // namespace
