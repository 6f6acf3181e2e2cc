// Binary record framing in both byte orders: the bytes written, reading them
// back (short, long, corrupt and truncated records), going back and rewinding,
// and gfortran as the reference reader and writer of sequential records.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/record_reader.hpp"
#include "io/record_writer.hpp"
#include "io/status.hpp"
#include "io/update_file.hpp"
#include "io_test_util.hpp"
#include "support/test_support.hpp"

using namespace qx;
using namespace qxtest;

namespace {

TEST(RecordWriter, KeepsAnOldFileUntilTheFirstRecordAndTellsAFullDisk) {
  TempDir dir;
  write_file(dir.file("old.bin"), "old");
  RecordWriter w;
  ASSERT_EQ(w.open(dir.file("old.bin"), ByteOrder::little), 0);
  EXPECT_EQ(w.close(), 0);
  EXPECT_EQ(read_file(dir.file("old.bin")), "old") << "nothing written: the old file stays";

  const std::int32_t v = 7;
  const std::vector<float> big(1 << 19, 1.0f);  // larger than the buffer: written at once
  ASSERT_EQ(w.open("/dev/full", ByteOrder::little), 0);
  EXPECT_EQ(w.write({out(std::span(big))}), iostat::write_failed);
  EXPECT_EQ(w.write({out(v)}), iostat::write_failed) << "and from then on";
  EXPECT_EQ(w.close(), iostat::write_failed);
  ASSERT_EQ(w.open("/dev/full", ByteOrder::big), 0);
  EXPECT_EQ(w.write({out(v)}), 0) << "still in the buffer";
  EXPECT_EQ(w.close(), iostat::write_failed) << "lost at the close: must be told";
}

// The two readers of binary records, the read-only one and the one of files
// open for reading and writing, read alike.
int open_binary(RecordReader& r, const std::string& path) { return r.open(path, ByteOrder::little); }
int open_binary(UpdateFile& f, const std::string& path) { return f.open(path, UpdateFile::Form::binary, ByteOrder::little); }

template <class Reader>
struct Opened {
  TempDir dir;
  Reader r;
  explicit Opened(const std::string& content) {
    write_file(dir.file("r.bin"), content);
    EXPECT_EQ(open_binary(r, dir.file("r.bin")), 0);
  }
};

template <class Reader>
class BinaryReading : public ::testing::Test {};
using Readers = ::testing::Types<RecordReader, UpdateFile>;
TYPED_TEST_SUITE(BinaryReading, Readers);

TYPED_TEST(BinaryReading, FewerOrMoreItemsThanTheRecordHolds) {
  Opened<TypeParam> f(record(word(1) + word(2) + word(3)) + record(word(9)));
  std::int32_t a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(f.r.read({in(a), in(b)}), 0);
  EXPECT_TRUE(a == 1 && b == 2);
  EXPECT_EQ(f.r.rewind(), 0);
  a = b = c = d = -5;
  EXPECT_EQ(f.r.read({in(a), in(b), in(c), in(d)}), iostat::short_record);
  EXPECT_EQ(c, 3) << "what the record holds is delivered";
  EXPECT_EQ(d, -5);
  EXPECT_EQ(f.r.read({in(a)}), 0) << "the short read leaves the file behind its record";
  EXPECT_EQ(a, 9);
  EXPECT_EQ(f.r.read({in(a)}), iostat::end_of_file);
}

TYPED_TEST(BinaryReading, GoesBackOneRecordAndRewinds) {
  Opened<TypeParam> f(record("AAAA") + record("BBBBBBBB") + record("CC"));
  char t[4];
  // Records to go back before each read, and the record then read; twice
  // back goes by the trailing marker of the record before.
  for (auto [back, want] : std::vector<std::pair<int, const char*>>{{0, "AAAA"}, {0, "BBBB"}, {1, "BBBB"}, {2, "AAAA"}}) {
    for (int i = 0; i < back; ++i) EXPECT_EQ(f.r.backspace(), 0);
    ASSERT_EQ(f.r.read({in_text(t)}), 0);
    EXPECT_EQ(std::string(t, 4), want) << back << " back";
  }
  EXPECT_EQ(f.r.rewind(), 0);
  EXPECT_EQ(f.r.backspace(), 0) << "going back at the start stays there";
}

TYPED_TEST(BinaryReading, CorruptOrTruncatedRecordsAreReadErrorsNotEndOfFile) {
  const std::string good = record("ABCDEFGH");
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"trailing marker disagrees", good + word(8) + "ABCDEFGH" + word(9)},
      {"cut inside the payload", good.substr(0, 9)},
      {"cut inside the trailing marker", good.substr(0, good.size() - 1)},
      {"cut inside the leading marker", good + good.substr(0, 2)},
      {"negative length", word(0xFFFFFFF0u) + "ABCD"},
      {"length beyond the file", word(2000000000) + "ABCDEFGH" + word(2000000000)},
  };
  for (const auto& [what, file] : cases) {
    Opened<TypeParam> f(file);
    const bool second = file.starts_with(good);  // the damage is in the second record
    char t[8];
    std::uint32_t n = 0;
    EXPECT_EQ(second ? f.r.read({in_text(t)}) : 0, 0) << what;
    EXPECT_EQ(f.r.read({in_text(t)}), iostat::read_failed) << what;
    EXPECT_EQ(f.r.rewind(), 0);
    EXPECT_EQ(second ? f.r.read({}) : 0, 0) << what;
    EXPECT_EQ(f.r.peek_length(n), iostat::read_failed) << what << " (look-ahead)";
  }
}

