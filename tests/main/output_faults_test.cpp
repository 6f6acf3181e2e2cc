// Whole runs of qxconv whose outputs cannot be opened or written: each
// failure is reported and stops the run, and what was written is the
// beginning of the good run's files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "control/expected_texts.hpp"
#include "main/program_faults.hpp"

namespace {

using namespace qxfaults;

TEST(ProgramFaults, OutputsThatCannotBeOpenedOrWritten) {
  const SmallCase& c = small_case();
  TempDir dir;
  struct Output {
    std::string suffix;
    int open_error;  // reported when it cannot be opened
  };
  const Output outputs[] = {
      {"_QX2D.TP18", 1003},     {"_QX2D.TP19", 1004},     {"_QXSH.TP18", 1005},     {"_QXSH.TP19", 1006},
      {".TP18.txt", 1009},      {".TP19.txt", 1010},      {"_QX2D.TP18.txt", 1011}, {"_QX2D.TP19.txt", 1012},
      {"_QXSH.TP18.txt", 1013}, {"_QXSH.TP19.txt", 1014},
  };
  for (const Output& o : outputs) {
    const std::string path = dir.file("case" + o.suffix);
    // A directory in its place: the open fails with status 30 before
    // anything is converted.
    Result r = convert(dir, c.in, every_option, {}, [&] { mkdir(path.c_str(), 0755); });
    Report report = expect_stopped(r, o.suffix + " a directory");
    EXPECT_EQ(report.number, o.open_error) << o.suffix;
    EXPECT_EQ(report.status, 30) << o.suffix;
    for (const auto& [suffix, bytes] : r.files)
      EXPECT_TRUE(suffix == list_suffix || bytes.empty()) << o.suffix << " a directory: " << suffix << " was written";

    // A link to a device that is always full. The converted binary files are
    // written through it and fail with status 38; the text files are made
    // anew, so the link gives way to a file of their own.
    r = convert(dir, c.in, every_option, {}, [&] { ASSERT_EQ(symlink("/dev/full", path.c_str()), 0); });
    const std::string what = o.suffix + " on a full device";
    if (is_binary(o.suffix)) {
      report = expect_stopped(r, what);
      EXPECT_EQ(report.number, 1008) << what;
      EXPECT_EQ(report.status, 38) << what;
      expect_beginning_of(r.files, c.good, true, what);
    } else {
      expect_normal_end(r, what);
      EXPECT_TRUE(r.files == c.good) << what;
    }
  }

  // The list file: its failed open is told on the terminal; no file is made.
  const Result r = convert(dir, c.in, every_option, {}, [&] { mkdir(dir.file("case" + list_suffix).c_str(), 0755); });
  EXPECT_EQ(r.program.exit_status, 1);
  EXPECT_TRUE(ends_with(r.program.terminal, expected::list_file_line("case" + list_suffix, 30))) << r.program.terminal;
  EXPECT_TRUE(r.files.empty());
}

TEST(ProgramFaults, AFileSizeLimitStopsTheRunAtTheFirstWriteBeyondIt) {
  const SmallCase& c = small_case();
  TempDir dir;
  for (const auto& options : {every_option, std::vector<std::string>{}}) {
    const Outputs good = options.empty() ? convert(dir, c.in, options).files : c.good;
    std::size_t largest = 0;
    for (const auto& [suffix, bytes] : good) largest = std::max(largest, bytes.size());
    const std::size_t list = get(good, list_suffix).size();
    for (const std::size_t limit :
         {std::size_t{1000}, std::size_t{6000}, list - 100, list + 300, (list + largest) / 2, largest - 1, largest}) {
      const std::string what = std::to_string(options.size()) + " options, files up to " + std::to_string(limit);
      const Result r = convert(dir, c.in, options, {0, limit});
      for (const auto& [suffix, bytes] : r.files) EXPECT_LE(bytes.size(), limit) << what << ": " << suffix;
      // What was written is the beginning of each file.
      expect_beginning_of(r.files, good, false, what);
      if (largest <= limit) {
        expect_normal_end(r, what);
        EXPECT_TRUE(r.files == good) << what;
        continue;
      }
      EXPECT_EQ(r.program.exit_status, 1) << what;
      EXPECT_EQ(r.program.terminal.find("NORMAL END"), npos) << what;
      // The report is in the list file, or, when the list file itself met
      // the limit, on the terminal.
      const auto report = final_report(get(r.files, list_suffix));
      if (report) {
        EXPECT_EQ(report->number, 1008) << what;
        EXPECT_EQ(report->status, 38) << what;
      } else {
        EXPECT_TRUE(ends_with(r.program.terminal, expected::list_file_line("case" + list_suffix, 38)))
            << what << "\n"
            << r.program.terminal;
      }
    }
  }
}

}  // namespace
