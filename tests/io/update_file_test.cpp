// Files open for reading and writing: record framing in both byte orders,
// damaged records, going back after reads and after writes, lost writes.
#include "io/update_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "io/status.hpp"
#include "support/test_support.hpp"

using qx::UpdateFile;
using qxtest::read_file;
using qxtest::TempDir;
using qxtest::write_file;
namespace iostat = qx::iostat;

namespace {

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

TEST(UpdateFile, BigEndianRecordsAreSwappedBothWays) {
  TempDir dir;
  const std::string path = dir.file("big.bin");
  UpdateFile f;
  ASSERT_EQ(f.open(path, UpdateFile::Form::binary, qx::ByteOrder::big), 0);
  const std::int32_t i = 1;
  const float r = 1.0f;
  ASSERT_EQ(f.write({qx::out(i), qx::out(r), qx::out_text("AB")}), 0);
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(read_file(path), bytes({0, 0, 0, 10, 0, 0, 0, 1, 0x3f, 0x80, 0, 0, 'A', 'B', 0, 0, 0, 10}));

  ASSERT_EQ(f.open(path, UpdateFile::Form::binary, qx::ByteOrder::big), 0);
  std::int32_t j = 0;
  float s = 0;
  char t[2] = {};
  std::uint32_t len = 0;
  ASSERT_EQ(f.peek_length(len), 0);
  EXPECT_EQ(len, 10u);
  ASSERT_EQ(f.read({qx::in(j), qx::in(s), qx::in_text(t)}), 0);
  EXPECT_EQ(j, 1);
  EXPECT_EQ(s, 1.0f);
  EXPECT_EQ(std::string(t, 2), "AB");
  EXPECT_EQ(f.read({}), iostat::end_of_file);
}

TEST(UpdateFile, ShortLongAndDamagedRecords) {
  TempDir dir;
  const std::string path = dir.file("r.bin");
  // One 8-byte record (1, 2), then a record whose trailing marker is wrong.
  write_file(path, bytes({8, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 8, 0, 0, 0, 4, 0, 0, 0, 9, 0, 0, 0, 5, 0, 0, 0}));
  UpdateFile f;
  ASSERT_EQ(f.open(path, UpdateFile::Form::binary, qx::ByteOrder::little), 0);
  std::int32_t v[3] = {};
  EXPECT_EQ(f.read({qx::in(std::span(v, 3))}), iostat::short_record);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(f.backspace(), 0);
  EXPECT_EQ(f.read({qx::in(v[2])}), 0) << "the rest of a record is passed over";
  EXPECT_EQ(v[2], 1);
  EXPECT_EQ(f.read({qx::in(v[0])}), iostat::read_failed);
  ASSERT_EQ(f.close(), 0);

  // A record cut short by the end of the file.
  write_file(path, bytes({8, 0, 0, 0, 1, 0, 0, 0}));
  ASSERT_EQ(f.open(path, UpdateFile::Form::binary, qx::ByteOrder::little), 0);
  EXPECT_EQ(f.read({qx::in(v[0])}), iostat::read_failed);
  std::uint32_t len = 0;
  EXPECT_EQ(f.peek_length(len), iostat::read_failed);
}

TEST(UpdateFile, GoingBackAfterAWriteFindsTheRecordJustWritten) {
  TempDir dir;
  UpdateFile f;
  ASSERT_EQ(f.open(dir.file("b.bin"), UpdateFile::Form::binary, qx::ByteOrder::little), 0);
  const std::int32_t a = 11, b = 22;
  ASSERT_EQ(f.write({qx::out(a)}), 0);
  ASSERT_EQ(f.write({qx::out(b), qx::out(a)}), 0);
  ASSERT_EQ(f.backspace(), 0);
  std::int32_t v = 0;
  ASSERT_EQ(f.read({qx::in(v)}), 0);
  EXPECT_EQ(v, 22);
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.read({qx::in(v)}), 0);
  EXPECT_EQ(v, 11);
  ASSERT_EQ(f.rewind(), 0);
  EXPECT_EQ(f.backspace(), 0) << "at the first record going back stays there";
  ASSERT_EQ(f.read({qx::in(v)}), 0);
  EXPECT_EQ(v, 11);
}

TEST(UpdateFile, TextLinesBackAndForth) {
  TempDir dir;
  const std::string path = dir.file("t.txt");
  write_file(path, "one\r\ntwo\n" + std::string(5000, 'x') + "\nlast");
  UpdateFile f;
  ASSERT_EQ(f.open(path, UpdateFile::Form::text, qx::ByteOrder::little), 0);
  std::string_view line;
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, "one");
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, "two");
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, "two");
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line.size(), 4096u) << "an endless line is cut";
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(f.next_line(line), iostat::end_of_file);

  // A write after the first line cuts the rest; going back then finds the
  // line just written, across a long line before it.
  ASSERT_EQ(f.rewind(), 0);
  ASSERT_EQ(f.next_line(line), 0);
  ASSERT_EQ(f.put(std::string(5000, 'y') + "\n"), 0);
  ASSERT_EQ(f.put("end\n"), 0);
  EXPECT_EQ(f.next_line(line), iostat::end_of_file);
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, "end");
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.backspace(), 0);
  ASSERT_EQ(f.next_line(line), 0);
  EXPECT_EQ(line, std::string(4096, 'y'));
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(read_file(path), "one\r\n" + std::string(5000, 'y') + "\nend\n");
}

TEST(UpdateFile, FailedWritesAreKeptUntilTheClose) {
  UpdateFile f;
  const double d = 0.5;
  double e = 0;
  EXPECT_EQ(f.write({qx::out(d)}), iostat::write_failed) << "not open";
  EXPECT_EQ(f.read({qx::in(e)}), iostat::read_failed);

  ASSERT_EQ(f.open("/dev/full", UpdateFile::Form::text, qx::ByteOrder::little), 0);
  EXPECT_EQ(f.put("lost\n"), iostat::write_failed);
  EXPECT_EQ(f.put("lost too\n"), iostat::write_failed);
  EXPECT_EQ(f.flush(), iostat::write_failed);
  EXPECT_EQ(f.close(), iostat::write_failed);
}

}  // namespace
