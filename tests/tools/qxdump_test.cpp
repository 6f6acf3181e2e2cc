// The inspector qxdump: its block list of generated result files agrees with
// a Fortran reader of the same files, its listing of hand-built converted
// files in both byte orders is the one their known content gives, it says
// where the bytes disagree with the block rules, and it reports broken files
// by byte offset with status 1 without ever crashing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/record_writer.hpp"
#include "support/test_support.hpp"

namespace {

using qxtest::CommandResult;
using qxtest::TempDir;

const std::string source_dir = QX_SOURCE_DIR;

CommandResult qxdump(const std::vector<std::string>& args) {
  std::vector<std::string> argv{QXDUMP_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return qxtest::run_program(argv);
}

std::string generate(const TempDir& dir, std::vector<std::string> args) {
  const std::string base = dir.file("case");
  args.insert(args.begin(), {QXGEN_PATH, "--out", base});
  const CommandResult r = qxtest::run_program(args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return base;
}

// A block line of the listing, split into its words: the kind word and the
// "key=value" fields.
struct DumpBlock {
  std::string kind;
  std::map<std::string, std::string> f;
  bool dropped = false;
  std::vector<long> list(const std::string& key) const {
    std::vector<long> v;
    if (!f.count(key)) return v;
    std::stringstream in(f.at(key));
    for (std::string item; std::getline(in, item, ',');) v.push_back(std::stol(item));
    return v;
  }
};

std::vector<DumpBlock> blocks_of(const std::string& listing) {
  std::vector<DumpBlock> blocks;
  for (const std::string& line : qxtest::split_lines(listing)) {
    std::istringstream in(line);
    std::string word, number, offset;
    if (!(in >> word) || word != "block") continue;
    DumpBlock b;
    in >> number >> offset >> b.kind;
    for (std::string field; in >> field;) {
      const std::size_t eq = field.find('=');
      if (eq == std::string::npos)
        b.dropped = field == "dropped";
      else
        b.f[field.substr(0, eq)] = field.substr(eq + 1);
    }
    blocks.push_back(b);
  }
  return blocks;
}

// Every record of a file by its little-endian markers: (offset, length).
std::vector<std::pair<std::uint64_t, std::uint32_t>> marker_walk(const std::string& bytes) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> records;
  std::uint64_t at = 0;
  while (at + 4 <= bytes.size()) {
    std::uint32_t n;
    std::memcpy(&n, bytes.data() + at, 4);
    records.emplace_back(at, n);
    at += 8 + n;
  }
  return records;
}

// ---------------------------------------------------------------------------
// Generated result files, against the Fortran reader of the case generator's
// tests (sequential unformatted reads by the block rules).

struct FortranReader {
  TempDir dir;
  std::string exe = dir.file("read_results");
  std::string log;
  bool ok = qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/tools/qxgen_read_results.f90"), exe, log);
};

const FortranReader& fortran_reader() {
  static FortranReader r;
  return r;
}

// The Fortran reader's block list in the words of the listing: kind, codes,
// sizes and the number of data records (maxima: code, nc2, na and nd).
std::vector<std::string> fortran_blocks(const std::string& path, const std::string& family) {
  const CommandResult r = qxtest::run_program({fortran_reader().exe, path, family});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  std::vector<std::string> out;
  std::istringstream in(r.out);
  for (std::string tag; in >> tag;) {
    if (tag == "B") {
      std::string name, flag;
      long nc1, nc2, nc3, nsize2, records;
      in >> name >> nc1 >> nc2 >> nc3 >> nsize2 >> records >> flag;
      const bool dropped = family == "TP18" && flag == "D";
      out.push_back(name + " " + std::to_string(nc1) + "," + std::to_string(nc2) + "," + std::to_string(nc3) + " " +
                    std::to_string(nsize2) + " " + std::to_string(records) + (dropped ? " dropped" : ""));
    } else if (tag == "M") {
      long code, nc2, na, nd;
      in >> code >> nc2 >> na >> nd;
      out.push_back("MAXR " + std::to_string(code) + "," + std::to_string(nc2) + " " + std::to_string(na) + " " +
                    std::to_string(nd) + (code > 112 ? " dropped" : ""));
    }
  }
  return out;
}

std::vector<std::string> dump_blocks(const std::string& listing) {
  std::vector<std::string> out;
  for (const DumpBlock& b : blocks_of(listing)) {
    const std::vector<long> r = b.list("records");
    if (b.kind == "MAXR") {
      out.push_back("MAXR " + b.f.at("code") + "," + b.f.at("nc2") + " " + b.f.at("na") + " " + b.f.at("nd") +
                    (b.dropped ? " dropped" : ""));
    } else {
      const std::vector<long> nc = b.list("nc");
      out.push_back(b.kind + " " + std::to_string(nc.at(0)) + "," + std::to_string(nc.at(1)) + "," +
                    std::to_string(nc.at(2)) + " " + b.f.at("nsize2") + " " + std::to_string(r.size() - 2) +
                    (b.dropped ? " dropped" : ""));
    }
  }
  return out;
}

TEST(QxdumpResultFiles, BlockListsAgreeWithAFortranReader) {
  ASSERT_TRUE(fortran_reader().ok) << fortran_reader().log;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--seed", "5", "--size", "40k"}, {"--seed", "912", "--size", "300k", "--no-info"}}) {
    SCOPED_TRACE(args[1]);
    TempDir dir;
    const std::string base = generate(dir, args);
    for (const std::string family : {"TP18", "TP19"}) {
      const std::string path = base + "." + family;
      const CommandResult r = qxdump({path});
      ASSERT_EQ(r.exit_status, 0) << r.err;
      const std::vector<std::string> expected = fortran_blocks(path, family);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(dump_blocks(r.out), expected) << family;
      const std::vector<std::string> lines = qxtest::split_lines(r.out);
      EXPECT_EQ(lines.front(), "file " + path + ": result file, " + family + ", little-endian, " +
                                   std::to_string(std::filesystem::file_size(path)) + " bytes");
      EXPECT_EQ(lines.back().rfind("end @" + std::to_string(std::filesystem::file_size(path)) + " records=", 0), 0u)
          << lines.back();
      EXPECT_NE(lines.back().find(" blocks=" + std::to_string(expected.size()) + " unplaced=0"), std::string::npos);
    }
  }
}

TEST(QxdumpResultFiles, RecordsAreListedAtTheirOffsetsAndValuesAreTheStoredOnes) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "21", "--size", "30k"});
  const std::string bytes = qxtest::read_file(base + ".TP18");
  const CommandResult r = qxdump({"--records", "--values", "7", base + ".TP18"});
  ASSERT_EQ(r.exit_status, 0) << r.err;

  const auto records = marker_walk(bytes);
  std::size_t next = 0, checked_values = 0;
  const std::vector<std::string> lines = qxtest::split_lines(r.out);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::string word, at, length, role;
    if (!(in >> word) || word != "record") continue;
    in >> at >> length >> role;
    ASSERT_LT(next, records.size());
    const auto [offset, size] = records[next++];
    EXPECT_EQ(at, "@" + std::to_string(offset));
    EXPECT_EQ(length, "length=" + std::to_string(size));
    if (role != "data") continue;
    // The values lines under a data record: the stored int4 and real4 values.
    std::vector<double> shown;
    for (std::size_t j = i + 1; j < lines.size() && lines[j].rfind("    ", 0) == 0; ++j) {
      std::istringstream v(lines[j]);
      for (double x; v >> x;) shown.push_back(x);
    }
    ASSERT_EQ(shown.size(), std::min<std::size_t>(7, size / 4)) << lines[i];
    const bool maxima = lines[i - 1].find("header") != std::string::npos;
    const std::size_t ints = maxima ? 1 + 2 * static_cast<std::size_t>(shown[0]) : 0;
    for (std::size_t k = 0; k < shown.size(); ++k) {
      std::int32_t word4;
      std::memcpy(&word4, bytes.data() + offset + 4 + 4 * k, 4);
      if (k < ints) {
        EXPECT_EQ(shown[k], word4);
      } else {
        float x;
        std::memcpy(&x, &word4, 4);
        EXPECT_NEAR(shown[k], x, std::fabs(x) * 1e-5 + 1e-44) << lines[i] << " value " << k;
      }
      ++checked_values;
    }
  }
  EXPECT_EQ(next, records.size());
  EXPECT_GT(checked_values, 100u);
}

