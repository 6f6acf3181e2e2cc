// qxdump against a Fortran reader and the stored bytes, in both byte orders,
// and on broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "convert/tp18_model.hpp"
#include "tools/generated_cases.hpp"
#include "tools/qxdump_runs.hpp"

namespace {

using namespace qxtools;
using qxtest::CommandResult;
using qxtest::read_file;
using qxtest::TempDir;

// Every record of a little-endian file by its markers: (offset, length).
std::vector<std::pair<std::uint64_t, std::uint32_t>> marker_walk(const std::string& bytes) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> records;
  std::uint64_t at = 0;
  for (const std::string& r : tp18model::parse_records(bytes).records)
    at += 8 + records.emplace_back(at, r.size()).second;
  return records;
}

// The block lines of a listing in the reader's terms: kind, codes, size and
// the number of data records (maxima: code, nc2, na and nd).
std::vector<std::string> dump_blocks(const std::string& listing) {
  std::vector<std::string> out;
  for (const std::string& line : qxtest::split_lines(listing)) {
    if (!line.starts_with("block ")) continue;
    std::istringstream in(line);
    std::string word, kind;
    std::map<std::string, std::string> f;
    for (in >> word >> word >> word >> kind; in >> word;)
      f[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
    const std::string dropped = f.count("dropped") ? " dropped" : "";
    const std::string &nc = f["nc"], &records = f["records"];
    if (kind == "MAXR")
      out.push_back("MAXR " + f["code"] + "," + f["nc2"] + " " + f["na"] + " " + f["nd"] + dropped);
    else
      out.push_back(kind + " " + nc.substr(0, nc.find(',', nc.find(',', nc.find(',') + 1) + 1)) + " " + f["nsize2"] +
                    " " + std::to_string(std::count(records.begin(), records.end(), ',') - 1) + dropped);
  }
  return out;
}

std::string reader_block(const Block& b, bool tp18) {
  auto s = [](long v) { return std::to_string(v); };
  if (b.kind == "MAXR")
    return "MAXR " + s(b.nc1) + "," + s(b.nc2) + " " + s(b.n) + " " + s(b.records) + (b.nc1 > 112 ? " dropped" : "");
  return b.kind + " " + s(b.nc1) + "," + s(b.nc2) + "," + s(b.nc3) + " " + s(b.n) + " " + s(b.records) +
         (tp18 && !b.converted ? " dropped" : "");
}

// A listing with --records --values 7 shows every record at its offset with
// its stored int4 and real4 values.
void expect_records_as_stored(const std::string& bytes, const std::string& listing) {
  const auto records = marker_walk(bytes);
  std::size_t next = 0, checked_values = 0;
  const std::vector<std::string> lines = qxtest::split_lines(listing);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::string word, at, length, role;
    if (!(in >> word >> at >> length >> role) || word != "record") continue;
    ASSERT_LT(next, records.size());
    const auto [offset, size] = records[next++];
    EXPECT_EQ(at + " " + length, "@" + std::to_string(offset) + " length=" + std::to_string(size));
    if (role != "data") continue;
    std::vector<double> shown;
    for (std::size_t j = i + 1; j < lines.size() && lines[j].starts_with("    "); ++j) {
      std::istringstream v(lines[j]);
      for (double x; v >> x;) shown.push_back(x);
    }
    ASSERT_EQ(shown.size(), std::min<std::size_t>(7, size / 4)) << lines[i];
    const std::size_t ints = lines[i - 1].find("header") != npos ? 1 + 2 * static_cast<std::size_t>(shown[0]) : 0;
    for (std::size_t k = 0; k < shown.size(); ++k, ++checked_values) {
      std::int32_t word4;
      float real4;
      std::memcpy(&word4, bytes.data() + offset + 4 + 4 * k, 4);
      std::memcpy(&real4, &word4, 4);
      if (k < ints)
        EXPECT_EQ(shown[k], word4);
      else
        EXPECT_NEAR(shown[k], real4, std::fabs(real4) * 1e-5 + 1e-44) << lines[i] << " value " << k;
    }
  }
  EXPECT_EQ(next, records.size());
  EXPECT_GT(checked_values, 50u);
}

