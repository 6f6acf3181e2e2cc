// qxbatch on generated studies: every output what a single qxconv run
// makes, the summary's rows and reasons, the case names that need quoting,
// the ways a batch is stopped and taken up again, and what the study record
// makes of changed inputs and settings, converted files and wrong options.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "study_record.hpp"
#include "tools/qxbatch_study.hpp"

namespace {

using namespace qxstudy;
using qxbatch::CaseResult;
using qxbatch::Status;

std::uint64_t size_of(const qxrun::Outputs& o) {
  std::uint64_t n = 0;
  for (const auto& [suffix, bytes] : o) n += bytes.size();
  return n;
}

const std::string odd_dir = "odd dir, it's \"v2\".d";  // blanks, comma, quotes and dots
const std::string odd_base = "q 'x'.b";                // answered as 'q ''x''.b.qxin'

struct GoodCase {
  std::string argument, dir, base, answers;
};

TEST(Qxbatch, StudyOutputsAreThoseOfSingleRunsAndTheSummaryTellsWhyCasesFailed) {
  TempDir study;
  const std::vector<GoodCase> good{
      {"alpha", "alpha", "alpha", "alpha.qxin\nalpha.TP18\nNo\n"},
      {"beta/beta.TP18", "beta", "beta", "beta.qxin\nbeta.TP18\nNo\n"},
      {"gamma/", "gamma", "gamma", "gamma.qxin\ngamma.TP19\nNo\n"},
      {odd_dir, odd_dir, odd_base, "'q ''x''.b.qxin'\n'q ''x''.b.TP18'\nNo\n"},
      {"flat/one.TP19", "flat", "one", "one.qxin\none.TP18\nNo\n"},
  };
  generate(study, "alpha", "alpha", 1);
  generate(study, "beta", "beta", 2, {"--only-tp18"});
  generate(study, "gamma", "gamma", 3, {"--only-tp19"});
  generate(study, odd_dir, odd_base, 4);
  generate(study, "flat", "one", 5);
  // Broken: no input data file; no result file; a TP18 cut inside a record;
  // a directory without a case; one that cannot be read.
  generate(study, "noqxin", "noqxin", 6);
  fs::remove(study.file("noqxin/noqxin.qxin"));
  generate(study, "noresults", "noresults", 7);
  for (const char* s : {".TP18", ".TP19"}) fs::remove(study.file("noresults/noresults") + s);
  generate(study, "cut", "cut", 8, {"--truncate-tp18", "9000"});
  fs::create_directories(study.file("empty"));
  qxtest::write_file(study.file("empty/notes.txt"), "nothing here\n");
  generate(study, "locked", "locked", 9);
  fs::permissions(study.file("locked"), fs::perms::none);

  // Root reads any directory unless it gives up that power for the run.
  std::vector<std::string> argv;
  if (::geteuid() == 0) argv = {"setpriv", "--bounding-set", "-dac_override,-dac_read_search"};
  argv.insert(argv.end(), {QXBATCH_PATH, "-j", "2", "--options", "-wave -maxr", "--summary", "s.csv"});
  for (const GoodCase& g : good) argv.push_back(g.argument);
  // The same cases again by other names: converted once.
  argv.insert(argv.end(), {"./alpha/", "flat/one", "noqxin", "noresults/noresults.qxin", "cut", "empty", "locked"});
  const auto r = qxtest::run_program(argv, "", study.path());
  fs::permissions(study.file("locked"), fs::perms::owner_all);
  EXPECT_EQ(r.exit_status, 1) << r.err;

  for (const GoodCase& g : good) {
    SCOPED_TRACE(g.argument);
    const qxrun::Outputs expected = single_run(study, g.dir, g.base, g.answers, {"-wave", "-maxr"});
    const qxrun::Outputs got = qxrun::collect(study.file(g.dir), g.base);
    EXPECT_TRUE(qxrun::get(expected, qxrun::list_suffix).ends_with("\nNORMAL END\n"));
    EXPECT_EQ(got.size(), expected.size());
    for (const auto& [suffix, bytes] : expected) EXPECT_TRUE(qxrun::get(got, suffix) == bytes) << suffix << " differs";
  }

  const auto rows = rows_of(study.file("s.csv"));
  EXPECT_EQ(rows.size(), 10u);
  for (const GoodCase& g : good) {
    SCOPED_TRACE(g.argument);
    ASSERT_TRUE(rows.count(g.argument));
    const CaseResult& row = rows.at(g.argument);
    EXPECT_EQ(row.status, Status::done);
    EXPECT_TRUE(row.error.empty() && row.message.empty()) << row.message;
    std::uint64_t in = 0;
    for (const char* s : {".qxin", ".TP18", ".TP19"})
      if (fs::exists(study.file(g.dir + "/" + g.base + s))) in += fs::file_size(study.file(g.dir + "/" + g.base + s));
    EXPECT_EQ(row.bytes_in, in);
    EXPECT_EQ(row.bytes_out, size_of(qxrun::collect(study.file(g.dir), g.base)));
  }
  const std::map<std::string, std::pair<std::string, std::string>> failures{
      {"cut", {"1007", "TP1819 FILE READ ERROR; FILE NAME = TP18 IOSTAT = 39"}},
      {"noqxin", {"", "question (1): no such file 'noqxin.qxin'"}},
      {"noresults/noresults.qxin", {"", "question (2): neither noresults.TP18 nor noresults.TP19 exists"}},
      {"empty", {"", "no result file (*.TP18, *.TP19) in the directory"}},
      {"locked", {"", "cannot read the directory: Permission denied"}},
  };
  for (const auto& [name, reason] : failures) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(rows.count(name));
    EXPECT_EQ(rows.at(name).status, Status::failed);
    EXPECT_EQ(rows.at(name).error, reason.first);
    EXPECT_TRUE(rows.at(name).message.starts_with(reason.second)) << rows.at(name).message;
    EXPECT_NE(r.err.find("\n  " + name), std::string::npos) << "not in the table of failed cases:\n" << r.err;
  }
  // A name that needs quoting in CSV.
  EXPECT_NE(read_file(study.file("s.csv")).find("\n\"odd dir, it's \"\"v2\"\".d\",done,,,"), std::string::npos);
  EXPECT_NE(r.err.find("5 done, 5 failed, 0 skipped, 0 interrupted of 10 cases"), std::string::npos) << r.err;

