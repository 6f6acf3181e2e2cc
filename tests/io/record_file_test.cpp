// Binary records in both byte orders: bytes written, reading back (short,
// long, corrupt, truncated), going back, and gfortran as the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <numeric>

#include "io/record_reader.hpp"
#include "io/record_writer.hpp"
#include "io/update_file.hpp"
#include "io_test_util.hpp"

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
  const std::vector<float> big(1 << 19, 1.0f);  // larger than the buffer
  ASSERT_EQ(w.open("/dev/full", ByteOrder::little), 0);
  EXPECT_EQ(w.write({out(std::span(big))}), iostat::write_failed);
  EXPECT_EQ(w.write({out(v)}), iostat::write_failed) << "and from then on";
  EXPECT_EQ(w.close(), iostat::write_failed);
  ASSERT_EQ(w.open("/dev/full", ByteOrder::big), 0);
  EXPECT_EQ(w.write({out(v)}), 0) << "still in the buffer";
  EXPECT_EQ(w.close(), iostat::write_failed) << "lost at the close: must be told";
}

// The read-only reader and the read-write file read records alike.
template <class Reader>
struct Opened {
  TempDir dir;
  Reader r;
  explicit Opened(const std::string& content) {
    write_file(dir.file("r.bin"), content);
    if constexpr (std::is_same_v<Reader, UpdateFile>) EXPECT_EQ(r.open(dir.file("r.bin"), UpdateFile::Form::binary, ByteOrder::little), 0);
    else EXPECT_EQ(r.open(dir.file("r.bin"), ByteOrder::little), 0);
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
  EXPECT_TRUE(c == 3 && d == -5) << "what the record holds is delivered";
  EXPECT_EQ(f.r.read({in(a)}), 0) << "the short read leaves the file behind its record";
  EXPECT_EQ(a, 9);
  EXPECT_EQ(f.r.read({in(a)}), iostat::end_of_file);
}

TYPED_TEST(BinaryReading, GoesBackOneRecordAndRewinds) {
  Opened<TypeParam> f(record("AAAA") + record("BBBBBBBB") + record("CC"));
  char t[4];
  // Records to go back before each read, and the record then read.
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

// Short records go through the buffer, long ones past it: neither may lose
// or reorder a byte of the other. Bytes checked against framing by hand.
TEST(RecordFiles, ShortAndLongRecordsInterleavedRoundTrip) {
  const std::vector<std::size_t> lengths = {1, 0, 1023, 16383, 16384, 16385, 3, 262143, 262144, 262145, 700001, 2, 1000000};
  auto values = [](std::size_t r, std::size_t n) {
    std::vector<std::int32_t> v(n);
    return std::iota(v.begin(), v.end(), static_cast<std::int32_t>(r * 7'000'003)), v;
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
      std::vector<float> work(v.size());  // given up to the writer, for odd r
      std::ranges::transform(v, work.begin(), [](std::int32_t x) { return std::bit_cast<float>(x); });
      ASSERT_EQ(r % 2 ? w.write_consuming(work) : w.write({out(std::span<const std::int32_t>(v))}), 0);
    }
    ASSERT_EQ(w.close(), 0);
    ASSERT_TRUE(read_file(path) == expected) << "bytes written, order " << int(order);
    RecordReader rd;
    ASSERT_EQ(rd.open(path, order), 0);
    std::uint32_t n = 0;
    for (std::size_t r = 0; r < lengths.size(); ++r) {
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
    EXPECT_EQ(rd.peek_length(n), iostat::end_of_file);
    EXPECT_EQ(rd.skip(), iostat::end_of_file);
  }
}

// gfortran reads what we write and writes what we read, in both byte orders;
// the read-write file writes and reads the same records.
TEST(RecordFraming, AgreesWithGfortranSequentialUnformattedFiles) {
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    const std::string cv = order == ByteOrder::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN";
    TempDir dir;
    const std::int32_t k = -123456;
    const float f = 3.25f, arr[3] = {1.5f, -2.5f, 1e30f};
    const double d = -1.0e-300;
    auto write_ours = [&](auto& w) {
      EXPECT_EQ(w.write({out_text("WAVE"), out(k), out(f), out(d)}) + w.write({out(std::span(arr))}) + w.write({}), 0);
      EXPECT_EQ(w.close(), 0);
    };
    RecordWriter w;
    UpdateFile u;
    ASSERT_EQ(w.open(dir.file("ours.bin"), order) + u.open(dir.file("upd.bin"), UpdateFile::Form::binary, order), 0);
    write_ours(w);
    write_ours(u);
    EXPECT_TRUE(read_file(dir.file("upd.bin")) == read_file(dir.file("ours.bin"))) << cv;
    const std::string source = "character(len=4) :: nm\ninteger(4) :: k, ios\nreal(4) :: f, arr(3)\nreal(8) :: d\n"
      "open(10, file='ours.bin', form='unformatted', status='old', convert='" + cv + "')\n"
      "read(10) nm, k, f, d\nread(10) arr\nread(10)\nread(10, iostat=ios) k\nopen(12, file='out.txt')\n"
      "write(12, '(A4,1X,I0,1X,Z8.8,1X,Z16.16,3(1X,Z8.8),1X,I0)') nm, k, f, d, arr, ios\n"
      "open(11, file='theirs.bin', form='unformatted', status='replace', convert='" + cv + "')\n"
      "write(11) 'FORT', 77_4, 0.125_4, 2.0_8\nwrite(11) (real(k, 4), k = 1, 5)\nend\n";
    std::string res;
    ASSERT_TRUE(qxtest::run_fortran(dir, source, res)) << res;
    char expected[100];
    std::snprintf(expected, sizeof expected, "WAVE -123456 %08X %016llX %08X %08X %08X -1\n", std::bit_cast<std::uint32_t>(f),
                  static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)), std::bit_cast<std::uint32_t>(arr[0]),
                  std::bit_cast<std::uint32_t>(arr[1]), std::bit_cast<std::uint32_t>(arr[2]));
    EXPECT_EQ(res, expected) << cv;
    auto read_theirs = [&](auto& r) {
      char nm[4];
      std::int32_t k2 = 0;
      float f2 = 0;
      double d2 = 0;
      std::vector<float> five(5);
      EXPECT_EQ(r.read({in_text(nm), in(k2), in(f2), in(d2)}) + r.read({in(std::span(five))}), 0);
      EXPECT_TRUE(std::string(nm, 4) == "FORT" && k2 == 77 && f2 == 0.125f && d2 == 2.0) << cv;
      EXPECT_EQ(five, (std::vector<float>{1, 2, 3, 4, 5}));
      EXPECT_EQ(r.read({in(k2)}), iostat::end_of_file);
    };
    RecordReader r;
    ASSERT_EQ(r.open(dir.file("theirs.bin"), order) + u.open(dir.file("theirs.bin"), UpdateFile::Form::binary, order), 0);
    read_theirs(r);
    read_theirs(u);
  }
}

}  // namespace

