// The case generator: its files are deterministic, the bundled example comes
// from it, Fortran reads its files by the block and section rules, and its
// shaping and fault options do what they say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace {

using qxtest::CommandResult;
using qxtest::TempDir;

const std::string source_dir = QX_SOURCE_DIR;

CommandResult qxgen(const std::vector<std::string>& args) {
  std::vector<std::string> argv{QXGEN_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return qxtest::run_program(argv);
}

// Generates a case into `dir` and returns its base path.
std::string generate(const TempDir& dir, std::vector<std::string> args, const std::string& name = "case") {
  const std::string base = dir.file(name);
  args.insert(args.begin(), {"--out", base});
  const CommandResult r = qxgen(args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return base;
}

std::uint64_t file_size(const std::string& path) { return std::filesystem::file_size(path); }

// The two Fortran readers, compiled once for the test program.
struct FortranReaders {
  TempDir dir;
  std::string results = dir.file("read_results");
  std::string qxin = dir.file("read_qxin");
  std::string log;
  bool ok = false;
  FortranReaders() {
    ok = qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/tools/qxgen_read_results.f90"), results,
                                 log) &&
         qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/tools/qxgen_read_qxin.f90"), qxin, log);
  }
};

const FortranReaders& readers() {
  static FortranReaders r;
  return r;
}

// One block as the Fortran reader lists it. Maxima blocks: nc1 is the code,
// nsize2 the item count, records the component count.
struct Block {
  std::string kind;
  int nc1 = 0, nc2 = 0, nc3 = 0;
  long nsize2 = 0;
  int records = 0;
  bool converted = false;
  bool operator==(const Block&) const = default;
};

struct Listing {
  bool complete = false;  // the reader met the end of the file at a block boundary
  std::vector<Block> blocks;
  std::string text;
};

Listing read_results(const std::string& path, const std::string& which) {
  Listing l;
  const CommandResult r = qxtest::run_program({readers().results, path, which});
  l.text = r.out + r.err;
  std::istringstream in(r.out);
  std::string tag;
  while (in >> tag) {
    Block b;
    if (tag == "B") {
      std::string flag;
      in >> b.kind >> b.nc1 >> b.nc2 >> b.nc3 >> b.nsize2 >> b.records >> flag;
      b.converted = flag == "K";
      l.blocks.push_back(b);
    } else if (tag == "M") {
      b.kind = "MAXR";
      in >> b.nc1 >> b.nc2 >> b.nsize2 >> b.records;
      l.blocks.push_back(b);
    } else if (tag == "END") {
      std::size_t n = 0;
      in >> n;
      l.complete = r.exit_status == 0 && n == l.blocks.size();
    } else {
      break;
    }
  }
  return l;
}

// The .qxin as the Fortran reader saw it: section counts and node list
// lengths by keyword, and the closing tallies.
struct QxinListing {
  bool complete = false;
  std::map<std::string, std::vector<long>> sections;  // S and L lines
  std::map<std::string, int> seen;                    // how often each keyword was met
  std::map<std::string, long> tally;                  // P, C, R, M, D
  std::string text;
};

QxinListing read_qxin(const std::string& path) {
  QxinListing q;
  const CommandResult r = qxtest::run_program({readers().qxin, path});
  q.text = r.out + r.err;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    std::istringstream in(line);
    std::string tag, key;
    in >> tag;
    if (tag == "END") {
      q.complete = r.exit_status == 0;
    } else if (tag == "S" || tag == "L") {
      in >> key;
      std::vector<long> values;
      for (long v; in >> v;) values.push_back(v);
      q.sections[key] = values;
      ++q.seen[key];
    } else if (tag.size() == 1) {
      in >> q.tally[tag];
    }
  }
  return q;
}

bool any_of(const std::vector<Block>& blocks, const std::function<bool(const Block&)>& pred) {
  return std::any_of(blocks.begin(), blocks.end(), pred);
}