// ---------------------------------------------------------------------------
// Files built record by record, so that every line of the listing follows
// from what was written.

class FileBuilder {
 public:
  FileBuilder(const std::string& path, qx::ByteOrder order) { EXPECT_EQ(w_.open(path, order), 0); }
  ~FileBuilder() { EXPECT_EQ(w_.close(), 0); }
  // Writes one record; returns its offset.
  std::uint64_t record(std::initializer_list<qx::OutItem> items) {
    const std::uint64_t start = offset_;
    for (const qx::OutItem& i : items) offset_ += qx::item_bytes(i);
    offset_ += 8;
    ++records_;
    EXPECT_EQ(w_.write(items), 0);
    return start;
  }
  std::uint64_t offset() const { return offset_; }
  std::uint64_t records() const { return records_; }

 private:
  qx::RecordWriter w_;
  std::uint64_t offset_ = 0, records_ = 0;
};

using Ints = std::vector<std::int32_t>;
using Reals = std::vector<float>;
qx::OutItem ints(const Ints& v) { return qx::out(std::span<const std::int32_t>(v)); }
qx::OutItem reals(const Reals& v) { return qx::out(std::span<const float>(v)); }
std::string at(std::uint64_t offset) { return "@" + std::to_string(offset); }

const std::string title = "HAND-BUILT CASE" + std::string(53, ' ') + "V401";

