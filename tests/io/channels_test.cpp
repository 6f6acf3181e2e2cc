// The channel table, text files and files open for reading and writing: open
// statuses, closing with keep or delete, going back over lines, lost output.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "io/channels.hpp"
#include "io/text_file.hpp"
#include "io/update_file.hpp"
#include "io_test_util.hpp"
#include "support/write_faults.hpp"

using namespace qx;
using namespace qxtest;

TEST(Channels, OpenCloseAndTheWrongKindOfChannel) {
  TempDir dir;
  Channels ch;
  EXPECT_EQ(ch.open_binary_read(18, dir.file("missing.TP18"), ByteOrder::little), iostat::not_found);
  EXPECT_EQ(ch.open_text_read(71, dir.file("no/such/dir.qxin")), iostat::not_found);
  // A directory is not a file, for reading and for writing.
  EXPECT_EQ(ch.open_binary_read(18, dir.path(), ByteOrder::little), iostat::open_failed);
  EXPECT_EQ(ch.open_binary_write(20, dir.path(), ByteOrder::big), iostat::open_failed);
  EXPECT_EQ(ch.open_text_write(7, dir.path()), iostat::open_failed);
  EXPECT_FALSE(ch.is_open(7));
  // Names are trimmed; a deleting close removes the file.
  const std::string path = dir.file("case_TP18-19_COVT.lst");
  ASSERT_EQ(ch.open_text_write(7, path + "    "), 0);
  EXPECT_EQ(ch.name(7), path);
  EXPECT_EQ(ch.kind(7), ChannelKind::text_write);
  EXPECT_EQ(ch.close(7, false), 0);
  EXPECT_FALSE(qxtest::file_exists(path));
  EXPECT_EQ(ch.close(7), 0) << "closing a closed channel is harmless";
  ASSERT_EQ(ch.open_binary_write(20, dir.file("a.bin"), ByteOrder::little), 0);
  std::int32_t v = 0;
  // The wrong kind of channel, or none.
  EXPECT_EQ(ch.read_record(20, {in(v)}), iostat::read_failed);
  EXPECT_EQ(ch.write_record(21, {out(v)}), iostat::write_failed);
  EXPECT_TRUE(ch.backspace(20) == iostat::backspace_failed && ch.rewind(20) == iostat::rewind_failed);
  EXPECT_EQ(ch.write_record(20, {out(v)}), 0);
  ch.close_all();
  EXPECT_EQ(read_file(dir.file("a.bin")).size(), 12u) << "close_all keeps the files";
}

// A deleting close of a link removes only the link; a device named as the
// file stays (as root, removing /dev/full would take it from the machine).
TEST(Channels, ADeletingCloseRemovesNamesNotDevices) {
  TempDir dir;
  Channels ch;
  write_file(dir.file("target"), "kept");
  ASSERT_EQ(symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
  ASSERT_EQ(ch.open_text_write(7, dir.file("link")), 0);
  EXPECT_EQ(ch.close(7, false), 0);
  EXPECT_FALSE(file_exists(dir.file("link")));
  EXPECT_TRUE(file_exists(dir.file("target")));
  const std::string device = dir.file("full");
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "no device nodes here";
  ASSERT_EQ(ch.open_text_write(7, device), 0);
  EXPECT_EQ(ch.close(7, false), 0);
  struct stat st {};
  EXPECT_TRUE(lstat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode));
}