// A TP18 file holds every kind of block and every rule a converter applies.
void expect_tp18_coverage(const std::vector<Block>& b) {
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(b[0].kind, "INFO");
  auto kept_wave = [](const Block& x) { return x.kind == "WAVE" && x.converted; };
  for (int c = 1; c <= 3; ++c) {
    EXPECT_TRUE(any_of(b, [&](const Block& x) { return kept_wave(x) && x.nc2 == c; })) << "nc2 " << c;
    EXPECT_TRUE(any_of(b, [&](const Block& x) { return kept_wave(x) && x.nc3 == c; })) << "nc3 " << c;
  }
  EXPECT_TRUE(any_of(b, [&](const Block& x) { return kept_wave(x) && x.nc1 == 9; }));
  EXPECT_TRUE(any_of(b, [&](const Block& x) { return kept_wave(x) && x.nc1 == 33; }));
  std::set<long> wave_lengths;
  for (const auto& x : b)
    if (kept_wave(x)) wave_lengths.insert(x.nsize2);
  EXPECT_GE(wave_lengths.size(), 3u);
  EXPECT_TRUE(wave_lengths.count(0));
  EXPECT_TRUE(std::any_of(wave_lengths.begin(), wave_lengths.end(), [](long n) { return n % 6 != 0; }));

  // Spectra: the first kept FOUR or AMPL fixes N; a later FOUR is longer.
  auto first_spectrum = std::find_if(b.begin(), b.end(), [](const Block& x) {
    return x.converted && (x.kind == "FOUR" || x.kind == "AMPL");
  });
  ASSERT_NE(first_spectrum, b.end());
  EXPECT_TRUE(std::any_of(first_spectrum + 1, b.end(), [&](const Block& x) {
    return x.converted && x.kind == "FOUR" && x.nsize2 > first_spectrum->nsize2;
  }));
  EXPECT_TRUE(any_of(b, [](const Block& x) { return x.converted && x.kind == "SPEC"; }));
  for (auto [c2, c3] : {std::pair{1, 1}, {2, 2}, {3, 3}, {1, 3}, {3, 1}})
    EXPECT_TRUE(any_of(b, [&](const Block& x) { return x.kind == "AMPL" && x.converted && x.nc2 == c2 && x.nc3 == c3; }))
        << "kept AMPL " << c2 << "," << c3;
  for (auto [c2, c3] : {std::pair{2, 1}, {2, 3}, {1, 2}, {3, 2}})
    EXPECT_TRUE(any_of(b, [&](const Block& x) {
      return x.kind == "AMPL" && !x.converted && x.nc1 <= 33 && x.nc2 == c2 && x.nc3 == c3 && x.records == 2;
    })) << "dropped AMPL " << c2 << "," << c3;

  // Dropped by their codes, with the records passed over for each rule.
  EXPECT_TRUE(any_of(b, [](const Block& x) { return !x.converted && x.nc1 == 13 && x.records == 2; }));
  EXPECT_TRUE(any_of(b, [](const Block& x) { return !x.converted && x.nc1 > 33 && x.records == 2; }));
  EXPECT_TRUE(any_of(b, [](const Block& x) { return !x.converted && x.nc2 == 5 && x.nc1 <= 10 && x.records == 1; }));
  EXPECT_TRUE(any_of(b, [](const Block& x) { return !x.converted && x.nc2 == 5 && x.nc1 > 10 && x.records == 2; }));

  const std::set<std::string> known{"INFO", "WAVE", "FOUR", "AMPL", "SPEC", "MAXR"};
  EXPECT_TRUE(any_of(b, [&](const Block& x) { return !known.count(x.kind) && x.converted && x.records == 0; }));

  std::multiset<int> codes;
  for (const auto& x : b)
    if (x.kind == "MAXR") codes.insert(x.nc1);
  for (int code = 101; code <= 113; ++code) EXPECT_TRUE(codes.count(code)) << "maxima code " << code;
  EXPECT_TRUE(codes.count(50));
  EXPECT_GE(codes.count(108), 2u);
}

