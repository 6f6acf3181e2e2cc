// The Debian package made by cpack from this build: its control fields, its
// files, and the unpacked programs at work.
#include <gtest/gtest.h>

#include <regex>

#include "install/install_support.hpp"

namespace {

using namespace qxinstall;

std::string field(const std::string& deb, const std::string& name) {
  const qxtest::CommandResult r = qxtest::run_program({"dpkg-deb", "--field", deb, name});
  EXPECT_EQ(r.exit_status, 0) << name << ": " << r.err;
  return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
}

TEST(Package, DebHoldsWhatInstallInstallsAndConvertsLikeTheBuild) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "a package of the sanitizer build would depend on the sanitizer runtimes: "
                  "the normal build tests the package";
#endif
  for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "file"})
    if (on_path(tool).empty()) GTEST_SKIP() << tool << " is not installed (Debian packages dpkg-dev and file)";

  TempDir work;
  const qxtest::CommandResult made = qxtest::run_program(
      {QX_CPACK_COMMAND, "--config", std::string(QX_BINARY_DIR) + "/CPackConfig.cmake", "-G", "DEB", "-B",
       work.file("out")});
  ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
  std::vector<std::string> debs;
  for (const auto& e : fs::directory_iterator(work.file("out")))
    if (e.path().extension() == ".deb") debs.push_back(e.path().string());
  ASSERT_EQ(debs.size(), 1u) << made.out;
  const std::string deb = debs[0];
  EXPECT_TRUE(fs::path(deb).filename().string().starts_with("qxconv_" QX_PROJECT_VERSION "_")) << deb;

  EXPECT_EQ(field(deb, "Package"), "qxconv");
  EXPECT_EQ(field(deb, "Version"), QX_PROJECT_VERSION);
  EXPECT_EQ(field(deb, "Section"), "science");
  EXPECT_EQ(field(deb, "Maintainer"), QX_PACKAGE_MAINTAINER);
  EXPECT_EQ(field(deb, "Homepage"), QX_PACKAGE_HOMEPAGE);
  const std::string description = field(deb, "Description");
  for (const std::string& program : user_programs)
    EXPECT_TRUE(std::regex_search(description, std::regex("(^|\\s)" + program + "\\s"))) << program << " in\n"
                                                                                         << description;
  const std::string depends = field(deb, "Depends");
  EXPECT_TRUE(std::regex_search(depends, std::regex("(^|, )libc6( |,|$)")) &&
              std::regex_search(depends, std::regex("(^|, )libstdc\\+\\+6( |,|$)")))
      << "Depends: " << depends;

  const std::string root = work.file("root"), usr = root + "/usr";
  const qxtest::CommandResult unpacked = qxtest::run_program({"dpkg-deb", "-x", deb, root});
  ASSERT_EQ(unpacked.exit_status, 0) << unpacked.err;
  const qxtest::CommandResult installed =
      qxtest::run_program({QX_CMAKE_COMMAND, "--install", QX_BINARY_DIR, "--prefix", work.file("prefix")});
  ASSERT_EQ(installed.exit_status, 0) << installed.err;
  EXPECT_EQ(files_under(usr), files_under(work.file("prefix"))) << "the package holds other files than an install";
  EXPECT_EQ(files_under(root).size(), files_under(usr).size()) << "the package holds files outside /usr";
  // Pages and documents alike; the programs are stripped in the package.
  for (const std::string& f : files_under(work.file("prefix"))) {
    if (f.starts_with(std::string(QX_INSTALL_BINDIR) + "/")) continue;
    EXPECT_EQ(read_file(usr + "/" + f), read_file(work.file("prefix/" + f))) << f;
  }

  expect_versions(usr + "/" + QX_INSTALL_BINDIR, "unpacked");
  expect_converts_like_the_build(usr + "/" + QX_INSTALL_BINDIR + "/qxconv", "unpacked qxconv");
}

}  // namespace