// The counts record as the converter writes it: the title as 18 int4 words
// (first character in the lowest byte of each word's value), ndpt, counts.
Ints counts_record(std::int32_t ndpt, const Ints& counts) {
  Ints w(18);
  for (std::size_t i = 0; i < 18; ++i)
    for (std::size_t b = 0; b < 4; ++b)
      w[i] |= static_cast<std::int32_t>(static_cast<unsigned char>(title[4 * i + b])) << (8 * b);
  w.push_back(ndpt);
  w.insert(w.end(), counts.begin(), counts.end());
  return w;
}

// Boundary lists and three nodes, the same in both variants.
void write_bound_and_nodes(FileBuilder& f, std::vector<std::string>& lines) {
  lines.push_back("  bound " + at(f.record({ints({1, 0, 1, 2, 1, 1, 1, 2, 0, 0, 3, 0, 4})})) +
                  " length=52 keyb=1,0,1 nbound=2,1,1");
  lines.push_back("  nodes " + at(f.record({ints({1, 2, 3}), reals({0, 1, 2}), reals({0, 0, 1})})) +
                  " length=36 count=3");
  lines.push_back("  SOLID " + at(f.record({ints({2, 1, 1, 2, 3, 1, 2, 2, 3, 1, 1}), reals({2.0f, 2.5f})})) +
                  " length=52 count=2");
}

// An SV model section with solids, a beam, springs (and their rotational
// copies), a rigid link, a joint and a void (joints come first).
std::vector<std::string> write_sv_model(FileBuilder& f, const std::string& how = "by its name") {
  std::vector<std::string> lines{"model @0 SV (" + how + ")"};
  lines.push_back("  counts " + at(f.record({ints(counts_record(3, {2, 1, 2, 2, 0, 0, 0, 1, 1, 1}))})) +
                  " length=116 title=\"" + title + "\" ndpt=3 nelm=2,1,2,2,0,0,0,1,1,1");
  write_bound_and_nodes(f, lines);
  lines.push_back("  BEAM " + at(f.record({ints({1, 7, 1, 0, 2, 0})})) + " length=24 count=1");
  lines.push_back("  SPRING " + at(f.record({ints({2, 8, 1, 0, 2, 0, 9, 2, 0, 3, 0})})) + " length=44 count=2");
  lines.push_back("  ROTATE " + at(f.record({ints({2, 8, 0, 1, 0, 2, 9, 0, 2, 0, 3})})) + " length=44 count=2");
  lines.push_back("  RIGID " + at(f.record({ints({1, 5, 1, 0, 3, 0})})) + " length=24 count=1");
  lines.push_back("  JOINT " + at(f.record({ints({1, 6, 1, 2, 3, 1})})) + " length=24 count=1");
  lines.push_back("  VOID " + at(f.record({ints({1, 4, 1, 2, 3, 3})})) + " length=24 count=1");
  return lines;
}

// The SH model of the same structure: solids and one merged spring kind.
std::vector<std::string> write_sh_model(FileBuilder& f, const std::string& how) {
  std::vector<std::string> lines{"model @0 SH (" + how + ")"};
  lines.push_back("  counts " + at(f.record({ints(counts_record(3, {2, 0, 3, 0, 0, 0, 0, 0, 0, 0}))})) +
                  " length=116 title=\"" + title + "\" ndpt=3 nelmh=2,0,3,0,0,0,0,0,0,0");
  write_bound_and_nodes(f, lines);
  lines.push_back("  SPRING " + at(f.record({ints({3}), ints({7, 1, 0, 2, 0, 8, 1, 0, 2, 0, 9, 2, 0, 3, 0})})) +
                  " length=64 count=3");
  return lines;
}

struct Header {
  const char* name;
  Ints nc;
  float dap;
  std::int32_t lrec;
  std::int32_t nsize2;
  float dtt;
};

