// qxbatch's Slurm side against stand-ins for Slurm's commands on PATH: a
// scheduler command that hangs is given up and Ctrl-C ends the waiting at
// once, a dry run sends nothing, and --collect takes each task's state from
// squeue. The real single-node Slurm is in slurm_study.sh.
#include <gtest/gtest.h>

#include "tools/qxbatch_study.hpp"

namespace {

using namespace qxstudy;
using qxbatch::Status;

// A stand-in for a Slurm command: `body` as a shell script.
void fake_command(const TempDir& bin, const std::string& name, const std::string& body) {
  fs::create_directories(bin.path());
  qxtest::write_file(bin.file(name), "#!/bin/sh\n" + body);
  fs::permissions(bin.file(name), fs::perms::owner_all);
}

qxtest::CommandResult run_with_path(const TempDir& bin, std::vector<std::string> args, const std::string& dir) {
  args.insert(args.begin(), {"/usr/bin/env", "PATH=" + bin.path() + ":" + ::getenv("PATH"), QXBATCH_PATH});
  return qxtest::run_program(args, "", dir);
}

bool alive(pid_t pid) { return ::kill(pid, 0) == 0; }

TEST(QxbatchSlurm, AHungSchedulerCommandIsGivenUpAndCtrlCEndsTheWaitAtOnce) {
  TempDir study, bin;
  generate(study, "a", "a", 1);
  // An sbatch that does not answer: given up, and said so.
  fake_command(bin, "sbatch", "exec sleep 20\n");
  auto r = run_with_path(bin, {"--slurm", "--slurm-timeout", "0.5", "--workdir", "w1", "a"}, study.path());
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("qxbatch: sbatch did not answer within 0.5 s: the job may have been submitted; look with: "
                       "squeue --name=qxbatch\n"),
            std::string::npos)
      << r.err;

