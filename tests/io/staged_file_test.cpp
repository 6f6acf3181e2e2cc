#include "io/staged_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/test_support.hpp"

namespace {

namespace fs = std::filesystem;
using qx::StagedFile;
using qxtest::TempDir;

std::set<std::string> names_in(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename().string());
  return names;
}

// Writes through the path a writer opens, as the channels do.
void write_through(const StagedFile& f, const std::string& text) {
  const int fd = ::open(f.path().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(fd, 0) << f.path();
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fd);
}

TEST(StagedFile, TakesTheTargetsPlaceWithItsPermissionsOnlyWhenPutThere) {
  TempDir dir;
  const std::string target = dir.file("out.TP19");
  qxtest::write_file(target, "old contents");
  ::chmod(target.c_str(), 0604);
  {
    StagedFile f;
    ASSERT_TRUE(f.stage_for(target));
    write_through(f, "new contents");
    EXPECT_EQ(f.size(), 12);
    EXPECT_EQ(names_in(dir), std::set<std::string>{"out.TP19"}) << "a file aside has no name";
    EXPECT_EQ(qxtest::read_file(target), "old contents");
    ASSERT_TRUE(f.link_beside());
    EXPECT_EQ(names_in(dir).size(), 2u);
    ASSERT_TRUE(f.replace_target());
  }
  EXPECT_EQ(qxtest::read_file(target), "new contents");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0604));
  EXPECT_EQ(names_in(dir), std::set<std::string>{"out.TP19"});
}

TEST(StagedFile, ADroppedFileLeavesTheTargetAndNoName) {
  TempDir dir;
  const std::string target = dir.file("out.TP19");
  qxtest::write_file(target, "old contents");
  for (bool linked : {false, true}) {
    {
      StagedFile f;
      ASSERT_TRUE(f.stage_for(target));
      write_through(f, "new contents");
      if (linked) {
        ASSERT_TRUE(f.link_beside());
      }
    }
    EXPECT_EQ(qxtest::read_file(target), "old contents") << linked;
    EXPECT_EQ(names_in(dir), std::set<std::string>{"out.TP19"}) << linked;
  }
}

TEST(StagedFile, AnEmptyTargetIsWrittenWhereItStandsAndEmptiedWhenDropped) {
  TempDir dir;
  const std::string target = dir.file("out.TP19");
  qxtest::write_file(target, "");
  struct stat before {};
  ::stat(target.c_str(), &before);
  for (bool put_in_place : {false, true}) {
    {
      StagedFile f;
      ASSERT_TRUE(f.stage_for(target));
      write_through(f, "new contents");
      EXPECT_EQ(qxtest::read_file(target), "new contents");
      if (put_in_place) {
        ASSERT_TRUE(f.link_beside());
        ASSERT_TRUE(f.replace_target());
      }
    }
    EXPECT_EQ(qxtest::read_file(target), put_in_place ? "new contents" : "") << put_in_place;
    struct stat after {};
    ::stat(target.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 1u);
    EXPECT_EQ(names_in(dir), std::set<std::string>{"out.TP19"});
  }
}

// A rename would change what the target's owner sees: where a link points,
// what a second name shows, who owns the file.
TEST(StagedFile, RefusesATargetThatARenameWouldChange) {
  TempDir dir;
  qxtest::write_file(dir.file("file"), "x");
  qxtest::write_file(dir.file("linked"), "x");
  fs::create_hard_link(dir.file("linked"), dir.file("second name"));
  fs::create_symlink(dir.file("file"), dir.file("symlink"));
  fs::create_directory(dir.file("directory"));
  StagedFile f;
  EXPECT_TRUE(f.stage_for(dir.file("file")));
  for (const char* name : {"linked", "symlink", "directory", "missing"})
    EXPECT_FALSE(f.stage_for(dir.file(name))) << name;
  EXPECT_FALSE(f.staged());
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir.file("file").c_str(), 4242, static_cast<gid_t>(-1)), 0);
    EXPECT_FALSE(f.stage_for(dir.file("file"))) << "a file of another owner";
  }
  EXPECT_FALSE(f.stage_for(dir.file("no directory/out")));
}

TEST(StagedFile, AScratchFileIsNeverNamed) {
  TempDir dir;
  {
    StagedFile f;
    ASSERT_TRUE(f.make_scratch(dir.path()));
    write_through(f, "lines\n");
    char back[6] = {};
    EXPECT_EQ(::pread(f.fd(), back, sizeof back, 0), 6);
    EXPECT_EQ(std::string(back, 6), "lines\n");
    EXPECT_FALSE(f.link_beside());
    EXPECT_TRUE(names_in(dir).empty());
  }
  EXPECT_TRUE(names_in(dir).empty());
  EXPECT_EQ(qx::directory_of("case_QX2D.TP19"), ".");
  EXPECT_EQ(qx::directory_of("/case"), "/");
  EXPECT_EQ(qx::directory_of("a/b/case"), "a/b");
}

}  // namespace
