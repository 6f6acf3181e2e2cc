// The operating system's seam of the files, on this system: what the
// writers, readers, staged files and qxdump's exports rely on from it. The
// Windows implementation is proven through the programs under wine
// (tests/tools/windows_check.sh).
#include "io/os_file.hpp"

#include <sys/stat.h>

#include <filesystem>

#include "io_test_util.hpp"

namespace {

namespace fs = std::filesystem;
using namespace qx;
using qxtest::TempDir;

// The parts of a gathered write reach the file in order and whole, also
// where the system takes them in pieces; more parts than the seam gathers
// are refused before anything is written.
TEST(OsFile, GatheredWritesAndPositionedReadsMoveEveryByte) {
  TempDir dir;
  const std::string path = dir.file("out");
  os::File f = os::no_file;
  ASSERT_EQ(os::open_for_writing(path, f), iostat::ok);
  const std::string big(3 << 20, 'b');
  os::WritePart parts[] = {{"head", 4}, {big.data(), big.size()}, {"", 0}, {"tail", 4}};
  ASSERT_TRUE(os::write_all(f, parts));
  os::WritePart too_many[os::max_write_parts + 1] = {};
  for (os::WritePart& p : too_many) p = {"x", 1};
  EXPECT_FALSE(os::write_all(f, too_many));
  ASSERT_TRUE(os::close_file(f));
  const std::string written = qxtest::read_file(path);
  ASSERT_TRUE(written == "head" + big + "tail") << written.size() << " bytes written";

  os::FileFacts facts;
  ASSERT_EQ(os::open_for_reading(path, f, facts), iostat::ok);
  EXPECT_EQ(facts.size, big.size() + 8);
  char tail[16] = {};
  EXPECT_EQ(os::read_at(f, big.size() + 2, tail, sizeof tail), 6) << "fewer bytes at the end of the file";
  EXPECT_EQ(std::string(tail, 6), "bbtail");
  EXPECT_EQ(os::read_at(f, big.size() + 100, tail, sizeof tail), 0);
  std::string all(big.size() + 8, '\0');
  EXPECT_EQ(os::read_at(f, 0, all.data(), all.size()), static_cast<long long>(all.size()));
  EXPECT_TRUE(all == written);
  os::close_file(f);
}

// A file opened for writing keeps what it holds until cut; a file opened for
// reading is a regular file, whatever the name leads to otherwise.
TEST(OsFile, OpensKeepContentsAndTakeOnlyRegularFilesForReading) {
  TempDir dir;
  const std::string path = dir.file("kept");
  qxtest::write_file(path, "contents");
  os::File f = os::no_file;
  ASSERT_EQ(os::open_for_writing(path, f), iostat::ok);
  os::FileFacts facts;
  ASSERT_EQ(os::facts_of(f, facts), 0);
  EXPECT_EQ(facts.size, 8u);
  EXPECT_EQ(os::set_size(f, 3), 0);
  os::close_file(f);
  EXPECT_EQ(qxtest::read_file(path), "con");

  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(os::open_for_reading(dir.file("missing"), f, facts), iostat::not_found);
  EXPECT_EQ(os::open_for_reading(dir.path(), f, facts), iostat::open_failed);
  EXPECT_EQ(qxtest::exit_code_within_seconds([&] {
              os::File g = os::no_file;
              os::FileFacts h;
              return os::open_for_reading(dir.file("fifo"), g, h);
            }),
            iostat::open_failed)
      << "-1: the open waited for the FIFO's writer";
}

// What a name leads to, and what the name itself is.
TEST(OsFile, FactsTellLinksSecondNamesAndMissingFiles) {
  TempDir dir;
  qxtest::write_file(dir.file("file"), "12345");
  fs::create_symlink(dir.file("file"), dir.file("symlink"));
  fs::create_hard_link(dir.file("file"), dir.file("second"));
  os::FileFacts facts;
  ASSERT_EQ(os::facts_of(dir.file("symlink"), false, facts), 0);
  EXPECT_EQ(facts.type, os::FileType::link);
  ASSERT_EQ(os::facts_of(dir.file("symlink"), true, facts), 0);
  EXPECT_EQ(facts.type, os::FileType::regular);
  EXPECT_EQ(facts.size, 5u);
  EXPECT_EQ(facts.links, 2u);
  EXPECT_TRUE(os::owned_by_me(facts));
  ASSERT_EQ(os::facts_of(dir.path(), true, facts), 0);
  EXPECT_EQ(facts.type, os::FileType::directory);
  const int error = os::facts_of(dir.file("missing/file"), true, facts);
  EXPECT_TRUE(os::is_missing(error)) << os::error_text(error);
  EXPECT_FALSE(os::is_missing(0));
}

// The temporary files of the tools' exports: new, empty, open for writing,
// with the permissions of any new file, and never one of the same name twice.
TEST(OsFile, UniqueFilesAreNewAndOpenToWhatANewFileGets) {
  TempDir dir;
  const mode_t mask = umask(027);
  std::string first, second, missing;
  os::File f = os::no_file, g = os::no_file, h = os::no_file;
  ASSERT_EQ(os::create_unique_file(dir.file(".page.html."), first, f), 0);
  ASSERT_EQ(os::create_unique_file(dir.file(".page.html."), second, g), 0);
  umask(mask);
  // Open for writing: what is written shows under the name.
  ASSERT_TRUE(os::write_all(f, "abc", 3));
  os::close_file(f);
  os::close_file(g);
  EXPECT_EQ(fs::file_size(first), 3u);
  EXPECT_EQ(fs::file_size(second), 0u);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first.starts_with(dir.file(".page.html."))) << first;
  EXPECT_EQ(fs::status(first).permissions(), fs::perms(0640));
  EXPECT_TRUE(os::is_missing(os::create_unique_file(dir.file("missing/.page."), missing, h)));
}

}  // namespace
