// The reading examples of README.md run as printed: the Fortran program and
// the Python script, taken from the README, list the blocks of files that
// qxconv converted from a generated case, and their lists agree with the
// listing of qxdump on the same files.
#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.hpp"

namespace {

using qxtest::run_program;

// The body of the first fenced block of the README in the given language.
std::string readme_block(const std::string& language) {
  const std::string readme = qxtest::read_file(std::string(QX_SOURCE_DIR) + "/README.md");
  const std::size_t begin = readme.find("```" + language + "\n") + language.size() + 4;
  return readme.substr(begin, readme.find("\n```", begin) + 1 - begin);
}

// Case "case1" generated and converted in `dir` in the byte order answered.
void convert_case(const qxtest::TempDir& dir, const std::string& big_endian) {
  auto r = run_program({QXGEN_PATH, "--out", dir.file("case1"), "--seed", "21", "--size", "40k"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = run_program({QXCONV_PATH}, "case1.qxin\ncase1.TP18\n" + big_endian + "\n", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.out;
}

// The words of a line, commas, brackets and "key=" heads taken for blanks,
// from word `from` on, at most `count` of them.
std::string words(std::string line, std::size_t from = 0, std::size_t count = 99) {
  for (char& c : line) c = c == ',' || c == '[' || c == ']' || c == '"' ? ' ' : c;
  std::istringstream in(line);
  std::string s, w;
  for (std::size_t i = 0; in >> w && i < from + count; ++i)
    if (i >= from) s += (s.empty() ? "" : " ") + w.substr(w.find('=') + 1);
  return s;
}

// What qxdump says of a converted file: "title T", "nodes N counts...",
// then per block its kind word and codes ("MAXR" and the code for maxima).
std::vector<std::string> dump_summary(const std::string& path) {
  const auto r = run_program({QXDUMP_PATH, path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> s;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    if (line.starts_with("  counts ")) {
      const std::size_t t = line.find("title=\"") + 7, end = line.find('"', t);
      s.push_back(words("title " + line.substr(t, end - t)));
      s.push_back("nodes " + words(line.substr(end + 1)));
    } else if (line.starts_with("block ")) {
      s.push_back(words(line, 3, line.find(" MAXR ") != std::string::npos ? 2 : 7));
    }
  }
  return s;
}

// What an example lists, in the same words: its title, node and element
// counts (on one line or two), then per block the kind word and codes.
std::vector<std::string> example_summary(std::string out) {
  if (const std::size_t at = out.find(" nodes "); at != std::string::npos) out[at] = '\n';
  std::vector<std::string> s;
  for (const std::string& line : qxtest::split_lines(out))
    if (line.starts_with("nodes "))
      s.push_back("nodes " + words(line, 1, 1) + " " + words(line, 3, 10));
    else if (!line.empty())
      s.push_back(words(line, 0, line.starts_with("title ") ? 99 : line.starts_with("MAXR") ? 2 : 7));
  return s;
}

TEST(Readme, FortranExampleListsTheBlocksOfAConvertedFile) {
  const std::string source = readme_block("fortran");
  ASSERT_NE(source.find("case1_QX2D.TP18"), std::string::npos) << "the example reads case1_QX2D.TP18";
  qxtest::TempDir dir;
  convert_case(dir, "No");
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(source, dir.file("readqx"), log)) << log;
  const auto r = run_program({dir.file("readqx")}, "", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<std::string> listed = example_summary(r.out);
  EXPECT_GT(listed.size(), 20u);
  EXPECT_EQ(listed, dump_summary(dir.file("case1_QX2D.TP18")));
}

TEST(Readme, PythonExampleWalksConvertedFilesInBothByteOrders) {
  std::string python;
  for (const char* p : {"/usr/bin/python3", "python3"})
    if (python.empty() && qxtest::run_shell(std::string(p) + " -c 'import numpy' 2>/dev/null").exit_status == 0)
      python = p;
  if (python.empty()) GTEST_SKIP() << "no python3 with NumPy";
  for (const std::string answer : {"No", "Yes"}) {
    qxtest::TempDir dir;
    convert_case(dir, answer);
    qxtest::write_file(dir.file("walkqx.py"), readme_block("python"));
    for (const std::string file : {"case1_QX2D.TP18", "case1_QXSH.TP18", "case1_QX2D.TP19", "case1_QXSH.TP19"}) {
      const auto r = run_program({python, "walkqx.py", file}, "", dir.path());
      ASSERT_EQ(r.exit_status, 0) << file << ": " << r.err;
      const std::vector<std::string> listed = example_summary(r.out);
      EXPECT_GT(listed.size(), 8u) << file;
      EXPECT_EQ(listed, dump_summary(dir.file(file))) << file << " answered " << answer;
    }
  }
}

}  // namespace
