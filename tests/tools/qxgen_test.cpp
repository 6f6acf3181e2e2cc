// qxgen: a Fortran reader finds every kind of block the converter's tests
// rely on, and the shaping options do what they say.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "tools/generated_cases.hpp"

namespace {

using namespace qxtools;
using qxtest::read_file;

// Each pattern (# for any number) matches a block "kind nc1 nc2 nc3 size records K|D".
void expect_blocks(const std::vector<Block>& blocks, const std::string& patterns) {
  std::string text = "\n";
  for (const Block& b : blocks)
    text += b.kind + " " + std::to_string(b.nc1) + " " + std::to_string(b.nc2) + " " + std::to_string(b.nc3) + " " +
            std::to_string(b.n) + " " + std::to_string(b.records) + (b.converted ? " K\n" : " D\n");
  std::istringstream in(patterns);
  for (std::string p; std::getline(in, p, ';');) {
    for (std::size_t at; (at = p.find('#')) != npos;) p.replace(at, 1, "-?\\d+");
    EXPECT_TRUE(std::regex_search(text, std::regex("\n" + p + "\n"))) << p;
  }
}

TEST(Qxgen, FortranReadsResultFilesWithEveryKindOfBlock) {
  ASSERT_TRUE(readers().ok) << readers().log;
  for (const auto& [seed, size] : {std::pair{"1", "100k"}, {"4242", "1"}, {"77", "3M"}}) {
    SCOPED_TRACE(size);
    qxtest::TempDir dir;
    const std::string base = generate(dir, {"--seed", seed, "--size", size}, "case");
    const Listing l18 = read_results(base + ".TP18", "TP18"), l19 = read_results(base + ".TP19", "TP19");
    ASSERT_TRUE(l18.complete && l19.complete) << l18.text << l19.text;
    const auto& b = l18.blocks;
    EXPECT_TRUE(b[0].kind == "INFO" && l19.blocks[0].kind == "INFO");
    // Time histories of every component, of renumbered quantities, of no values; kept and dropped component
    // pairs of amplification functions; blocks dropped by their codes with the records passed over for each
    // rule; an unknown kind; every maxima code.
    std::string patterns =
        "WAVE # 1 # # # K;WAVE # 2 # # # K;WAVE # 3 # # # K;WAVE # # 1 # # K;WAVE # # 2 # # K;WAVE # # 3 # # K;"
        "WAVE 9 # # # # K;WAVE 33 # # # # K;WAVE # # # 0 # K;SPEC # # # # # K;AMPL 1 1 1 # # K;AMPL 1 2 2 # # K;"
        "AMPL 1 3 3 # # K;AMPL 1 1 3 # # K;AMPL 1 3 1 # # K;AMPL 1 2 1 # 2 D;AMPL 1 2 3 # 2 D;AMPL 1 1 2 # 2 D;"
        "AMPL 1 3 2 # 2 D;FOUR 13 1 1 # 2 D;AMPL 34 1 1 # 2 D;WAVE 4 5 1 # 1 D;SPEC 11 5 1 # 2 D;MAXR 50 # # # # D;"
        "(?!INFO|WAVE|FOUR|AMPL|SPEC|MAXR)\\w+ # # # # 0 K;MAXR 108 # # # # D\n[\\s\\S]*MAXR 108 # # # # D";
    for (int code = 101; code <= 113; ++code) patterns += ";MAXR " + std::to_string(code) + " # # # # D";
    expect_blocks(b, patterns);
    EXPECT_TRUE(
        std::any_of(b.begin(), b.end(), [](const Block& x) { return x.kind == "WAVE" && x.converted && x.n % 6; }));
    // The first kept FOUR or AMPL fixes the spectrum length; a later FOUR is longer.
    const auto spectrum = std::find_if(
        b.begin(), b.end(), [](const Block& x) { return x.converted && (x.kind == "FOUR" || x.kind == "AMPL"); });
    ASSERT_NE(spectrum, b.end());
    EXPECT_TRUE(std::any_of(spectrum, b.end(),
                            [&](const Block& x) { return x.converted && x.kind == "FOUR" && x.n > spectrum->n; }));

    // TP19: every (nc1, nc2) of the conversion table and neighbours; spectra
    // before and after the first time history, and a longer later one.
    std::set<std::pair<long, long>> pairs[2];
    for (const auto& x : l19.blocks)
      if (x.kind == "WAVE") pairs[x.converted].insert({x.nc1, x.nc2});
    EXPECT_EQ(pairs[1].size(), 34u);
    EXPECT_GE(pairs[0].size(), 30u);
    const auto& b19 = l19.blocks;
    const auto wave =
        std::find_if(b19.begin(), b19.end(), [](const Block& x) { return x.kind == "WAVE" && x.converted; });
    ASSERT_NE(wave, b19.end());
    auto spectrum_of_one_record = [](const Block& x) { return x.converted && x.kind != "WAVE" && x.records == 1; };
    EXPECT_TRUE(std::any_of(b19.begin(), wave, spectrum_of_one_record));
    EXPECT_TRUE(std::any_of(wave + 1, b19.end(), spectrum_of_one_record));
    EXPECT_TRUE(std::any_of(wave + 1, b19.end(), [&](const Block& x) { return x.kind == "WAVE" && x.n > wave->n; }));
    expect_blocks(b19, "AMPL # # # # 2 [KD]");
  }
}

TEST(Qxgen, ShapingOptionsLeaveOutBlocksSectionsAndBytes) {
  ASSERT_TRUE(readers().ok) << readers().log;
  qxtest::TempDir dir;
  const std::string full = generate(dir, {"--seed", "8"}, "full");
  const Listing full18 = read_results(full + ".TP18", "TP18"), full19 = read_results(full + ".TP19", "TP19");

  // Without INFO the files are the full ones less their first block.
  const std::string no_info = generate(dir, {"--seed", "8", "--no-info"}, "noinfo");
  for (const Listing* l : {&full18, &full19}) {
    const std::string family = l == &full18 ? "TP18" : "TP19";
    const std::string bytes = read_file(full + "." + family), cut = read_file(no_info + "." + family);
    EXPECT_TRUE(bytes.ends_with(cut) && bytes.size() > cut.size()) << family;
    EXPECT_EQ(read_results(no_info + "." + family, family).blocks,
              std::vector<Block>(l->blocks.begin() + 1, l->blocks.end()));
  }

  // --blocks keeps the chosen kinds and nothing else.
  const Listing some = read_results(generate(dir, {"--seed", "8", "--blocks", "WAVE,MAXR"}, "some") + ".TP18", "TP18");
  std::vector<Block> expected{full18.blocks[0]};
  for (const auto& x : full18.blocks)
    if (x.kind == "MAXR" || (x.kind == "WAVE" && x.converted)) expected.push_back(x);
  EXPECT_TRUE(some.complete);
  EXPECT_EQ(some.blocks, expected);

  // Sections left out of the input data file.
  const std::string omit = read_file(generate(dir, {"--seed", "8", "--omit", "BEAM,SPRING,MSOLID"}, "omit") + ".qxin");
  for (const char* key : {"\nBEAM    ", "\nSPRING  ", "\nMSOLID  "}) EXPECT_EQ(omit.find(key), npos) << key;
  for (const char* key : {"\nNODE    ", "\nSOLID   ", "\nVOID    "}) EXPECT_NE(omit.find(key), npos) << key;
}

// The bundled example is what example/README.md says: the command printed
// there remakes it byte for byte.
TEST(Qxgen, TheCommandOfTheExampleReadmeRemakesTheBundledCase) {
  const std::string example = std::string(QX_SOURCE_DIR) + "/example/";
  const std::string readme = read_file(example + "README.md");
  const std::regex command("\nbuild/qxgen --out example/case1 (.*)\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(readme, m, command)) << "no qxgen command in example/README.md";
  std::vector<std::string> args;
  std::istringstream in(m[1].str());
  for (std::string a; in >> a;) args.push_back(a);
  qxtest::TempDir dir;
  const std::string base = generate(dir, args, "case1");
  for (const char* ext : {".qxin", ".TP18", ".TP19"})
    EXPECT_TRUE(read_file(base + ext) == read_file(example + "case1" + ext)) << ext;
}

}  // namespace