// The inputs of a run are read to their end: only a regular file (or a link
// to one) can be. A FIFO, socket or device is refused as an open failure, at
// once: the open does not wait for a FIFO's writer.
TEST(Channels, InputsAreRegularFilesOpenedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.file("case.TP18"), socket = dir.file("case.TP19"), link = dir.file("link.qxin");
  write_file(dir.file("case.qxin"), "TITLE   x\n");
  ASSERT_EQ(symlink(dir.file("case.qxin").c_str(), link.c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int listening = bind_socket(socket);
  ASSERT_GE(listening, 0);
  const int refused = exit_code_within_seconds([&] {
    Channels ch;
    int wrong = 0;
    for (const std::string& p : {fifo, socket, std::string("/dev/null"), std::string("/dev/zero")}) {
      wrong += ch.open_text_read(71, p) != iostat::open_failed;
      wrong += ch.open_binary_read(18, p, ByteOrder::little) != iostat::open_failed;
    }
    wrong += ch.open_text_read(71, link) != iostat::ok;
    std::string_view line;
    wrong += ch.read_line(71, line) != iostat::ok || line != "TITLE   x";
    wrong += ch.open_binary_read(18, link, ByteOrder::little) != iostat::ok;
    return wrong;
  });
  EXPECT_EQ(refused, 0) << "-1: an open waited";
  close(listening);
}

TEST(TextFiles, LinesAreReadOnceOrAgainAfterGoingBack) {
  TempDir dir;
  const std::string path = dir.file("m.qxin");
  write_file(path, "TITLE   one\r\n\nNODE           2\n" + std::string(10000, 'x') + "\nlast without feed");
  TextReader r;
  UpdateFile f;
  ASSERT_EQ(r.open(path), 0);
  ASSERT_EQ(f.open(path, UpdateFile::Form::text, ByteOrder::little), 0);
  EXPECT_EQ(r.backspace(), iostat::backspace_failed) << "nothing read yet";
  // A carriage return before the line feed is dropped; an endless line is
  // cut. The read-write file reads alike.
  auto read = [](auto& rd) {
    qxtest::expect_lines(rd, {"TITLE   one", "", "NODE           2", "<back>", "NODE           2",
                              std::string(TextReader::max_line, 'x'), "last without feed", "<eof>"});
    EXPECT_EQ(rd.rewind(), 0);
    qxtest::expect_lines(rd, {"TITLE   one"});
  };
  read(r);
  read(f);
  // A write after the first line cuts the rest; going back then finds the
  // line just written, across a long line before it.
  ASSERT_EQ(f.put(std::string(5000, 'y') + "\n"), 0);
  ASSERT_EQ(f.put("end\n"), 0);
  qxtest::expect_lines(f, {"<eof>", "<back>", "end", "<back>", "<back>", std::string(4096, 'y')});
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(read_file(path), "TITLE   one\r\n" + std::string(5000, 'y') + "\nend\n");
}

// Short lines are gathered, long runs go out at once: the file holds all in
// order, in place of its old contents; a full disk is told from then on.
TEST(TextFiles, ShortAndLongOutputKeepTheirOrder) {
  std::string run;
  for (int i = 0; run.size() < 900'000; ++i) run += "line " + std::to_string(i) + "\n";
  const std::vector<std::string> pieces = {"first\n", run.substr(0, 300'000), "between\n", run.substr(300'000), "last\n"};
  std::string expected;
  for (const auto& p : pieces) expected += p;
  TempDir dir;
  const std::string path = dir.file("t.txt");
  for (std::size_t budget : {expected.size(), std::size_t{3}, std::size_t{100'000}, expected.size() - 3}) {
    write_file(path, "old contents\nmore\n");
    TextWriter w;
    ASSERT_EQ(w.open(path), 0);
    qxtest::WriteBudget disk(path, budget);
    bool failed = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const int st = w.put(pieces[i]);
      failed = failed || st != 0;
      EXPECT_TRUE(!failed || st == iostat::write_failed) << "budget " << budget << ", piece " << i;
    }
    EXPECT_EQ(w.close(), budget < expected.size() ? iostat::write_failed : 0) << "budget " << budget;
    EXPECT_TRUE(read_file(path) == expected.substr(0, budget)) << "budget " << budget;
  }
}

TEST(UpdateFile, FailedWritesAreKeptUntilTheClose) {
  UpdateFile f;
  double d = 0.5;
  EXPECT_EQ(f.write({out(d)}), iostat::write_failed) << "not open";
  EXPECT_EQ(f.read({in(d)}), iostat::read_failed);
  ASSERT_EQ(f.open("/dev/full", UpdateFile::Form::text, ByteOrder::little), 0);
  for (const char* t : {"lost\n", "lost too\n"}) EXPECT_EQ(f.put(t), iostat::write_failed);
  EXPECT_EQ(f.flush(), iostat::write_failed);
  EXPECT_EQ(f.close(), iostat::write_failed);
}
