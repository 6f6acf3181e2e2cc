// Binary record framing in both byte orders: the bytes written, reading them
// back (short, long, corrupt and truncated records), going back and rewinding,
// and gfortran as the reference reader and writer of sequential records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <string>
#include <vector>

#include "io/record_reader.hpp"
#include "io/record_writer.hpp"
#include "io/status.hpp"
#include "support/test_support.hpp"

using namespace qx;
using qxtest::read_file;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

std::string le32(std::uint32_t v) { return bytes({int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); }

std::string record_le(const std::string& payload) {
  return le32(static_cast<std::uint32_t>(payload.size())) + payload + le32(static_cast<std::uint32_t>(payload.size()));
}

std::string write_one(ByteOrder order, std::initializer_list<OutItem> items) {
  TempDir dir;
  RecordWriter w;
  EXPECT_EQ(w.open(dir.file("r.bin"), order), 0);
  EXPECT_EQ(w.write(items), 0);
  EXPECT_EQ(w.close(), 0);
  return read_file(dir.file("r.bin"));
}

template <typename T>
std::string hex_bits(T v) {
  using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  U u;
  std::memcpy(&u, &v, sizeof u);
  char buf[20];
  std::snprintf(buf, sizeof buf, sizeof(T) == 4 ? "%08llX" : "%016llX", static_cast<unsigned long long>(u));
  return buf;
}

}  // namespace

TEST(RecordWriter, FramesItemsInTheChosenByteOrder) {
  const std::int32_t one = 1;
  EXPECT_EQ(write_one(ByteOrder::big, {out(one)}), bytes({0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 4}));
  EXPECT_EQ(write_one(ByteOrder::little, {out(one)}), bytes({4, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0}));

  // Text is never reordered; 4- and 8-byte numbers are swapped as wholes.
  const float f = 9.8f;  // CD CC 1C 41 little-endian
  const double d = 1.0;  // 3F F0 00.. big-endian
  std::string be = write_one(ByteOrder::big, {out_text("INFO"), out(f), out(d)});
  EXPECT_EQ(be, bytes({0, 0, 0, 16}) + "INFO" + bytes({0x41, 0x1C, 0xCC, 0xCD, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}) +
                    bytes({0, 0, 0, 16}));
  std::string le = write_one(ByteOrder::little, {out_text("INFO"), out(f), out(d)});
  EXPECT_EQ(le, record_le("INFO" + bytes({0xCD, 0xCC, 0x1C, 0x41, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F})));

  // A record without items is two markers of zero.
  EXPECT_EQ(write_one(ByteOrder::big, {}), std::string(8, '\0'));
}

TEST(RecordWriter, ReplacesAnOldFileOnlyAtTheFirstRecord) {
  TempDir dir;
  const std::string path = dir.file("old.bin");
  write_file(path, std::string(1000, 'x'));
  {
    RecordWriter w;
    ASSERT_EQ(w.open(path, ByteOrder::little), 0);
    EXPECT_EQ(w.close(), 0);
  }
  EXPECT_EQ(read_file(path), std::string(1000, 'x')) << "nothing written: the old file stays";
  {
    RecordWriter w;
    ASSERT_EQ(w.open(path, ByteOrder::little), 0);
    std::int32_t v = 7;
    EXPECT_EQ(w.write({out(v)}), 0);
    EXPECT_EQ(w.close(), 0);
  }
  EXPECT_EQ(read_file(path), record_le(bytes({7, 0, 0, 0}))) << "the file ends behind the last record";
}

TEST(RecordWriter, ReportsAFullDiskAndKeepsReportingIt) {
  RecordWriter w;
  ASSERT_EQ(w.open("/dev/full", ByteOrder::little), 0);
  std::vector<float> big(1 << 19, 1.0f);  // larger than the buffer: written at once
  EXPECT_EQ(w.write({out(std::span<const float>(big))}), iostat::write_failed);
  std::int32_t v = 1;
  EXPECT_EQ(w.write({out(v)}), iostat::write_failed);
  EXPECT_EQ(w.close(), iostat::write_failed);

  RecordWriter small;
  ASSERT_EQ(small.open("/dev/full", ByteOrder::big), 0);
  EXPECT_EQ(small.write({out(v)}), 0) << "still in the buffer";
  EXPECT_EQ(small.close(), iostat::write_failed) << "lost at the close: must be told";
}

