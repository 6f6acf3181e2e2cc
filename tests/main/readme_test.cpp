// The reading examples of README.md run as printed: the Fortran program and
// the Python script, taken from the README, list the blocks of files that
// qxconv converted from a generated case, and their lists agree with the
// listing of qxdump on the same files.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace {

using qxtest::CommandResult;
using qxtest::run_program;
using qxtest::TempDir;

#if defined(QXGEN_PATH) && defined(QXDUMP_PATH)

// The body of the first fenced block of the README in the given language.
std::string readme_block(const std::string& language) {
  const std::string readme = qxtest::read_file(std::string(QX_SOURCE_DIR) + "/README.md");
  const std::string open = "```" + language + "\n";
  const std::size_t begin = readme.find(open);
  if (begin == std::string::npos) return {};
  const std::size_t end = readme.find("\n```", begin + open.size());
  return readme.substr(begin + open.size(), end - begin - open.size() + 1);
}

// Case "case1" generated and converted in `dir` in the byte order answered.
void convert_case(const TempDir& dir, const std::string& big_endian) {
  CommandResult r = run_program({QXGEN_PATH, "--out", dir.file("case1"), "--seed", "21", "--size", "40k"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = run_program({QXCONV_PATH}, "case1.qxin\ncase1.TP18\n" + big_endian + "\n", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.out;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// What qxdump says of a converted file: "title T", "nodes N counts ...",
// then per block its kind word and codes ("MAXR" and the code for maxima).
std::vector<std::string> dump_summary(const std::string& path) {
  const CommandResult r = run_program({QXDUMP_PATH, path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> s;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    const std::vector<std::string> w = words(line);
    if (w.size() > 2 && w[0] == "counts") {
      const std::size_t t = line.find("title=\"") + 7;
      std::string title = line.substr(t, line.find('"', t) - t);
      title.erase(title.find_last_not_of(' ') + 1);
      s.push_back("title " + title);
      std::string counts = line.substr(line.find("ndpt=") + 5);
      counts.replace(counts.find(' '), counts.find('=') - counts.find(' ') + 1, " ");
      for (char& c : counts) c = c == ',' ? ' ' : c;
      s.push_back("nodes " + counts);
    } else if (w.size() > 4 && w[0] == "block") {
      std::string codes = w[4].substr(w[4].find('=') + 1);
      for (char& c : codes) c = c == ',' ? ' ' : c;
      s.push_back(w[3] + " " + codes);
    }
  }
  return s;
}

std::string joined(const std::vector<std::string>& w, std::size_t from, std::size_t to) {
  std::string s;
  for (std::size_t i = from; i < to && i < w.size(); ++i) s += (s.empty() ? "" : " ") + w[i];
  return s;
}

TEST(Readme, FortranExampleListsTheBlocksOfAConvertedFile) {
  const std::string source = readme_block("fortran");
  ASSERT_NE(source.find("case1_QX2D.TP18"), std::string::npos) << "the example reads case1_QX2D.TP18";
  TempDir dir;
  convert_case(dir, "No");
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(source, dir.file("readqx"), log)) << log;
  const CommandResult r = run_program({dir.file("readqx")}, "", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.err;

  std::vector<std::string> listed;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    const std::vector<std::string> w = words(line);
    if (w.empty()) continue;
    if (w[0] == "title") listed.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    else if (w[0] == "nodes") listed.push_back("nodes " + w[1] + " " + joined(w, 3, 13));
    else if (w[0] == "MAXR") listed.push_back(joined(w, 0, 2));
    else listed.push_back(joined(w, 0, 7));
  }
  EXPECT_GT(listed.size(), 20u);
  EXPECT_EQ(listed, dump_summary(dir.file("case1_QX2D.TP18")));

  // The first values of the first time history, against qxdump's.
  const CommandResult values = run_program({QXDUMP_PATH, "--values", "3", dir.file("case1_QX2D.TP18")});
  const std::size_t wave = values.out.find(" WAVE ");
  ASSERT_NE(wave, std::string::npos);
  const std::vector<std::string> dumped = words(qxtest::split_lines(values.out.substr(wave)).at(2));
  std::vector<std::string> printed;
  for (const std::string& line : qxtest::split_lines(r.out))
    if (line.starts_with("WAVE") && words(line).size() == 11) {
      printed = words(line);
      break;
    }
  ASSERT_EQ(printed.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(printed.begin() + 8, printed.end()), dumped);
}

// A python3 that has NumPy, or empty.
std::string python_with_numpy() {
  for (const char* p : {"python3", "/usr/bin/python3"})
    if (qxtest::run_shell(std::string(p) + " -c 'import numpy' 2>/dev/null").exit_status == 0) return p;
  return {};
}

TEST(Readme, PythonExampleWalksConvertedFilesInBothByteOrders) {
  const std::string python = python_with_numpy();
  if (python.empty()) GTEST_SKIP() << "no python3 with NumPy";
  for (const std::string answer : {"No", "Yes"}) {
    TempDir dir;
    convert_case(dir, answer);
    qxtest::write_file(dir.file("walkqx.py"), readme_block("python"));
    for (const std::string file : {"case1_QX2D.TP18", "case1_QXSH.TP18", "case1_QX2D.TP19", "case1_QXSH.TP19"}) {
      const CommandResult r = run_program({python, "walkqx.py", file}, "", dir.path());
      ASSERT_EQ(r.exit_status, 0) << file << ": " << r.err;
      std::vector<std::string> listed;
      for (const std::string& line : qxtest::split_lines(r.out)) {
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (w[0] == "title") {
          const std::size_t nodes = line.find(" nodes ");
          listed.push_back(line.substr(0, nodes));
          std::string counts = line.substr(nodes + 7);
          counts.replace(counts.find(" elements ["), 11, " ");
          counts.pop_back();
          for (char& c : counts) c = c == ',' ? ' ' : c;
          listed.push_back("nodes " + joined(words(counts), 0, 11));
        } else {
          listed.push_back(joined(w, 0, w[0] == "MAXR" ? 2 : 7));
        }
      }
      EXPECT_GT(listed.size(), 8u) << file;
      EXPECT_EQ(listed, dump_summary(dir.file(file))) << file << " answered " << answer;
    }
  }
}

#endif

}  // namespace
