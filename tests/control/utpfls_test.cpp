// utpfls: what each mode number opens or closes, the byte order of mode 4,
// the statuses of failed opens, and modes without a meaning.
#include "control/utpfls.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "io/status.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

using namespace qxtest;

namespace {

using Kind = qx::ChannelKind;

TEST(Utpfls, EachModeOpensItsKindOfChannelAndCloseKeepsOrDeletes) {
  TempDir dir;
  mkdir(dir.file("d").c_str(), 0755);
  write_file(dir.file("other"), "");
  qx::Run run;
  const std::pair<int, Kind> modes[] = {
      {3, Kind::binary_read}, {4, Kind::binary_write}, {5, Kind::binary_update}, {6, Kind::text_read},
      {7, Kind::text_write},  {8, Kind::text_update},  {9, Kind::binary_update}, {10, Kind::text_update},
  };
  for (auto [key, kind] : modes) {
    const std::string path = dir.file("f" + std::to_string(key));
    write_file(path, "earlier");
    int st = -7;
    qx::utpfls(run, path + "   ", 30, key, st);
    ASSERT_EQ(st, 0) << key;
    EXPECT_EQ(run.ch.kind(30), kind) << key;
    EXPECT_EQ(run.ch.name(30), key < 9 ? path : "") << "a scratch file has no name: " << key;
    // Closing with mode 2 deletes the file of the channel, not one of the name given.
    qx::utpfls(run, dir.file("other"), 30, key % 2 + 1, st);
    EXPECT_EQ(st, 0) << key;
    EXPECT_FALSE(run.ch.is_open(30));
    EXPECT_EQ(file_exists(path), key % 2 == 0 || key >= 9) << key;
    // A missing file, or a directory in its way.
    qx::utpfls(run, dir.file("no/such"), 30, key, st);
    EXPECT_EQ(st, key < 9 ? qx::iostat::not_found : 0) << key;
    qx::utpfls(run, dir.file("d"), 31, key, st);
    EXPECT_EQ(st, key < 9 ? qx::iostat::open_failed : 0) << key;
    qx::utpfls(run, "", 30, 2, st);
    qx::utpfls(run, "", 31, 2, st);
    EXPECT_EQ(st, 0) << "closing a channel that is not open is no failure";
  }
  EXPECT_TRUE(file_exists(dir.file("other")));
  EXPECT_TRUE(file_exists(dir.file("d")));
  // Modes outside the table do nothing, not even a close.
  int st = 0;
  qx::utpfls(run, dir.file("x"), 7, 7, st);
  for (int key : {0, -1, 11, 12, 100}) {
    st = 1234;
    qx::utpfls(run, dir.file("y"), 7, key, st);
    qx::utpfls(run, dir.file("y"), 8, key, st);
    EXPECT_EQ(st, 1234) << key;
    EXPECT_TRUE(run.ch.is_open(7) && !run.ch.is_open(8)) << key;
  }
  EXPECT_FALSE(file_exists(dir.file("y")));
}

TEST(Utpfls, Mode4WritesInTheByteOrderOfTheRunAndMode3ReadsLittleEndian) {
  TempDir dir;
  qx::Run run;
  int st = -7;
  const std::int32_t one = 1;
  for (const char* conv : {"LITTLE_ENDIAN", "BIG_ENDIAN   "}) {
    run.val.conv = conv;
    qx::utpfls(run, dir.file(std::string(conv, 3)), 20, 4, st);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(run.ch.write_record(20, {qx::out(one)}), 0);
    qx::utpfls(run, "", 20, 1, st);
  }
  EXPECT_EQ(read_file(dir.file("LIT")), std::string("\x04\0\0\0\x01\0\0\0\x04\0\0\0", 12));
  EXPECT_EQ(read_file(dir.file("BIG")), std::string("\0\0\0\x04\0\0\0\x01\0\0\0\x04", 12));
  std::int32_t v = 0;
  qx::utpfls(run, dir.file("BIG"), 18, 3, st);  // the run is big-endian now
  ASSERT_EQ(st, 0);
  EXPECT_EQ(run.ch.read_record(18, {qx::in(v)}), qx::iostat::read_failed)
      << "a big-endian length marker is not a record of a little-endian file";
}

}  // namespace