// An ordinary converted block: REC1, REC2 and data records.
std::uint64_t write_block(FileBuilder& f, const Header& h, int data_records, const Reals& values) {
  const std::uint64_t start = f.record({qx::out_text(h.name), ints(h.nc), qx::out(h.dap), qx::out(h.lrec)});
  f.record({qx::out(h.nsize2), qx::out(h.dtt), reals({1, 2, 3, 4})});
  for (int i = 0; i < data_records; ++i) f.record({reals(values)});
  return start;
}

std::uint64_t write_maxima_header(FileBuilder& f, std::int32_t code, std::int32_t nc2) {
  return f.record({qx::out_text("MAXR"), ints({code, nc2, 0, 0, 0, 0}), qx::out(0.0f), qx::out(std::int32_t{1})});
}

struct Lines {
  std::vector<std::string> v;
  int blocks = 0;
  void block(std::uint64_t offset, const std::string& rest) {
    v.push_back("block " + std::to_string(++blocks) + " " + at(offset) + " " + rest);
  }
};

// The result section of a converted TP18 file: every kind of block, and the
// maxima codes whose record count differs.
void write_tp18_blocks(FileBuilder& f, Lines& l) {
  l.block(write_block(f, {"INFO", {6, 0, 2, 0, 0, 1}, 9.8f, 1, 0, 0.0f}, 0, {}),
          "INFO nc=6,0,2,0,0,1 lrec=1 nsize2=0 dap=9.80000E+00 dtt=0.00000E+00 records=36,24");
  l.block(write_block(f, {"WAVE", {10, 2, 2, 47, 0, 1}, 0.05f, 2, 5, 0.01f}, 1, {1, 2, 3, 4, 5}),
          "WAVE nc=10,2,2,47,0,1 lrec=2 nsize2=5 dap=5.00000E-02 dtt=1.00000E-02 records=36,24,20");
  l.block(write_block(f, {"FOUR", {1, 1, 1, 47, 0, 1}, -0.02f, 4, 4, 0.0f}, 3, {0, 1, 2, 3}),
          "FOUR nc=1,1,1,47,0,1 lrec=4 nsize2=4 dap=-2.00000E-02 dtt=0.00000E+00 records=36,24,16,16,16");
  l.block(write_block(f, {"SPEC", {2, 1, 1, 47, 0, 1}, 0.05f, 3, 3, 0.0f}, 2, {7, 8, 9}),
          "SPEC nc=2,1,1,47,0,1 lrec=3 nsize2=3 dap=5.00000E-02 dtt=0.00000E+00 records=36,24,12,12");
  l.block(write_block(f, {"STAT", {2, 1, 1, 0, 0, 0}, 0.0f, 1, 17, 0.0f}, 0, {}),
          "STAT nc=2,1,1,0,0,0 lrec=1 nsize2=17 dap=0.00000E+00 dtt=0.00000E+00 records=36,24");
  std::uint64_t h = write_maxima_header(f, 101, 2);
  f.record({qx::out(std::int32_t{2}), ints({11, 12}), reals({1, 2, 3, 4, 5, 6, 7, 8})});
  l.block(h, "MAXR code=101 nc2=2 lrec=1 na=2 records=36,44");
  // 107 is written as 107 and 108 with one record each; a 108 read as such
  // and a code up to 100 are headers alone.
  h = write_maxima_header(f, 107, 1);
  f.record({qx::out(std::int32_t{1}), ints({21}), reals({0.5f, 0.25f})});
  l.block(h, "MAXR code=107 nc2=1 lrec=1 na=1 records=36,16");
  h = write_maxima_header(f, 108, 1);
  f.record({qx::out(std::int32_t{1}), ints({21}), reals({0.125f})});
  l.block(h, "MAXR code=108 nc2=1 lrec=1 na=1 records=36,12");
  l.block(write_maxima_header(f, 50, 0), "MAXR code=50 nc2=0 lrec=1 records=36");
  l.block(write_maxima_header(f, 108, 3), "MAXR code=108 nc2=3 lrec=1 records=36");
  l.block(write_block(f, {"WAVE", {1, 1, 1, 48, 0, 2}, 0.05f, 2, 2, 0.01f}, 1, {1, 2}),
          "WAVE nc=1,1,1,48,0,2 lrec=2 nsize2=2 dap=5.00000E-02 dtt=1.00000E-02 records=36,24,8");
}

std::string file_line(const std::string& path, const std::string& what, qx::ByteOrder order) {
  return "file " + path + ": " + what + (order == qx::ByteOrder::big ? ", big-endian, " : ", little-endian, ") +
         std::to_string(std::filesystem::file_size(path)) + " bytes";
}

std::string end_line(const FileBuilder& f, int blocks, int unplaced = 0, int notes = 0) {
  return "end " + at(f.offset()) + " records=" + std::to_string(f.records()) + " blocks=" + std::to_string(blocks) +
         " unplaced=" + std::to_string(unplaced) + " notes=" + std::to_string(notes);
}