// Records from a few bytes to a few megabytes in one file, one after the
// other: long ones go between the file and the caller's arrays without the
// buffer, short ones through it, and neither may lose or reorder a byte of
// the other; work arrays given up to the writer are written alike. The bytes
// written, in place of a longer old file, are checked against framing built
// by hand.
TEST(RecordFiles, ShortAndLongRecordsInterleavedRoundTrip) {
  const std::vector<std::size_t> lengths = {1, 0, 1023, 16383, 16384, 16385, 3, 262143, 262144, 262145, 700001, 2, 1000000};
  auto values = [&](std::size_t r, std::size_t n) {
    std::vector<std::int32_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int32_t>(r * 7'000'003 + i);
    return v;
  };
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    TempDir dir;
    const std::string path = dir.file("mixed.bin");
    write_file(path, std::string(10'000'000, 'x'));
    std::string expected;
    RecordWriter w;
    ASSERT_EQ(w.open(path, order), 0);
    for (std::size_t r = 0; r < lengths.size(); ++r) {
      const auto v = values(r, lengths[r]);
      std::string payload;
      for (std::int32_t x : v) payload += word(static_cast<std::uint32_t>(x), order);
      expected += record(payload, order);
      std::vector<float> work(v.size());  // a work array given up to the writer, for odd r
      if (!v.empty()) std::memcpy(work.data(), v.data(), 4 * v.size());
      ASSERT_EQ(r % 2 ? w.write_consuming(work) : w.write({out(std::span<const std::int32_t>(v))}), 0);
    }
    ASSERT_EQ(w.close(), 0);
    ASSERT_TRUE(read_file(path) == expected) << "bytes written, order " << int(order);

    RecordReader rd;
    ASSERT_EQ(rd.open(path, order), 0);
    for (std::size_t r = 0; r < lengths.size(); ++r) {
      std::uint32_t n = 0;
      ASSERT_EQ(rd.peek_length(n), 0);
      EXPECT_EQ(n, 4 * lengths[r]);
      // Every third record is read in part first, then again in whole.
      std::vector<std::int32_t> v(r % 3 == 0 ? lengths[r] / 2 : lengths[r]);
      ASSERT_EQ(rd.read({in(std::span<std::int32_t>(v))}), 0) << "record " << r;
      if (v.size() != lengths[r]) {
        ASSERT_EQ(rd.backspace(), 0);
        v.resize(lengths[r]);
        ASSERT_EQ(rd.read({in(std::span<std::int32_t>(v))}), 0) << "record " << r << " again";
      }
      EXPECT_TRUE(v == values(r, lengths[r])) << "record " << r << ", order " << int(order);
    }
    std::uint32_t n = 0;
    EXPECT_EQ(rd.peek_length(n), iostat::end_of_file);
    EXPECT_EQ(rd.skip(), iostat::end_of_file);
  }
}

// gfortran reads what we write and writes what we read, in both byte orders.
TEST(RecordFraming, AgreesWithGfortranSequentialUnformattedFiles) {
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    const std::string convert = order == ByteOrder::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN";
    TempDir dir;
    RecordWriter w;
    ASSERT_EQ(w.open(dir.file("ours.bin"), order), 0);
    const std::int32_t k = -123456;
    const float f = 3.25f, arr[3] = {1.5f, -2.5f, 1e30f};
    const double d = -1.0e-300;
    ASSERT_EQ(w.write({out_text("WAVE"), out(k), out(f), out(d)}), 0);
    ASSERT_EQ(w.write({out(std::span(arr))}), 0);
    ASSERT_EQ(w.write({}), 0);
    ASSERT_EQ(w.close(), 0);
    const std::string source = R"(program rt
  character(len=4) :: nm
  integer(4) :: k, ios
  real(4) :: f, arr(3)
  real(8) :: d
  open(10, file='ours.bin', form='unformatted', status='old', convert=')" + convert + R"(')
  read(10) nm, k, f, d
  read(10) arr
  read(10)
  read(10, iostat=ios) k
  write(*, '(A4,1X,I0,1X,Z8.8,1X,Z16.16,3(1X,Z8.8),1X,I0)') nm, k, f, d, arr, ios
  open(11, file='theirs.bin', form='unformatted', status='replace', convert=')" + convert + R"(')
  write(11) 'FORT', 77_4, 0.125_4, 2.0_8
  write(11) (real(k, 4), k = 1, 5)
end program rt
)";
    std::string log;
    ASSERT_TRUE(qxtest::compile_fortran(source, dir.file("rt"), log)) << log;
    auto res = qxtest::run_program({dir.file("rt")}, "", dir.path());
    ASSERT_EQ(res.exit_status, 0) << res.err;
    char expected[100];
    std::snprintf(expected, sizeof expected, "WAVE -123456 %08X %016llX %08X %08X %08X -1\n", std::bit_cast<std::uint32_t>(f),
                  static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)), std::bit_cast<std::uint32_t>(arr[0]),
                  std::bit_cast<std::uint32_t>(arr[1]), std::bit_cast<std::uint32_t>(arr[2]));
    EXPECT_EQ(res.out, expected) << convert;

    RecordReader r;
    ASSERT_EQ(r.open(dir.file("theirs.bin"), order), 0);
    char nm[4];
    std::int32_t k2 = 0;
    float f2 = 0, five[5];
    double d2 = 0;
    ASSERT_EQ(r.read({in_text(nm), in(k2), in(f2), in(d2)}), 0);
    ASSERT_EQ(r.read({in(std::span(five))}), 0);
    EXPECT_TRUE(std::string(nm, 4) == "FORT" && k2 == 77 && f2 == 0.125f && d2 == 2.0) << convert;
    EXPECT_EQ(std::vector<float>(five, five + 5), (std::vector<float>{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.skip(), iostat::end_of_file);
  }
}

}  // namespace
