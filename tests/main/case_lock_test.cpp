// One case, one run: real qxconv processes at the same time on one case in
// one directory. While a run converts, a second run of its case is refused
// before it writes anything, and the first one's outputs are whole; runs of
// different cases in one directory go on side by side.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "control/expected_texts.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

// A generated case that takes long enough to convert with -wave (some
// tenths of a second) for a second run to meet it, in a directory of its own.
struct LongCase {
  TempDir dir;
  LongCase() {
    const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("case"), "--seed", "5", "--size", "16M"});
    EXPECT_EQ(g.exit_status, 0) << g.err;
  }
  // Copies the case into `into` as base name `base`.
  void copy_to(const TempDir& into, const std::string& base = "case") const {
    for (const char* ext : {".qxin", ".TP18", ".TP19"})
      std::filesystem::copy_file(dir.file(std::string("case") + ext), into.file(base + ext));
  }
};
const LongCase& long_case() {
  static const LongCase c;
  return c;
}

// Every file of a directory with its bytes.
Outputs snapshot(const std::string& dir) {
  Outputs files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    files[e.path().filename().string()] = qxtest::read_file(e.path().string());
  return files;
}

// A qxconv run in the background, started in `dir` with its answers from a
// file; its standard output and error go to files elsewhere.
class Background {
 public:
  Background(const std::string& dir, const std::vector<std::string>& options, const std::string& answers)
      : dir_(dir) {
    qxtest::write_file(logs_.file("answers"), answers);
    std::vector<std::string> args{QXCONV_PATH};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string in = logs_.file("answers"), out = logs_.file("out"), err = logs_.file("err");
    pid_ = fork();
    if (pid_ == 0) {
      const int fds[] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                         open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)};
      for (int i = 0; i < 3; ++i)
        if (fds[i] < 0 || dup2(fds[i], i) < 0) _exit(126);
      if (chdir(dir.c_str()) != 0) _exit(126);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      wait();
    }
  }

  // Waits until the run has made `file` (a run holds its case before it
  // makes any file) and stops it there. False when the run ended first.
  bool stop_once_it_made(const std::string& file) {
    for (int i = 0; i < 60000 && running(); ++i) {
      if (qxtest::file_exists(dir_ + "/" + file)) {
        kill(pid_, SIGSTOP);
        return running();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  void resume() { kill(pid_, SIGCONT); }
  // The exit status once the run has ended.
  int wait() {
    int st = 0;
    if (status_ < 0 && waitpid(pid_, &st, 0) == pid_) status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return status_;
  }
  std::string out() const { return qxtest::read_file(logs_.file("out")); }
  std::string err() const { return qxtest::read_file(logs_.file("err")); }

 private:
  bool running() {
    int st = 0;
    if (status_ >= 0) return false;
    if (waitpid(pid_, &st, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }

  std::string dir_;
  TempDir logs_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// What a run of base name `base` leaves when it runs alone.
Outputs alone(const std::string& base, const std::vector<std::string>& options, bool big_endian) {
  TempDir dir;
  long_case().copy_to(dir, base);
  const ProgramRun r = run_qxconv(dir.path(), options, answers(base, big_endian));
  EXPECT_EQ(r.exit_status, 0) << r.errors;
  return collect(dir.path(), base);
}

// The outputs are those of a run alone, and qxdump reads every binary one to
// its end.
void expect_whole(const TempDir& dir, const std::string& base, const Outputs& reference) {
  const Outputs files = collect(dir.path(), base);
  EXPECT_TRUE(files == reference) << base << ": the outputs differ from those of a run alone";
  EXPECT_TRUE(get(files, list_suffix).ends_with("\nNORMAL END\n"));
#ifdef QXDUMP_PATH  // not in the thread sanitizer build, which has no qxdump
  for (const auto& [suffix, bytes] : files) {
    if (!is_binary(suffix)) continue;
    const auto d = qxtest::run_program({QXDUMP_PATH, dir.file(base + suffix)});
    EXPECT_EQ(d.exit_status, 0) << suffix << ": " << d.err;
  }
#endif
}

std::string refusal(const std::string& base) {
  return "qxconv: " + base + " is being converted by another run (" + base +
         ".TP18 is locked); nothing was written\n";
}

TEST(CaseLock, ASecondRunOfACaseIsRefusedAndTouchesNothing) {
  TempDir dir;
  long_case().copy_to(dir);
  Background first(dir.path(), {"-wave"}, answers("case", false));
  ASSERT_TRUE(first.stop_once_it_made("case" + list_suffix)) << "the first run ended too soon";
  ASSERT_EQ(qxtest::read_file(dir.file("case" + list_suffix)).find("NORMAL END"), npos)
      << "the first run had finished: the case is too small to meet it";
  // The first run holds the case and is stopped: nothing but the second run
  // can change the directory now.
  const Outputs held = snapshot(dir.path());
  const auto second = qxtest::run_program({"timeout", "-s", "KILL", "60", QXCONV_PATH, "-wave", "-stru"},
                                          answers("case", true), dir.path());
  EXPECT_EQ(second.exit_status, 1);
  EXPECT_EQ(second.out, expected::dialogue(true));
  EXPECT_EQ(second.err, refusal("case"));
  EXPECT_TRUE(snapshot(dir.path()) == held) << "the refused run wrote, emptied or deleted a file";

  first.resume();
  EXPECT_EQ(first.wait(), 0) << first.err();
  EXPECT_EQ(first.err(), "");
  EXPECT_EQ(first.out(), expected::dialogue() + "\nNORMAL END (zelvorith)\n");
  expect_whole(dir, "case", alone("case", {"-wave"}, false));

  // The lock goes with the run: the case can be converted again.
  const auto again = qxtest::run_program({QXCONV_PATH}, answers("case", true), dir.path());
  EXPECT_EQ(again.exit_status, 0) << again.err;
}

// The scene of a user who starts two runs of a case at once, one answering
// No and one Yes: exactly one of them converts, the other stops at once.
TEST(CaseLock, OfTwoRunsStartedTogetherExactlyOneConverts) {
  const Outputs little = alone("case", {"-wave"}, false), big = alone("case", {"-wave"}, true);
  TempDir dir;
  long_case().copy_to(dir);
  Background no(dir.path(), {"-wave"}, answers("case", false)), yes(dir.path(), {"-wave"}, answers("case", true));
  const int no_status = no.wait(), yes_status = yes.wait();
  ASSERT_EQ(no_status + yes_status, 1) << "exit statuses " << no_status << " and " << yes_status << "\n"
                                       << no.err() << yes.err();
  const bool yes_ran = yes_status == 0;
  Background& ran = yes_ran ? yes : no;
  Background& refused = yes_ran ? no : yes;
  EXPECT_EQ(ran.err(), "");
  EXPECT_EQ(refused.err(), refusal("case"));
  EXPECT_EQ(refused.out(), expected::dialogue(!yes_ran));
  expect_whole(dir, "case", yes_ran ? big : little);
}

TEST(CaseLock, RunsOfDifferentCasesInOneDirectoryGoOnSideBySide) {
  TempDir dir;
  long_case().copy_to(dir, "one");
  long_case().copy_to(dir, "two");
  Background first(dir.path(), {"-wave"}, answers("one"));
  ASSERT_TRUE(first.stop_once_it_made("one" + list_suffix)) << "the first run ended too soon";
  const ProgramRun second = run_qxconv(dir.path(), {}, answers("two"));
  EXPECT_EQ(second.exit_status, 0);
  EXPECT_EQ(second.errors, "");
  first.resume();
  EXPECT_EQ(first.wait(), 0) << first.err();
  expect_whole(dir, "one", alone("one", {"-wave"}, false));
  expect_whole(dir, "two", alone("two", {}, false));
}

// The case is held by a lock on each of its result files: a lock that
// another program holds on the TP19 file alone keeps a run out just the
// same, and once it is released the case converts.
TEST(CaseLock, ALockOnTheTp19FileAloneKeepsARunOut) {
  const SmallCase& c = small_case();
  TempDir dir;
  qxtest::write_file(dir.file("case.qxin"), c.in.qxin);
  qxtest::write_file(dir.file("case.TP18"), c.in.tp18);
  qxtest::write_file(dir.file("case.TP19"), c.in.tp19);
  const Outputs before = snapshot(dir.path());
  {
    const int fd = open(dir.file("case.TP19").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    const ProgramRun held = run_qxconv(dir.path(), every_option, answers("case"));
    close(fd);
    EXPECT_EQ(held.exit_status, 1);
    EXPECT_EQ(held.errors, "qxconv: case is being converted by another run (case.TP19 is locked); nothing was written\n");
    std::filesystem::remove(dir.file("peak_rss"));
    EXPECT_TRUE(snapshot(dir.path()) == before) << "the refused run wrote, emptied or deleted a file";
  }
  const ProgramRun free = run_qxconv(dir.path(), every_option, answers("case"));
  EXPECT_EQ(free.exit_status, 0) << free.errors;
  EXPECT_TRUE(collect(dir.path(), "case") == c.good);
}

}  // namespace