TEST(Qxdump, ResultFilesAgreeWithAFortranReaderAndTheirBytes) {
  ASSERT_TRUE(readers().ok) << readers().log;
  for (const auto& args : {std::vector<std::string>{"--seed", "5", "--size", "40k"},
                           std::vector<std::string>{"--seed", "912", "--size", "300k", "--no-info"}}) {
    SCOPED_TRACE(args[1]);
    TempDir dir;
    const std::string base = generate(dir, args);
    for (const std::string family : {"TP18", "TP19"}) {
      const std::string path = base + "." + family, size = std::to_string(std::filesystem::file_size(path));
      const CommandResult r = qxdump({"--records", "--values", "7", path});
      ASSERT_EQ(r.exit_status, 0) << r.err;
      expect_records_as_stored(read_file(path), r.out);
      std::vector<std::string> expected;
      for (const Block& b : read_results(path, family).blocks) expected.push_back(reader_block(b, family == "TP18"));
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(dump_blocks(r.out), expected) << family;
      const std::vector<std::string> lines = qxtest::split_lines(r.out);
      EXPECT_EQ(lines.front(), "file " + path + ": result file, " + family + ", little-endian, " + size + " bytes");
      EXPECT_TRUE(lines.back().starts_with("end @" + size + " records=")) << lines.back();
      EXPECT_NE(lines.back().find(" blocks=" + std::to_string(expected.size()) + " unplaced=0"), npos);
    }
  }
}

TEST(Qxdump, ConvertedFilesReadAlikeInEitherByteOrder) {
  TempDir little, big;
  convert_case(little, "No");
  convert_case(big, "Yes");
  for (const char* suffix : {"_QX2D.TP18", "_QXSH.TP18", "_QX2D.TP19", "_QXSH.TP19"}) {
    const std::string name = std::string("case1") + suffix;
    const CommandResult l = qxdump({"--records", "--values", "5", little.file(name)});
    const CommandResult b = qxdump({"--records", "--values", "5", big.file(name)});
    ASSERT_EQ(l.exit_status, 0) << l.err;
    ASSERT_EQ(b.exit_status, 0) << b.err;
    EXPECT_TRUE(l.out.starts_with("file " + little.file(name) + ": converted file, TP1")) << l.out.substr(0, 200);
    EXPECT_GT(dump_blocks(l.out).size(), 5u) << name;
    const std::size_t l_end = l.out.find('\n'), b_end = b.out.find('\n');
    EXPECT_NE(l.out.substr(0, l_end).find(", little-endian, "), npos);
    EXPECT_NE(b.out.substr(0, b_end).find(", big-endian, "), npos) << b.out.substr(0, b_end);
    EXPECT_EQ(b.out.substr(b_end), l.out.substr(l_end)) << name;
  }
}

TEST(Qxdump, BrokenFilesAreReportedByOffset) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "2", "--size", "30k"});
  const std::string whole = read_file(base + ".TP18");
  // Block 1: INFO, records 0 and 1; block 2: WAVE, records 2 to 4.
  const auto rec = marker_walk(whole);
  ASSERT_EQ(rec[2].second, 40u);
  const std::uint64_t wave = rec[2].first, data = rec[4].first, trail = rec[7].first + 4 + rec[7].second;
  std::string later_trail = whole, negative = whole;
  later_trail[trail] = static_cast<char>(later_trail[trail] + 1);
  std::memset(negative.data() + rec[3].first, 0xFF, 4);
  auto at = [](std::uint64_t offset) { return " at offset " + std::to_string(offset); };
  const std::pair<std::string, std::string> cases[] = {
      {whole.substr(0, data + 10), "truncated record" + at(data) + ": its marker announces " +
                                       std::to_string(rec[4].second) + " bytes, the file holds 6 after the marker"},
      {whole.substr(0, data + 2),
       "truncated record" + at(data) + ": the file ends inside its length marker (2 bytes left)"},
      // The payload whole, its trailing marker missing or cut.
      {whole.substr(0, data + 4 + rec[4].second),
       "truncated record" + at(data) + ": its trailing length marker is missing (the file ends right after its " +
           std::to_string(rec[4].second) + " bytes)"},
      {whole.substr(0, data + 7 + rec[4].second),
       "truncated record" + at(data) + ": the file ends inside its trailing length marker (3 of 4 bytes, after its " +
           std::to_string(rec[4].second) + " bytes)"},
      {whole.substr(0, rec[3].first),
       "file ends early" + at(rec[3].first) + ": block 2 at @" + std::to_string(wave) + " lacks its size record"},
      {whole.substr(0, data),
       "file ends early" + at(data) + ": block 2 at @" + std::to_string(wave) + " holds 0 of its 1 data records"},
      {later_trail, "corrupt record marker" + at(rec[7].first) + ": leading marker " + std::to_string(rec[7].second) +
                        ", trailing marker " + std::to_string(rec[7].second + 1) + at(trail)},
      {negative, "corrupt record marker" + at(rec[3].first) + ": negative length -1"},
      // A first record that neither byte order can place.
      {std::string("\x28\0\0\0", 4) + std::string(20, 'x'),
       "truncated record at offset 0: its marker announces 40 bytes, the file holds 20 after the marker"},
  };
  int k = 0;
  for (const auto& [bytes, message] : cases) {
    const std::string path = dir.file("broken" + std::to_string(k++) + ".TP18");
    qxtest::write_file(path, bytes);
    const CommandResult r = qxdump({path});
    EXPECT_EQ(r.exit_status, 1) << r.out;
    EXPECT_EQ(r.err, "qxdump: " + path + ": " + message + "\n");
    EXPECT_EQ(r.out.find("\nend "), npos) << "a broken file has no end line";
  }
  // At a block boundary the file is whole.
  qxtest::write_file(dir.file("two.TP18"), whole.substr(0, rec[5].first));
  const CommandResult r = qxdump({dir.file("two.TP18")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("end @" + std::to_string(rec[5].first) + " records=5 blocks=2 "), npos) << r.out;
}