  // An sbatch that submits, and an squeue that never answers.
  fake_command(bin, "sbatch", "echo 4242\n");
  fake_command(bin, "squeue", "echo $$ >> '" + bin.file("squeue.pids") + "'\nexec sleep 60\n");
  Background batch({"--slurm", "--wait", "--slurm-timeout", "2", "--workdir", "w2", "a"}, study.path(),
                   study.file("log"), bin.path());
  ASSERT_TRUE(batch.wait_for_log("qxbatch: cannot ask Slurm about job 4242: squeue did not answer within 2 s\n", 20))
      << batch.log();
  // Ctrl-C while squeue hangs again: the waiting ends sooner than the time
  // squeue is given.
  ASSERT_TRUE(wait_for_files({bin.file("squeue.pids")}, 1, 5));
  for (int i = 0; i < 500 && qxtest::split_lines(read_file(bin.file("squeue.pids"))).size() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  batch.signal(SIGINT);
  ASSERT_EQ(batch.wait(5), 130) << batch.log();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
  EXPECT_NE(batch.log().find("qxbatch: stopped waiting; job 4242 goes on. Collect it with: qxbatch --collect " +
                             fs::canonical(study.file("w2")).string() + "; cancel it with: scancel 4242\n"),
            std::string::npos)
      << batch.log();
  for (const std::string& pid : qxtest::split_lines(read_file(bin.file("squeue.pids"))))
    if (!pid.empty()) {
      EXPECT_FALSE(alive(std::stoi(pid))) << "squeue " << pid << " was left running";
    }
}

TEST(QxbatchSlurm, ADryRunShowsTheCommandAndTheScriptAndSendsNothing) {
  TempDir study, bin;
  generate(study, "a", "a", 1);
  generate(study, "b", "b", 2);
  fake_command(bin, "sbatch", ": > '" + bin.file("submitted") + "'\necho 1\n");
  const auto r = run_with_path(bin,
                               {"--slurm", "--dry-run", "--options", "-wave", "--sbatch=--partition=long",
                                "--sbatch=--comment=a #1", "--workdir", "w", "a", "b"},
                               study.path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const std::string w = fs::canonical(study.path()).string() + "/w";
  EXPECT_TRUE(r.out.starts_with("'" + bin.file("sbatch") + "' '--parsable' '" + w + "/job.sh'\n#!/bin/sh\n"
                                "#SBATCH --array=0-1\n#SBATCH --job-name=qxbatch\n#SBATCH --output=" + w +
                                "/slurm-%A_%a.out\n#SBATCH --partition=long\n#SBATCH \"--comment=a \\#1\"\n"))
      << r.out;
  EXPECT_NE(r.out.find("' '--slurm-task' '" + w + "' '--qxconv' '"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("' '--options' '-wave'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("dry run: a job of 2 cases in 2 array tasks would be submitted"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(bin.file("submitted")));
  EXPECT_FALSE(fs::exists(w));
  EXPECT_FALSE(fs::exists(study.file("qxbatch-record.tsv")));
}

TEST(QxbatchSlurm, CollectTakesTheStateOfEachTaskFromSlurm) {
  TempDir study, bin;
  for (const char* c : {"a", "b", "c", "d"}) generate(study, c, c, c[0]);
  fake_command(bin, "sbatch", "echo 77\n");
  auto r = run_with_path(bin, {"--slurm", "--workdir", "w", "a", "b", "c", "d"}, study.path());
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(read_file(study.file("w/sbatch")),
            "'" + bin.file("sbatch") + "' '--parsable' '" + fs::canonical(study.file("w")).string() + "/job.sh'\n");
  EXPECT_EQ(read_file(study.file("w/version")), "qxbatch 1.0.0\n");
  // Task 3 converted its case; tasks 0 and 1 wait, task 2 hit its time limit.
  r = qxtest::run_program({"/usr/bin/env", "SLURM_ARRAY_TASK_ID=3", "/bin/sh", study.file("w/job.sh")}, "",
                          study.path());
  ASSERT_EQ(r.exit_status, 0) << r.err;
  fake_command(bin, "squeue", "echo '0|PENDING|JobHeldUser'\necho '1|RUNNING|None'\necho '2|TIMEOUT|None'\n");
  const auto collect = [&](std::vector<std::string> more) {
    std::vector<std::string> args{"--collect", "w"};
    args.insert(args.end(), more.begin(), more.end());
    return run_with_path(bin, args, study.path());
  };
  r = collect({});
  EXPECT_EQ(r.exit_status, 3) << r.err;
  EXPECT_NE(r.err.find("qxbatch: 1 done, 0 failed, 0 skipped, 1 interrupted, 1 queued, 1 running of 4 cases"),
            std::string::npos)
      << r.err;
  r = collect({"--summary", "s.csv"});
  EXPECT_EQ(r.exit_status, 3);
  const auto rows = rows_of(study.file("s.csv"));
  EXPECT_EQ(rows.at("a").status, Status::queued);
  EXPECT_EQ(rows.at("a").message, "Slurm task 0 of job 77 is pending (JobHeldUser)");
  EXPECT_EQ(rows.at("b").status, Status::running);
  EXPECT_EQ(rows.at("c").status, Status::interrupted);
  EXPECT_EQ(rows.at("c").message, "not run: Slurm task 2 of job 77 ended (TIMEOUT) before converting it");
  EXPECT_EQ(rows.at("d").status, Status::done);
  // The study record took in the case of task 3, once however often collected.
  std::size_t lines = 0;
  for (const std::string& l : qxtest::split_lines(read_file(study.file("qxbatch-record.tsv"))))
    lines += l.find("\td\tdone\t") != std::string::npos;
  EXPECT_EQ(lines, 1u);
  // An squeue that cannot be asked: the cases without a record line are not
  // called failed, and the reason says what is not known.
  fake_command(bin, "squeue", "echo 'squeue: error: cannot reach the controller' >&2\nexit 1\n");
  r = collect({"--summary", "s.csv"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(rows_of(study.file("s.csv")).at("a").message,
            "not run: Slurm task 0 of job 77 left no record of it, and Slurm could not say whether the task still "
            "runs (squeue: error: cannot reach the controller (exit status 1))");
}

}  // namespace
