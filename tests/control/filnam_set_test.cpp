// The dialogue: its texts, the names and settings it leaves, its refusals,
// the byte order answer, the run options, and the end of the input at each
// question; on a fresh Run and through the real program.
#include "control/filnam_set.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "control/expected_texts.hpp"
#include "control/run.hpp"
#include "support/test_support.hpp"

using qxtest::file_exists;
using qxtest::run_program;
using qxtest::TempDir;
using qxtest::write_file;

namespace {

struct Dialogue {
  std::string out;
  int irtn = 99;
};

// Runs the dialogue on a fresh Run with the answers as the terminal input.
Dialogue talk(qx::Run& run, std::ostringstream& out) {
  Dialogue d;
  qx::filnam_set(run, d.irtn);
  d.out = out.str();
  return d;
}

struct Case {
  TempDir dir;
  std::string model = dir.file("case.qxin");
  std::string base = dir.file("case");
  Case(bool tp18 = true, bool tp19 = true) {
    write_file(model, "TITLE   unit test\n");
    if (tp18) write_file(base + ".TP18", "");
    if (tp19) write_file(base + ".TP19", "");
  }
  // The three answers, paths quoted because they hold slashes.
  std::string answers(const std::string& result, const std::string& endian = "No") const {
    return "'" + model + "'\n'" + result + "'\n" + endian + "\n";
  }
};

TEST(FilnamSet, DialogueTextsAndTheSettingsItLeaves) {
  Case c;
  std::istringstream in(c.answers(c.base + ".TP18"));
  std::ostringstream out;
  qx::Run run({in, out});
  Dialogue d = talk(run, out);
  EXPECT_EQ(d.irtn, 0);
  EXPECT_EQ(d.out, expected::dialogue());
  EXPECT_EQ(run.val.inpdt_name, c.model);
  EXPECT_EQ(run.val.rslt_name, c.base);
  EXPECT_TRUE(run.val.ltp18);
  EXPECT_TRUE(run.val.ltp19);
  EXPECT_EQ(run.val.conv, "LITTLE_ENDIAN");
  EXPECT_EQ(run.val.option_sum(), 0) << "no arguments: no option";

  // The widths that the frames of the dialogue must have.
  std::vector<std::string> lines = qxtest::split_lines(d.out);
  ASSERT_EQ(lines.size(), 25u);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(lines[i].size(), 42u) << lines[i];
  EXPECT_EQ(lines[9].size(), 41u);
  for (int i : {11, 12, 13}) EXPECT_EQ(lines[i].size(), 62u) << lines[i];
  for (int i : {15, 16, 17}) EXPECT_EQ(lines[i].size(), 59u) << lines[i];
  for (int i : {19, 20, 22}) EXPECT_EQ(lines[i].size(), 49u) << lines[i];
  EXPECT_EQ(lines[24].size(), 44u);
}

TEST(FilnamSet, BaseNameIsTheAnswerCutBeforeItsLastDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"run1.TP18", "run1"},       {"run1.TP19", "run1"},     {"run1", "run1"},
      {"run1.anything", "run1"},   {"run1.tp18", "run1"},     {"case.b.TP18", "case.b"},
      {".TP18", ""},               {"dir.v2/run1", "dir"},    {"dir.v2/run1.TP19", "dir.v2/run1"},
      {"run1.", "run1"},           {"a b.TP18", "a b"},
  };
  for (auto [answer, base] : cases) EXPECT_EQ(qx::result_base_name(answer), base) << answer;
}

TEST(FilnamSet, OnlyTheResultFileThatExistsIsConverted) {
  for (bool tp18 : {false, true}) {
    Case c(tp18, !tp18);
    std::istringstream in(c.answers(c.base + ".TP18"));
    std::ostringstream out;
    qx::Run run({in, out});
    Dialogue d = talk(run, out);
    EXPECT_EQ(d.irtn, 0);
    EXPECT_EQ(run.val.ltp18, tp18);
    EXPECT_EQ(run.val.ltp19, !tp18);
    EXPECT_EQ(d.out, expected::dialogue());
  }
}

