// The dialogue: its texts, the names and settings it leaves, its refusals,
// the byte order answer, the run options and the end of the input; on a
// fresh Run and through the real program.
#include "control/filnam_set.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "control/expected_texts.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

using namespace qxtest;

namespace {

struct Talk {
  int irtn = 99;
  std::string out, err;
  qx::ComValTp18 val;
};

// Runs the dialogue on a fresh Run with `input` as the terminal input.
Talk talk(const std::string& input, std::vector<std::string> args = {}) {
  std::istringstream in(input);
  std::ostringstream out, err;
  qx::Run run({in, out, err}, std::move(args));
  Talk t;
  qx::filnam_set(run, t.irtn);
  t.out = out.str();
  t.err = err.str();
  t.val = run.val;
  return t;
}

// A model file and the result files asked for, in a directory of their own.
struct Case {
  TempDir dir;
  std::string model = dir.file("case.qxin"), base = dir.file("case");
  explicit Case(bool tp18 = true, bool tp19 = true) {
    write_file(model, "TITLE   unit test\n");
    if (tp18) write_file(base + ".TP18", "");
    if (tp19) write_file(base + ".TP19", "");
  }
  // The three answers, paths quoted because they hold slashes.
  std::string answers(const std::string& endian = "No", const std::string& result = ".TP18") const {
    return "'" + model + "'\n'" + base + result + "'\n" + endian + "\n";
  }
};

TEST(FilnamSet, BaseNameIsTheAnswerCutBeforeItsLastDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"run1.TP18", "run1"},     {"run1", "run1"}, {"run1.anything", "run1"},      {"case.b.TP18", "case.b"},
      {".TP18", ""},             {"run1.", "run1"}, {"dir.v2/run1.TP19", "dir.v2/run1"}, {"dir.v2/run1", "dir"},
      {"a b.TP18", "a b"},
  };
  for (auto [answer, base] : cases) EXPECT_EQ(qx::result_base_name(answer), base) << answer;
}

TEST(FilnamSet, AcceptedAnswersAndTheSettingsTheyLeave) {
  // Only the first character of the byte order answer counts.
  const std::pair<const char*, bool> answers[] = {
      {"yes", true}, {"Y", true},   {"y", true},  {"'yes'", true}, {"No", false},   {"n", false},
      {"ok", false}, {"x", false}, {"1", false}, {"' y'", false}, {",", false},
  };
  for (int files = 1; files <= 3; ++files) {
    Case c(files & 1, files & 2);
    for (auto [answer, big] : answers) {
      Talk t = talk(c.answers(answer, files == 2 ? ".TP19" : ".TP18"));
      EXPECT_EQ(t.irtn, 0) << answer;
      EXPECT_EQ(t.out, expected::dialogue(big)) << answer;
      EXPECT_EQ(t.val.conv, big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN") << answer;
      EXPECT_EQ(t.val.inpdt_name, c.model);
      EXPECT_EQ(t.val.rslt_name, c.base);
      EXPECT_EQ(t.val.ltp18, (files & 1) != 0);
      EXPECT_EQ(t.val.ltp19, (files & 2) != 0);
    }
  }
}

TEST(FilnamSet, RunOptionsAreTheFirstFiveCharactersOfAnArgumentInOneCase) {
  Case c;
  const std::pair<std::vector<std::string>, std::vector<int>> cases[] = {
      // stru spec ampl wave maxr four
      {{"-structure"}, {1, 0, 0, 0, 0, 0}},
      {{"-Stru", "-str", "-STR", "stru", "-stru-", "-sTRU", "-WAVe", "--wave", "x", ""}, {1, 0, 0, 0, 0, 0}},
      {{"-SPEC", "-ampl", "-WAVE", "-maxr", "-FOUR"}, {0, 1, 1, 1, 1, 1}},
      {{"-wave", "-wave", "-WAVE", "-s", "-"}, {0, 0, 0, 1, 0, 0}},
      {{"-spec", "-AMPL", "-wave", "-MAXR", "-four", "-STRU"}, {1, 1, 1, 1, 1, 1}},
      {{"-maxrx", "-fourier", "-Spec"}, {0, 0, 0, 0, 1, 1}},
  };
  for (const auto& [args, flags] : cases) {
    Talk t = talk(c.answers(), args);
    const std::vector<int> got = {t.val.stru, t.val.spec, t.val.ampl, t.val.wave, t.val.maxr, t.val.four};
    EXPECT_EQ(got, flags) << args.front();
    EXPECT_EQ(t.out, expected::dialogue()) << "options take no part in the dialogue";
  }
}

TEST(FilnamSetProgram, RefusalsAndTheEndOfTheInputEndTheRunWithoutAnyFile) {
  TempDir dir;
  write_file(dir.file("case.qxin"), "");
  write_file(dir.file("run.TP18"), "");
  mkdir(dir.file("dir").c_str(), 0755);
  write_file(dir.file("dir/model.qxin"), "");
  mkdir(dir.file("model.qxin").c_str(), 0755);
  mkdir(dir.file("case.TP19").c_str(), 0755);
  const std::string ended = "): standard input ended\n";
  struct Refusal {
    std::string input, out, err;
  };
  const Refusal runs[] = {
      {"", expected::missing_model_file(""), "qxconv: no answer to question (1" + ended},
      {"missing.qxin\ncase.TP18\nNo\n", expected::missing_model_file("missing.qxin"),
       "qxconv: question (1): no such file 'missing.qxin'\n"},
      {std::string(300, 'm') + "\n", expected::missing_model_file(std::string(256, 'm')),
       "qxconv: question (1): '" + std::string(256, 'm') + "' cannot be reached (File name too long)\n"},
      {"model.qxin\ncase.TP18\nNo\n", expected::missing_model_file("model.qxin"),
       "qxconv: question (1): 'model.qxin' is a directory\n"},
      // Without quotes the slash ends the name: what is left is a directory.
      {"dir/model.qxin\ncase.TP18\nNo\n", expected::missing_model_file("dir"),
       "qxconv: question (1): 'dir' is a directory\n"},
      {"''\ncase.TP18\nNo\n", expected::missing_model_file(""), "qxconv: question (1): no file name given\n"},
      {"case.qxin\n", expected::missing_result_files(""), "qxconv: no answer to question (2" + ended},
      {"case.qxin\ncase.TP18\nyes\n", expected::missing_result_files("case"),
       "qxconv: question (2): neither case.TP18 nor case.TP19 exists\n"},
      {"'dir/model.qxin'\n'dir/case'\n", expected::missing_result_files("dir/case"),
       "qxconv: question (2): neither dir/case.TP18 nor dir/case.TP19 exists\n"},
      {"case.qxin\nrun.TP18\n", expected::dialogue(), "qxconv: no answer to question (3" + ended},
  };
  for (const Refusal& r : runs) {
    auto res = qxtest::run_program({QXCONV_PATH, "-wave"}, r.input, dir.path());
    EXPECT_EQ(res.exit_status, 1) << r.input;
    EXPECT_EQ(res.out, r.out) << r.input;
    EXPECT_EQ(res.err, r.err) << r.input;
  }
  for (const char* made : {"case_TP18-19_COVT.lst", "_TP18-19_COVT.lst", "run_TP18-19_COVT.lst", "case_QX2D.TP19"})
    EXPECT_FALSE(file_exists(dir.file(made))) << made;
}

}  // namespace
