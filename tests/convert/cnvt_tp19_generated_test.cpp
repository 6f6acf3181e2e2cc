// The TP19 conversion on cases of the case generator, compared byte for byte
// with a Fortran reference (gfortran's records and edit descriptors), and on
// the generator's truncated and hostile files.
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;
using qxtest::TempDir;
namespace unit = qx::unit;

const std::string source_dir = QX_SOURCE_DIR;

struct Reference {
  TempDir dir;
  std::string exe = dir.file("tp19_reference");
  std::string log;
  bool ok = qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/convert/cnvt_tp19_reference.f90"), exe,
                                    log);
};

const Reference& reference() {
  static Reference r;
  return r;
}

// A generated TP19 file.
std::string generate(const TempDir& dir, std::vector<std::string> args) {
  const std::string base = dir.file("case");
  std::vector<std::string> argv{QXGEN_PATH, "--out", base, "--only-tp19"};
  argv.insert(argv.end(), args.begin(), args.end());
  const qxtest::CommandResult r = qxtest::run_program(argv);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return qxtest::read_file(base + ".TP19");
}

struct GeneratedCase {
  std::vector<std::string> qxgen;  // none: the bundled example
  Settings settings;
  const char* what;
};

Settings options(Order o, int wave, int spec, int stru) {
  Settings s = in_order(o);
  s.wave = wave;
  s.spec = spec;
  s.stru = stru;
  return s;
}

TEST(Tp19Generated, ConvertedFilesAgreeWithTheReference) {
  ASSERT_TRUE(reference().ok) << reference().log;
  const std::vector<GeneratedCase> cases = {
      {{"--seed", "1"}, options(Order::little, 1, 0, 0), "-wave, little-endian"},
      {{"--seed", "2", "--no-info"}, options(Order::big, 1, 0, 1), "no INFO, -wave -stru, big-endian"},
      {{"--seed", "3", "--size", "300k"}, options(Order::little, 0, 1, 0), "-spec only"},
      {{"--seed", "4"}, options(Order::big, 0, 0, 0), "no options, big-endian"},
      {{"--seed", "5", "--no-info", "--size", "1M"}, options(Order::little, 1, 1, 1), "larger case, three options"},
      {{}, options(Order::big, 1, 1, 1), "bundled example, big-endian"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string tp19 =
        c.qxgen.empty() ? qxtest::read_file(source_dir + "/example/case1.TP19") : generate(dir, c.qxgen);
    ASSERT_FALSE(tp19.empty());
    Harness h(tp19, c.settings);
    ASSERT_EQ(h.convert(), 0) << h.lst();

    const std::string ref = dir.file("ref");
    const qxtest::CommandResult r = qxtest::run_program(
        {reference().exe, h.path(unit::tp19), ref, c.settings.order == Order::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN",
         std::to_string(c.settings.wave), std::to_string(c.settings.option_sum())});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;

    EXPECT_TRUE(h.sv() == h.model[unit::sv19] + qxtest::read_file(ref + ".sv")) << "SV binary differs";
    EXPECT_TRUE(h.sh() == h.model[unit::sh19] + qxtest::read_file(ref + ".sh")) << "SH binary differs";
    if (c.settings.option_sum() > 0) {
      EXPECT_TRUE(h.svt() == h.model[unit::svt19] + qxtest::read_file(ref + ".svt")) << "SV text differs";
      EXPECT_TRUE(h.sht() == h.model[unit::sht19] + qxtest::read_file(ref + ".sht")) << "SH text differs";
      EXPECT_EQ(h.file(unit::txt19), "");
    }
    EXPECT_TRUE(h.lst() == qxtest::read_file(ref + ".lst")) << "list file differs";
    // The case holds blocks of both variants and text for them.
    EXPECT_GT(h.sh().size(), h.model[unit::sh19].size() + 200);
    if (c.settings.wave == 1) {
      EXPECT_GT(h.sht().size(), h.model[unit::sht19].size() + 1000);
    }
  }
}

// Whether `part` is the beginning of `whole`.
bool starts(const std::string& whole, const std::string& part) { return whole.compare(0, part.size(), part) == 0; }

TEST(Tp19Generated, TruncatedFilesGiveTheBeginningOfTheWholeConversion) {
  TempDir dir;
  const std::string whole_file = generate(dir, {"--seed", "7"});
  Harness whole(whole_file, with_wave());
  ASSERT_EQ(whole.convert(), 0);

  // (A cut inside the first record is not among them: the file then shows
  // no information block, and the default one is written.)
  for (std::size_t cut : {std::size_t{60}, std::size_t{200}, std::size_t{4321}, whole_file.size() / 3,
                          whole_file.size() / 2 + 7, whole_file.size() - 1}) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    TempDir cut_dir;
    const std::string truncated = generate(cut_dir, {"--seed", "7", "--truncate-tp19", std::to_string(cut)});
    ASSERT_EQ(truncated, whole_file.substr(0, cut));
    Harness h(truncated, with_wave());
    const int ier = h.convert();
    EXPECT_NE(ier, 0);
    EXPECT_TRUE(starts(whole.sv(), h.sv()));
    EXPECT_TRUE(starts(whole.sh(), h.sh()));
    EXPECT_TRUE(starts(whole.svt(), h.svt()));
    EXPECT_TRUE(starts(whole.sht(), h.sht()));
    // Reported as a read error after the list lines the whole run also wrote.
    const std::string lst = h.lst();
    const std::size_t report_at = lst.find("  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n");
    ASSERT_NE(report_at, std::string::npos) << lst.substr(lst.size() > 400 ? lst.size() - 400 : 0);
    EXPECT_TRUE(starts(whole.lst(), lst.substr(0, report_at)));
    EXPECT_TRUE(ends_with(lst, header_read_report(ier)) || ends_with(lst, data_read_report(ier)));
  }
}

TEST(Tp19Generated, HostileSizeRecordStopsWithoutMakingRoomForIt) {
  TempDir dir;
  const std::string tp19 = generate(dir, {"--seed", "8", "--hostile-nsize2", "TP19"});
  Harness h(tp19, with_wave());
  EXPECT_EQ(h.convert(), 67);
  EXPECT_TRUE(ends_with(h.lst(), data_read_report(67)));
  // The blocks before it are converted; the block itself ends after its
  // header records, which carry the size as read.
  Bytes claimed;
  claimed.i32(2000000000);
  const std::string sv = h.sv();
  ASSERT_GE(sv.size(), 32u);
  EXPECT_EQ(sv.substr(sv.size() - 28, 4), claimed.str());
  const auto text = qxtest::split_lines(h.svt());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back().substr(0, 8), "********");  // too wide for its field
}

}  // namespace