TEST(QxdumpConvertedFiles, SvFileInBothByteOrders) {
  for (const qx::ByteOrder order : {qx::ByteOrder::little, qx::ByteOrder::big}) {
    SCOPED_TRACE(order == qx::ByteOrder::big ? "big-endian" : "little-endian");
    TempDir dir;
    const std::string path = dir.file("case_QX2D.TP18");
    std::vector<std::string> expected;
    {
      FileBuilder f(path, order);
      expected = write_sv_model(f);
      Lines l;
      write_tp18_blocks(f, l);
      expected.insert(expected.end(), l.v.begin(), l.v.end());
      expected.push_back(end_line(f, l.blocks));
    }
    expected.insert(expected.begin(), file_line(path, "converted file, TP18", order));
    const CommandResult r = qxdump({path});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(qxtest::split_lines(r.out), expected);
    // The title words are swapped in a big-endian file: its bytes there read
    // "104V" where the little-endian file holds "V401".
    EXPECT_EQ(qxtest::read_file(path).substr(4 + 68, 4), order == qx::ByteOrder::big ? "104V" : "V401");
  }
}

TEST(QxdumpConvertedFiles, ShModelToldByNameOrByItsCounts) {
  for (const bool named : {true, false}) {
    TempDir dir;
    const std::string path = dir.file(named ? "case_QXSH.TP18" : "section.bin");
    std::vector<std::string> expected;
    {
      FileBuilder f(path, qx::ByteOrder::big);
      expected = write_sh_model(f, named ? "by its name" : "by its counts");
      Lines l;
      l.block(write_block(f, {"WAVE", {10, 1, 1, 47, 0, 1}, 0.05f, 2, 1, 0.01f}, 1, {1}),
              "WAVE nc=10,1,1,47,0,1 lrec=2 nsize2=1 dap=5.00000E-02 dtt=1.00000E-02 records=36,24,4");
      expected.insert(expected.end(), l.v.begin(), l.v.end());
      expected.push_back(end_line(f, l.blocks));
    }
    expected.insert(
        expected.begin(),
        file_line(path,
                  named ? "converted file, TP18" : "converted file, TP18 rules (the name does not say TP18 or TP19)",
                  qx::ByteOrder::big));
    const CommandResult r = qxdump({path});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(qxtest::split_lines(r.out), expected);
  }
}

// A converted TP19 file has one data record in every block but INFO. Read by
// the TP18 rules (a renamed file), its lrec settles the spectra's records
// and the listing says so.
TEST(QxdumpConvertedFiles, Tp19RulesByNameAndLrecWhereTheRulesDisagree) {
  TempDir dir;
  const std::string tp19 = dir.file("case_QX2D.TP19");
  Lines l;
  std::string end, end_noted;
  {
    FileBuilder f(tp19, qx::ByteOrder::little);
    write_sv_model(f);
    l.block(write_block(f, {"INFO", {6, 0, 3, 0, 0, 1}, 9.8f, 1, 0, 0.0f}, 0, {}),
            "INFO nc=6,0,3,0,0,1 lrec=1 nsize2=0 dap=9.80000E+00 dtt=0.00000E+00 records=36,24");
    l.block(write_block(f, {"FOUR", {41, 0, 0, 4, 1, 13}, 0.1f, 2, 3, 0.0f}, 1, {1, 2}),
            "FOUR nc=41,0,0,4,1,13 lrec=2 nsize2=3 dap=1.00000E-01 dtt=0.00000E+00 records=36,24,8");
    l.block(write_block(f, {"SPEC", {41, 0, 0, 4, 1, 2}, 0.1f, 2, 3, 0.0f}, 1, {1, 2}),
            "SPEC nc=41,0,0,4,1,2 lrec=2 nsize2=3 dap=1.00000E-01 dtt=0.00000E+00 records=36,24,8");
    end = end_line(f, l.blocks);
    end_noted = end_line(f, l.blocks, 0, 2);
  }
  CommandResult r = qxdump({tp19});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> lines = qxtest::split_lines(r.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{l.v[0], l.v[1], l.v[2], end}));

  const std::string renamed = dir.file("case_QX2D.TP18");
  std::filesystem::copy_file(tp19, renamed);
  r = qxdump({renamed});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  lines = qxtest::split_lines(r.out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(
      std::vector<std::string>(lines.end() - 6, lines.end()),
      (std::vector<std::string>{
          l.v[0], l.v[1],
          "  note: lrec 2 announces 1 data records, the rules of the kind give 3; the records hold 1, as lrec says",
          l.v[2],
          "  note: lrec 2 announces 1 data records, the rules of the kind give 2; the records hold 1, as lrec says",
          end_noted}));
}

