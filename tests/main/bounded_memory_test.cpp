// qxconv under an address-space limit of 256 MiB: sizes of two thousand
// million values claimed by a header never reach the allocator, and a valid
// case of 200 MB converts in memory bounded by its records, not its files.
#include <gtest/gtest.h>

#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

void generate(const qxtest::TempDir& dir, std::vector<std::string> options) {
  std::vector<std::string> argv{QXGEN_PATH, "--out", dir.file("case"), "--seed", "21"};
  argv.insert(argv.end(), options.begin(), options.end());
  const auto r = qxtest::run_program(argv);
  ASSERT_EQ(r.exit_status, 0) << r.err;
}

TEST(BoundedMemory, ClaimedSizesOfTwoThousandMillionValuesAreReadErrors) {
  if (address_sanitizer) GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
  const std::vector<std::string> hostile[] = {
      {"--hostile-nsize2", "TP18"}, {"--hostile-na"}, {"--hostile-nsize2", "TP19"}};
  for (const auto& fault : hostile) {
    const std::string what = fault.back();
    qxtest::TempDir dir;
    generate(dir, fault);
    const ProgramRun r = run_qxconv(dir.path(), every_option, answers("case"), {address_space_limit, 0});
    EXPECT_EQ(r.exit_status, 1) << what;
    EXPECT_EQ(r.terminal.find("NORMAL END"), std::string::npos) << what;
    const std::string list = qxtest::read_file(dir.file("case" + list_suffix));
    EXPECT_NE(list.find("  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"), std::string::npos) << what;
    EXPECT_TRUE(ends_with(list, "  IOSTAT =    67 ***\n")) << what << "\n" << list.substr(list.size() - 200);
    // Of the TP19 file, the blocks before the claim are converted.
    if (what == "TP19") {
      EXPECT_NE(list.find("END (CONVERT TP18)"), std::string::npos);
    }
  }
}

TEST(BoundedMemory, ACaseOfTwoHundredMegabytesConvertsInAFewMegabytes) {
  if (address_sanitizer) GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
  qxtest::TempDir dir;
  generate(dir, {"--size", "200M"});
  const auto input =
      std::filesystem::file_size(dir.file("case.TP18")) + std::filesystem::file_size(dir.file("case.TP19"));
  ASSERT_GT(input, 190u << 20);
  // Without options: binary outputs only.
  const ProgramRun r = run_qxconv(dir.path(), {}, answers("case"), {address_space_limit, 0});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_TRUE(ends_with(r.terminal, "\nNORMAL END (zelvorith)\n"));
  EXPECT_TRUE(ends_with(qxtest::read_file(dir.file("case" + list_suffix)), "\nNORMAL END\n"));
  // The largest record of the case is far below this.
  EXPECT_LT(r.peak_rss_kb, 64 << 10) << "of " << input << " bytes of input";
  std::uintmax_t output = 0;
  for (const std::string& s : binary_suffixes()) {
    const std::string bytes = qxtest::read_file(dir.file("case" + s));
    EXPECT_TRUE(whole_records(bytes)) << s;
    output += bytes.size();
  }
  EXPECT_GT(output, input / 2);
}

}  // namespace
