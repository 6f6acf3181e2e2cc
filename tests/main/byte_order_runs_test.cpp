// Whole runs in big-endian of a case whose records reach 64 KiB and more:
// from that size the writer swaps the values of a record in place and
// writes them past its buffer, and the reader leaves such a record to be
// read rather than passing it on. The outputs are checked against the TP18
// model, and the big-endian files are read back through the converter's own
// channels, swapped on reading, into the little-endian files of the same
// case.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "io/channels.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

constexpr std::uint32_t direct_bytes = 64 << 10;

// A TP18 file of time histories only, many of them longer than 16384
// values, its input data file, and an empty TP19 file.
struct WideCase {
  TempDir dir;
  WideCase() {
    const auto g = qxtest::run_program(
        {QXGEN_PATH, "--out", dir.file("case"), "--seed", "11", "--size", "16M", "--only-tp18", "--blocks", "WAVE"});
    EXPECT_EQ(g.exit_status, 0) << g.err;
  }
};
const TempDir& wide_case() {
  static const WideCase c;
  return c.dir;
}

// Converts the wide case in a directory of its own.
Outputs convert_wide(const TempDir& dir, const std::vector<std::string>& options, bool big_endian) {
  for (const char* ext : {".qxin", ".TP18"})
    std::filesystem::copy_file(wide_case().file(std::string("case") + ext), dir.file(std::string("case") + ext));
  const ProgramRun r = run_qxconv(dir.path(), options, answers("case", big_endian));
  EXPECT_EQ(r.exit_status, 0) << r.errors;
  EXPECT_TRUE(r.terminal.ends_with("\nNORMAL END (zelvorith)\n"));
  return collect(dir.path(), "case");
}

std::size_t wide_records(const std::string& file, bool big_endian) {
  const auto records = tp18model::parse_records(file, big_endian).records;
  return static_cast<std::size_t>(
      std::count_if(records.begin(), records.end(), [](const std::string& r) { return r.size() >= direct_bytes; }));
}

TEST(BigEndianRuns, RecordsOf64KiBAndMoreAreWrittenAsTheModelSays) {
  std::string list;
  int status = 0;
  const Outputs model = tp18_model(qxtest::read_file(wide_case().file("case.TP18")), true, list, status);
  ASSERT_EQ(status, 0);
  // Without a text copy the values are swapped in place; with one, through
  // the writer's buffer.
  for (const auto& options : {std::vector<std::string>{}, std::vector<std::string>{"-wave"}}) {
    TempDir dir;
    const Outputs files = convert_wide(dir, options, true);
    for (const char* suffix : {"_QX2D.TP18", "_QXSH.TP18"}) {
      const std::string what = std::string(suffix) + (options.empty() ? "" : " -wave");
      const std::string& blocks = model.at(suffix);
      EXPECT_GT(wide_records(blocks, true), 10u) << what;
      EXPECT_TRUE(get(files, suffix).ends_with(blocks)) << what << " does not end with the model's blocks";
    }
  }
}

// The offsets at which the blocks of a converted file begin, as qxdump lists
// them: the first word of a block's header is its kind word, a text.
std::set<std::uint64_t> block_offsets(const std::string& path) {
  const auto listing = qxtest::run_program({QXDUMP_PATH, path});
  EXPECT_EQ(listing.exit_status, 0) << listing.err;
  std::set<std::uint64_t> at;
  for (const std::string& line : qxtest::split_lines(listing.out))
    if (line.starts_with("block ")) at.insert(std::stoull(line.substr(line.find('@') + 1)));
  return at;
}

// Every record of the big-endian file read through a channel of that byte
// order and written to a little-endian one: block headers as their kind
// word and int4 values, other records in turn passed on and read into int4
// values. The result is the little-endian file.
std::string read_back_little(const std::string& big_file, const std::set<std::uint64_t>& headers,
                             const std::string& copy) {
  qx::Channels ch;
  EXPECT_EQ(ch.open_binary_read(18, big_file, qx::ByteOrder::big), 0);
  EXPECT_EQ(ch.open_binary_write(20, copy, qx::ByteOrder::little), 0);
  std::vector<std::int32_t> values;
  std::array<char, 4> word{};
  bool pass = true;
  for (std::uint64_t offset = 0;; offset += 8) {
    std::uint32_t length = 0;
    const int st = ch.peek_record_length(18, length);
    if (st == qx::iostat::end_of_file) break;
    EXPECT_EQ(st, 0);
    if (st != 0) break;
    const bool header = headers.count(offset) > 0;
    offset += length;
    values.assign((length - (header ? 4 : 0)) / 4, 0);
    const std::span<std::int32_t> numbers(values);
    const std::span<const std::int32_t> written(values);
    int moved = qx::iostat::not_copied;
    if (header) {
      EXPECT_EQ(ch.read_record(18, {qx::in_text(word), qx::in(numbers)}), 0);
      moved = ch.write_record(20, {qx::out_text(std::string_view(word.data(), word.size())), qx::out(written)});
    } else if ((pass = !pass)) {
      moved = ch.pass_record(18, 20, values.size());
    }
    if (moved == qx::iostat::not_copied) {
      EXPECT_EQ(ch.read_record(18, {qx::in(numbers)}), 0);
      moved = ch.write_record(20, {qx::out(written)});
    }
    EXPECT_EQ(moved, 0);
  }
  EXPECT_EQ(ch.close(20), 0);
  ch.close(18);
  return qxtest::read_file(copy);
}

TEST(BigEndianRuns, TheBigEndianFilesReadBackSwappedIntoTheLittleEndianOnes) {
  TempDir little_dir, big_dir, copies;
  const Outputs little = convert_wide(little_dir, {}, false);
  convert_wide(big_dir, {}, true);
  for (const char* suffix : {"_QX2D.TP18", "_QXSH.TP18"}) {
    const std::string& expected = get(little, suffix);
    ASSERT_GT(wide_records(expected, false), 10u) << suffix;
    const std::string big = big_dir.file(std::string("case") + suffix);
    const std::string copy = read_back_little(big, block_offsets(big), copies.file(suffix));
    EXPECT_TRUE(copy == expected) << suffix << ": read back, the big-endian file is not the little-endian one";
  }
}

}  // namespace
