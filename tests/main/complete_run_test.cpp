// A complete run of qxconv on the bundled example case with every run
// option: every file it makes, checked against the TP18 model and the
// Fortran TP19 reference, and the whole list file.
#include <gtest/gtest.h>

#include "control/expected_texts.hpp"
#include "convert/tp18_model.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

TEST(CompleteRun, TheExampleCaseWithEveryOptionInBigEndian) {
  ASSERT_TRUE(tp19_reference().ok) << tp19_reference().log;
  qxtest::TempDir dir;
  std::map<std::string, std::string> in;
  for (const char* ext : {".qxin", ".TP18", ".TP19"}) {
    in[ext] = qxtest::read_file(std::string(QX_SOURCE_DIR) + "/example/case1" + ext);
    ASSERT_FALSE(in[ext].empty()) << ext;
    qxtest::write_file(dir.file(std::string("case1") + ext), in[ext]);
  }

  const ProgramRun run = run_qxconv(dir.path(), every_option, answers("case1", true));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.terminal, expected::dialogue(true) + "\nNORMAL END (zelvorith)\n");
  const Outputs files = collect(dir.path(), "case1");
  ASSERT_EQ(files.size(), binary_suffixes().size() + text_suffixes().size());
  EXPECT_EQ(files.at(".TP19.txt"), "");

  // TP18: the model's blocks behind the model section.
  const tp18model::Options all{1, 1, 1, 1, 1, 1};
  const auto e = tp18model::convert(tp18model::parse_records(in[".TP18"]), all);
  ASSERT_EQ(e.ier, 0);
  ASSERT_FALSE(e.sv.empty() || e.sh.empty() || e.dump.empty());
  const std::pair<std::string, std::string> tp18_parts[] = {{"_QX2D.TP18", tp18model::serialize(e.sv, true)},
                                                            {"_QXSH.TP18", tp18model::serialize(e.sh, true)},
                                                            {"_QX2D.TP18.txt", e.svt},
                                                            {"_QXSH.TP18.txt", e.sht}};
  std::map<std::string, std::string> model_section;  // by variant and kind of file
  for (const auto& [suffix, blocks] : tp18_parts) {
    const std::string& file = files.at(suffix);
    ASSERT_TRUE(ends_with(file, blocks)) << suffix << " does not end with the model's blocks";
    model_section[suffix.substr(0, 5) + suffix.substr(10)] = file.substr(0, file.size() - blocks.size());
  }
  EXPECT_EQ(files.at(".TP18.txt"), e.dump);

  // TP19: the reference's blocks behind the same model section.
  ASSERT_TRUE(run_tp19_reference(dir.file("case1.TP19"), dir.file("ref"), true, 1, 6));
  const std::pair<std::string, std::string> tp19_parts[] = {
      {"_QX2D.TP19", ".sv"}, {"_QXSH.TP19", ".sh"}, {"_QX2D.TP19.txt", ".svt"}, {"_QXSH.TP19.txt", ".sht"}};
  for (const auto& [suffix, ext] : tp19_parts) {
    const std::string blocks = qxtest::read_file(dir.file("ref" + ext));
    ASSERT_FALSE(blocks.empty()) << ext;
    EXPECT_TRUE(files.at(suffix) == model_section.at(suffix.substr(0, 5) + suffix.substr(10)) + blocks)
        << suffix << " differs from the reference";
  }
  // The model sections themselves: whole records, and the SH one shorter
  // (its model is reduced).
  const std::string &sv_model = model_section.at("_QX2D"), &sh_model = model_section.at("_QXSH");
  EXPECT_FALSE(sh_model.empty());
  EXPECT_LT(sh_model.size(), sv_model.size());
  EXPECT_FALSE(tp18model::parse_records(sv_model, true).cut);
  EXPECT_FALSE(tp18model::parse_records(sh_model, true).cut);
  EXPECT_FALSE(model_section.at("_QX2D.txt").empty());

  EXPECT_EQ(files.at(list_suffix), expected::cover_page() + "\nREAD INPUT DATA (FILE-NAME:case1.qxin)\n\n" + e.list +
                                       qxtest::read_file(dir.file("ref.lst")) + "\nNORMAL END\n");
}

}  // namespace
