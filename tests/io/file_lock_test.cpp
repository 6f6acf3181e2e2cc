// Locks on the files of a case: exclusive against every other open of the
// file, whatever name reaches it, until released; never taken on a special
// file and never waiting, not even for a FIFO's writer.
#include "io/file_lock.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "io_test_util.hpp"

using namespace qx;
using namespace qxtest;
using Outcome = FileLocks::Outcome;

TEST(FileLocks, HeldAgainstEveryOtherOpenOfTheFileUntilReleased) {
  TempDir dir;
  const std::string path = dir.file("case.TP18"), link = dir.file("link.TP18");
  write_file(path, "results");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  int error = -1;
  FileLocks first, second;
  ASSERT_EQ(first.lock(path, error), Outcome::locked);
  EXPECT_EQ(error, 0);
  // A lock belongs to its own open of the file: a second one in the same
  // process, or in another, is kept out as well, also through a link.
  EXPECT_EQ(second.lock(path, error), Outcome::busy);
  EXPECT_EQ(second.lock(link, error), Outcome::busy);
  EXPECT_EQ(exit_code_within_seconds([&] {
              FileLocks other;
              int e = 0;
              return static_cast<int>(other.lock(path, e));
            }),
            static_cast<int>(Outcome::busy));
  first.release();
  EXPECT_EQ(second.lock(link, error), Outcome::locked);
  EXPECT_EQ(read_file(path), "results") << "locking leaves the file as it is";
  // Files that cannot be opened: nothing to hold.
  EXPECT_EQ(first.lock(dir.file("missing.TP19"), error), Outcome::skipped);
  EXPECT_EQ(first.lock(dir.path(), error), Outcome::skipped);
}

TEST(FileLocks, SpecialFilesAreSkippedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.file("fifo.TP18"), socket = dir.file("socket.TP18");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int listening = bind_socket(socket);
  ASSERT_GE(listening, 0);
  // A FIFO without a writer would block an open that waits.
  const int skipped = exit_code_within_seconds([&] {
    FileLocks locks;
    int error = 0, taken = 0;
    for (const std::string& p : {fifo, socket, std::string("/dev/null")})
      taken += locks.lock(p, error) != Outcome::skipped;
    return taken;
  });
  EXPECT_EQ(skipped, 0) << "-1: the lock waited for the FIFO";
  close(listening);
}
