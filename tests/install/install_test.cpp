// `cmake --install` of this build into a fresh prefix: the programs, their
// manual pages and the documents where the usual directories put them, and
// the installed programs at work.
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

  // The case generator is a developer's tool and stays in the build.
  EXPECT_FALSE(qxtest::file_exists(bin + "/qxgen"));
  expect_versions(bin, "installed");
  const std::vector<ManPage> pages = source_pages();
  for (const std::string& program : files_under(bin))
    EXPECT_TRUE(qxtest::file_exists(man + "/man1/" + program + ".1")) << program << " has no manual page";
  for (const ManPage& p : pages) {
    const std::string installed = man + "/man" + p.section + "/" + p.file();
    EXPECT_EQ(read_file(installed), read_file(p.configured())) << installed;
    for (const std::string& m : lint(installed)) ADD_FAILURE() << m;
  }
  for (const char* d : {"README.md", "docs/file-formats.md", "docs/code-map.md"}) {
    const std::string source = std::string(QX_SOURCE_DIR) + "/" + d;
    EXPECT_EQ(read_file(doc + "/" + fs::path(d).filename().string()), read_file(source)) << d;
  }

  expect_converts_like_the_build(bin + "/qxconv", "installed qxconv");
  TempDir dir;
  ASSERT_EQ(convert_example(QXCONV_PATH, dir.path(), {}, "Yes").exit_status, 0);
  for (const char* f : {"case1_QX2D.TP18", "case1_QXSH.TP19"}) {
    const auto mine = qxtest::run_program({bin + "/qxdump", dir.file(f)}),
               build = qxtest::run_program({QXDUMP_PATH, dir.file(f)});
    EXPECT_EQ(mine.exit_status, 0) << f << ": " << mine.err;
    EXPECT_TRUE(mine.out == build.out) << f << ": the installed qxdump lists it otherwise";
  }
}

}  // namespace