namespace {

// A block header's first record, as TP18 files hold it: every length from
// empty to longer than the header and than what a head keeps, whole or
// damaged, in both byte orders.
std::vector<std::pair<std::string, std::string>> header_records(ByteOrder order) {
  std::string payload;
  for (int i = 0; payload.size() < 80; ++i) payload += word(0x01020304u * static_cast<std::uint32_t>(i + 1), order);
  payload.replace(0, 4, "WAVE");
  std::vector<std::pair<std::string, std::string>> files;
  for (std::size_t n : {0, 2, 4, 11, 12, 15, 16, 20, 24, 28, 30, 32, 36, 39, 40, 44, 64, 65, 80}) {
    const std::string rec = record(payload.substr(0, n), order);
    const std::string tag = std::to_string(n) + " bytes";
    files.emplace_back(tag + " whole", rec + rec);
    files.emplace_back(tag + ", trailing marker wrong", rec.substr(0, rec.size() - 4) + word(99, order) + rec);
    files.emplace_back(tag + ", cut in the trailing marker", rec.substr(0, rec.size() - 1));
    files.emplace_back(tag + ", cut in the payload", rec.substr(0, 4 + n / 2));
  }
  files.emplace_back("cut in the leading marker", std::string("\x08\x00", 2));
  files.emplace_back("negative length", word(0xFFFFFFF0u, order) + payload);
  files.emplace_back("empty", "");
  return files;
}

struct Rec1 {
  std::array<char, 4> name{'-', '-', '-', '-'};
  std::int32_t nc[6] = {-1, -2, -3, -4, -5, -6};
  double dmp = -7.5;
  std::int32_t lrec = -8;
  bool operator==(const Rec1&) const = default;
};

}  // namespace