// A TP19 file walks the conversion table of (nc1, nc2) and its neighbours.
void expect_tp19_coverage(const std::vector<Block>& b) {
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(b[0].kind, "INFO");
  std::set<std::pair<int, int>> converted_pairs, passed_pairs;
  for (const auto& x : b)
    if (x.kind == "WAVE") (x.converted ? converted_pairs : passed_pairs).insert({x.nc1, x.nc2});
  EXPECT_EQ(converted_pairs.size(), 34u);  // every entry of the table
  EXPECT_GE(passed_pairs.size(), 30u);
  EXPECT_TRUE(any_of(b, [](const Block& x) { return x.kind == "AMPL" && x.records == 2; }));

  auto first_wave = std::find_if(b.begin(), b.end(), [](const Block& x) { return x.kind == "WAVE" && x.converted; });
  ASSERT_NE(first_wave, b.end());
  EXPECT_TRUE(std::any_of(b.begin(), first_wave, [](const Block& x) {
    return x.converted && x.kind != "WAVE" && x.kind != "INFO" && x.records == 1;
  }));
  EXPECT_TRUE(std::any_of(first_wave + 1, b.end(), [](const Block& x) {
    return x.converted && x.kind != "WAVE" && x.kind != "AMPL" && x.records == 1;
  }));
  EXPECT_TRUE(std::any_of(first_wave + 1, b.end(), [&](const Block& x) {
    return x.kind == "WAVE" && x.converted && x.nsize2 > first_wave->nsize2;
  }));
}

TEST(QxgenExample, CommittedCaseComesFromTheDocumentedCommand) {
  // The command is taken from the example's README, so the two cannot drift:
  // the line whose first word is the program (by any path) and whose second
  // is --out.
  std::string command;
  for (const std::string& line : qxtest::split_lines(qxtest::read_file(source_dir + "/example/README.md"))) {
    std::istringstream in(line);
    std::string program, first;
    in >> program >> first;
    if (program.ends_with("qxgen") && first == "--out") command = line.substr(line.find(program) + program.size());
  }
  ASSERT_FALSE(command.empty()) << "example/README.md shows no qxgen command";

  TempDir dir;
  std::istringstream words(command);
  std::vector<std::string> args;
  std::string committed_base;
  for (std::string w; words >> w;) {
    if (!args.empty() && args.back() == "--out") {
      committed_base = source_dir + "/" + w;
      w = dir.file(std::filesystem::path(w).filename().string());
    }
    args.push_back(w);
  }
  ASSERT_FALSE(committed_base.empty());
  const std::string fresh_base = dir.file(std::filesystem::path(committed_base).filename().string());
  ASSERT_EQ(qxgen(args).exit_status, 0);

  std::uint64_t total = 0;
  for (const char* suffix : {".qxin", ".TP18", ".TP19"}) {
    const std::string committed = qxtest::read_file(committed_base + suffix);
    ASSERT_FALSE(committed.empty()) << suffix;
    EXPECT_TRUE(committed == qxtest::read_file(fresh_base + suffix)) << suffix << " differs from a fresh run";
    total += committed.size();
  }
  EXPECT_LT(total, 200u * 1024);
}

TEST(QxgenDeterminism, SameSeedSameBytesOtherSeedOtherBytes) {
  TempDir dir;
  const std::string a = generate(dir, {"--seed", "11", "--size", "60k"}, "a");
  const std::string b = generate(dir, {"--seed", "11", "--size", "60k"}, "b");
  const std::string c = generate(dir, {"--seed", "12", "--size", "60k"}, "c");
  for (const char* suffix : {".qxin", ".TP18", ".TP19"}) {
    const std::string first = qxtest::read_file(a + suffix);
    EXPECT_TRUE(first == qxtest::read_file(b + suffix)) << suffix;
    EXPECT_FALSE(first == qxtest::read_file(c + suffix)) << suffix;
  }
}

TEST(QxgenFortranReader, ResultFilesFollowTheBlockRules) {
  ASSERT_TRUE(readers().ok) << readers().log;
  struct Config {
    const char* seed;
    const char* size;
  };
  for (const Config& c : {Config{"1", "100k"}, Config{"4242", "1"}, Config{"77", "3M"}}) {
    SCOPED_TRACE(std::string("seed ") + c.seed + " size " + c.size);
    TempDir dir;
    const std::string base = generate(dir, {"--seed", c.seed, "--size", c.size});
    const Listing tp18 = read_results(base + ".TP18", "TP18");
    ASSERT_TRUE(tp18.complete) << tp18.text;
    expect_tp18_coverage(tp18.blocks);
    const Listing tp19 = read_results(base + ".TP19", "TP19");
    ASSERT_TRUE(tp19.complete) << tp19.text;
    expect_tp19_coverage(tp19.blocks);
  }
}

