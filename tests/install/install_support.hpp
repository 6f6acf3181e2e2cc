// What the install and package tests share: the bundled example converted by
// a given qxconv, the manual pages of the source tree, and mandoc's opinion
// of a page.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace qxinstall {

namespace fs = std::filesystem;
using qxtest::read_file;
using qxtest::TempDir;

// The full path of a command found on PATH, empty if there is none.
inline std::string on_path(const std::string& command) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (std::size_t at = 0; at <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, end - at) + "/" + command;
    if (end > at && access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

// Every regular file under `root`, by its path relative to `root`.
inline std::set<std::string> files_under(const std::string& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(root, ec))
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
  return files;
}

// The programs that users run, each installed with its manual page.
inline const std::set<std::string> user_programs{"qxconv", "qxdump", "qxbatch"};

// A manual page of the source tree, docs/man/NAME.S.in.
struct ManPage {
  std::string name, section;
  std::string file() const { return name + "." + section; }
  std::string configured() const { return std::string(QX_BINARY_DIR) + "/man/man" + section + "/" + file(); }
  // Where an install puts it, compressed, under the manual directory `man`.
  std::string installed(const std::string& man) const { return man + "/man" + section + "/" + file() + ".gz"; }
};

// The text of a file compressed with gzip, or "(not gzip: ...)".
inline std::string gunzip(const std::string& path) {
  const qxtest::CommandResult r = qxtest::run_program({"gzip", "-dc", path});
  return r.exit_status == 0 ? r.out : "(not gzip: " + r.err + ")";
}

inline std::vector<ManPage> source_pages() {
  std::vector<ManPage> pages;
  for (const auto& e : fs::directory_iterator(std::string(QX_SOURCE_DIR) + "/docs/man")) {
    const std::string f = e.path().filename().string();
    const std::size_t dot = f.rfind('.', f.size() - 4);
    if (f.ends_with(".in") && dot != std::string::npos)
      pages.push_back({f.substr(0, dot), f.substr(dot + 1, f.size() - 4 - dot)});
  }
  std::sort(pages.begin(), pages.end(), [](const ManPage& a, const ManPage& b) { return a.name < b.name; });
  return pages;
}

// What `mandoc -T lint` says of a page at the levels of warnings and errors.
// Style notes are left out: they depend on the machine (which other manuals
// are installed, whether its manual database is current) and on the footer
// naming the package and its version, not on the page.
inline std::vector<std::string> lint(const std::string& page) {
  const qxtest::CommandResult r = qxtest::run_program({"mandoc", "-T", "lint", "-W", "warning", page});
  if (r.exit_status == 127) return {"mandoc is not installed (Debian package mandoc; tools/deps.sh test)"};
  std::vector<std::string> messages = qxtest::split_lines(r.out + r.err);
  if (r.exit_status != 0 && messages.empty()) messages.push_back("mandoc exited with status " + std::to_string(r.exit_status));
  return messages;
}

// A page as a reader sees it on a terminal, without the overstriking of bold
// and underlined words.
inline std::string render(const std::string& page) {
  const std::string out = qxtest::run_program({"mandoc", "-T", "ascii", page}).out;
  std::string text;
  for (char c : out) {
    if (c == '\b' && !text.empty())
      text.pop_back();
    else if (c != '\b')
      text.push_back(c);
  }
  return text;
}

// One run of a qxconv on the bundled example: what it showed, how it ended,
// and every file it left next to the inputs.
struct Conversion {
  int exit_status = -1;
  std::string terminal;
  std::map<std::string, std::string> files;
};

inline Conversion convert_example(const std::string& qxconv, const std::string& dir,
                                  const std::vector<std::string>& options, const std::string& big_endian) {
  std::vector<std::string> argv{qxconv};
  argv.insert(argv.end(), options.begin(), options.end());
  for (const char* input : {"case1.qxin", "case1.TP18", "case1.TP19"})
    fs::copy_file(std::string(QX_SOURCE_DIR) + "/example/" + input, dir + "/" + input);
  const qxtest::CommandResult r = qxtest::run_program(argv, "case1.qxin\ncase1.TP18\n" + big_endian + "\n", dir);
  Conversion c{r.exit_status, r.out, {}};
  for (const std::string& f : files_under(dir))
    if (f != "case1.qxin" && f != "case1.TP18" && f != "case1.TP19") c.files[f] = read_file(dir + "/" + f);
  return c;
}

// `qxconv` converts the example as the build's own qxconv does, byte for
// byte, without and with every run option, in both byte orders.
inline void expect_converts_like_the_build(const std::string& qxconv, const std::string& what) {
  const std::vector<std::string> every_option{"-stru", "-spec", "-ampl", "-wave", "-maxr", "-four"};
  for (const auto& options : {std::vector<std::string>{}, every_option}) {
    for (const std::string answer : {"No", "Yes"}) {
      const std::string run = what + (options.empty() ? " without options, " : " with every option, ") + answer;
      TempDir mine, build;
      const Conversion m = convert_example(qxconv, mine.path(), options, answer);
      const Conversion b = convert_example(QXCONV_PATH, build.path(), options, answer);
      ASSERT_EQ(b.exit_status, 0) << run << ": the build's qxconv failed:\n" << b.terminal;
      EXPECT_EQ(m.exit_status, 0) << run;
      EXPECT_EQ(m.terminal, b.terminal) << run;
      EXPECT_EQ(b.files.size(), options.empty() ? 5u : 11u) << run;
      for (const auto& [name, bytes] : b.files) {
        const auto it = m.files.find(name);
        EXPECT_TRUE(it != m.files.end() && it->second == bytes) << run << ": " << name << " differs or is missing";
      }
      EXPECT_EQ(m.files.size(), b.files.size()) << run << ": other files written";
    }
  }
}

// `bin` holds every program that users run and nothing else, and each
// answers --version with its name and the project version and exits 0
// (qxdump built without HDF5 adds a line that says so).
inline void expect_versions(const std::string& bin, const std::string& what) {
  EXPECT_EQ(files_under(bin), user_programs) << what;
  for (const std::string& p : files_under(bin)) {
    const qxtest::CommandResult r = qxtest::run_program({bin + "/" + p, "--version"});
    EXPECT_EQ(r.exit_status, 0) << what << ": " << p << " --version";
    const std::string first = r.out.substr(0, r.out.find('\n') + 1);
    EXPECT_EQ(first, p + " " + QX_PROJECT_VERSION + "\n") << what << ": " << p << " --version";
#ifndef QX_HAVE_HDF5
    if (p == "qxdump") {
      EXPECT_NE(r.out.find("\nbuilt without HDF5"), std::string::npos) << r.out;
      continue;
    }
#endif
    EXPECT_EQ(r.out, first) << what << ": " << p << " --version";
  }
}

}  // namespace qxinstall