// The views taken from a record read once give the fields and statuses that
// reading the record again with each item list gives, failures included.
TEST(RecordHead, ViewsAgreeWithReadingTheRecordAgain) {
  for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
    for (const auto& [what, content] : header_records(order)) {
      TempDir dir;
      write_file(dir.file("h.bin"), content);
      RecordReader once, twice;
      ASSERT_EQ(once.open(dir.file("h.bin"), order), 0);
      ASSERT_EQ(twice.open(dir.file("h.bin"), order), 0);
      RecordHead head;
      const int st = once.read_head(head);
      EXPECT_EQ(head.status(), st) << what;
      Rec1 a, b;
      auto kind_view = [](Rec1& r) {
        return std::array{in_text(r.name), in(r.nc[0]), in(r.nc[1]), in(r.lrec)};
      };
      auto full_view = [](Rec1& r) {
        return std::array{in_text(r.name), in(r.nc[0]), in(r.nc[1]), in(r.nc[2]), in(r.nc[3]),
                          in(r.nc[4]), in(r.nc[5]), in(r.dmp),   in(r.lrec)};
      };
      EXPECT_EQ(head.take(kind_view(a)), twice.read(kind_view(b))) << what << " (kind view)";
      EXPECT_TRUE(a == b) << what << " (kind view fields)";
      if (twice.backspace() == 0) {
        EXPECT_EQ(head.take(full_view(a)), twice.read(full_view(b))) << what << " (full view)";
        EXPECT_TRUE(a == b) << what << " (full view fields)";
      }
      // Both readers stand at the same place: the next record reads alike.
      char t1[8] = {}, t2[8] = {};
      EXPECT_EQ(once.read({in_text(t1)}), twice.read({in_text(t2)})) << what << " (next record)";
      EXPECT_EQ(std::string(t1, 8), std::string(t2, 8)) << what;
    }
  }
}

TEST(RecordHead, ViewsBeyondWhatItKeepsOfALongRecordAreRefused) {
  TempDir dir;
  write_file(dir.file("long.bin"), record(std::string(100, 'x')));
  RecordReader r;
  ASSERT_EQ(r.open(dir.file("long.bin"), ByteOrder::little), 0);
  RecordHead head;
  ASSERT_EQ(r.read_head(head), 0);
  EXPECT_EQ(head.length(), 100u);
  char near[RecordHead::capacity], far[RecordHead::capacity + 1];
  EXPECT_EQ(head.take({in_text(near)}), 0);
  EXPECT_EQ(head.take({in_text(far)}), iostat::read_failed);
}

// A sized read learns the length before the payload, passes over a record
// that is too short for what is needed, and checks the trailing marker once.
TEST(RecordReaderSized, SizesFromTheLengthAndTellsShortAndDamagedRecords) {
  const std::string values = word(1) + word(2) + word(3);
  const std::string bad_trailer = word(12) + values + word(13);
  struct Case {
    const char* what;
    std::string file;
    std::size_t need;
    int status;
    bool chosen;  // the length reached the caller
  };
  const std::vector<Case> cases = {
      {"holds", record(values) + record("next"), 3, 0, true},
      {"longer than needed", record(values) + record("next"), 2, 0, true},
      {"too short", record(values) + record("next"), 4, iostat::short_record, true},
      {"too short, trailing marker wrong", bad_trailer, 4, iostat::read_failed, true},
      {"holds, trailing marker wrong", bad_trailer, 3, iostat::read_failed, true},
      {"length beyond the file", word(400) + values + word(400), 1, iostat::read_failed, false},
      {"negative length", word(0xFFFFFFFFu) + values, 1, iostat::read_failed, false},
      {"end of file", "", 1, iostat::end_of_file, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("s.bin"), c.file);
    RecordReader r;
    ASSERT_EQ(r.open(dir.file("s.bin"), ByteOrder::little), 0);
    std::vector<std::int32_t> v;
    InItem item{};
    bool chosen = false;
    const int st = r.read_sized([&](std::uint32_t length) {
      chosen = true;
      EXPECT_EQ(length, 12u) << c.what;
      if (length / 4 < c.need) return SizedItems{false, {}};
      v.assign(c.need, 0);
      item = in(std::span(v));
      return SizedItems{true, std::span(&item, 1)};
    });
    EXPECT_EQ(st, c.status) << c.what;
    EXPECT_EQ(chosen, c.chosen) << c.what;
    const std::vector<std::int32_t> first{1, 2, 3};
    if (st == 0) {
      EXPECT_TRUE(std::ranges::equal(v, std::span(first).first(c.need))) << c.what;
    }
    char t[4];
    if (c.file.ends_with(record("next"))) {
      EXPECT_EQ(r.read({in_text(t)}), 0) << c.what << ": the file stands behind the record";
      EXPECT_EQ(std::string(t, 4), "next");
    }
  }
}

