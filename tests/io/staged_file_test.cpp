#include "io/staged_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// A file written aside or in place, dropped before or after its temporary
// name or put in place: the target shows the new contents only once put in
// place, keeps its permissions (aside) or its inode (in place), and no other
// name is left in the directory.
TEST(StagedFile, TheTargetShowsTheNewContentsOnlyWhenPutInPlace) {
  struct Case {
    std::string earlier;  // empty: written in place
    bool linked, put;
  };
  for (const Case& c : {Case{"old contents", false, false}, Case{"old contents", true, false},
                        Case{"old contents", true, true}, Case{"", false, false}, Case{"", true, true}}) {
    const std::string what = (c.earlier.empty() ? "in place" : "aside") + std::string(c.put ? ", put" : ", dropped");
    TempDir dir;
    const std::string target = dir.file("out.TP19");
    qxtest::write_file(target, c.earlier);
    ::chmod(target.c_str(), 0604);
    struct stat before {};
    ::stat(target.c_str(), &before);
    {
      StagedFile f;
      ASSERT_TRUE(f.stage_for(target)) << what;
      write_through(f, "new contents");
      EXPECT_EQ(f.size(), 12) << what;
      if (!c.earlier.empty()) {
        EXPECT_EQ(qxtest::read_file(target), c.earlier) << what << ": a file aside";
      }
      if (c.linked) {
        ASSERT_TRUE(f.link_beside()) << what;
        if (c.put) {
          ASSERT_TRUE(f.replace_target()) << what;
        }
      }
    }
    EXPECT_EQ(qxtest::read_file(target), c.put ? "new contents" : c.earlier) << what;
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0604)) << what;
    struct stat after {};
    ::stat(target.c_str(), &after);
    if (c.earlier.empty()) {
      EXPECT_EQ(after.st_ino, before.st_ino) << what;
    }
    EXPECT_EQ(names_in(dir), std::set<std::string>{"out.TP19"}) << what;
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
  EXPECT_EQ(qx::directory_of("case_QX2D.TP19"), ".");
  EXPECT_EQ(qx::directory_of("/case"), "/");
  EXPECT_EQ(qx::directory_of("a/b/case"), "a/b");
}

// A new file for a name that need not exist yet: under a hidden name beside
// it, written through that name, with the permissions of a new file; in
// place of whatever bore the name once put, and gone when dropped.
TEST(StagedFile, ANewFileReplacesWhateverBearsTheNameOnlyWhenPut) {
  const mode_t mask = ::umask(022);
  for (const bool put : {false, true})
    for (const bool existing : {false, true}) {
      const std::string what = std::string(put ? "put" : "dropped") + (existing ? ", over a file" : ", no file");
      TempDir dir;
      const std::string target = dir.file("out.html");
      if (existing) qxtest::write_file(target, "older");
      {
        StagedFile f;
        int error = -1;
        ASSERT_TRUE(f.stage_new(target, error)) << what;
        EXPECT_TRUE(f.path().starts_with(dir.path() + "/.out.html.")) << what << ": " << f.path();
        write_through(f, "page");
        EXPECT_EQ(names_in(dir).size(), std::size_t{existing} + 1) << what;
        if (put) {
          ASSERT_TRUE(f.link_beside()) << what;
          ASSERT_TRUE(f.replace_target()) << what;
        }
      }
      const std::set<std::string> left =
          put || existing ? std::set<std::string>{"out.html"} : std::set<std::string>{};
      EXPECT_EQ(names_in(dir), left) << what;
      if (put) {
        EXPECT_EQ(qxtest::read_file(target), "page") << what;
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(0644)) << what;
      } else if (existing) {
        EXPECT_EQ(qxtest::read_file(target), "older") << what;
      }
    }
  ::umask(mask);
  StagedFile f;
  int error = 0;
  EXPECT_FALSE(f.stage_new("/nonexistent-directory-of-qx/out.h5", error));
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