  // The failure table carries what qxconv said of the cut case, under its reason.
  const std::size_t cut_row = r.err.find("\n  cut ");
  ASSERT_NE(cut_row, std::string::npos) << r.err;
  const std::string next_line = r.err.substr(r.err.find('\n', cut_row + 1) + 1);
  EXPECT_TRUE(next_line.substr(next_line.find_first_not_of(' ')).starts_with("qxconv: error 1007 (TP1819 FILE READ ERROR)"))
      << r.err;

  // Again with --skip-done: the converted cases are passed over with the
  // figures of the run that did them, the failed ones tried again; JSON lines
  // this time.
  const CaseResult odd = rows.at(odd_dir);
  const auto again = qxtest::run_program({QXBATCH_PATH, "-q", "--skip-done", "--options", "-wave -maxr", "--summary", "s.jsonl", odd_dir, "cut"},
                                         "", study.path());
  EXPECT_EQ(again.exit_status, 1);
  const std::string jsonl = read_file(study.file("s.jsonl"));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", odd.seconds);
  EXPECT_NE(jsonl.find("{\"case\":\"odd dir, it's \\\"v2\\\".d\",\"status\":\"skipped\",\"error\":null,\"message\":\"\","
                       "\"seconds\":" + std::string(seconds) + ",\"bytes_in\":" + std::to_string(odd.bytes_in) +
                       ",\"bytes_out\":" + std::to_string(odd.bytes_out) + "}\n"),
            std::string::npos)
      << jsonl;
  EXPECT_NE(jsonl.find("{\"case\":\"cut\",\"status\":\"failed\",\"error\":1007,\"message\":\"TP1819 FILE READ ERROR;"),
            std::string::npos)
      << jsonl;
  EXPECT_EQ(again.err.find(" done, "), std::string::npos) << "-q prints no counts:\n" << again.err;
}