namespace {

// A file of records of the given numbers of 4-byte values, value k of
// record r being r * 1'000'003 + k, in the given byte order.
std::string numbered_records(const std::vector<std::size_t>& lengths, ByteOrder order) {
  std::string file;
  for (std::size_t r = 0; r < lengths.size(); ++r) {
    std::string payload;
    for (std::size_t k = 0; k < lengths[r]; ++k) payload += word(static_cast<std::uint32_t>(r * 1'000'003 + k), order);
    file += record(payload, order);
  }
  return file;
}

// Passing records on must give the bytes of reading their values and writing
// them, in every pairing of byte orders, for records that lie in the reader's
// buffer, across its end, and beyond its size; the reader must stand behind
// each record, and a record it does not pass must be left for an ordinary
// read that meets the record's fault.
TEST(RecordReaderPass, GivesTheBytesOfReadingAndWriting) {
  // Lengths around the 64 KiB buffer and the 64 KiB direct threshold, and
  // small records that end up straddling the buffer's end.
  std::vector<std::size_t> lengths = {3, 0, 16383, 16384, 16385, 5000, 5000, 5000, 5000, 100000, 7, 12000};
  for (int k = 0; k < 40; ++k) lengths.push_back(3000 + 97 * k);
  for (ByteOrder in_order : {ByteOrder::little, ByteOrder::big})
    for (ByteOrder out_order : {ByteOrder::little, ByteOrder::big}) {
      TempDir dir;
      write_file(dir.file("in.bin"), numbered_records(lengths, in_order));
      // The reference: each record read in whole or in part, and written.
      RecordReader r;
      RecordWriter w;
      ASSERT_EQ(r.open(dir.file("in.bin"), in_order), 0);
      ASSERT_EQ(w.open(dir.file("read.bin"), out_order), 0);
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        std::vector<float> v(lengths[i] - (i % 3 == 1 && lengths[i] > 0 ? 1 : 0));
        ASSERT_EQ(r.read({in(std::span(v))}), 0);
        ASSERT_EQ(w.write({out(std::span<const float>(v))}), 0);
      }
      ASSERT_EQ(w.close(), 0);
      ASSERT_EQ(r.close(), 0);

      ASSERT_EQ(r.open(dir.file("in.bin"), in_order), 0);
      ASSERT_EQ(w.open(dir.file("passed.bin"), out_order), 0);
      int passed = 0;
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::size_t n = lengths[i] - (i % 3 == 1 && lengths[i] > 0 ? 1 : 0);
        const int st = r.pass_record(n, w);
        if (st == iostat::not_copied) {
          std::vector<float> v(n);
          ASSERT_EQ(r.read({in(std::span(v))}), 0) << "record " << i;
          ASSERT_EQ(w.write({out(std::span<const float>(v))}), 0);
        } else {
          ASSERT_EQ(st, 0) << "record " << i;
          ++passed;
        }
      }
      EXPECT_EQ(r.skip(), iostat::end_of_file);
      ASSERT_EQ(w.close(), 0);
      EXPECT_TRUE(read_file(dir.file("passed.bin")) == read_file(dir.file("read.bin")))
          << "orders " << int(in_order) << " to " << int(out_order);
      EXPECT_GT(passed, 40) << "the records that fit the buffer are passed on";
    }
}

