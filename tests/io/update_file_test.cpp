// Files open for reading and writing: big-endian records, going back after
// writes, text lines, lost writes. Reading records: record_file_test.cpp.
#include "io/update_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "io/status.hpp"
#include "io_test_util.hpp"
#include "support/test_support.hpp"

using qx::UpdateFile;
using namespace qxtest;
namespace iostat = qx::iostat;

namespace {

constexpr auto binary = UpdateFile::Form::binary;
constexpr auto little = qx::ByteOrder::little, big = qx::ByteOrder::big;

TEST(UpdateFile, BigEndianRecordsAreSwappedBothWays) {
  TempDir dir;
  const std::string path = dir.file("big.bin");
  UpdateFile f;
  ASSERT_EQ(f.open(path, binary, big), 0);
  std::int32_t i = 1;
  float r = 1.0f;
  double d = 2.0;
  char t[2] = {'A', 'B'};
  ASSERT_EQ(f.write({qx::out(i), qx::out(r), qx::out(d), qx::out_text({t, 2})}), 0);
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(read_file(path), record(word(1, big) + word(0x3f800000, big) + word(0x40000000, big) + word(0) + "AB", big));
  i = 0, r = 0, d = 0, t[0] = t[1] = 0;
  ASSERT_EQ(f.open(path, binary, big), 0);
  ASSERT_EQ(f.read({qx::in(i), qx::in(r), qx::in(d), qx::in_text(t)}), 0);
  EXPECT_TRUE(i == 1 && r == 1.0f && d == 2.0 && std::string(t, 2) == "AB");
}

TEST(UpdateFile, GoingBackAfterAWriteFindsTheRecordJustWritten) {
  TempDir dir;
  UpdateFile f;
  ASSERT_EQ(f.open(dir.file("b.bin"), binary, little), 0);
  const std::int32_t a = 11, b = 22;
  ASSERT_EQ(f.write({qx::out(a)}), 0);
  ASSERT_EQ(f.write({qx::out(b), qx::out(a)}), 0);
  std::int32_t v = 0;
  auto back_and_read = [&](int steps) {
    for (int i = 0; i < steps; ++i) EXPECT_EQ(f.backspace(), 0);
    EXPECT_EQ(f.read({qx::in(v)}), 0);
    return v;
  };
  EXPECT_EQ(back_and_read(1), 22);
  EXPECT_EQ(back_and_read(2), 11);
  ASSERT_EQ(f.rewind(), 0);
  EXPECT_EQ(back_and_read(1), 11) << "at the first record going back stays there";
}

TEST(UpdateFile, TextLinesBackAndForth) {
  TempDir dir;
  const std::string path = dir.file("t.txt");
  write_file(path, "one\r\ntwo\n" + std::string(5000, 'x') + "\nlast");
  UpdateFile f;
  ASSERT_EQ(f.open(path, UpdateFile::Form::text, little), 0);
  qxtest::expect_lines(f, {"one", "two", "<back>", "two", std::string(4096, 'x'), "last", "<eof>"});
  // A write after the first line cuts the rest; going back then finds the
  // line just written, across a long line before it.
  ASSERT_EQ(f.rewind(), 0);
  qxtest::expect_lines(f, {"one"});
  ASSERT_EQ(f.put(std::string(5000, 'y') + "\n"), 0);
  ASSERT_EQ(f.put("end\n"), 0);
  qxtest::expect_lines(f, {"<eof>", "<back>", "end", "<back>", "<back>", std::string(4096, 'y')});
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(read_file(path), "one\r\n" + std::string(5000, 'y') + "\nend\n");
}

TEST(UpdateFile, FailedWritesAreKeptUntilTheClose) {
  UpdateFile f;
  const double d = 0.5;
  double e = 0;
  EXPECT_EQ(f.write({qx::out(d)}), iostat::write_failed) << "not open";
  EXPECT_EQ(f.read({qx::in(e)}), iostat::read_failed);
  ASSERT_EQ(f.open("/dev/full", UpdateFile::Form::text, little), 0);
  EXPECT_EQ(f.put("lost\n"), iostat::write_failed);
  EXPECT_EQ(f.put("lost too\n"), iostat::write_failed);
  EXPECT_EQ(f.flush(), iostat::write_failed);
  EXPECT_EQ(f.close(), iostat::write_failed);
}

}  // namespace
