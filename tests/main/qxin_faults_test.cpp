// Whole runs of qxconv on input data files with counts the file cannot
// hold, fields that are not numbers, NUL bytes and very long lines.
#include <gtest/gtest.h>

#include "main/program_faults.hpp"

namespace {

using namespace qxfaults;

// Replaces the first line that begins with `head` by `line`.
std::string replace_line(const std::string& text, const std::string& head, const std::string& line) {
  const std::size_t at = text[0] == head[0] && starts_with(text, head) ? 0 : text.find("\n" + head) + 1;
  EXPECT_NE(at, 0u) << head;
  return text.substr(0, at) + line + text.substr(text.find('\n', at));
}

// The text before the first line that begins with `head`.
std::string cut_before(const std::string& text, const std::string& head) {
  return text.substr(0, text.find("\n" + head) + 1);
}

TEST(ProgramFaults, InputDataFilesWithBadCountsFieldsAndLines) {
  const SmallCase& c = small_case();
  const std::string& q = c.in.qxin;
  // The first data line of the node section.
  const std::size_t node_keyword = q.find("\nNODE    ") + 1;
  std::size_t node_line = q.find('\n', node_keyword) + 1;
  while (q[node_line] == '#') node_line = q.find('\n', node_line) + 1;
  const std::string first_node = q.substr(node_line, q.find('\n', node_line) - node_line);
  ASSERT_GE(first_node.size(), 40u);
  auto with_node_line = [&](const std::string& line) {
    return q.substr(0, node_line) + line + q.substr(node_line + first_node.size());
  };
  std::string nul_field = first_node;
  nul_field[20] = '\0';
  const std::string long_comment = "# " + std::string(1 << 20, 'x') + "\n";
  std::string title = q.substr(q.find("TITLE   "), q.find('\n', q.find("TITLE   ")) - q.find("TITLE   "));
  title.resize(80, ' ');

  struct Case {
    const char* what;
    std::string qxin;
    int status;         // of error 1016; 0 for a normal end
    bool same_as_good;  // a normal end converts the same model
  };
  const Case cases[] = {
      // Counts larger than the file can hold: the file ends inside the section.
      {"a node count the file cannot hold", cut_before(replace_line(q, "NODE    ", "NODE    99999999"), "NODES   "), 24,
       false},
      {"a solid count the file cannot hold", cut_before(replace_line(q, "SOLID   ", "SOLID   99999999"), "MSOLID  "),
       24, false},
      {"a joint count the file cannot hold", cut_before(replace_line(q, "JOINTA  ", "JOINTA  99999999"), "JOINTB  "),
       24, false},
      // A count beyond the section: the lines that follow are no node lines.
      {"a node count larger than the section", replace_line(q, "NODE    ", "NODE    99999999"), 64, false},
      {"a boundary count the file cannot hold",
       replace_line(q, "BOUND   ", "BOUND          1       0       2       2       299999999"), 24, false},
      {"a negative node count", replace_line(q, "NODE    ", "NODE          -5"), 0, false},
      {"a count that is not a number", replace_line(q, "SPRING  ", "SPRING       2x4"), 64, false},
      {"a coordinate that is not a number", with_node_line(first_node.substr(0, 8) + "         1.2.3.4"), 64, false},
      {"a NUL byte in a coordinate", with_node_line(nul_field), 64, false},
      {"NUL bytes in a comment line", std::string("#\0\0 comment\n", 12) + q, 0, true},
      {"a comment line of a mebibyte", long_comment + q, 0, true},
      {"a node line of a mebibyte", with_node_line(first_node + std::string(1 << 20, '7')), 0, true},
      {"a title line of a mebibyte", replace_line(q, "TITLE   ", title + std::string(1 << 20, 'T')), 0, true},
  };
  TempDir dir;
  for (const Case& k : cases) {
    Inputs in = c.in;
    in.qxin = k.qxin;
    const Result r = convert(dir, in);
    if (k.status == 0) {
      expect_normal_end(r, k.what);
      if (k.same_as_good) {
        EXPECT_TRUE(r.files == c.good) << k.what;
      }
      continue;
    }
    const Report report = expect_stopped(r, k.what);
    EXPECT_EQ(report.number, 1016) << k.what;
    EXPECT_EQ(report.status, k.status) << k.what;
    // The model is read before anything is converted.
    for (const auto& [suffix, bytes] : r.files)
      EXPECT_TRUE(suffix == list_suffix || bytes.empty()) << k.what << ": " << suffix << " was written";
  }
}

}  // namespace