TEST(RecordReader, ReadsFewerOrMoreItemsThanTheRecordHolds) {
  TempDir dir;
  const std::string path = dir.file("r.bin");
  write_file(path, record_le(bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0})) + record_le(bytes({9, 0, 0, 0})));
  RecordReader r;
  ASSERT_EQ(r.open(path, ByteOrder::little), 0);
  std::int32_t a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(r.read({in(a), in(b)}), 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(r.rewind(), 0);
  a = b = c = d = -5;
  EXPECT_EQ(r.read({in(a), in(b), in(c), in(d)}), iostat::short_record);
  EXPECT_EQ(c, 3) << "what the record holds is delivered";
  EXPECT_EQ(d, -5);
  EXPECT_EQ(r.read({in(a)}), 0) << "the short read leaves the file behind its record";
  EXPECT_EQ(a, 9);
  EXPECT_EQ(r.read({in(a)}), iostat::end_of_file);
}

TEST(RecordReader, GoesBackOneRecordAndRewinds) {
  TempDir dir;
  const std::string path = dir.file("r.bin");
  write_file(path, record_le("AAAA") + record_le("BBBBBBBB") + record_le("CC"));
  RecordReader r;
  ASSERT_EQ(r.open(path, ByteOrder::little), 0);
  char t[4];
  ASSERT_EQ(r.read({in_text(t)}), 0);
  ASSERT_EQ(r.read({in_text(t)}), 0);
  EXPECT_EQ(std::string(t, 4), "BBBB");
  EXPECT_EQ(r.backspace(), 0);
  ASSERT_EQ(r.read({in_text(t)}), 0);
  EXPECT_EQ(std::string(t, 4), "BBBB") << "the record last read is read again";
  // Twice back: the second step goes by the trailing marker of the record before.
  EXPECT_EQ(r.backspace(), 0);
  EXPECT_EQ(r.backspace(), 0);
  ASSERT_EQ(r.read({in_text(t)}), 0);
  EXPECT_EQ(std::string(t, 4), "AAAA");
  EXPECT_EQ(r.rewind(), 0);
  EXPECT_EQ(r.backspace(), 0) << "going back at the start stays there";
  ASSERT_EQ(r.read({in_text(t)}), 0);
  EXPECT_EQ(std::string(t, 4), "AAAA");
}

TEST(RecordReader, CorruptOrTruncatedRecordsAreReadErrorsNotEndOfFile) {
  struct Case {
    const char* what;
    std::string file;
  };
  const std::string good = record_le("ABCDEFGH");
  const std::vector<Case> cases = {
      {"trailing marker disagrees", le32(8) + "ABCDEFGH" + le32(9)},
      {"cut inside the payload", good.substr(0, 9)},
      {"cut inside the trailing marker", good.substr(0, good.size() - 1)},
      {"cut inside the leading marker", good + good.substr(0, 2)},
      {"negative length", le32(0xFFFFFFF0u) + "ABCD"},
      {"length beyond the file", le32(2000000000) + "ABCDEFGH" + le32(2000000000)},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("r.bin"), c.file);
    RecordReader r;
    ASSERT_EQ(r.open(dir.file("r.bin"), ByteOrder::little), 0);
    char t[8];
    int st = r.read({in_text(t)});
    if (st == 0) st = r.read({in_text(t)});  // the damage is in the second record
    EXPECT_EQ(st, iostat::read_failed) << c.what;
    std::uint32_t n = 0;
    EXPECT_EQ(r.rewind(), 0);
    st = r.peek_length(n);
    if (st == 0 && c.file.substr(0, good.size()) == good) {
      r.skip();
      st = r.peek_length(n);
    }
    EXPECT_EQ(st, iostat::read_failed) << c.what << " (look-ahead)";
  }
}

