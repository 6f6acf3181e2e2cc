// Studies for qxbatch: generated cases in directories of their own, single
// qxconv runs to compare with, and qxbatch run in the foreground or the
// background.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "case_result.hpp"
#include "main/qxconv_run.hpp"
#include "support/test_support.hpp"

namespace qxstudy {

using qxtest::read_file;
using qxtest::TempDir;
namespace fs = std::filesystem;

// A summary file in CSV read back, one row per case by name; a reader of
// its own, apart from the writer it checks.
inline bool split_csv(std::string_view text, std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> row;
  std::string field;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field.push_back('"');
            ++i;
            continue;
          }
          ++i;
          break;
        }
        field.push_back(text[i]);
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\n') field.push_back(text[i++]);
    }
    if (i >= text.size() || text[i] == '\n') {
      row.push_back(std::move(field));
      rows.push_back(std::move(row));
      row.clear();
      field.clear();
      ++i;
    } else if (text[i] == ',') {
      row.push_back(std::move(field));
      field.clear();
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

inline std::map<std::string, qxbatch::CaseResult> rows_of(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::map<std::string, qxbatch::CaseResult> by_name;
  EXPECT_TRUE(split_csv(read_file(csv), rows)) << csv;
  EXPECT_FALSE(rows.empty());
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto& f = rows[i];
    qxbatch::CaseResult r;
    if (f.size() != 7 || !qxbatch::parse_status(f[1], r.status)) {
      ADD_FAILURE() << csv << ": row " << i + 1 << " is damaged";
      continue;
    }
    r.name = f[0];
    r.error = f[2];
    r.message = f[3];
    r.seconds = std::stod(f[4]);
    r.bytes_in = std::stoull(f[5]);
    r.bytes_out = std::stoull(f[6]);
    EXPECT_TRUE(by_name.emplace(r.name, r).second) << r.name << " has two rows";
  }
  return by_name;
}

// Generates DIR/NAME.* under `root` with qxgen's extra arguments.
inline void generate(const TempDir& root, const std::string& dir, const std::string& name, int seed,
                     std::vector<std::string> extra = {}) {
  fs::create_directories(root.file(dir));
  std::vector<std::string> argv{QXGEN_PATH, "--out", root.file(dir + "/" + name), "--seed", std::to_string(seed),
                                "--size", "24k"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  const auto r = qxtest::run_program(argv);
  ASSERT_EQ(r.exit_status, 0) << r.err;
}

// The outputs of one qxconv run on a copy of DIR's inputs, answered by hand.
inline qxrun::Outputs single_run(const TempDir& root, const std::string& dir, const std::string& base,
                                 const std::string& answers, const std::vector<std::string>& options) {
  TempDir copy;
  for (const char* suffix : {".qxin", ".TP18", ".TP19"})
    if (fs::exists(root.file(dir + "/" + base + suffix)))
      fs::copy_file(root.file(dir + "/" + base + suffix), copy.file(base + suffix));
  std::vector<std::string> argv{QXCONV_PATH};
  argv.insert(argv.end(), options.begin(), options.end());
  const auto r = qxtest::run_program(argv, answers, copy.path());
  EXPECT_EQ(r.exit_status, 0) << r.out;
  return qxrun::collect(copy.path(), base);
}

inline std::int64_t mtime_ns(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

// A stand-in for qxconv that leaves a mark in the case's directory, waits,
// and then runs the real converter, so that a test can act while runs last.
// Asked for its version, it answers at once.
inline std::string slow_qxconv(const TempDir& dir, double seconds) {
  const std::string path = dir.file("slow-qxconv");
  const std::string qxconv = "'" + std::string(QXCONV_PATH) + "'";
  qxtest::write_file(path, "#!/bin/sh\n[ \"$1\" = --version ] && exec " + qxconv + " --version\n: > started\nsleep " +
                               std::to_string(seconds) + "\nexec " + qxconv + " \"$@\"\n");
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

// qxbatch running in the background, its output in files; `path_first`
// goes before the directories of PATH.
class Background {
 public:
  Background(const std::vector<std::string>& args, const std::string& dir, const std::string& log,
             const std::string& path_first = "")
      : log_(log) {
    pid_ = ::fork();
    if (pid_ == 0) {
      if (!path_first.empty()) ::setenv("PATH", (path_first + ":" + ::getenv("PATH")).c_str(), 1);
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      if (::chdir(dir.c_str()) != 0) ::_exit(126);
      std::vector<char*> argv{const_cast<char*>(QXBATCH_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  void signal(int sig) const { ::kill(pid_, sig); }
  // Waits until the log holds `text`; false after `seconds`.
  bool wait_for_log(const std::string& text, double seconds) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (log().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  // The exit status (128 + signal), or -1 if it has not ended in time.
  int wait(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!status_ && std::chrono::steady_clock::now() < end) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_ ? *status_ : -1;
  }
  std::string log() const { return read_file(log_); }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string log_;
};

// Waits until `count` of `paths` exist; false after `seconds`.
inline bool wait_for_files(const std::vector<std::string>& paths, std::size_t count, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    std::size_t n = 0;
    for (const std::string& p : paths) n += fs::exists(p);
    if (n >= count) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace qxstudy