TEST(QxgenFortranReader, InputDataFileSectionsReadThroughTheirLayouts) {
  ASSERT_TRUE(readers().ok) << readers().log;
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "3"});
  const QxinListing q = read_qxin(base + ".qxin");
  ASSERT_TRUE(q.complete) << q.text;

  for (const char* key : {"TITLE", "NODE", "BOUND", "BDFEML", "BDFFL", "BDFEMR", "BDFFR", "BDBASE", "MSOLID", "SOLID",
                          "BEAM", "SPRING", "WATER", "WATERB", "SHELL", "RIGID", "JOINTA", "JOINTB", "VOID"})
    EXPECT_EQ(q.seen.count(key) ? q.seen.at(key) : 0, 1) << key;
  for (const char* key : {"NODE", "MSOLID", "SOLID", "BEAM", "SPRING", "WATER", "WATERB", "SHELL", "RIGID", "JOINTA",
                          "JOINTB", "VOID"})
    EXPECT_GT(q.sections.at(key).at(0), 0) << key;

  // Boundary lists as long as BOUND says, over two and three lines, the
  // last one partly filled.
  const auto& bound = q.sections.at("BOUND");
  ASSERT_EQ(bound.size(), 6u);
  EXPECT_EQ(q.sections.at("BDFEML").at(0), bound[3]);
  EXPECT_EQ(q.sections.at("BDFFL").at(0), bound[3]);
  EXPECT_EQ(q.sections.at("BDFEMR").at(0), bound[4]);
  EXPECT_EQ(q.sections.at("BDFFR").at(0), bound[4]);
  EXPECT_EQ(q.sections.at("BDBASE").at(0), bound[5]);
  EXPECT_GT(bound[3], 11);
  EXPECT_GT(bound[5], 22);
  for (int i = 3; i < 6; ++i) EXPECT_NE(bound[i] % 11, 0);

  EXPECT_GT(q.tally.at("C"), 0);  // comment lines inside sections
  EXPECT_GT(q.tally.at("P"), 5);  // lines outside the known sections
  EXPECT_EQ(q.tally.at("R"), 0);  // every node referenced exists
  EXPECT_GE(q.tally.at("M"), 1);  // a solid whose material is not listed
  EXPECT_GE(q.tally.at("D"), 1);  // a material listed twice

  // The coordinate fields use every form that F16.0 reads.
  const std::vector<std::string> lines = qxtest::split_lines(qxtest::read_file(base + ".qxin"));
  auto node = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("NODE    ", 0) == 0; });
  ASSERT_NE(node, lines.end());
  bool whole = false, point = false, exponent = false;
  for (auto it = node + 1; it != lines.end() && !it->empty(); ++it) {
    if ((*it)[0] == '#' || (*it)[0] == '+') continue;
    for (std::size_t col : {8u, 24u}) {
      const std::string field = it->substr(col, 16);
      const bool has_e = field.find('E') != std::string::npos, has_point = field.find('.') != std::string::npos;
      whole |= !has_e && !has_point;
      point |= has_point && !has_e;
      exponent |= has_e;
    }
  }
  EXPECT_TRUE(whole && point && exponent);
  // Lines that look like keywords are passed over, not read as sections.
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), std::string("node           3")));
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), std::string("  NODE         3")));
}