TEST(QxdumpConvertedFiles, ValuesShowIdentifiersAsIntegersAndResultsAsReals) {
  TempDir dir;
  const std::string path = dir.file("case_QX2D.TP18");
  {
    FileBuilder f(path, qx::ByteOrder::big);
    write_sv_model(f);
    Lines l;
    write_tp18_blocks(f, l);
  }
  const CommandResult r = qxdump({"--values", "4", path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<std::string> lines = qxtest::split_lines(r.out);
  auto after = [&](const std::string& start, std::size_t count) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(start, 0) == 0)
        return std::vector<std::string>(
            lines.begin() + static_cast<std::ptrdiff_t>(i + 1),
            lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), i + 1 + count)));
    return std::vector<std::string>{"(no line " + start + ")"};
  };
  // Node numbers through I12, then the first x through 1PE15.5.
  EXPECT_EQ(after("  nodes @", 2),
            (std::vector<std::string>{
                "    " + std::string(11, ' ') + "1" + std::string(11, ' ') + "2" + std::string(11, ' ') + "3",
                "        0.00000E+00"}));
  // The maxima record of code 101: na = 2 and the two identifiers, then 1.0.
  const std::vector<std::string> maxima = after("block 6 ", 3);
  ASSERT_EQ(maxima.size(), 3u);
  EXPECT_NE(maxima[0].find(" length=44 data (first 4 of 11 values)"), std::string::npos) << maxima[0];
  EXPECT_EQ(maxima[1], "    " + std::string(11, ' ') + "2" + std::string(10, ' ') + "11" + std::string(10, ' ') + "12");
  EXPECT_EQ(maxima[2], "        1.00000E+00");
}

// ---------------------------------------------------------------------------
// Result files whose bytes stray from the rules.

// REC1 and REC2 of a result file: real8 reals, REC1 40 bytes, REC2 28.
std::uint64_t write_result_block(FileBuilder& f, const char* name, const Ints& nc, std::int32_t lrec,
                                 std::int32_t nsize2, int data_records, const Reals& values) {
  const std::uint64_t start = f.record({qx::out_text(name), ints(nc), qx::out(0.05), qx::out(lrec)});
  f.record({qx::out(nsize2), qx::out(0.01), reals({0, 0, 0, 0})});
  for (int i = 0; i < data_records; ++i) f.record({reals(values)});
  return start;
}

