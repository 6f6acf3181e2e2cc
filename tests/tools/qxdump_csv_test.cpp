// qxdump --csv: every block of converted files (both byte orders) and result
// files, its cells read back through float parsing and compared bit for bit
// with the file's bytes; the time column of steps such as 0.0025 and 0.01;
// requests that cannot be met.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

#include "tools/listed_blocks.hpp"
#include "tools/qxdump_runs.hpp"

namespace {

using namespace qxtools;
using qxtest::CommandResult;
using qxtest::TempDir;

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> c;
  std::size_t start = 0;
  for (std::size_t comma; (comma = line.find(',', start)) != npos; start = comma + 1)
    c.push_back(line.substr(start, comma - start));
  c.push_back(line.substr(start));
  return c;
}

template <typename T>
T parsed(const std::string& cell, const std::string& where) {
  T v{};
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
  EXPECT_TRUE(ec == std::errc{} && end == cell.data() + cell.size()) << where << ": '" << cell << "'";
  return v;
}

// A real4 cell reads back to exactly the stored bits.
void expect_real4(const std::string& cell, std::uint32_t stored, const std::string& where) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(parsed<float>(cell, where)), stored) << where << ": '" << cell << "'";
}

std::string shortest(float v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// The abscissa k·step of a block that steps: the real4 nearest to the exact
// product (of two equally near, the one of fewer digits), in the fewest
// digits that read back to it. For k below 2^11 the product of k and a
// double is exact in the 64 bits of a long double.
void expect_step_abscissa(const std::string& cell, std::size_t k, double step, const std::string& where) {
  ASSERT_LT(k, 2048u) << where;
  const long double exact = static_cast<long double>(k) * static_cast<long double>(step);
  const float below = std::nextafter(static_cast<float>(exact), -1e30f), at = static_cast<float>(exact);
  std::string best;
  long double distance = 1e30L;
  for (float f : {below, at, std::nextafter(at, 1e30f)}) {
    const long double d = std::fabs(static_cast<long double>(f) - exact);
    if (d < distance || (d == distance && shortest(f).size() < best.size())) {
      distance = d;
      best = shortest(f);
    }
  }
  EXPECT_EQ(cell, best) << where << " row " << k;
}

struct FileCase {
  std::string path;
  bool converted, tp19;
};

// What --csv writes for one block, checked against the bytes of its records.
// Returns the number of values compared.
std::size_t check_block(const FileCase& f, const std::string& bytes, const ListedBlock& b) {
  const std::string where = f.path + " block " + std::to_string(b.number) + " " + b.kind;
  const CommandResult r = qxdump({"--csv", std::to_string(b.number), f.path});
  const std::vector<ListedRecord> data = b.data();
  if (data.empty()) {
    EXPECT_EQ(r.exit_status, 1) << where;
    EXPECT_TRUE(r.out.empty()) << where;
    const std::string why =
        b.kind == "MAXR" ? ") is a maxima header without a data record\n" : ") holds no data records\n";
    EXPECT_EQ(r.err, "qxdump: " + f.path + ": block " + std::to_string(b.number) + " (" + b.kind + why);
    return 0;
  }
  EXPECT_EQ(r.exit_status, 0) << where << ": " << r.err;
  const std::vector<std::string> lines = qxtest::split_lines(r.out);
  if (lines.empty()) return 0;
  const std::vector<std::string> head = cells(lines[0]);
  const bool big = f.converted && big_endian(bytes);
  std::size_t compared = 0;

  if (b.kind == "MAXR") {
    const ListedRecord& rec = data[0];
    const std::size_t na = word_at(bytes, rec, 0, big);
    const bool two_ids = head.size() > 1 && head[1] == "item_id2";
    const std::size_t ids = two_ids ? 2 : 1, per_item = head.size() - ids;
    EXPECT_EQ(lines.size(), 1 + na) << where;
    // Converted records hold ia1 alone or ia1 and ia2 of each item in turn;
    // records of a TP18 file all ia1, then all ia2.
    EXPECT_EQ(two_ids, !f.converted || rec.length == 4 + 24 * na) << where;
    const std::size_t id_words = f.converted ? ids * na : 2 * na;
    EXPECT_EQ(rec.length, 4 * (1 + id_words + per_item * na)) << where << ": the rows cover the whole record";
    for (std::size_t a = 0; a < na && 1 + a < lines.size(); ++a) {
      const std::vector<std::string> row = cells(lines[1 + a]);
      EXPECT_EQ(row.size(), head.size()) << where << " row " << a;
      if (row.size() != head.size()) break;
      const std::size_t id1 = f.converted ? 1 + ids * a : 1 + a, id2 = f.converted ? 2 + ids * a : 1 + na + a;
      EXPECT_EQ(parsed<std::int32_t>(row[0], where), static_cast<std::int32_t>(word_at(bytes, rec, id1, big)));
      if (two_ids) {
        EXPECT_EQ(parsed<std::int32_t>(row[1], where), static_cast<std::int32_t>(word_at(bytes, rec, id2, big)));
      }
      for (std::size_t v = 0; v < per_item; ++v, ++compared)
        expect_real4(row[ids + v], word_at(bytes, rec, 1 + id_words + a * per_item + v, big), where);
    }
    return compared;
  }

  // Converted TP18 spectra carry their frequency axis as the first record;
  // a time history steps by dt, a result file's spectrum by its df; other
  // blocks are numbered.
  const bool spectrum = b.kind == "FOUR" || b.kind == "AMPL";
  const std::size_t axis = f.converted && !f.tp19 && spectrum ? 1 : 0;
  const std::string first = axis || (spectrum && !f.converted) ? "frequency" : b.kind == "WAVE" ? "time" : "index";
  std::vector<std::string> expected_head{first};
  for (std::size_t c = axis; c < data.size(); ++c)
    expected_head.push_back(data.size() - axis == 1 ? "value" : "value" + std::to_string(c - axis + 1));
  EXPECT_EQ(head, expected_head) << where;
  const ListedRecord& rec2 = b.records.at(1);
  EXPECT_EQ(rec2.role, "REC2");
  const double step = f.converted ? real4_at(bytes, rec2, 1, big) : real8_at(bytes, rec2, 4);
  std::size_t rows = 0;
  for (const ListedRecord& d : data) rows = std::max<std::size_t>(rows, d.length / 4);
  EXPECT_EQ(lines.size(), 1 + rows) << where;
  for (std::size_t k = 0; k < rows && 1 + k < lines.size(); ++k) {
    const std::vector<std::string> row = cells(lines[1 + k]);
    EXPECT_EQ(row.size(), head.size()) << where << " row " << k;
    if (row.size() != head.size()) break;
    if (axis)
      expect_real4(row[0], word_at(bytes, data[0], k, big), where + " axis");
    else if (first == "index")
      EXPECT_EQ(parsed<std::uint64_t>(row[0], where), k);
    else
      expect_step_abscissa(row[0], k, step, where);
    for (std::size_t c = axis; c < data.size(); ++c) {
      const std::string& cell = row[1 + c - axis];
      if (k < data[c].length / 4) {
        expect_real4(cell, word_at(bytes, data[c], k, big), where + " row " + std::to_string(k));
        ++compared;
      } else {
        EXPECT_EQ(cell, "") << where << ": a record shorter than the others leaves its cell empty";
      }
    }
  }
  return compared;
}

TEST(QxdumpCsv, EveryBlockReadsBackBitForBit) {
  TempDir little, big;
  convert_case(little, "No");
  convert_case(big, "Yes");
  std::vector<FileCase> files = {{little.file("case1.TP18"), false, false}, {little.file("case1.TP19"), false, true}};
  // TP19 blocks are alike in both byte orders: big-endian ones suffice.
  for (const TempDir* d : {&little, &big})
    for (const char* name : {"case1_QX2D.TP18", "case1_QXSH.TP18", "case1_QX2D.TP19", "case1_QXSH.TP19"})
      if (d == &big || std::string(name).ends_with("TP18"))
        files.push_back({d->file(name), true, std::string(name).ends_with("TP19")});
  std::size_t compared = 0, maxima = 0, curves = 0;
  for (const FileCase& f : files) {
    const std::string bytes = qxtest::read_file(f.path);
    const std::vector<ListedBlock> blocks = listed_blocks(f.path);
    ASSERT_GT(blocks.size(), 3u) << f.path;
    for (const ListedBlock& b : blocks) {
      const std::size_t n = check_block(f, bytes, b);
      compared += n;
      (b.kind == "MAXR" ? maxima : curves) += n > 0;
    }
  }
  EXPECT_GT(maxima, 20u);
  EXPECT_GT(curves, 100u);
  EXPECT_GT(compared, 10000u);
}

// Records of one time history, in a result file (REC1 of 40 bytes, REC2 of
// 28 with a real8 step) or as converted blocks (36 and 24 bytes, a real4
// step), little-endian.
std::string record(const std::string& payload) {
  std::string r(4, '\0');
  const auto n = static_cast<std::uint32_t>(payload.size());
  std::memcpy(r.data(), &n, 4);
  return r + payload + r;
}
template <typename T>
std::string bytes_of(T v) {
  std::string s(sizeof v, '\0');
  std::memcpy(s.data(), &v, sizeof v);
  return s;
}
std::string time_history(double step, bool converted, std::int32_t n) {
  std::string rec1 = "WAVE", rec2 = bytes_of(n), data;
  for (std::int32_t c : {1, 1, 1, 104, 0, 1}) rec1 += bytes_of(c);
  rec1 += converted ? bytes_of(0.05f) : bytes_of(0.05);
  rec1 += bytes_of(std::int32_t{2});
  rec2 += converted ? bytes_of(static_cast<float>(step)) : bytes_of(step);
  for (int i = 0; i < 4; ++i) rec2 += bytes_of(0.0f);
  for (std::int32_t k = 0; k < n; ++k) data += bytes_of(static_cast<float>(k));
  return record(rec1) + record(rec2) + record(data);
}

TEST(QxdumpCsv, TheTimeColumnInTheDigitsOfItsRealFour) {
  TempDir dir;
  struct Step {
    double step;
    std::vector<std::string> first;  // the first times written
  };
  const Step steps[] = {
      {0.0025, {"0", "0.0025", "0.005", "0.0075", "0.01", "0.0125"}},
      {0.01, {"0", "0.01", "0.02", "0.03", "0.04", "0.05"}},
      {0.005, {"0", "0.005", "0.01", "0.015", "0.02", "0.025"}},
      {1.0 / 3.0, {"0", "0.33333334", "0.6666667", "1", "1.3333334"}},
  };
  for (const Step& s : steps) {
    for (const bool converted : {false, true}) {
      const std::string path = dir.file(converted ? "steps_QX2D.TP18" : "steps.TP18");
      const std::int32_t n = 2000;
      qxtest::write_file(path, time_history(s.step, converted, n));
      const CommandResult r = qxdump({"--csv", "1", path});
      const std::string where = std::to_string(s.step) + (converted ? " as real4" : " as real8");
      ASSERT_EQ(r.exit_status, 0) << where << ": " << r.err;
      const std::vector<std::string> lines = qxtest::split_lines(r.out);
      ASSERT_EQ(lines.size(), 1u + n) << where;
      EXPECT_EQ(lines[0], "time,value");
      // The step as the file holds it: narrowed to real4 in a converted
      // file, real8 in a result file.
      const double held = converted ? static_cast<double>(static_cast<float>(s.step)) : s.step;
      for (std::int32_t k = 0; k < n; ++k) {
        const std::vector<std::string> row = cells(lines[1 + k]);
        ASSERT_EQ(row.size(), 2u);
        expect_step_abscissa(row[0], static_cast<std::size_t>(k), held, where);
        if (k < static_cast<std::int32_t>(s.first.size())) {
          EXPECT_EQ(row[0], s.first[k]) << where;
        }
        expect_real4(row[1], std::bit_cast<std::uint32_t>(static_cast<float>(k)), where);
      }
    }
  }
}

TEST(QxdumpCsv, RequestsThatCannotBeMet) {
  TempDir dir;
  convert_case(dir, "No");
  const std::string sv = dir.file("case1_QX2D.TP18"), bytes = qxtest::read_file(sv);
  const std::vector<ListedBlock> blocks = listed_blocks(sv);
  ASSERT_GT(blocks.size(), 20u);
  const std::string count = std::to_string(blocks.size());

  CommandResult r = qxdump({"--csv", std::to_string(blocks.size() + 1), sv});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "qxdump: " + sv + ": no block " + std::to_string(blocks.size() + 1) + ": the file holds " + count +
                       " blocks\n");

  // Cut inside the data record of a late block: the blocks before it are
  // whole, that block and any after it give the listing's fault.
  const ListedBlock& late = blocks[blocks.size() - 3];
  const ListedRecord cut_in = late.records.back();
  const std::string cut = dir.file("cut_QX2D.TP18");
  qxtest::write_file(cut, bytes.substr(0, cut_in.offset + 10));
  const CommandResult listing = qxdump({cut});
  EXPECT_EQ(listing.exit_status, 1);
  ASSERT_NE(listing.err.find("truncated record at offset " + std::to_string(cut_in.offset)), npos) << listing.err;
  for (std::uint64_t n : {late.number, late.number + 1}) {
    r = qxdump({"--csv", std::to_string(n), cut});
    EXPECT_EQ(r.exit_status, 1) << n;
    EXPECT_EQ(r.err, listing.err);
    EXPECT_EQ(r.out, "") << "no cell of a block that the file breaks off";
  }
  r = qxdump({"--csv", "3", cut});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, qxdump({"--csv", "3", sv}).out);

  // A maxima record whose na claims more items than it holds.
  generate(dir, {"--seed", "3", "--size", "60k", "--hostile-na", "--only-tp18"}, "hostile");
  const std::string hostile = dir.file("hostile.TP18"), hostile_bytes = qxtest::read_file(hostile);
  std::size_t refused = 0;
  for (const ListedBlock& b : listed_blocks(hostile)) {
    const auto data = b.data();
    if (b.kind != "MAXR" || data.empty() || word_at(hostile_bytes, data[0], 0, false) < 1000000) continue;
    r = qxdump({"--csv", std::to_string(b.number), hostile});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "qxdump: " + hostile + ": block " + std::to_string(b.number) +
                         " (MAXR) has a data record at offset " + std::to_string(data[0].offset) +
                         " that does not hold the items its na and code call for\n");
    ++refused;
  }
  EXPECT_EQ(refused, 1u);

  // Wrong command lines: status 2, nothing read.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--csv", "0", sv}, {"--csv", "x", sv}, {"--csv", "1", sv, sv}, {"--csv", "1"},
        {"--csv", "1", "--values", "3", sv}, {"--compress", sv}, {"--csv"}, {"--csv", "2", "--hdf5", "x.h5", sv}}) {
    r = qxdump(args);
    EXPECT_EQ(r.exit_status, 2) << args[0] << " " << args[1];
    EXPECT_TRUE(r.err.starts_with("qxdump: ") && r.err.ends_with(" (see qxdump --help)\n")) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