TEST(Qxbatch, CtrlCLetsTheRunningConversionsEndAndStartsNoMore) {
  TempDir study;
  std::vector<std::string> args{"-j", "2", "--summary", "s.csv"}, marks;
  for (int i = 1; i <= 6; ++i) {
    const std::string name = "c" + std::to_string(i);
    generate(study, name, name, i);
    args.push_back(name);
    marks.push_back(study.file(name + "/started"));
  }
  for (const bool twice : {false, true}) {
    SCOPED_TRACE(twice ? "two interrupts" : "one interrupt");
    for (int i = 1; i <= 6; ++i) {
      const std::string name = "c" + std::to_string(i);
      fs::remove(marks[i - 1]);
      fs::remove(study.file(name + "/" + name + std::string(qxrun::list_suffix)));
    }
    std::vector<std::string> a{"--qxconv", slow_qxconv(study, twice ? 30 : 2)};
    a.insert(a.end(), args.begin(), args.end());
    Background batch(a, study.path(), study.file("log"));
    ASSERT_TRUE(wait_for_files(marks, 2, 20)) << batch.log();
    batch.signal(SIGINT);
    if (twice) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      batch.signal(SIGINT);
    }
    ASSERT_EQ(batch.wait(20), 130) << batch.log();

    const auto rows = rows_of(study.file("s.csv"));
    std::size_t started = 0;
    for (int i = 1; i <= 6; ++i) {
      const std::string name = "c" + std::to_string(i);
      const bool ran = fs::exists(marks[i - 1]);
      started += ran;
      const Status expected = ran && !twice ? Status::done : Status::interrupted;
      EXPECT_EQ(rows.at(name).status, expected) << name << ": " << rows.at(name).message;
      const std::string list = read_file(study.file(name + "/" + name + std::string(qxrun::list_suffix)));
      EXPECT_EQ(list.ends_with("\nNORMAL END\n"), ran && !twice) << name;
      EXPECT_EQ(rows.at(name).message,
                !ran ? "not started: the batch was stopped" : twice ? "conversion stopped (signal SIGTERM)" : "");
    }
    EXPECT_EQ(started, 2u) << "a conversion started after the interrupt:\n" << batch.log();
    EXPECT_NE(batch.log().find("qxbatch: 4 cases interrupted: not started"), std::string::npos) << batch.log();
  }
}

// The study's record, read back.
qxbatch::RecordContents record_of(const std::string& path) {
  qxbatch::RecordContents contents;
  EXPECT_EQ(qxbatch::read_record(path, contents), "");
  return contents;
}

