// utpfls: what each mode number opens or closes, the byte order of mode 4,
// the statuses of failed opens, and modes without a meaning.
#include "control/utpfls.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "control/run.hpp"
#include "io/status.hpp"
#include "support/test_support.hpp"

using qxtest::file_exists;
using qxtest::read_file;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

TEST(Utpfls, Mode4WritesInTheByteOrderOfTheRunAndMode3ReadsLittleEndian) {
  TempDir dir;
  qx::Run run;
  int st = -7;
  const std::int32_t one = 1;
  for (const char* conv : {"LITTLE_ENDIAN", "BIG_ENDIAN   "}) {
    run.val.conv = conv;
    const std::string path = dir.file(std::string(conv, 3) + ".bin");
    qx::utpfls(run, path + "   ", 20, 4, st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(run.ch.kind(20), qx::ChannelKind::binary_write);
    ASSERT_EQ(run.ch.write_record(20, {qx::out(one)}), 0);
    qx::utpfls(run, "", 20, 1, st);
    EXPECT_EQ(st, 0);
    EXPECT_FALSE(run.ch.is_open(20));
  }
  EXPECT_EQ(read_file(dir.file("LIT.bin")), bytes({4, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0}));
  EXPECT_EQ(read_file(dir.file("BIG.bin")), bytes({0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 4}));

  // Mode 3 reads little-endian whatever the run's byte order.
  std::int32_t v = 0;
  qx::utpfls(run, dir.file("LIT.bin"), 18, 3, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(run.ch.read_record(18, {qx::in(v)}), 0);
  EXPECT_EQ(v, 1);
  qx::utpfls(run, dir.file("BIG.bin"), 18, 3, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(run.ch.read_record(18, {qx::in(v)}), qx::iostat::read_failed)
      << "a big-endian length marker is not a record of a little-endian file";
}

TEST(Utpfls, TextModesAndClosingWithKeepOrDelete) {
  TempDir dir;
  qx::Run run;
  int st = -7;
  static const qx::Layout line("(A)");
  const std::string path = dir.file("a.txt");
  qx::utpfls(run, path, 24, 7, st);
  ASSERT_EQ(st, 0);
  ASSERT_EQ(run.ch.write_text(24, line, {qx::out_text("written")}), 0);
  qx::utpfls(run, path, 24, 1, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(read_file(path), "written\n");

  qx::utpfls(run, path, 71, 6, st);
  ASSERT_EQ(st, 0);
  std::string_view text;
  ASSERT_EQ(run.ch.read_line(71, text), 0);
  EXPECT_EQ(text, "written");
  qx::utpfls(run, "ignored name", 71, 2, st);
  EXPECT_EQ(st, 0);
  EXPECT_FALSE(file_exists(path)) << "mode 2 deletes the file of the channel, not a file of the name given";

  // Closing a channel that is not open is no failure and deletes nothing.
  write_file(dir.file("b.txt"), "keep");
  st = -7;
  qx::utpfls(run, dir.file("b.txt"), 24, 2, st);
  EXPECT_EQ(st, 0);
  EXPECT_TRUE(file_exists(dir.file("b.txt")));
}

TEST(Utpfls, FailedOpensCarryTheStatusOfTheirCause) {
  TempDir dir;
  mkdir(dir.file("d").c_str(), 0755);
  qx::Run run;
  struct Failure {
    std::string name;
    int mode, status;
  };
  const Failure failures[] = {
      {dir.file("missing.TP18"), 3, qx::iostat::not_found},
      {dir.file("missing.qxin"), 6, qx::iostat::not_found},
      {dir.file("no/such.TP18"), 4, qx::iostat::not_found},
      {dir.file("no/such.txt"), 7, qx::iostat::not_found},
      {dir.file("d"), 3, qx::iostat::open_failed},
      {dir.file("d"), 4, qx::iostat::open_failed},
      {dir.file("d"), 5, qx::iostat::open_failed},
      {dir.file("d"), 6, qx::iostat::open_failed},
      {dir.file("d"), 7, qx::iostat::open_failed},
      {dir.file("d"), 8, qx::iostat::open_failed},
  };
  for (const Failure& f : failures) {
    int st = 0;
    qx::utpfls(run, f.name, 30, f.mode, st);
    EXPECT_EQ(st, f.status) << f.name << " mode " << f.mode;
    EXPECT_FALSE(run.ch.is_open(30));
  }
  EXPECT_FALSE(file_exists(dir.file("missing.TP18"))) << "opening to read creates nothing";
}

TEST(Utpfls, ModesOutsideTheTableDoNothing) {
  TempDir dir;
  qx::Run run;
  for (int key : {0, -1, 11, 12, 100}) {
    int st = 1234;
    qx::utpfls(run, dir.file("x.txt"), 7, key, st);
    EXPECT_EQ(st, 1234) << key;
    EXPECT_FALSE(run.ch.is_open(7)) << key;
  }
  EXPECT_FALSE(file_exists(dir.file("x.txt")));
  // Not even a close.
  int st = 0;
  qx::utpfls(run, dir.file("x.txt"), 7, 7, st);
  ASSERT_EQ(st, 0);
  qx::utpfls(run, "", 7, 11, st);
  EXPECT_TRUE(run.ch.is_open(7));
}

TEST(Utpfls, ReadWriteModesKeepTheFileAndCutItBehindAWrite) {
  TempDir dir;
  qx::Run run;
  int st = -7;
  const std::string path = dir.file("rw.bin");
  std::int32_t v = 0;
  const std::int32_t one = 1, two = 2, seven = 7;
  // Mode 5 creates a missing file and writes little-endian records.
  qx::utpfls(run, path, 40, 5, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(run.ch.kind(40), qx::ChannelKind::binary_update);
  ASSERT_EQ(run.ch.write_record(40, {qx::out(one)}), 0);
  ASSERT_EQ(run.ch.write_record(40, {qx::out(two)}), 0);
  qx::utpfls(run, "", 40, 1, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(read_file(path), bytes({4, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0}));

  // Reopened, it is read from its start; a write after the first record
  // replaces everything behind it.
  qx::utpfls(run, path, 40, 5, st);
  ASSERT_EQ(st, 0);
  ASSERT_EQ(run.ch.read_record(40, {qx::in(v)}), 0);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(run.ch.write_record(40, {qx::out(seven)}), 0);
  EXPECT_EQ(run.ch.read_record(40, {qx::in(v)}), qx::iostat::end_of_file);
  ASSERT_EQ(run.ch.rewind(40), 0);
  ASSERT_EQ(run.ch.read_record(40, {qx::in(v)}), 0);
  ASSERT_EQ(run.ch.read_record(40, {qx::in(v)}), 0);
  EXPECT_EQ(v, 7);
  EXPECT_EQ(run.ch.read_record(40, {qx::in(v)}), qx::iostat::end_of_file);
  qx::utpfls(run, "", 40, 1, st);
  EXPECT_EQ(read_file(path).size(), 24u);

  // Mode 8: text lines read and written on one position.
  static const qx::Layout line("(A)");
  const std::string text_path = dir.file("rw.txt");
  write_file(text_path, "first\nsecond\nthird\n");
  qx::utpfls(run, text_path, 41, 8, st);
  ASSERT_EQ(st, 0);
  std::string_view got;
  ASSERT_EQ(run.ch.read_line(41, got), 0);
  EXPECT_EQ(got, "first");
  ASSERT_EQ(run.ch.write_text(41, line, {qx::out_text("new")}), 0);
  qx::utpfls(run, "", 41, 1, st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(read_file(text_path), "first\nnew\n");
}

TEST(Utpfls, ScratchModesHoldDataUntilTheyAreClosed) {
  qx::Run run;
  int st = -7;
  for (int key : {9, 10}) {
    qx::utpfls(run, "name is ignored", 42, key, st);
    ASSERT_EQ(st, 0) << key;
    EXPECT_EQ(run.ch.name(42), "") << "a scratch file has no name";
  }
  // The last open (mode 10) is a text scratch file.
  static const qx::Layout lay("(I5)");
  const std::int32_t v = 42;
  ASSERT_EQ(run.ch.write_text(42, lay, {qx::out(v)}), 0);
  ASSERT_EQ(run.ch.rewind(42), 0);
  std::int32_t back = 0;
  ASSERT_EQ(run.ch.read_text(42, lay, {qx::in(back)}), 0);
  EXPECT_EQ(back, 42);
  qx::utpfls(run, "", 42, 2, st);
  EXPECT_EQ(st, 0) << "deleting a scratch file at its close is no failure";

  qx::utpfls(run, "", 43, 9, st);
  ASSERT_EQ(st, 0);
  const double d = -2.5;
  ASSERT_EQ(run.ch.write_record(43, {qx::out(d)}), 0);
  ASSERT_EQ(run.ch.rewind(43), 0);
  double e = 0;
  ASSERT_EQ(run.ch.read_record(43, {qx::in(e)}), 0);
  EXPECT_EQ(e, -2.5);
  qx::utpfls(run, "", 43, 1, st);
  EXPECT_EQ(st, 0);
}

}  // namespace