// A run that stops leaves its converted files empty or cut after any record
// it wrote. Cut before the first block, the model section is incomplete and
// the file is reported so; cut between blocks, the file reads as whole (its
// list file tells whether the run ended normally).
TEST(Qxdump, ConvertedFilesEmptyOrEndingInsideTheirModelSectionAreIncomplete) {
  TempDir dir;
  convert_case(dir, "No");
  for (const char* suffix : {"_QX2D.TP18", "_QXSH.TP19"}) {
    const std::string whole = read_file(dir.file(std::string("case1") + suffix));
    const CommandResult listing = qxdump({dir.file(std::string("case1") + suffix)});
    ASSERT_EQ(listing.exit_status, 0) << listing.err;
    // Every record boundary up to the first block, then every fifth block
    // boundary and the end.
    std::vector<std::uint64_t> inside, between{whole.size()};
    std::uint64_t model_end = 0, block = 0;
    for (const std::string& line : qxtest::split_lines(listing.out))
      if (line.starts_with("block ") && block++ % 5 == 0) between.push_back(std::stoull(line.substr(line.find('@') + 1)));
    ASSERT_GE(between.size(), 3u);
    model_end = between[1];
    for (const auto& [offset, length] : marker_walk(whole))
      if (offset < model_end) inside.push_back(offset);
    ASSERT_GE(inside.size(), 5u) << suffix;
    for (const std::uint64_t at : inside) {
      const std::string path = dir.file("cut" + std::to_string(at) + suffix), what = path;
      qxtest::write_file(path, whole.substr(0, at));
      const CommandResult r = qxdump({path});
      EXPECT_EQ(r.exit_status, 1) << what;
      EXPECT_EQ(r.out.find("\nend "), npos) << what;
      const std::string expected =
          at == 0 ? "incomplete converted file: it is empty, without the model section it must begin with\n"
                  : "incomplete converted file: it ends at offset " + std::to_string(at) +
                        " inside its model section, which lacks its ";
      EXPECT_TRUE(r.err.starts_with("qxdump: " + path + ": " + expected)) << what << ": " << r.err;
    }
    for (const std::uint64_t at : between) {
      const std::string path = dir.file("cut" + std::to_string(at) + suffix), what = path;
      qxtest::write_file(path, whole.substr(0, at));
      const CommandResult r = qxdump({path});
      EXPECT_EQ(r.exit_status, 0) << what << ": " << r.err;
      EXPECT_NE(r.out.find("\nend @" + std::to_string(at) + " "), npos) << what;
    }
  }
  // An empty file whose name makes no claim is only empty.
  qxtest::write_file(dir.file("empty.TP18"), "");
  const CommandResult r = qxdump({dir.file("empty.TP18")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
}

}  // namespace