TEST(RecordReader, PeeksTheNextLengthWithoutConsumingIt) {
  TempDir dir;
  write_file(dir.file("r.bin"), record_le(std::string(12, 'z')) + record_le(""));
  RecordReader r;
  ASSERT_EQ(r.open(dir.file("r.bin"), ByteOrder::little), 0);
  std::uint32_t n = 99;
  EXPECT_EQ(r.peek_length(n), 0);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(r.skip(), 0);
  EXPECT_EQ(r.peek_length(n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(r.skip(), 0);
  EXPECT_EQ(r.peek_length(n), iostat::end_of_file);
  EXPECT_EQ(r.skip(), iostat::end_of_file);
}

TEST(RecordReader, LargeRecordsRoundTripInBothOrders) {
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    TempDir dir;
    std::vector<float> values(3'000'001);
    std::vector<double> wide(300'001);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i) * 0.5f - 7.0f;
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<double>(i) / 3.0;
    {
      RecordWriter w;
      ASSERT_EQ(w.open(dir.file("big.bin"), order), 0);
      std::int32_t n = static_cast<std::int32_t>(values.size());
      ASSERT_EQ(w.write({out(n), out(std::span<const float>(values)), out(std::span<const double>(wide))}), 0);
      ASSERT_EQ(w.write({out(n)}), 0);
      ASSERT_EQ(w.close(), 0);
    }
    RecordReader r;
    ASSERT_EQ(r.open(dir.file("big.bin"), order), 0);
    std::int32_t n = 0;
    std::vector<float> back(values.size());
    std::vector<double> wide_back(wide.size());
    ASSERT_EQ(r.read({in(n), in(std::span<float>(back)), in(std::span<double>(wide_back))}), 0);
    EXPECT_EQ(n, static_cast<std::int32_t>(values.size()));
    EXPECT_EQ(back, values);
    EXPECT_EQ(wide_back, wide);
    ASSERT_EQ(r.read({in(n)}), 0);
    EXPECT_EQ(r.read({in(n)}), iostat::end_of_file);
  }
}

// Records from a few bytes to a few megabytes in one file, one after the
// other: long ones go between the file and the caller's arrays without the
// buffer, short ones through it, and neither may lose or reorder a byte of
// the other; work arrays given up to the writer are written alike. The bytes
// written are checked against framing built by hand.
TEST(RecordFiles, ShortAndLongRecordsInterleavedRoundTrip) {
  const std::vector<std::size_t> lengths = {1,     0,      1023,   16383,  16384, 16385, 3,
                                            262143, 262144, 262145, 700001, 2,     1000000};
  auto value = [](std::size_t record, std::size_t i) { return static_cast<std::int32_t>(record * 7'000'003 + i); };
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    auto word = [&](std::uint32_t v) {
      return order == ByteOrder::little ? le32(v) : bytes({int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)});
    };
    TempDir dir;
    const std::string path = dir.file("mixed.bin");
    std::string expected;
    {
      RecordWriter w;
      ASSERT_EQ(w.open(path, order), 0);
      for (std::size_t r = 0; r < lengths.size(); ++r) {
        std::vector<std::int32_t> v(lengths[r]);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = value(r, i);
        if (r % 2 == 0) {
          ASSERT_EQ(w.write({out(std::span<const std::int32_t>(v))}), 0);
        } else {
          // A work array given up to the writer: the same bytes in the file.
          std::vector<float> work(v.size());
          if (!v.empty()) std::memcpy(work.data(), v.data(), 4 * v.size());
          ASSERT_EQ(w.write_consuming(work), 0);
        }
        const auto marker = static_cast<std::uint32_t>(4 * v.size());
        expected += word(marker);
        for (std::int32_t x : v) expected += word(static_cast<std::uint32_t>(x));
        expected += word(marker);
      }
      ASSERT_EQ(w.close(), 0);
    }
    ASSERT_TRUE(read_file(path) == expected) << "bytes written, order " << int(order);

    RecordReader rd;
    ASSERT_EQ(rd.open(path, order), 0);
    for (std::size_t r = 0; r < lengths.size(); ++r) {
      std::uint32_t n = 0;
      ASSERT_EQ(rd.peek_length(n), 0);
      EXPECT_EQ(n, 4 * lengths[r]);
      // Every third record is read in part first, then again in whole.
      const std::size_t part = r % 3 == 0 ? lengths[r] / 2 : lengths[r];
      std::vector<std::int32_t> v(part);
      ASSERT_EQ(rd.read({in(std::span<std::int32_t>(v))}), 0) << "record " << r;
      if (part != lengths[r]) {
        ASSERT_EQ(rd.backspace(), 0);
        v.resize(lengths[r]);
        ASSERT_EQ(rd.read({in(std::span<std::int32_t>(v))}), 0) << "record " << r << " again";
      }
      std::size_t wrong = 0;
      for (std::size_t i = 0; i < v.size(); ++i) wrong += v[i] != value(r, i);
      EXPECT_EQ(wrong, 0u) << "record " << r << ", order " << int(order);
    }
    std::int32_t x = 0;
    EXPECT_EQ(rd.read({in(x)}), iostat::end_of_file);
  }
}