TEST(FilnamSet, ByteOrderAnswers) {
  const std::pair<const char*, bool> answers[] = {
      {"yes", true}, {"Y", true},  {"YES", true}, {"y", true},   {"'yes'", true}, {"No", false},
      {"n", false},  {"ok", false}, {"x", false}, {"1", false}, {"' y'", false}, {",", false},
  };
  Case c;
  for (auto [answer, big] : answers) {
    std::istringstream in(c.answers(c.base + ".TP19", answer));
    std::ostringstream out;
    qx::Run run({in, out});
    Dialogue d = talk(run, out);
    EXPECT_EQ(d.irtn, 0) << answer;
    EXPECT_EQ(run.val.conv, big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN") << answer;
    EXPECT_EQ(run.val.big_endian(), big) << answer;
    EXPECT_EQ(d.out, expected::dialogue(big)) << answer;
  }
}

TEST(FilnamSet, RunOptionsAreTheFirstFiveCharactersOfAnArgumentInOneCase) {
  Case c;
  struct OptionCase {
    std::vector<std::string> args;
    int stru, spec, ampl, wave, maxr, four;
  };
  const OptionCase cases[] = {
      {{}, 0, 0, 0, 0, 0, 0},
      {{"-structure"}, 1, 0, 0, 0, 0, 0},
      {{"-Stru", "-str", "-STR", "stru", "-stru-"}, 1, 0, 0, 0, 0, 0},
      {{"-Stru", "-str", "-sTRU", "-WAVe"}, 0, 0, 0, 0, 0, 0},
      {{"-SPEC", "-ampl", "-WAVE", "-maxr", "-FOUR"}, 0, 1, 1, 1, 1, 1},
      {{"-wave", "-wave", "-WAVE", "x", ""}, 0, 0, 0, 1, 0, 0},
      {{"-spec", "-AMPL", "-wave", "-MAXR", "-four", "-STRU"}, 1, 1, 1, 1, 1, 1},
      {{"-maxrx", "-fourier"}, 0, 0, 0, 0, 1, 1},
  };
  for (const OptionCase& oc : cases) {
    std::istringstream in(c.answers(c.base + ".TP18"));
    std::ostringstream out;
    qx::Run run({in, out}, oc.args);
    Dialogue d = talk(run, out);
    std::string label;
    for (const auto& a : oc.args) label += a + " ";
    EXPECT_EQ(d.irtn, 0) << label;
    EXPECT_EQ(run.val.stru, oc.stru) << label;
    EXPECT_EQ(run.val.spec, oc.spec) << label;
    EXPECT_EQ(run.val.ampl, oc.ampl) << label;
    EXPECT_EQ(run.val.wave, oc.wave) << label;
    EXPECT_EQ(run.val.maxr, oc.maxr) << label;
    EXPECT_EQ(run.val.four, oc.four) << label;
    EXPECT_EQ(d.out, expected::dialogue()) << "options take no part in the dialogue";
  }
}

TEST(FilnamSet, MissingOrDirectoryModelFileIsRefusedBeforeTheNextQuestion) {
  Case c;
  mkdir(c.dir.file("model.qxin").c_str(), 0755);
  for (const std::string& name : {c.dir.file("nothing.qxin"), c.dir.file("model.qxin"), c.dir.path()}) {
    std::istringstream in("'" + name + "'\n'" + c.base + ".TP18'\nNo\n");
    std::ostringstream out;
    qx::Run run({in, out}, {"-wave"});
    Dialogue d = talk(run, out);
    EXPECT_EQ(d.irtn, 1);
    EXPECT_EQ(d.out, expected::banner + expected::question1 + expected::missing_model_file(name));
    EXPECT_EQ(run.val.wave, 0) << "a refused run does not look at the options";
  }
}

TEST(FilnamSet, NeitherResultFileIsRefused) {
  Case c(false, false);
  // A directory named like a result file is no result file.
  mkdir((c.base + ".TP18").c_str(), 0755);
  std::istringstream in(c.answers(c.base + ".TP18"));
  std::ostringstream out;
  qx::Run run({in, out});
  Dialogue d = talk(run, out);
  EXPECT_EQ(d.irtn, 1);
  EXPECT_FALSE(run.val.ltp18);
  EXPECT_FALSE(run.val.ltp19);
  EXPECT_EQ(d.out,
            expected::banner + expected::question1 + expected::question2 + expected::missing_result_files(c.base));
}

TEST(FilnamSet, NamesAreCutTo256Characters) {
  Case c;
  const std::string name = c.dir.file(std::string(300, 'm'));
  std::istringstream in("'" + name + "'\n");
  std::ostringstream out;
  qx::Run run({in, out});
  Dialogue d = talk(run, out);
  EXPECT_EQ(d.irtn, 1);
  EXPECT_EQ(run.val.inpdt_name, name.substr(0, 256));
  EXPECT_EQ(d.out, expected::banner + expected::question1 + expected::missing_model_file(name.substr(0, 256)));
}

TEST(FilnamSet, EndOfInput) {
  Case c;
  {
    // At answer (1): the empty name does not exist.
    std::istringstream in("\n  \n");
    std::ostringstream out;
    qx::Run run({in, out});
    Dialogue d = talk(run, out);
    EXPECT_EQ(d.irtn, 1);
    EXPECT_EQ(run.val.inpdt_name, "");
    EXPECT_EQ(d.out, expected::banner + expected::question1 + expected::missing_model_file(""));
  }
  {
    // At answer (3): little-endian, the byte order line and the options
    // still; the status of the read stops the run.
    std::istringstream in("'" + c.model + "'\n'" + c.base + ".TP18'\n");
    std::ostringstream out;
    qx::Run run({in, out}, {"-four"});
    run.val.conv = "BIG_ENDIAN   ";
    Dialogue d = talk(run, out);
    EXPECT_EQ(d.irtn, -1);
    EXPECT_EQ(run.val.conv, "LITTLE_ENDIAN");
    EXPECT_EQ(run.val.four, 1);
    EXPECT_EQ(d.out, expected::dialogue());
  }
}

// ---- through the real program, in a directory of its own ----

std::string qxconv() { return QXCONV_PATH; }

TEST(FilnamSetProgram, RefusalsEndTheRunWithoutAnyFile) {
  TempDir dir;
  write_file(dir.file("case.qxin"), "");
  mkdir(dir.file("dir").c_str(), 0755);
  write_file(dir.file("dir/model.qxin"), "");
  mkdir(dir.file("model.qxin").c_str(), 0755);
  mkdir(dir.file("case.TP19").c_str(), 0755);

  struct Refusal {
    std::string input, out;
  };
  const Refusal refusals[] = {
      {"", expected::question1 + expected::missing_model_file("")},
      {"missing.qxin\ncase.TP18\nNo\n", expected::question1 + expected::missing_model_file("missing.qxin")},
      {"model.qxin\ncase.TP18\nNo\n", expected::question1 + expected::missing_model_file("model.qxin")},
      // Without quotes the slash ends the name: what is left is a directory.
      {"dir/model.qxin\ncase.TP18\nNo\n", expected::question1 + expected::missing_model_file("dir")},
      {"case.qxin\n", expected::question1 + expected::question2 + expected::missing_result_files("")},
      {"case.qxin\ncase.TP18\nyes\n",
       expected::question1 + expected::question2 + expected::missing_result_files("case")},
      {"'dir/model.qxin'\n'dir/case'\n",
       expected::question1 + expected::question2 + expected::missing_result_files("dir/case")},
  };
  for (const Refusal& r : refusals) {
    auto res = run_program({qxconv(), "-wave"}, r.input, dir.path());
    EXPECT_EQ(res.exit_status, 1) << r.input;
    EXPECT_EQ(res.out, expected::banner + r.out) << r.input;
    EXPECT_EQ(res.err, "");
  }
  EXPECT_FALSE(file_exists(dir.file("case_TP18-19_COVT.lst")));
  EXPECT_FALSE(file_exists(dir.file("_TP18-19_COVT.lst")));
  EXPECT_FALSE(file_exists(dir.file("case_QX2D.TP19")));
}

TEST(FilnamSetProgram, EndOfInputAtTheByteOrderStopsAfterItsLine) {
  TempDir dir;
  write_file(dir.file("case.qxin"), "");
  write_file(dir.file("case.TP18"), "");
  auto res = run_program({qxconv()}, "case.qxin\ncase.TP18\n", dir.path());
  EXPECT_EQ(res.exit_status, 1);
  EXPECT_EQ(res.out, expected::dialogue());
  EXPECT_FALSE(file_exists(dir.file("case_TP18-19_COVT.lst"))) << "the file set is not opened";
}

}  // namespace