// A batch killed outright loses only the cases still running: the record
// holds every case that ended, and --skip-done converts the others and then
// each case whose inputs, settings or outputs changed, saying why.
TEST(Qxbatch, ResumeConvertsWhatIsNotDoneWithTheseInputsAndSettings) {
  TempDir study;
  std::vector<std::string> cases, marks;
  for (int i = 1; i <= 5; ++i) {
    const std::string name = "c" + std::to_string(i);
    generate(study, name, name, i);
    cases.push_back(name);
    marks.push_back(study.file(name + "/started"));
  }
  const auto list = [&](int i) { return study.file(cases[i] + "/" + cases[i] + std::string(qxrun::list_suffix)); };
  std::vector<std::string> a{"-j", "1", "--qxconv", slow_qxconv(study, 0.5)};
  a.insert(a.end(), cases.begin(), cases.end());
  Background batch(a, study.path(), study.file("log"));
  ASSERT_TRUE(wait_for_files(marks, 3, 30)) << batch.log();
  batch.signal(SIGKILL);
  ASSERT_EQ(batch.wait(20), 128 + SIGKILL) << batch.log();
  // The record holds the cases that ended before the kill, each whole.
  const qxbatch::RecordContents first = record_of(study.file("qxbatch-record.tsv"));
  EXPECT_EQ(first.damaged, 0u);
  std::map<std::string, qxbatch::RecordLine> recorded;
  for (const auto& l : first.lines) recorded[l.result.name] = l;
  std::map<int, std::int64_t> converted;
  for (int i = 0; i < 5; ++i)
    if (read_file(list(i)).ends_with("\nNORMAL END\n")) converted[i] = mtime_ns(list(i));
  ASSERT_GE(converted.size(), 2u) << batch.log();
  ASSERT_LT(converted.size(), 5u) << batch.log();
  ASSERT_EQ(recorded.size(), converted.size());
  for (const auto& [i, when] : converted) EXPECT_EQ(recorded.at(cases[i]).result.status, Status::done) << cases[i];

  // Each run names the whole study; `converts` are the cases it converts.
  std::string said;
  const auto resume = [&](std::vector<std::string> options, const std::set<std::string>& converts,
                          const std::string& reason) {
    std::vector<std::string> b{QXBATCH_PATH, "--skip-done", "--summary", "s.csv"};
    b.insert(b.end(), options.begin(), options.end());
    b.insert(b.end(), cases.begin(), cases.end());
    const auto r = qxtest::run_program(b, "", study.path());
    EXPECT_EQ(r.exit_status, 0) << r.err;
    said = r.err;
    const auto rows = rows_of(study.file("s.csv"));
    for (const std::string& c : cases) {
      EXPECT_EQ(rows.at(c).status, converts.count(c) ? Status::done : Status::skipped) << c << "\n" << r.err;
      const bool told = r.err.find("qxbatch: converting " + c + " again: " + reason + "\n") != std::string::npos;
      EXPECT_EQ(told, converts.count(c) && !reason.empty()) << c << "\n" << r.err;
    }
    return rows;
  };
  std::set<std::string> left;
  for (int i = 0; i < 5; ++i)
    if (!converted.count(i)) left.insert(cases[i]);
  auto rows = resume({}, left, "");
  EXPECT_NE(said.find("qxbatch: " + std::to_string(left.size()) + " case" + (left.size() == 1 ? " is" : "s are") +
                      " not in the record " + fs::canonical(study.path()).string() + "/qxbatch-record.tsv: converting "),
            std::string::npos)
      << said;
  for (const auto& [i, when] : converted) {
    EXPECT_EQ(mtime_ns(list(i)), when) << cases[i] << " was converted again";
    // A case passed over keeps the figures of the run that did it.
    EXPECT_EQ(rows.at(cases[i]).bytes_out, recorded.at(cases[i]).result.bytes_out);
    EXPECT_GT(rows.at(cases[i]).seconds, 0);
  }

  // Results replaced by others of an older time, as cp -p leaves them.
  fs::copy_file(study.file("c2/c2.TP18"), study.file("older.TP18"));
  fs::last_write_time(study.file("older.TP18"), fs::last_write_time(study.file("c1/c1.TP18")) - std::chrono::hours(24));
  ASSERT_EQ(qxtest::run_program({"cp", "-p", study.file("older.TP18"), study.file("c1/c1.TP18")}).exit_status, 0);
  resume({}, {"c1"}, "input changed (c1.TP18)");
  const qxrun::Outputs expected = single_run(study, "c1", "c1", "c1.qxin\nc1.TP18\nNo\n", {});
  for (const auto& [suffix, bytes] : expected)
    EXPECT_TRUE(qxrun::get(qxrun::collect(study.file("c1"), "c1"), suffix) == bytes) << suffix << " differs";

  // Other settings: every case again.
  const std::set<std::string> all(cases.begin(), cases.end());
  resume({"--options", "-WAVE"}, all, "options changed (none, now -wave)");
  EXPECT_TRUE(fs::exists(study.file("c3/c3_QX2D.TP18.txt")));
  resume({"--options", "-wave", "--big-endian"}, all, "byte order changed (little, now big)");
  resume({"--options", "-wave", "--big-endian"}, {}, "");
  // An output gone.
  fs::remove(study.file("c4/c4_QXSH.TP19"));
  resume({"--options", "-wave", "--big-endian"}, {"c4"}, "output missing (c4_QXSH.TP19)");
  // Another qxconv.
  const std::string other = study.file("other-qxconv");
  qxtest::write_file(other, "#!/bin/sh\n[ \"$1\" = --version ] && { echo 'qxconv 9.9'; exit 0; }\nexec '" +
                                std::string(QXCONV_PATH) + "' \"$@\"\n");
  fs::permissions(other, fs::perms::owner_all);
  resume({"--options", "-wave", "--big-endian", "--qxconv", other}, all, "qxconv changed (1.0.0, now 9.9)");
}