// gfortran reads what we write and writes what we read, in both byte orders.
TEST(RecordFraming, AgreesWithGfortranSequentialUnformattedFiles) {
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    const char* convert = order == ByteOrder::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN";
    TempDir dir;
    {
      RecordWriter w;
      ASSERT_EQ(w.open(dir.file("ours.bin"), order), 0);
      std::int32_t k = -123456;
      float f = 3.25f;
      double d = -1.0e-300;
      std::vector<float> arr = {1.5f, -2.5f, 1e30f};
      ASSERT_EQ(w.write({out_text("WAVE"), out(k), out(f), out(d)}), 0);
      ASSERT_EQ(w.write({out(std::span<const float>(arr))}), 0);
      ASSERT_EQ(w.write({}), 0);
      ASSERT_EQ(w.close(), 0);
    }
    const std::string source = std::string(R"(
program rt
  implicit none
  character(len=4) :: nm
  integer(4) :: k, ios
  real(4) :: f, arr(3)
  real(8) :: d
  open(10, file='ours.bin', form='unformatted', access='sequential', status='old', convert=')") + convert + R"(')
  read(10) nm, k, f, d
  read(10) arr
  read(10)
  read(10, iostat=ios) k
  write(*,'(A4,1X,I0,1X,Z8.8,1X,Z16.16)') nm, k, f, d
  write(*,'(3(Z8.8,1X))') arr
  write(*,'(A,I0)') 'eof ', ios
  open(11, file='theirs.bin', form='unformatted', access='sequential', status='replace', convert=')" + convert + R"(')
  write(11) 'SPEC', 77_4, 0.125_4, 2.0_8
  write(11) (real(k, 4), k = 1, 5)
  close(11)
end program rt
)";
    std::string log;
    ASSERT_TRUE(qxtest::compile_fortran(source, dir.file("rt"), log)) << log;
    auto res = qxtest::run_program({dir.file("rt")}, "", dir.path());
    ASSERT_EQ(res.exit_status, 0) << res.err;
    const std::string expected = "WAVE -123456 " + hex_bits(3.25f) + " " + hex_bits(-1.0e-300) + "\n" +
                                 hex_bits(1.5f) + " " + hex_bits(-2.5f) + " " + hex_bits(1e30f) + "\neof -1\n";
    EXPECT_EQ(res.out, expected) << convert;

    RecordReader r;
    ASSERT_EQ(r.open(dir.file("theirs.bin"), order), 0);
    char nm[4];
    std::int32_t k = 0;
    float f = 0;
    double d = 0;
    ASSERT_EQ(r.read({in_text(nm), in(k), in(f), in(d)}), 0);
    EXPECT_EQ(std::string(nm, 4), "SPEC");
    EXPECT_EQ(k, 77);
    EXPECT_EQ(f, 0.125f);
    EXPECT_EQ(d, 2.0);
    std::vector<float> five(5);
    ASSERT_EQ(r.read({in(std::span<float>(five))}), 0);
    EXPECT_EQ(five, (std::vector<float>{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.skip(), iostat::end_of_file);
  }
}