TEST(RecordReaderPass, LeavesFaultyRecordsForTheOrdinaryRead) {
  const std::string values = word(1) + word(2) + word(3);
  struct Case {
    const char* what;
    std::string file;
    std::size_t need;
    int read_status;  // of the ordinary read that follows
  };
  const std::vector<Case> cases = {
      {"too short", record(values), 4, iostat::short_record},
      {"trailing marker wrong", word(12) + values + word(13), 3, iostat::read_failed},
      {"cut in the payload", word(12) + values.substr(0, 6), 1, iostat::read_failed},
      {"end of file", "", 1, iostat::end_of_file},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("in.bin"), word(0) + word(0) + c.file);  // an empty record first
    RecordReader r;
    RecordWriter w;
    ASSERT_EQ(r.open(dir.file("in.bin"), ByteOrder::little), 0);
    ASSERT_EQ(w.open(dir.file("out.bin"), ByteOrder::little), 0);
    ASSERT_EQ(r.pass_record(0, w), 0) << c.what;
    EXPECT_EQ(r.pass_record(c.need, w), iostat::not_copied) << c.what;
    std::vector<std::int32_t> v(c.need);
    EXPECT_EQ(r.read({in(std::span(v))}), c.read_status) << c.what;
    ASSERT_EQ(w.close(), 0);
    EXPECT_EQ(read_file(dir.file("out.bin")), word(0) + word(0)) << c.what << ": nothing of it written";
  }
  // A long record whose values are reversed on the way is left to be read
  // into an array, where the swap happens in place.
  TempDir dir;
  write_file(dir.file("in.bin"), numbered_records({20000}, ByteOrder::little));
  RecordReader r;
  RecordWriter w;
  ASSERT_EQ(r.open(dir.file("in.bin"), ByteOrder::little), 0);
  ASSERT_EQ(w.open(dir.file("out.bin"), ByteOrder::big), 0);
  EXPECT_EQ(r.pass_record(20000, w), iostat::not_copied);
  EXPECT_EQ(r.skip(), 0);
}

// A writer that failed is told to the caller of a pass, as a write failure.
TEST(RecordReaderPass, TellsAFullDisk) {
  TempDir dir;
  write_file(dir.file("in.bin"), numbered_records({5, 5}, ByteOrder::little));
  RecordReader r;
  RecordWriter w;
  ASSERT_EQ(r.open(dir.file("in.bin"), ByteOrder::little), 0);
  ASSERT_EQ(w.open("/dev/full", ByteOrder::little), 0);
  ASSERT_EQ(w.write({out(std::span<const float>(std::vector<float>(1 << 19)))}), iostat::write_failed);
  EXPECT_EQ(r.pass_record(5, w), iostat::write_failed);
  EXPECT_EQ(w.close(), iostat::write_failed);
}

}  // namespace

namespace {

// A count read first sizes what follows it, in the one read of the record.
TEST(RecordReaderSized, ACountReadFirstSizesTheRest) {
  struct Case {
    const char* what;
    std::string file;
    int status;
    bool chosen;  // the count reached the caller
  };
  const std::string two = word(2) + word(7) + word(8);
  const std::vector<Case> cases = {
      {"count and its items", record(two) + record("next"), 0, true},
      {"count beyond the record", record(word(3) + word(7) + word(8)) + record("next"), iostat::short_record, true},
      {"too short for the count", record("ab") + record("next"), iostat::short_record, false},
      {"trailing marker wrong", word(12) + two + word(11), iostat::read_failed, true},
      {"cut in the count", word(12) + "ab", iostat::read_failed, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("c.bin"), c.file);
    RecordReader r;
    ASSERT_EQ(r.open(dir.file("c.bin"), ByteOrder::little), 0);
    std::int32_t count = -1;
    const InItem head = in(count);
    std::vector<std::int32_t> ids;
    InItem rest{};
    bool chosen = false;
    const int st = r.read_sized(std::span(&head, 1), [&](std::uint32_t length) {
      chosen = true;
      if (4 + 4 * static_cast<std::uint64_t>(count) > length) return SizedItems{false, {}};
      ids.assign(static_cast<std::size_t>(count), 0);
      rest = in(std::span(ids));
      return SizedItems{true, std::span(&rest, 1)};
    });
    EXPECT_EQ(st, c.status) << c.what;
    EXPECT_EQ(chosen, c.chosen) << c.what;
    if (st == 0) {
      EXPECT_EQ(ids, (std::vector<std::int32_t>{7, 8}));
    }
    if (c.file.ends_with(record("next"))) {
      char t[4];
      EXPECT_EQ(r.read({in_text(t)}), 0) << c.what << ": the file stands behind the record";
    }
  }
}

}  // namespace
