// `cmake --install` into a fresh prefix: the programs, their manual pages and
// the documents where the usual directories put them, and the installed
// programs at work. tools/check.sh runs it right after the Quick start's
// build, which builds the programs without the tests.
#include <gtest/gtest.h>

#include "install/install_support.hpp"

namespace {

using namespace qxinstall;

TEST(Install, PrefixHoldsWorkingProgramsTheirPagesAndTheDocuments) {
  TempDir prefix;
  const qxtest::CommandResult r =
      qxtest::run_program({QX_CMAKE_COMMAND, "--install", QX_BINARY_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  const std::string bin = prefix.file(QX_INSTALL_BINDIR), man = prefix.file(QX_INSTALL_MANDIR),
                    doc = prefix.file(QX_INSTALL_DOCDIR);
  EXPECT_EQ(std::string(QX_INSTALL_MANDIR) + " " + QX_INSTALL_DOCDIR, "share/man share/doc/qxconv");

  // Every program that users run, and no other: the case generator is a
  // developer's tool and stays in the build.
  expect_versions(bin, "installed");
  std::set<std::string> page_names;
  for (const ManPage& p : source_pages()) {
    page_names.insert(p.name);
    const std::string installed = p.installed(man);
    EXPECT_EQ(gunzip(installed), read_file(p.configured())) << installed;
    for (const std::string& m : lint(installed)) ADD_FAILURE() << m;
  }
  EXPECT_EQ(page_names, user_programs) << "a page for every program, and only for them";
  for (const std::string& f : files_under(man)) EXPECT_TRUE(f.ends_with(".gz")) << f << " is not compressed";

  for (const char* d : {"README.md", "docs/file-formats.md", "docs/reading.md", "docs/code-map.md"}) {
    const std::string source = std::string(QX_SOURCE_DIR) + "/" + d;
    EXPECT_EQ(read_file(doc + "/" + fs::path(d).filename().string()), read_file(source)) << d;
  }
  // The licences, and the changelog whose first entry is this version.
  const std::string copyright = read_file(doc + "/copyright");
  EXPECT_TRUE(copyright.starts_with("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
  for (const char* named : {"\nFiles: *\nCopyright: 2026 qxconv maintainers\nLicense: MIT\n",
                            "\nFiles: tools/qxdump/html/vendor/uplot-*\n", "\nLicense: MIT\n Permission is hereby"})
    EXPECT_NE(copyright.find(named), std::string::npos) << named;
  EXPECT_TRUE(gunzip(doc + "/changelog.gz").starts_with("qxconv (" QX_PROJECT_VERSION ") unstable; "));
  // The documents for users, and only them: docs/development.md is not one.
  EXPECT_EQ(files_under(doc), (std::set<std::string>{"README.md", "file-formats.md", "reading.md", "code-map.md",
                                                     "copyright", "changelog.gz"}));

  expect_converts_like_the_build(bin + "/qxconv", "installed qxconv");
  TempDir dir;
  ASSERT_EQ(convert_example(QXCONV_PATH, dir.path(), {}, "Yes").exit_status, 0);
  for (const char* f : {"case1_QX2D.TP18", "case1_QXSH.TP19"}) {
    const auto mine = qxtest::run_program({bin + "/qxdump", dir.file(f)}),
               build = qxtest::run_program({QXDUMP_PATH, dir.file(f)});
    EXPECT_EQ(mine.exit_status, 0) << f << ": " << mine.err;
    EXPECT_TRUE(mine.out == build.out) << f << ": the installed qxdump lists it otherwise";
  }
  const auto batch = qxtest::run_program({bin + "/qxbatch", "--help"});
  EXPECT_EQ(batch.exit_status, 0) << batch.err;
}

// A build whose programs were never built: the install and cpack stop before
// copying a file and name the command that builds them. The maintainer and
// the home page given when configuring reach the package and its documents.
TEST(Install, StopsBeforeAnyFileWhenAProgramIsNotBuilt) {
  TempDir work;
  const std::string build = work.file("build");
  const std::string maintainer = "Release Team <release@example.org>", homepage = "https://example.org/qxconv";
  const qxtest::CommandResult configured = qxtest::run_program(
      {QX_CMAKE_COMMAND, "-S", QX_SOURCE_DIR, "-B", build, "-G", "Ninja", "-DQX_TESTS=OFF",
       "-DQX_PACKAGE_MAINTAINER=" + maintainer, "-DQX_PACKAGE_HOMEPAGE=" + homepage});
  ASSERT_EQ(configured.exit_status, 0) << configured.err;

  const qxtest::CommandResult installed =
      qxtest::run_program({QX_CMAKE_COMMAND, "--install", build, "--prefix", work.file("prefix")});
  EXPECT_NE(installed.exit_status, 0);
  for (const std::string& told : {std::string("qxconv has not been built, so nothing was installed"),
                                  "\n    cmake --build " + build + "\n"})
    EXPECT_NE(installed.err.find(told), std::string::npos) << told << " in\n" << installed.err;
  EXPECT_TRUE(files_under(work.file("prefix")).empty()) << "a file was installed";
  const qxtest::CommandResult packed = qxtest::run_program(
      {QX_CPACK_COMMAND, "--config", build + "/CPackConfig.cmake", "-G", "DEB", "-B", work.file("out")});
  EXPECT_NE(packed.exit_status, 0);
  EXPECT_NE((packed.out + packed.err).find("qxconv has not been built"), std::string::npos) << packed.out << packed.err;

  const std::string cpack = read_file(build + "/CPackConfig.cmake");
  EXPECT_NE(cpack.find("set(CPACK_DEBIAN_PACKAGE_MAINTAINER \"" + maintainer + "\")"), std::string::npos);
  EXPECT_NE(cpack.find("set(CPACK_DEBIAN_PACKAGE_HOMEPAGE \"" + homepage + "\")"), std::string::npos);
  EXPECT_NE(read_file(build + "/debian/changelog").find("\n -- " + maintainer + "  "), std::string::npos);
  const std::string copyright = read_file(build + "/debian/copyright");
  EXPECT_NE(copyright.find("\nUpstream-Contact: " + maintainer + "\nSource: " + homepage + "\n"), std::string::npos)
      << copyright;
}

}  // namespace
