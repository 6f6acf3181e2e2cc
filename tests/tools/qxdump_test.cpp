// qxdump against a Fortran reader and the stored bytes, in both byte orders,
// and on broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "convert/tp18_fixture.hpp"
#include "convert/tp18_model.hpp"
#include "io/status.hpp"
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

// The note lines of a listing.
std::vector<std::string> notes_of(const std::string& listing) {
  std::vector<std::string> notes;
  for (const std::string& line : qxtest::split_lines(listing))
    if (const std::size_t at = line.find("note: "); at != npos) notes.push_back(line.substr(at + 6));
  return notes;
}

// A maxima block whose code gives no component count (108) is described
// with the count that the conversion reads of it: whole components, at most
// nine, as its dump under -maxr shows them; the bytes it leaves are noted.
TEST(Qxdump, TellsTheComponentsThatAConversionReadsOfAMaximaBlock) {
  using tp18test::Payload;
  struct Case {
    const char* what;
    Payload record;
    int nd;
  };
  const Case cases[] = {
      {"eleven components", Payload().i(2).i(1).i(2).i(3).i(4).reals(std::vector<float>(2 * 2 * 11, 0.25f)), 9},
      {"three and a part", Payload().i(2).i(1).i(2).i(3).i(4).reals(std::vector<float>(2 * 2 * 3 + 3, 0.5f)), 3},
      {"seven", Payload().i(1).i(5).i(6).reals(std::vector<float>(2 * 7, 0.75f)), 7},
  };
  tp18test::ScratchDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.file("in.TP18");
    std::filesystem::remove(path);
    qxtest::write_file(path, tp18test::Tp18File().maxr_header(108, 1).record(c.record).bytes());
    tp18model::Options maxr;
    maxr.maxr = 1;
    const tp18test::Conversion conv = tp18test::convert(dir, path, maxr, false);
    ASSERT_EQ(conv.ier, 0) << c.what;
    // The dump: "na=", ia1, ia2, then the values of the items.
    const std::vector<std::string> lines = qxtest::split_lines(conv.dump);
    ASSERT_GE(lines.size(), 3u) << conv.dump;
    const int na = std::stoi(lines[0].substr(3));
    std::size_t values = 0;
    for (std::size_t i = 3; i < lines.size(); ++i) {
      std::istringstream in(lines[i]);
      for (std::string v; in >> v;) ++values;
    }
    EXPECT_EQ(values, static_cast<std::size_t>(2 * c.nd * na)) << c.what << "\n" << conv.dump;

    const CommandResult r = qxdump({path});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    const std::vector<std::string> blocks = dump_blocks(r.out);
    ASSERT_EQ(blocks.size(), 1u) << r.out;
    EXPECT_EQ(blocks[0], "MAXR 108,1 " + std::to_string(na) + " " + std::to_string(c.nd)) << c.what;
    const std::uint64_t length = c.record.bytes().size(), taken = 4 + 8 * na + 8 * c.nd * na;
    const std::vector<std::string> notes = notes_of(r.out);
    const std::string left = "data record of " + std::to_string(length) + " bytes, na and nd take " +
                             std::to_string(taken);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), left), length > taken ? 1 : 0) << c.what << "\n" << r.out;
  }
}

// The rotational springs have a count slot of their own (4), which the
// converter fills with the spring count; a file whose slots differ is read
// by the rotational record's own slot, and the difference noted.
TEST(Qxdump, ReadsTheRotationalSpringsByTheirOwnCountSlot) {
  using tp18test::Payload;
  Payload counts;
  for (int w = 0; w < 17; ++w) counts.t("TITL");
  counts.t("V401").i(0);  // ndpt
  for (int n : {0, 0, 2, 1, 0, 0, 0, 0, 0, 0}) counts.i(n);
  Payload springs, rotational;
  springs.i(2).i(1).i(10).i(0).i(11).i(0).i(2).i(12).i(0).i(13).i(0);
  rotational.i(1).i(1).i(0).i(10).i(0).i(11);
  Payload bound, nodes;
  for (int k = 0; k < 6; ++k) bound.i(0);
  const std::string bytes = tp18test::Tp18File().record(counts).record(bound).record(nodes).record(springs)
                                .record(rotational).bytes();
  TempDir dir;
  const std::string path = dir.file("case_QX2D.TP18");
  qxtest::write_file(path, bytes);
  const CommandResult r = qxdump({path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("ROTATE @"), npos) << r.out;
  EXPECT_EQ(notes_of(r.out), std::vector<std::string>{"slot 4 (rotational springs) is 1, slot 3 (springs) 2"})
      << r.out;
  EXPECT_NE(r.out.find(" unplaced=0 "), npos) << r.out;
}

// Every Fourier and amplification spectrum of a TP18 file is read with the
// length of the first one converted, every response spectrum with that of
// the first SPEC block: a later one that holds fewer values makes the
// conversion fail on it, and qxdump notes each of its records.
TEST(Qxdump, NotesSpectraShorterThanTheFirstOfTheirKind) {
  tp18test::Tp18File f;
  f.block("FOUR", 1, 1, 1, 0.1, std::vector<float>(6, 1.0f), 2);
  f.block("FOUR", 1, 3, 3, 0.1, std::vector<float>(9, 2.0f), 2);
  f.block("SPEC", 2, 1, 1, 0.02, std::vector<float>(5, 3.0f), 2);
  f.block("AMPL", 1, 1, 1, 0.1, std::vector<float>(4, 4.0f), 2);
  f.block("SPEC", 2, 3, 3, 0.02, std::vector<float>(3, 5.0f), 2);
  tp18test::ScratchDir dir;
  const std::string path = dir.file("short.TP18");
  qxtest::write_file(path, f.bytes());
  const CommandResult r = qxdump({path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> short_records;
  for (const std::string& n : notes_of(r.out))
    if (n.find(" values, a reader takes ") != npos) short_records.push_back(n.substr(n.find(" holds ")));
  const std::string ampl = " holds 4 values, a reader takes 6", spec = " holds 3 values, a reader takes 5";
  EXPECT_EQ(short_records, (std::vector<std::string>{ampl, ampl, spec, spec})) << r.out;
  // The conversion fails on the first of them.
  tp18model::Options none;
  EXPECT_EQ(tp18test::convert(dir, path, none, false).ier, qx::iostat::short_record);
}

}  // namespace