TEST(QxdumpResultFiles, RecordsThatStrayFromTheRulesAreNotedAndListed) {
  TempDir dir;
  const std::string path = dir.file("odd.TP18");
  std::vector<std::string> expected;
  {
    FileBuilder f(path, qx::ByteOrder::little);
    Lines l;
    // An unknown kind word with one data record that its lrec counts.
    l.block(write_result_block(f, "STAT", {2, 1, 1, 0, 0, 0}, 2, 3, 1, {1, 2, 3}),
            "STAT nc=2,1,1,0,0,0 lrec=2 nsize2=3 dmp=5.00000E-02 dt=1.00000E-02 records=40,28,12");
    l.v.push_back(
        "  note: lrec 2 announces 1 data records, the rules of the kind give 0; the records hold 1, as lrec says");
    // A history whose lrec counts records it does not have, and whose record
    // is shorter than its nsize2.
    const std::uint64_t wave = write_result_block(f, "WAVE", {1, 1, 1, 0, 0, 0}, 4, 5, 1, {1, 2, 3});
    l.block(wave, "WAVE nc=1,1,1,0,0,0 lrec=4 nsize2=5 dmp=5.00000E-02 dt=1.00000E-02 records=40,28,12");
    l.v.push_back(
        "  note: lrec 4 announces 3 data records, the rules of the kind give 1; the records hold 1, as the rules say");
    l.v.push_back("  note: data record at " + at(wave + 48 + 36) + " holds 3 values, a reader takes 5");
    // A maxima record too short for na = 2 items of three components.
    const std::uint64_t maxr = f.record({qx::out_text("MAXR"), ints({104, 1, 1})});
    f.record({qx::out(std::int32_t{2}), ints({5, 6, 7, 8})});
    l.block(maxr, "MAXR code=104 nc2=1 lrec=1 na=2 nd=3 records=16,20");
    l.v.push_back("  note: data record of 20 bytes, na and nd need 68: a reader fails on it");
    // A record after the last block.
    l.v.push_back("record " + at(f.record({ints({7, 8, 9})})) + " length=12 not in a block");
    expected = l.v;
    expected.push_back(end_line(f, l.blocks, 1, 4));
  }
  expected.insert(expected.begin(), file_line(path, "result file, TP18", qx::ByteOrder::little));
  const CommandResult r = qxdump({path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(qxtest::split_lines(r.out), expected);
}

TEST(QxdumpResultFiles, FileOfUnknownKindIsListedRecordByRecord) {
  TempDir dir;
  const std::string path = dir.file("other.dat");
  std::vector<std::string> expected;
  {
    FileBuilder f(path, qx::ByteOrder::big);
    expected.push_back("record " + at(f.record({ints({1, 2, 3})})) + " length=12 not in a block");
    expected.push_back("record " + at(f.record({qx::out_text("WAVEFORM"), ints({1, 2})})) +
                       " length=16 not in a block, begins \"WAVE\"");
    expected.push_back(end_line(f, 0, 2, 0));
  }
  expected.insert(expected.begin(), "file " + path + ": file of unknown kind, big-endian, 44 bytes");
  const CommandResult r = qxdump({path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(qxtest::split_lines(r.out), expected);
}

// A size record that claims two thousand million values: noted, and nothing
// of that size is allocated even when all values are asked for.
TEST(QxdumpResultFiles, HostileSizeIsNotedAndNotAllocated) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "8", "--hostile-nsize2", "TP18"});
  const CommandResult r = qxdump({"--values", "2000000000", base + ".TP18"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("nsize2=2000000000"), std::string::npos);
  EXPECT_NE(r.out.find("values, a reader takes 2000000000"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Broken files, the empty file, the command line.

void expect_fault(const std::string& path, const std::string& message) {
  const CommandResult r = qxdump({path});
  EXPECT_EQ(r.exit_status, 1) << r.out;
  EXPECT_EQ(r.err, "qxdump: " + path + ": " + message + "\n");
  EXPECT_EQ(r.out.find("\nend "), std::string::npos) << "a broken file has no end line";
}

TEST(QxdumpFaults, TruncatedFilesTellTheOffset) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "2", "--size", "30k"});
  const std::string bytes = qxtest::read_file(base + ".TP18");
  const auto rec = marker_walk(bytes);
  // Blocks 1 (INFO: records 0 and 1) and 2 (WAVE: REC1, REC2, data).
  ASSERT_EQ(rec[2].second, 40u);
  ASSERT_EQ(rec[4].second % 4, 0u);
  auto cut = [&](std::uint64_t size) {
    const std::string path = dir.file("cut" + std::to_string(size) + ".TP18");
    qxtest::write_file(path, bytes.substr(0, size));
    return path;
  };
  const std::uint64_t wave = rec[2].first, data = rec[4].first;
  expect_fault(cut(data + 10), "truncated record at offset " + std::to_string(data) + ": its marker announces " +
                                   std::to_string(rec[4].second) + " bytes, the file holds 6 after the marker");
  expect_fault(cut(data + 2), "truncated record at offset " + std::to_string(data) +
                                  ": the file ends inside its length marker (2 bytes left)");
  expect_fault(cut(rec[3].first), "file ends early at offset " + std::to_string(rec[3].first) + ": block 2 at @" +
                                      std::to_string(wave) + " lacks its size record");
  expect_fault(cut(data), "file ends early at offset " + std::to_string(data) + ": block 2 at @" +
                              std::to_string(wave) + " holds 0 of its 1 data records");
  // At a block boundary the file is whole.
  const CommandResult r = qxdump({cut(rec[5].first)});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("end @" + std::to_string(rec[5].first) + " records=5 blocks=2 "), std::string::npos);
}

TEST(QxdumpFaults, CorruptMarkersTellTheOffsetInEitherByteOrder) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "2", "--size", "30k"});
  std::string bytes = qxtest::read_file(base + ".TP18");
  const auto rec = marker_walk(bytes);
  const std::uint64_t trail = rec[7].first + 4 + rec[7].second;
  bytes[trail] = static_cast<char>(bytes[trail] + 1);
  const std::string path = dir.file("trail.TP18");
  qxtest::write_file(path, bytes);
  expect_fault(path, "corrupt record marker at offset " + std::to_string(rec[7].first) + ": leading marker " +
                         std::to_string(rec[7].second) + ", trailing marker " + std::to_string(rec[7].second + 1) +
                         " at offset " + std::to_string(trail));

  const std::string neg = dir.file("neg.TP18");
  bytes = qxtest::read_file(base + ".TP18");
  std::memset(bytes.data() + rec[3].first, 0xFF, 4);
  qxtest::write_file(neg, bytes);
  expect_fault(neg, "corrupt record marker at offset " + std::to_string(rec[3].first) + ": negative length -1");

  // Big-endian: the 24-byte size record of the first block says 5. The four
  // bytes at its payload's fifth byte are the last three of dtt (0.0) and the
  // first of yt(1) = 1.0 (3F 80 00 00): 63 read big-endian.
  const std::string be = dir.file("case_QXSH.TP18");
  {
    FileBuilder f(be, qx::ByteOrder::big);
    write_sh_model(f, "");
    write_block(f, {"WAVE", {1, 1, 1, 0, 0, 0}, 0.0f, 2, 1, 0.0f}, 1, {1});
  }
  bytes = qxtest::read_file(be);
  const std::uint64_t rec2 = bytes.size() - 12 - 32;
  ASSERT_EQ(bytes.substr(rec2, 4), std::string("\0\0\0\x18", 4));
  bytes[rec2 + 3] = 5;
  qxtest::write_file(be, bytes);
  expect_fault(be, "corrupt record marker at offset " + std::to_string(rec2) +
                       ": leading marker 5, trailing marker 63 at offset " + std::to_string(rec2 + 9));

  // A first record that neither byte order can place.
  const std::string first = dir.file("first.TP18");
  qxtest::write_file(first, std::string("\x28\0\0\0", 4) + std::string(20, 'x'));
  expect_fault(first,
               "truncated record at offset 0: its marker announces 40 bytes, the file holds 20 after the marker");
}

