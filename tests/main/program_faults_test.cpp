// Whole runs of qxconv whose outputs cannot be opened or written, and on bad
// input data files: each failure is reported and stops the run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "control/expected_texts.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

TEST(ProgramFaults, OutputsThatCannotBeOpenedOrWritten) {
  const SmallCase& c = small_case();
  TempDir dir;
  const std::pair<std::string, int> outputs[] = {
      {"_QX2D.TP18", 1003},     {"_QX2D.TP19", 1004},     {"_QXSH.TP18", 1005},     {"_QXSH.TP19", 1006},
      {".TP18.txt", 1009},      {".TP19.txt", 1010},      {"_QX2D.TP18.txt", 1011}, {"_QX2D.TP19.txt", 1012},
      {"_QXSH.TP18.txt", 1013}, {"_QXSH.TP19.txt", 1014},
  };
  for (const auto& [suffix, open_error] : outputs) {
    const std::string path = dir.file("case" + suffix);
    // A directory in its place: the open fails before anything is converted.
    Result r = convert(dir, c.in, every_option, 0, [&] { mkdir(path.c_str(), 0755); });
    expect_end(r, suffix + " a directory", open_error, 30);
    expect_nothing_converted(r, suffix + " a directory");

    // A link to /dev/full: binary files are written through it, text files
    // are made anew in its place.
    r = convert(dir, c.in, every_option, 0, [&] { ASSERT_EQ(symlink("/dev/full", path.c_str()), 0); });
    const std::string what = suffix + " on a full device";
    expect_end(r, what, is_binary(suffix) ? 1008 : 0, 38);
    expect_beginning_of(r.files, c.good, true, what);
    EXPECT_TRUE(is_binary(suffix) || r.files == c.good) << what;
  }

  // The list file: its failed open is told on the terminal; no file is made.
  const Result r = convert(dir, c.in, every_option, 0, [&] { mkdir(dir.file("case" + list_suffix).c_str(), 0755); });
  EXPECT_EQ(r.program.exit_status, 1);
  EXPECT_TRUE(r.program.terminal.ends_with(expected::list_file_line("case" + list_suffix, 30))) << r.program.terminal;
  EXPECT_EQ(r.program.errors,
            "qxconv: the list file case" + list_suffix + " cannot be written (IOSTAT = 30): is a directory\n");
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
      const Result r = convert(dir, c.in, options, limit);
      for (const auto& [suffix, bytes] : r.files) EXPECT_LE(bytes.size(), limit) << what << ": " << suffix;
      expect_beginning_of(r.files, good, false, what);
      if (largest <= limit) {
        expect_end(r, what);
        EXPECT_TRUE(r.files == good) << what;
        continue;
      }
      EXPECT_EQ(r.program.exit_status, 1) << what;
      EXPECT_EQ(r.program.terminal.find("NORMAL END"), npos) << what;
      // The report is in the list file or, if that met the limit, on the terminal.
      // Standard error names the file that met the limit, in the system's words.
      const Report report = final_report(get(r.files, list_suffix));
      const std::string cause = told_cause(r.program.errors);
      if (report.number != 0)
        EXPECT_TRUE(report.number == 1008 && report.status == 38 && cause.starts_with("case") &&
                    cause.ends_with(": file too large") &&
                    r.program.errors.ends_with(stop_line(get(r.files, list_suffix), cause)))
            << what << ": " << report.number << "\n"
            << r.program.errors;
      else
        EXPECT_TRUE(r.program.terminal.ends_with(expected::list_file_line("case" + list_suffix, 38)) &&
                    r.program.errors.ends_with("qxconv: the list file case" + list_suffix +
                                               " cannot be written (IOSTAT = 38): file too large\n"))
            << what << "\n"
            << r.program.terminal << r.program.errors;
    }
  }
}

// The text with the line beginning `head` replaced, cut before the line beginning `cut`.
std::string replace_line(const std::string& text, const std::string& head, const std::string& line,
                         const std::string& cut = "") {
  const std::size_t at = text.starts_with(head) ? 0 : text.find("\n" + head) + 1;
  EXPECT_NE(at, 0u) << head;
  const std::string s = text.substr(0, at) + line + text.substr(text.find('\n', at));
  return cut.empty() ? s : s.substr(0, s.find("\n" + cut) + 1);
}

TEST(ProgramFaults, InputDataFilesWithBadCountsFieldsAndLines) {
  const SmallCase& c = small_case();
  const std::string& q = c.in.qxin;
  std::size_t node_line = q.find('\n', q.find("\nNODE    ") + 1) + 1;
  while (q[node_line] == '#') node_line = q.find('\n', node_line) + 1;
  const std::string first_node = q.substr(node_line, q.find('\n', node_line) - node_line);
  ASSERT_GE(first_node.size(), 40u);
  auto node = [&](const std::string& line) {
    return q.substr(0, node_line) + line + q.substr(node_line + first_node.size());
  };
  std::string nul_field = first_node;
  nul_field[20] = '\0';
  std::string title = q.substr(q.find("TITLE   "), q.find('\n', q.find("TITLE   ")) - q.find("TITLE   "));
  title.resize(80, ' ');
  const std::string mebibyte(1 << 20, '7');

  struct Case {
    const char* what;
    std::string qxin;
    int status;  // of error 1016; 0 for a normal end, -1 when that converts the same model
  };
  const Case cases[] = {
      // Counts larger than the file can hold: the file ends inside the section.
      {"a node count the file cannot hold", replace_line(q, "NODE    ", "NODE    99999999", "NODES   "), 24},
      {"a boundary count the file cannot hold",
       replace_line(q, "BOUND   ", "BOUND          1       0       2       2       299999999"), 24},
      // A count beyond the section: the lines that follow are no node lines.
      {"a node count larger than the section", replace_line(q, "NODE    ", "NODE    99999999"), 64},
      {"a negative node count", replace_line(q, "NODE    ", "NODE          -5"), 0},
      {"a count that is not a number", replace_line(q, "SPRING  ", "SPRING       2x4"), 64},
      {"a coordinate that is not a number", node(first_node.substr(0, 8) + "         1.2.3.4"), 64},
      {"a NUL byte in a coordinate", node(nul_field), 64},
      {"NUL bytes in a comment line", std::string("#\0\0 comment\n", 12) + q, -1},
      {"a comment line of a mebibyte", "# " + mebibyte + "\n" + q, -1},
      {"a node line of a mebibyte", node(first_node + mebibyte), -1},
      {"a title line of a mebibyte", replace_line(q, "TITLE   ", title + mebibyte), -1},
  };
  TempDir dir;
  for (const Case& k : cases) {
    Inputs in = c.in;
    in.qxin = k.qxin;
    const Result r = convert(dir, in);
    expect_end(r, k.what, k.status > 0 ? 1016 : 0, k.status);
    if (k.status > 0) expect_nothing_converted(r, k.what);
    EXPECT_TRUE(k.status >= 0 || r.files == c.good) << k.what;
  }
}

}  // namespace
