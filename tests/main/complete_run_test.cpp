// Complete runs of qxconv: the bundled example in big-endian against the TP18
// model and the Fortran TP19 reference; 200 MB in memory bounded by records.
#include <gtest/gtest.h>

#include "control/expected_texts.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

TEST(CompleteRun, TheExampleCaseWithEveryOptionInBigEndian) {
  TempDir dir;
  for (const char* ext : {".qxin", ".TP18", ".TP19"})
    std::filesystem::copy_file(std::string(QX_SOURCE_DIR) + "/example/case1" + ext, dir.file("case1") + ext);
  const ProgramRun run = run_qxconv(dir.path(), every_option, answers("case1", true));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.terminal, expected::dialogue(true) + "\nNORMAL END (zelvorith)\n");
  const Outputs files = collect(dir.path(), "case1");
  ASSERT_EQ(files.size(), suffixes.size());
  EXPECT_EQ(files.at(".TP19.txt"), "");

  // TP18: the model's blocks behind the model section, which the TP19
  // outputs of the same variant and kind repeat before the reference's.
  std::string list;
  int status = 0;
  const Outputs tp18 = tp18_model(qxtest::read_file(dir.file("case1.TP18")), true, list, status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(run_tp19_reference(dir.file("case1.TP19"), dir.file("ref"), true));
  for (const auto& [suffix, blocks] : tp18) {
    const std::string& file = files.at(suffix);
    ASSERT_FALSE(blocks.empty()) << suffix;
    ASSERT_TRUE(file.ends_with(blocks)) << suffix << " does not end with the model's blocks";
    if (suffix[0] != '_') {
      EXPECT_EQ(file, blocks);
      continue;
    }
    const std::string model_section = file.substr(0, file.size() - blocks.size());
    EXPECT_FALSE(model_section.empty()) << suffix;
    EXPECT_TRUE(!is_binary(suffix) || !tp18model::parse_records(model_section, true).cut) << suffix;
    const std::string tp19 = suffix.substr(0, 9) + "9" + suffix.substr(10);
    const std::string ref = qxtest::read_file(dir.file("ref" + tp19_reference_parts.at(tp19)));
    EXPECT_FALSE(ref.empty()) << tp19;
    EXPECT_TRUE(files.at(tp19) == model_section + ref) << tp19 << " differs from the reference";
  }
  // The SH model is reduced: its section is shorter.
  EXPECT_LT(files.at("_QXSH.TP19").size() - qxtest::read_file(dir.file("ref.sh")).size(),
            files.at("_QX2D.TP19").size() - qxtest::read_file(dir.file("ref.sv")).size());
  EXPECT_EQ(files.at(list_suffix), expected::cover_page() + "\nREAD INPUT DATA (FILE-NAME:case1.qxin)\n\n" + list +
                                       qxtest::read_file(dir.file("ref.lst")) + "\nNORMAL END\n");
}

TEST(BoundedMemory, ACaseOfTwoHundredMegabytesConvertsInAFewMegabytes) {
  if (address_space_limit == 0) GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
  TempDir dir;
  const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("case"), "--seed", "21", "--size", "200M"});
  ASSERT_EQ(g.exit_status, 0) << g.err;
  const auto input =
      std::filesystem::file_size(dir.file("case.TP18")) + std::filesystem::file_size(dir.file("case.TP19"));
  ASSERT_GT(input, 190u << 20);
  // Without options: binary outputs only.
  const ProgramRun r = run_qxconv(dir.path(), {}, answers("case"), address_space_limit);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_TRUE(r.terminal.ends_with("\nNORMAL END (zelvorith)\n"));
  EXPECT_TRUE(qxtest::read_file(dir.file("case" + list_suffix)).ends_with("\nNORMAL END\n"));
  // The largest record of the case is far below this.
  EXPECT_LT(r.peak_rss_kb, 64 << 10) << "of " << input << " bytes of input";
  std::uintmax_t output = 0;
  for (const std::string s : {"_QX2D.TP18", "_QXSH.TP18", "_QX2D.TP19", "_QXSH.TP19"}) {
    const std::string bytes = qxtest::read_file(dir.file("case" + s));
    EXPECT_TRUE(whole_records(bytes)) << s;
    output += bytes.size();
  }
  EXPECT_GT(output, input / 2);
}

}  // namespace
