// qxbatch's parts where a slip would go unseen in a study: answers that the
// converter's own dialogue reader must read back whole, the escaping of the
// summary files, the end of a list file, the slicing of a job array, the
// job script's quoting, which reason a failed run is given, the run options
// checked, and what Slurm's commands say of a job's tasks.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>

#include "answers.hpp"
#include "case_list.hpp"
#include "case_result.hpp"
#include "io/free_form.hpp"
#include "job_script.hpp"
#include "run_options.hpp"
#include "slurm_states.hpp"
#include "slurm_workdir.hpp"
#include "summary.hpp"
#include "support/test_support.hpp"
#include "tools/qxbatch_study.hpp"

namespace {

using namespace qxbatch;
namespace fs = std::filesystem;

TEST(QxbatchParts, AnswersReadBackWholeByTheDialogue) {
  const std::vector<std::string> names{
      "case.qxin", "with blank.qxin", "a,b.TP18",   "dir/sub dir/x.qxin", "it's.qxin",      "say \"hi\".TP18",
      "'",         "''quoted''",      " leading",   "tab\there",          "cr at end\r",    "/abs/olute",
      "a/b,c d'e\"f", std::string(answer_length - 2, 'x') + "''"};
  for (const std::string& name : names) {
    ASSERT_EQ(answer_problem(name), "") << name;
    std::istringstream in("\n" + answer_value(name) + "\nnext\n");
    std::string read;
    ASSERT_EQ(qx::free_form_read(in, read, answer_length), 0);
    EXPECT_EQ(read, name) << "answered as " << answer_value(name);
  }
  // What the dialogue would cut, drop or split is refused.
  for (const std::string& bad : {std::string(), std::string("a\nb"), std::string("blank at end "),
                                 std::string(answer_length + 1, 'x')})
    EXPECT_NE(answer_problem(bad), "") << bad;
  EXPECT_EQ(dialogue_answers("m.qxin", "r s.TP19", true), "m.qxin\n'r s.TP19'\nYes\n");
}

TEST(QxbatchParts, SummaryFilesEscapeWhatTheirFormatsNeed) {
  std::vector<CaseResult> rows(5);
  rows[0] = {"plain", Status::done, "", "", 1.5, 10, 20, ""};
  rows[1] = {"comma, \"quote\"", Status::failed, "1007", "TP1819 FILE READ ERROR; x", 0.25, 3, 0, ""};
  rows[2] = {"line\nbreak", Status::skipped, "", "", 0, 0, 0, ""};
  rows[3] = {" blanks ", Status::interrupted, "", "not started", 0, 0, 0, ""};
  rows[4] = {"", Status::failed, "", "a \"b\"\r\n", 2, 0, 0, ""};
  const std::string csv = qxbatch::csv_summary(rows);
  EXPECT_TRUE(csv.starts_with("case,status,error,message,seconds,bytes_in,bytes_out\nplain,done,,,1.500,10,20\n"));
  EXPECT_NE(csv.find("\n\"comma, \"\"quote\"\"\",failed,1007,TP1819 FILE READ ERROR; x,0.250,3,0\n"), std::string::npos);
  EXPECT_NE(csv.find("\n\" blanks \",interrupted,"), std::string::npos);
  qxtest::TempDir dir;
  qxtest::write_file(dir.file("s.csv"), csv);
  const auto back = qxstudy::rows_of(dir.file("s.csv"));
  ASSERT_EQ(back.size(), rows.size());
  for (const CaseResult& r : rows) {
    ASSERT_TRUE(back.count(r.name)) << r.name;
    EXPECT_EQ(back.at(r.name).status, r.status);
    EXPECT_EQ(back.at(r.name).message, r.message);
    EXPECT_EQ(back.at(r.name).bytes_in, r.bytes_in);
  }

  EXPECT_EQ(json_lines_summary({rows[1]}),
            "{\"case\":\"comma, \\\"quote\\\"\",\"status\":\"failed\",\"error\":1007,\"message\":\"TP1819 FILE READ "
            "ERROR; x\",\"seconds\":0.250,\"bytes_in\":3,\"bytes_out\":0}\n");
  EXPECT_EQ(json_lines_summary({rows[2]}),
            "{\"case\":\"line\\u000abreak\",\"status\":\"skipped\",\"error\":null,\"message\":\"\",\"seconds\":0.000,"
            "\"bytes_in\":0,\"bytes_out\":0}\n");
}

TEST(QxbatchParts, ASummaryIsWrittenWholeOrNotAtAll) {
  qxtest::TempDir dir;
  std::vector<CaseResult> rows(1);
  rows[0] = {"c", Status::done, "", "", 1, 2, 3, ""};
  std::string told;
  const auto tell = [&told](const std::string& line) { told += line; };
  // An older summary is replaced only by a complete one.
  qxtest::write_file(dir.file("s.jsonl"), "old\n");
  ASSERT_EQ(write_summary(dir.file("s.jsonl"), rows, tell), 0) << told;
  EXPECT_EQ(qxtest::read_file(dir.file("s.jsonl")), json_lines_summary(rows));
  EXPECT_EQ(told, "");
  // A directory in the way, a directory that does not exist: told, and the
  // name keeps what it held.
  fs::create_directory(dir.file("d.csv"));
  EXPECT_EQ(write_summary(dir.file("d.csv"), rows, tell), 1);
  EXPECT_NE(told.find("qxbatch: " + dir.file("d.csv") + ": "), std::string::npos) << told;
  EXPECT_TRUE(told.ends_with("qxbatch: " + dir.file("d.csv") + " not written\n")) << told;
  EXPECT_TRUE(fs::is_directory(dir.file("d.csv")));
  told.clear();
  EXPECT_EQ(write_summary(dir.file("none/s.csv"), rows, tell), 1);
  EXPECT_TRUE(told.ends_with(" not written\n")) << told;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
      << "nothing is left aside";
}

TEST(QxbatchParts, ListFileEndsAreReadFromTheirLastLines) {
  qxtest::TempDir dir;
  const auto end_of = [&](const std::string& text) {
    qxtest::write_file(dir.file("l.lst"), text);
    return read_list_end(dir.file("l.lst"));
  };
  // A long list file: only its end is read, and a cut line is not taken whole.
  const std::string blocks(10000, 'x');
  EXPECT_TRUE(end_of("head\n" + blocks + "\n\nNORMAL END\n").normal_end);
  EXPECT_FALSE(end_of(blocks + "NORMAL END\n").normal_end);
  EXPECT_FALSE(end_of("\nNORMAL END\nmore\n").normal_end);
  EXPECT_FALSE(end_of("\nNORMAL END").normal_end);

  ListEnd e = end_of(blocks + "\nMAXR      50\n  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"
                              "                    *** FILE NAME = TP18  IOSTAT =    39 ***\n");
  EXPECT_TRUE(e.report.found && !e.normal_end);
  EXPECT_EQ(e.report.number, "1007");
  EXPECT_EQ(e.report.message, "TP1819 FILE READ ERROR; FILE NAME = TP18 IOSTAT = 39");
  e = end_of("  **** ERROR NO.  999 **** COVER PAGE OUTPUT ERROR  OF LIST FILE ****\n");
  EXPECT_EQ(e.report.number, "999");
  EXPECT_EQ(e.report.message, "COVER PAGE OUTPUT ERROR  OF LIST FILE");
  e = end_of("x\n  **** ERROR NO.UNKNOWN\n                    *** FILE NAME = a\n");
  EXPECT_EQ(e.report.number, "");
  EXPECT_EQ(e.report.message, "ERROR NO.UNKNOWN; FILE NAME = a");
  EXPECT_FALSE(read_list_end(dir.file("missing.lst")).readable);
}

TEST(QxbatchParts, ReasonsComeFromTheListFileThenQxconvThenTheDialogue) {
  RunTrace t;
  t.wait_status = 1 << 8;  // exit status 1
  t.out = "\n +++++\n   ERROR...MODE1 input file is not exist !\n   file name = m.qxin\n +++++\n";
  t.err = "qxconv: an earlier line\nother\nqxconv: the input data file m.qxin does not exist\n";
  t.list_rewritten = true;
  t.list.report = {true, "1016", "INPUT DATA FILE READ ERROR"};
  CaseResult r;
  judge_run(t, r);
  EXPECT_EQ(r.status, Status::failed);
  EXPECT_EQ(r.error + "|" + r.message, "1016|INPUT DATA FILE READ ERROR");
  t.list_rewritten = false;  // a list file of an earlier run says nothing
  judge_run(t, r);
  EXPECT_EQ(r.error + "|" + r.message, "|the input data file m.qxin does not exist");
  t.err = "no prefix\n";
  judge_run(t, r);
  EXPECT_EQ(r.message, "ERROR...MODE1 input file is not exist !; file name = m.qxin");
  t.out = "banner only\n";
  judge_run(t, r);
  EXPECT_EQ(r.message, "qxconv ended with exit status 1");

  t.wait_status = 0;
  t.list_rewritten = true;
  t.list = {true, true, {}};
  judge_run(t, r);
  EXPECT_EQ(r.status, Status::done);
  t.list.normal_end = false;
  judge_run(t, r);
  EXPECT_EQ(r.status, Status::failed) << "exit status 0 without NORMAL END is no success";
  t.wait_status = SIGTERM;
  t.sent_sigterm = true;
  judge_run(t, r);
  EXPECT_EQ(r.status, Status::interrupted);
  EXPECT_EQ(r.message, "conversion stopped (signal SIGTERM)");
}

TEST(QxbatchParts, ArraySlicesCoverEveryCaseOnce) {
  for (std::size_t cases : {1u, 7u, 20u, 24u, 1001u})
    for (std::size_t tasks : {1u, 3u, 6u, 7u, 1000u}) {
      if (tasks > cases) continue;
      std::size_t smallest = cases, largest = 0;
      EXPECT_EQ(slice_begin(0, tasks, cases), 0u);
      EXPECT_EQ(slice_begin(tasks, tasks, cases), cases);
      for (std::size_t t = 0; t < tasks; ++t) {
        const std::size_t n = slice_begin(t + 1, tasks, cases) - slice_begin(t, tasks, cases);
        smallest = std::min(smallest, n);
        largest = std::max(largest, n);
      }
      EXPECT_TRUE(smallest >= 1 && largest - smallest <= 1) << cases << " cases, " << tasks << " tasks";
    }
}

TEST(QxbatchParts, JobScriptPassesEveryWordAsItStands) {
  qxtest::TempDir dir;
  fs::create_directories(dir.file("it's here"));
  const std::vector<std::string> words{"it's", "a b", "$HOME", "\"q\"", "*", "back\\slash", "new\nline"};
  std::vector<std::string> command{"/usr/bin/printf", "%s|"};
  command.insert(command.end(), words.begin(), words.end());
  const std::vector<std::string> directives{"--array=0-3%2", "--output=/w d/#1/slurm-%A_%a.out", "--comment=a \"b\"\\"};
  const std::string script = job_script(directives, dir.file("it's here"), command);
  // The #SBATCH lines come first, each one word as sbatch reads it: quoted
  // where it holds a blank, a quote, a backslash or '#', which would end it.
  EXPECT_TRUE(script.starts_with("#!/bin/sh\n#SBATCH --array=0-3%2\n#SBATCH \"--output=/w d/\\#1/slurm-%A_%a.out\"\n"
                                 "#SBATCH \"--comment=a \\\"b\\\"\\\\\"\n# "))
      << script;
  EXPECT_NE(sbatch_word_problem("a\nb"), "");
  EXPECT_EQ(sbatch_word_problem("a b#"), "");
  qxtest::write_file(dir.file("job.sh"), script + "exit 9\n");
  const auto r = qxtest::run_program({"/bin/sh", dir.file("job.sh")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::string expected;
  for (const std::string& w : words) expected += w + "|";
  EXPECT_EQ(r.out, expected);
  const auto pwd = qxtest::run_program({"/bin/sh", "-c", job_script({}, dir.file("it's here"), {"/bin/pwd"})});
  EXPECT_EQ(pwd.out, fs::canonical(dir.file("it's here")).string() + "\n");
}

TEST(QxbatchParts, RunOptionsAreQxconvsOwnForms) {
  std::vector<std::string> words;
  EXPECT_EQ(check_run_options(" -MAXR\t-wave  -wave ", words), "");
  EXPECT_EQ(words, (std::vector<std::string>{"-MAXR", "-wave", "-wave"}));
  EXPECT_EQ(options_set(words), "-wave -maxr") << "qxconv's order, lower case, each once";
  EXPECT_EQ(check_run_options("", words), "");
  EXPECT_EQ(options_set(words), "");
  // qxconv ignores these, or reads them through their first five characters.
  for (const char* wrong : {"--wave", "-Wave", "-wav", "wave", "-wavey", "-h", "--version"})
    EXPECT_NE(check_run_options(std::string("-stru ") + wrong, words), "") << wrong;
}

TEST(QxbatchParts, SlurmStatesOfTheTasksOfAJob) {
  JobStates s;
  s.asked = true;
  read_squeue_lines("0|COMPLETED|None\n1|RUNNING|None\n 2|PENDING|JobHeldUser \n3|CANCELLED|Resources\n"
                    "4|SOME_NEW_STATE|None\nnot a line\n",
                    s);
  ASSERT_EQ(s.tasks.size(), 5u);
  EXPECT_EQ(s.find(0)->phase, TaskPhase::ended);
  EXPECT_EQ(s.find(1)->phase, TaskPhase::running);
  EXPECT_EQ(s.find(2)->phase, TaskPhase::queued);
  EXPECT_EQ(s.find(2)->reason, "JobHeldUser");
  EXPECT_EQ(s.find(3)->state, "CANCELLED");
  EXPECT_EQ(s.find(4)->phase, TaskPhase::running) << "a state not known is not taken for an end";
  EXPECT_FALSE(s.ended());
  // sacct: tasks only (not pending ranges, not steps), squeue's word first.
  read_sacct_lines("17_5|TIMEOUT\n17_5.batch|CANCELLED\n17_[6-9]|PENDING\n17_1|FAILED\n170_6|FAILED\n"
                   "17_6|CANCELLED by 0\n",
                   "17", s);
  EXPECT_EQ(s.find(5)->state, "TIMEOUT");
  EXPECT_EQ(s.find(6)->state, "CANCELLED");
  EXPECT_EQ(s.find(1)->phase, TaskPhase::running);
  EXPECT_EQ(s.find(7), nullptr);
  JobStates done;
  done.asked = true;
  read_squeue_lines("0|COMPLETED|None\n1|OUT_OF_MEMORY|None\n", done);
  EXPECT_TRUE(done.ended());
}

TEST(QxbatchParts, DiscoveryFindsEachCaseOnceAndItsInputDataFile) {
  qxtest::TempDir dir;
  for (const char* f : {"one/one.qxin", "one/one.TP18", "one/one_QX2D.TP18", "one/one_QXSH.TP19", "two/a.TP18",
                        "two/b.TP19", "three/model v1.qxin", "three/model v2.qxin", "three/run.TP19", "four/x.y.TP18",
                        "four/in.qxin"}) {
    fs::create_directories(fs::path(dir.file(f)).parent_path());
    qxtest::write_file(dir.file(f), "data");
  }
  fs::create_directory_symlink(dir.file("one"), dir.file("link"));
  const Discovery found =
      discover_cases({dir.file("one"), dir.file("link/one.TP18"), dir.file("one/./one"), dir.file("two"),
                      dir.file("one/one_QX2D.TP18"), dir.file("one/one_QXSH"), dir.file("one/one.TP18.txt"),
                      dir.file("one/one_TP18-19_COVT.lst"), dir.file("one/one_QX2D.TP19.txt")},
                     default_qxin_pattern);
  auto cases = found.cases;
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(found.converted_files.size(), 5u);
  EXPECT_EQ(cases[0].key, fs::canonical(dir.file("one")).string() + "/one");
  EXPECT_EQ(cases[0].base, "one");
  EXPECT_EQ(cases[0].result, "one.TP18");
  EXPECT_EQ(cases[0].bytes_in, 8u);
  EXPECT_EQ(cases[1].problem, "the directory holds 2 cases (a, b): give each as DIR/NAME");

  cases = discover_cases({dir.file("three"), dir.file("four/x.y")}, "model*.qxin").cases;
  EXPECT_EQ(cases[0].problem, "--qxin model*.qxin matches 2 files");
  EXPECT_EQ(cases[1].problem, "no input data file matches model*.qxin");
  cases = discover_cases({dir.file("three"), dir.file("four")}, "*v2.qxin").cases;
  EXPECT_EQ(cases[0].qxin, "model v2.qxin");
  EXPECT_EQ(cases[0].result, "run.TP19");
  EXPECT_EQ(cases[1].base, "x.y");
  EXPECT_NE(cases[1].problem, "");
  cases = discover_cases({dir.file("four/x.y.TP18")}, "../three/{}.qxin").cases;
  EXPECT_EQ(cases[0].qxin, "../three/x.y.qxin");
  EXPECT_EQ(cases[0].problem, "");
}

}  // namespace
