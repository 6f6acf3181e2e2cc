// Reading ahead must give exactly what pread gives at every offset a record
// reader asks for: in order across slots, after jumps forward and back, at
// and beyond the end of the file, after the file has grown, and on a file
// that cannot be read; on the thread and without it.
#include "io/read_ahead.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.hpp"

namespace {

using qx::ReadAhead;
using qxtest::TempDir;

// Bytes that differ from their neighbours at every offset.
std::string patterned(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 2654435761u) >> 13);
  return s;
}

struct Fd {
  explicit Fd(const std::string& path, int flags = O_RDONLY) : fd(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

// What a read at `off` of `n` bytes must give from a file of `data`.
std::string expected_at(const std::string& data, std::uint64_t off, std::size_t n) {
  return off >= data.size() ? std::string() : data.substr(off, std::min<std::size_t>(n, data.size() - off));
}

std::string read_at(ReadAhead& ra, std::uint64_t off, std::size_t n) {
  std::string got(n, '\xAA');
  const long long r = ra.read(off, got.data(), n);
  if (r < 0) return "<failed>";
  got.resize(static_cast<std::size_t>(r));
  return got;
}

TEST(ReadAhead, GivesWhatPreadGivesWhereverTheReaderGoes) {
  constexpr std::size_t ring = ReadAhead::slot_count * ReadAhead::slot_bytes;
  const std::string data = patterned(3 * ring + 12345);  // ends inside a slot
  TempDir dir;
  qxtest::write_file(dir.file("data"), data);
  const Fd f(dir.file("data"));
  ASSERT_GE(f.fd, 0);

  // Reads in order of odd sizes across slot ends, one of several slots;
  // passing over a little (within the ring) and far; going back; running
  // into, reaching and passing the end; all of the file after the end.
  std::vector<std::pair<std::uint64_t, std::size_t>> steps;
  std::uint64_t off = 0;
  for (std::size_t n : {1u, 3u, 4096u, 65535u, 65536u, 65537u, 300000u, 7u}) {
    steps.emplace_back(off, n);
    off += n;
  }
  steps.emplace_back(off + 1000, 5000);
  steps.emplace_back(off + 6000 + 900000, 70000);
  steps.emplace_back(off + 2'500'000, 100);
  steps.emplace_back(10, 100);
  steps.emplace_back(110, 200000);
  steps.emplace_back(data.size() - 50, 100);
  steps.emplace_back(data.size(), 10);
  steps.emplace_back(data.size() + 100, 10);
  steps.emplace_back(0, data.size() + 10);
  steps.emplace_back(ring - 3, 6);

  for (bool threaded : {true, false}) {
    ReadAhead ra;
    ra.attach(f.fd, threaded);
    for (const auto& [at, n] : steps) {
      const std::string got = read_at(ra, at, n);
      ASSERT_EQ(got.size(), expected_at(data, at, n).size()) << "at " << at << " n " << n << " threaded " << threaded;
      EXPECT_TRUE(got == expected_at(data, at, n)) << "at " << at << " n " << n << " threaded " << threaded;
      if (at == 1) {
        EXPECT_EQ(ra.reading_ahead(), threaded) << "the thread reads ahead from the first read on";
      }
    }
    ra.detach();
    EXPECT_FALSE(ra.reading_ahead());
  }
}

// The end of the file is met when the reader gets there, not when the thread
// did: bytes added in between are read, and a read at the end stays short.
TEST(ReadAhead, MeetsTheEndOfTheFileAsItIsWhenTheReaderGetsThere) {
  const std::string first = patterned(ReadAhead::threaded_from + 777);
  TempDir dir;
  qxtest::write_file(dir.file("growing"), first);
  const Fd f(dir.file("growing"));
  ReadAhead ra;
  ra.attach(f.fd, true);
  EXPECT_TRUE(read_at(ra, 0, first.size() + 100) == first);
  EXPECT_EQ(read_at(ra, first.size(), 100), "");

  const std::string more = "appended after the end was met";
  std::ofstream(dir.file("growing"), std::ios::binary | std::ios::app) << more;
  EXPECT_EQ(read_at(ra, first.size(), 100), more);
  EXPECT_EQ(read_at(ra, first.size() + more.size(), 100), "");
  // Going back reads ahead anew, through to the new end.
  EXPECT_TRUE(read_at(ra, 5, first.size() + more.size()) == (first + more).substr(5));
}

// A file the system cannot read (here a directory) fails every read, on the
// thread and without it, and keeps failing.
TEST(ReadAhead, TellsAFileThatCannotBeRead) {
  TempDir dir;
  const Fd d(dir.file(""), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(d.fd, 0);
  for (bool threaded : {true, false}) {
    ReadAhead ra;
    ra.attach(d.fd, threaded);
    char buf[16];
    EXPECT_EQ(ra.read(0, buf, sizeof buf), -1);
    EXPECT_EQ(ra.read(0, buf, sizeof buf), -1);
    EXPECT_EQ(ra.read(1u << 20, buf, sizeof buf), -1);
  }
}

}  // namespace
