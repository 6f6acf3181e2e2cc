// The TP19 conversion on cases of the case generator and on the bundled
// example, compared byte for byte with a Fortran reference (gfortran's
// records and edit descriptors).
#include <gtest/gtest.h>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;

const std::string source_dir = QX_SOURCE_DIR;

TEST(Tp19Generated, ConvertedFilesAgreeWithTheReference) {
  qxtest::TempDir ref_dir;
  const std::string ref_exe = ref_dir.file("tp19_reference");
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/convert/cnvt_tp19_reference.f90"),
                                      ref_exe, log))
      << log;
  struct Case {
    std::vector<std::string> qxgen;  // none: the bundled example
    Order order;
    int wave, stru, spec;
    const char* what;
  };
  const std::vector<Case> cases = {
      {{"--seed", "1"}, Order::little, 1, 0, 0, "-wave, little-endian"},
      {{"--seed", "2", "--no-info"}, Order::big, 1, 1, 0, "no INFO, -wave -stru, big-endian"},
      {{"--seed", "3", "--size", "300k"}, Order::little, 0, 0, 1, "-spec only"},
      {{"--seed", "4"}, Order::big, 0, 0, 0, "no options, big-endian"},
      {{"--seed", "5", "--no-info", "--size", "1M"}, Order::little, 1, 1, 1, "larger, three options"},
      {{}, Order::big, 1, 1, 1, "bundled example, big-endian"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Settings settings{c.order, c.wave, c.stru, c.spec, 0, {}};
    qxtest::TempDir dir;
    std::string tp19 = source_dir + "/example/case1.TP19";
    if (!c.qxgen.empty()) {
      std::vector<std::string> argv{QXGEN_PATH, "--out", dir.file("case"), "--only-tp19"};
      argv.insert(argv.end(), c.qxgen.begin(), c.qxgen.end());
      const qxtest::CommandResult r = qxtest::run_program(argv);
      ASSERT_EQ(r.exit_status, 0) << r.err;
      tp19 = dir.file("case.TP19");
    }
    Harness h(qxtest::read_file(tp19), settings);
    ASSERT_EQ(h.convert(), 0) << h.lst();

    const std::string ref = dir.file("ref");
    const qxtest::CommandResult r = qxtest::run_program(
        {ref_exe, h.path(unit::tp19), ref, settings.order == Order::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN",
         std::to_string(settings.wave), std::to_string(settings.option_sum())});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;

    const std::pair<int, const char*> outputs[] = {{unit::sv19, ".sv"}, {unit::sh19, ".sh"}, {unit::svt19, ".svt"},
                                                   {unit::sht19, ".sht"}};
    for (const auto& [u, suffix] : outputs)  // without options both sides have no text
      EXPECT_TRUE(h.blocks(u) == qxtest::read_file(ref + suffix)) << suffix << " differs";
    EXPECT_TRUE(h.lst() == qxtest::read_file(ref + ".lst")) << "list file differs";
    // The case holds blocks of both variants, and text for them under -wave.
    EXPECT_GT(h.blocks(unit::sh19).size(), 200u);
    EXPECT_TRUE(settings.wave == 0 || h.blocks(unit::sht19).size() > 1000);
    EXPECT_EQ(h.file(unit::txt19), "");
  }
}

}  // namespace