TEST(Qxbatch, ConvertedFilesAreNoCasesAndWrongOptionsStopEverything) {
  TempDir study;
  generate(study, "flat", "a", 1);
  generate(study, "flat", "b", 2);
  // What qxconv says on standard error of a case it converts goes into the
  // record and onto the terminal.
  const std::string noisy = study.file("noisy-qxconv");
  qxtest::write_file(noisy, "#!/bin/sh\n[ \"$1\" = --version ] || echo 'qxconv: a word of warning' >&2\nexec '" +
                                std::string(QXCONV_PATH) + "' \"$@\"\n");
  fs::permissions(noisy, fs::perms::owner_all);
  auto r = qxtest::run_program({QXBATCH_PATH, "--qxconv", noisy, "flat/a.TP18", "flat/b.TP18"}, "", study.path());
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.err.find("; qxconv said:\n  qxconv: a word of warning\n"), std::string::npos) << r.err;
  for (const auto& l : record_of(study.file("qxbatch-record.tsv")).lines)
    EXPECT_EQ(l.result.err, "qxconv: a word of warning\n") << l.result.name;

  // Every name in the directory, as flat/* gives them: the converted files
  // are passed over, each with a line, and the two cases were done.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(study.file("flat"))) names.push_back("flat/" + e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> argv{QXBATCH_PATH, "--skip-done", "--qxconv", noisy, "--summary", "s.csv"};
  argv.insert(argv.end(), names.begin(), names.end());
  r = qxtest::run_program(argv, "", study.path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::size_t passed_over = 0;
  for (const std::string& n : names) {
    const bool converted = n.find("_Q") != std::string::npos || n.ends_with(".lst") || n.ends_with(".txt");
    passed_over += converted;
    EXPECT_EQ(r.err.find("qxbatch: passing over " + n + ": a file that qxconv writes, not a case\n") != std::string::npos,
              converted)
        << n << "\n" << r.err;
  }
  EXPECT_EQ(passed_over, 10u) << "two cases of two result files each, and their list files";
  const auto rows = rows_of(study.file("s.csv"));
  ASSERT_EQ(rows.size(), 2u) << r.err;
  for (const auto& [name, row] : rows) EXPECT_EQ(row.status, Status::skipped) << name;

  // An option that qxconv would pass over, or read as another: nothing runs.
  const std::string record_before = read_file(study.file("qxbatch-record.tsv"));
  const std::int64_t list_before = mtime_ns(study.file("flat/a_TP18-19_COVT.lst"));
  for (const auto& [options, said] : std::vector<std::pair<std::string, std::string>>{
           {"--wave", "qxbatch: --options: qxconv has no run option '--wave'; its run options are -stru -spec -ampl "
                      "-wave -maxr -four, in lower or upper case\n"},
           {"-maxr -waves", "qxbatch: --options: qxconv would take '-waves' as -wave; write -wave\n"}}) {
    r = qxtest::run_program({QXBATCH_PATH, "--options", options, "flat/a"}, "", study.path());
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, said);
  }
  EXPECT_EQ(read_file(study.file("qxbatch-record.tsv")), record_before);
  EXPECT_EQ(mtime_ns(study.file("flat/a_TP18-19_COVT.lst")), list_before);
}

TEST(Qxbatch, StatusLineOnATerminalPlainLinesElsewhere) {
  TempDir study;
  generate(study, "a", "a", 1);
  generate(study, "b", "b", 2);
  const std::string command = std::string("'") + QXBATCH_PATH + "' a b";
  // script(1) gives the run a terminal and keeps what it shows.
  const auto tty = qxtest::run_program({"script", "-qec", command, study.file("typescript")}, "", study.path());
  EXPECT_EQ(tty.exit_status, 0) << tty.out;
  const std::string shown = read_file(study.file("typescript"));
  EXPECT_NE(shown.find(" running of 2 cases | "), std::string::npos) << shown;
  EXPECT_NE(shown.find("\r\x1b[K"), std::string::npos) << "the status line is not cleared:\n" << shown;
  EXPECT_EQ(shown.find("[1/2] done"), std::string::npos) << shown;

  const auto plain = qxtest::run_program({QXBATCH_PATH, "a", "b"}, "", study.path());
  EXPECT_EQ(plain.exit_status, 0);
  EXPECT_NE(plain.err.find("qxbatch: [2/2] done "), std::string::npos) << plain.err;
  EXPECT_EQ(plain.err.find('\r'), std::string::npos) << plain.err;
  EXPECT_TRUE(plain.out.empty());
}

}  // namespace