TEST(QxgenShaping, OptionsLeaveOutBlocksSectionsAndFiles) {
  ASSERT_TRUE(readers().ok) << readers().log;
  TempDir dir;
  const std::string full = generate(dir, {"--seed", "8"}, "full");
  const Listing full18 = read_results(full + ".TP18", "TP18");
  const Listing full19 = read_results(full + ".TP19", "TP19");

  // Without INFO the files are the full ones less their first block.
  const std::string no_info = generate(dir, {"--seed", "8", "--no-info"}, "noinfo");
  const Listing n18 = read_results(no_info + ".TP18", "TP18");
  const Listing n19 = read_results(no_info + ".TP19", "TP19");
  ASSERT_TRUE(n18.complete && n19.complete) << n18.text << n19.text;
  EXPECT_EQ(n18.blocks, std::vector<Block>(full18.blocks.begin() + 1, full18.blocks.end()));
  EXPECT_EQ(n19.blocks, std::vector<Block>(full19.blocks.begin() + 1, full19.blocks.end()));
  const std::string full_bytes = qxtest::read_file(full + ".TP18");
  EXPECT_EQ(full_bytes.substr(full_bytes.size() - file_size(no_info + ".TP18")),
            qxtest::read_file(no_info + ".TP18"));

  // --blocks keeps the chosen kinds and nothing else.
  const std::string some = generate(dir, {"--seed", "8", "--blocks", "WAVE,MAXR"}, "some");
  const Listing s18 = read_results(some + ".TP18", "TP18");
  ASSERT_TRUE(s18.complete) << s18.text;
  std::vector<Block> expected{full18.blocks[0]};
  for (const auto& x : full18.blocks)
    if (x.kind == "MAXR" || (x.kind == "WAVE" && x.converted)) expected.push_back(x);
  EXPECT_EQ(s18.blocks, expected);

  // One result file only.
  const std::string only18 = generate(dir, {"--only-tp18"}, "only18");
  EXPECT_TRUE(qxtest::file_exists(only18 + ".TP18"));
  EXPECT_FALSE(qxtest::file_exists(only18 + ".TP19"));
  EXPECT_TRUE(qxtest::file_exists(only18 + ".qxin"));
  const std::string only19 = generate(dir, {"--only-tp19"}, "only19");
  EXPECT_FALSE(qxtest::file_exists(only19 + ".TP18"));
  EXPECT_TRUE(qxtest::file_exists(only19 + ".TP19"));

  // Sections left out of the .qxin; without BOUND every node list is empty.
  const std::string omit = generate(dir, {"--seed", "8", "--omit", "BEAM,SPRING,JOINTA,MSOLID,BOUND"}, "omit");
  const QxinListing q = read_qxin(omit + ".qxin");
  ASSERT_TRUE(q.complete) << q.text;
  for (const char* key : {"BEAM", "SPRING", "JOINTA", "MSOLID", "BOUND"}) EXPECT_EQ(q.seen.count(key), 0u) << key;
  for (const char* key : {"NODE", "SOLID", "RIGID", "JOINTB", "VOID"}) EXPECT_EQ(q.seen.count(key), 1u) << key;
  EXPECT_EQ(q.sections.at("BDBASE").at(0), 0);
  EXPECT_EQ(q.tally.at("M"), q.sections.at("SOLID").at(0));
}

TEST(QxgenSize, FilesComeNearTheTargetAndTheModelGrows) {
  ASSERT_TRUE(readers().ok) << readers().log;
  TempDir dir;
  long previous_nodes = 0;
  std::size_t previous_blocks = 0;
  for (std::uint64_t size : {std::uint64_t{100} << 10, std::uint64_t{2} << 20, std::uint64_t{16} << 20}) {
    SCOPED_TRACE(size);
    const std::string base = generate(dir, {"--size", std::to_string(size)}, "s" + std::to_string(size));
    const std::uint64_t total = file_size(base + ".TP18") + file_size(base + ".TP19");
    EXPECT_LE(total, size);
    EXPECT_GE(total, size / 100 * 97);
    const long nodes = read_qxin(base + ".qxin").sections.at("NODE").at(0);
    const std::size_t blocks = read_results(base + ".TP18", "TP18").blocks.size();
    EXPECT_GT(nodes, previous_nodes);
    EXPECT_GT(blocks, previous_blocks);
    previous_nodes = nodes;
    previous_blocks = blocks;
  }
}

TEST(QxgenFaults, TruncationCutsTheFileAfterNBytes) {
  ASSERT_TRUE(readers().ok) << readers().log;
  TempDir dir;
  const std::string full = generate(dir, {"--seed", "5"}, "full");
  const std::string cut = generate(dir, {"--seed", "5", "--truncate-tp18", "1000", "--truncate-tp19", "77"}, "cut");
  const std::string tp18 = qxtest::read_file(full + ".TP18"), tp19 = qxtest::read_file(full + ".TP19");
  EXPECT_EQ(qxtest::read_file(cut + ".TP18"), tp18.substr(0, 1000));
  EXPECT_EQ(qxtest::read_file(cut + ".TP19"), tp19.substr(0, 77));
  EXPECT_FALSE(read_results(cut + ".TP18", "TP18").complete);
  EXPECT_EQ(qxtest::read_file(cut + ".qxin"), qxtest::read_file(full + ".qxin"));

  // A limit past the end changes nothing; a limit of 0 leaves an empty file.
  const std::string loose = generate(dir, {"--seed", "5", "--truncate-tp18", "1G", "--truncate-tp19", "0"}, "loose");
  EXPECT_EQ(qxtest::read_file(loose + ".TP18"), tp18);
  EXPECT_EQ(file_size(loose + ".TP19"), 0u);
}

