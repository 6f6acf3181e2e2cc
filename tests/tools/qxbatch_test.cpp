// qxbatch on generated studies: every output what a single qxconv run
// makes, the summary's rows and reasons, the case names that need quoting,
// and the ways a batch is stopped and taken up again.
#include <gtest/gtest.h>

#include <map>

#include "summary.hpp"
#include "tools/qxbatch_study.hpp"

namespace {

using namespace qxstudy;
using qxbatch::CaseResult;
using qxbatch::Status;

std::map<std::string, CaseResult> rows_of(const std::string& csv) {
  std::vector<CaseResult> rows;
  EXPECT_EQ(qxbatch::read_csv_summary(csv, rows), "");
  std::map<std::string, CaseResult> by_name;
  for (const CaseResult& r : rows) EXPECT_TRUE(by_name.emplace(r.name, r).second) << r.name << " has two rows";
  return by_name;
}

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

  // Again with --skip-done: the converted cases are passed over, the failed
  // ones tried again; JSON lines this time.
  const auto again = qxtest::run_program({QXBATCH_PATH, "-q", "--skip-done", "--summary", "s.jsonl", odd_dir, "cut"},
                                         "", study.path());
  EXPECT_EQ(again.exit_status, 1);
  const std::string jsonl = read_file(study.file("s.jsonl"));
  EXPECT_NE(jsonl.find("{\"case\":\"odd dir, it's \\\"v2\\\".d\",\"status\":\"skipped\",\"error\":null,\"message\":\"\","
                       "\"seconds\":0.000,\"bytes_in\":0,\"bytes_out\":0}\n"),
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

TEST(Qxbatch, SkipDoneGoesOnWhereAStoppedBatchEnded) {
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
  batch.signal(SIGTERM);
  ASSERT_EQ(batch.wait(20), 143) << batch.log();
  // The cases converted before the stop, and when.
  std::map<int, std::int64_t> converted;
  for (int i = 0; i < 5; ++i)
    if (read_file(list(i)).ends_with("\nNORMAL END\n")) converted[i] = mtime_ns(list(i));
  ASSERT_GE(converted.size(), 2u) << batch.log();
  ASSERT_LT(converted.size(), 5u) << batch.log();

  std::vector<std::string> b{QXBATCH_PATH, "--skip-done", "--summary", "s.csv"};
  b.insert(b.end(), cases.begin(), cases.end());
  const auto r = qxtest::run_program(b, "", study.path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  auto rows = rows_of(study.file("s.csv"));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(rows.at(cases[i]).status, converted.count(i) ? Status::skipped : Status::done) << cases[i];
    EXPECT_TRUE(read_file(list(i)).ends_with("\nNORMAL END\n")) << cases[i];
  }
  for (const auto& [i, when] : converted) EXPECT_EQ(mtime_ns(list(i)), when) << cases[i] << " was converted again";

  // An input newer than the list file: converted again.
  fs::last_write_time(study.file("c1/c1.TP19"), fs::file_time_type::clock::now() + std::chrono::seconds(5));
  EXPECT_EQ(qxtest::run_program(b, "", study.path()).exit_status, 0);
  rows = rows_of(study.file("s.csv"));
  EXPECT_EQ(rows.at("c1").status, Status::done);
  EXPECT_EQ(rows.at("c2").status, Status::skipped);
  EXPECT_EQ(rows.at("c5").status, Status::skipped);
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