TEST(QxdumpFaults, EmptyMissingAndSeveralFiles) {
  TempDir dir;
  const std::string empty = dir.file("empty.TP18");
  qxtest::write_file(empty, "");
  CommandResult r = qxdump({empty});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "file " + empty + ": empty file, 0 bytes\nend @0 records=0 blocks=0 unplaced=0 notes=0\n");

  const std::string missing = dir.file("missing.TP18");
  r = qxdump({missing, dir.path(), empty});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "qxdump: " + missing + ": cannot be read: No such file or directory\nqxdump: " + dir.path() +
                       ": cannot be read: is a directory\n");
  EXPECT_NE(r.out.find("file " + empty + ": empty file"), std::string::npos) << "later files are still listed";
}

TEST(QxdumpCommandLine, UsageErrorsAndHelp) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"--values"}, {"--values", "x", "f"}, {"--values=-1", "f"}, {"--bogus", "f"}}) {
    const CommandResult r = qxdump(args);
    EXPECT_EQ(r.exit_status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("see qxdump --help"), std::string::npos);
  }
  const CommandResult r = qxdump({"--help"});
  EXPECT_EQ(r.exit_status, 0);
  for (const char* text : {"usage: qxdump [--records] [--values N] FILE...", "usage: qxconv [-stru] [-spec]",
                           "Big_endian for output binary file", "case_QXSH.TP19", "NORMAL END", "Exit status"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
}

// Damaged copies of a result file and of a converted file: every run ends
// with status 0 and an end line at the file's size, or with status 1 and a
// fault line naming an offset; none crashes.
TEST(QxdumpFaults, DamagedFilesNeverCrashIt) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "31", "--size", "25k"});
  const std::string converted = dir.file("case_QX2D.TP18");
  {
    FileBuilder f(converted, qx::ByteOrder::big);
    write_sv_model(f);
    Lines l;
    write_tp18_blocks(f, l);
  }
  std::mt19937_64 rng(20240611);
  int faults = 0, whole = 0;
  for (const std::string& source : {base + ".TP18", converted}) {
    const std::string original = qxtest::read_file(source);
    for (int i = 0; i < 60; ++i) {
      std::string bytes = original;
      switch (rng() % 3) {
        case 0:
          for (int k = 0; k < 1 + static_cast<int>(rng() % 4); ++k)
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
          break;
        case 1:
          bytes.resize(rng() % bytes.size());
          break;
        default:
          bytes.insert(rng() % bytes.size(), std::string(1 + rng() % 8, static_cast<char>(rng())));
          break;
      }
      const std::string path =
          dir.file("damaged" + std::to_string(i) + std::filesystem::path(source).filename().string());
      qxtest::write_file(path, bytes);
      const CommandResult r = qxdump({"--records", "--values", "3", path});
      if (r.exit_status == 1) {
        ++faults;
        EXPECT_NE(r.err.find(" offset "), std::string::npos) << r.err;
      } else {
        ++whole;
        ASSERT_EQ(r.exit_status, 0) << path << "\n" << r.err;
        EXPECT_NE(r.out.find("\nend @" + std::to_string(bytes.size()) + " "), std::string::npos) << path;
      }
    }
  }
  EXPECT_GT(faults, 10);
  EXPECT_GT(whole, 10);
}

}  // namespace