std::int32_t le32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return static_cast<std::int32_t>(v);
}

TEST(QxgenFaults, HostileSizeRecordClaimsTwoBillionValues) {
  TempDir dir;
  const std::string full = generate(dir, {"--seed", "6"}, "full");
  const std::string bad = generate(dir, {"--seed", "6", "--hostile-nsize2", "TP18,TP19"}, "bad");
  for (const char* suffix : {".TP18", ".TP19"}) {
    SCOPED_TRACE(suffix);
    const std::string good = qxtest::read_file(full + suffix), spoiled = qxtest::read_file(bad + suffix);
    ASSERT_EQ(good.size(), spoiled.size());
    std::vector<std::size_t> diff;
    for (std::size_t i = 0; i < good.size(); ++i)
      if (good[i] != spoiled[i]) diff.push_back(i);
    ASSERT_FALSE(diff.empty());
    ASSERT_LE(diff.back() - diff.front(), 3u);
    // Walk the records to the one that changed: it must be the size field of
    // a WAVE block's REC2, and the data record after it keeps its length.
    std::size_t at = 0, previous = 0;
    bool found = false;
    while (at + 8 <= good.size()) {
      const auto len = static_cast<std::size_t>(le32(good, at));
      if (diff.front() >= at + 4 && diff.front() < at + 4 + len) {
        ASSERT_EQ(len, 28u);
        ASSERT_EQ(diff.front(), at + 4);
        EXPECT_EQ(le32(good, previous), 40);
        EXPECT_EQ(good.substr(previous + 4, 4), "WAVE");
        EXPECT_EQ(le32(spoiled, at + 4), 2000000000);
        const std::int32_t nsize2 = le32(good, at + 4);
        EXPECT_EQ(le32(spoiled, at + 4 + len + 4), 4 * nsize2);
        found = true;
        break;
      }
      previous = at;
      at += len + 8;
    }
    EXPECT_TRUE(found);
  }
}

TEST(QxgenCommandLine, RefusesWhatItCannotDo) {
  TempDir dir;
  const std::string base = dir.file("x");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"--seed", "1"},
           {"--out", base, "--size", "5x"},
           {"--out", base, "--size", "0"},
           {"--out", base, "--seed", "-3"},
           {"--out", base, "--blocks", "WAVE,FOO"},
           {"--out", base, "--omit", "NODES"},
           {"--out", base, "--hostile-nsize2", "TP20"},
           {"--out", base, "--only-tp18", "--only-tp19"},
           {"--out", base, "--frobnicate"},
           {"--out"},
       }) {
    const CommandResult r = qxgen(args);
    EXPECT_EQ(r.exit_status, 2) << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(qxtest::file_exists(base + ".qxin"));

  const CommandResult nowhere = qxgen({"--out", dir.file("no/such/dir/x")});
  EXPECT_EQ(nowhere.exit_status, 1);
  EXPECT_FALSE(nowhere.err.empty());

  const CommandResult help = qxgen({"--help"});
  EXPECT_EQ(help.exit_status, 0);
  for (const char* option : {"--out", "--seed", "--size", "--no-info", "--omit", "--only-tp18", "--only-tp19",
                             "--blocks", "--truncate-tp18", "--truncate-tp19", "--hostile-nsize2"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;

  // The --name=value form works like the two-word one.
  TempDir other;
  ASSERT_EQ(qxgen({"--out=" + other.file("eq"), "--seed=4", "--size=30k"}).exit_status, 0);
  ASSERT_EQ(qxgen({"--out", other.file("sp"), "--seed", "4", "--size", "30k"}).exit_status, 0);
  EXPECT_EQ(qxtest::read_file(other.file("eq.TP18")), qxtest::read_file(other.file("sp.TP18")));
}

}  // namespace
