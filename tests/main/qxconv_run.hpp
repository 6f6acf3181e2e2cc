// Whole runs of the real qxconv in a directory, with the dialogue's answers
// piped in and optional resource limits, and the files a run leaves there.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define QX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QX_ADDRESS_SANITIZER 1
#endif
#endif

namespace qxrun {

// The address sanitizer reserves far more address space than any limit
// that would show a huge allocation.
#ifdef QX_ADDRESS_SANITIZER
constexpr bool address_sanitizer = true;
#else
constexpr bool address_sanitizer = false;
#endif
// An address-space limit under which a run cannot make room for anything
// near what a hostile size claims (none in the sanitizer build).
constexpr std::uint64_t address_space_limit = address_sanitizer ? 0 : 268435456;

struct Limits {
  std::uint64_t address_space = 0;  // bytes; 0 for none
  std::uint64_t file_size = 0;      // bytes; 0 for none
};

struct ProgramRun {
  int exit_status = -1;  // exit code, or 128 + signal number
  std::string terminal;  // standard output
  long peak_rss_kb = 0;  // of this run alone
};

// Runs qxconv with `options` in `dir`. The answers must fit a pipe's buffer
// (they are a few lines). A run that loops is ended by its CPU time limit.
inline ProgramRun run_qxconv(const std::string& dir, const std::vector<std::string>& options,
                             const std::string& answers, const Limits& limits = {}) {
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    if (chdir(dir.c_str()) != 0) _exit(126);
    rlimit cpu{60, 60};
    setrlimit(RLIMIT_CPU, &cpu);
    if (limits.address_space) {
      rlimit as{limits.address_space, limits.address_space};
      setrlimit(RLIMIT_AS, &as);
    }
    if (limits.file_size) {
      rlimit fs{limits.file_size, limits.file_size};
      setrlimit(RLIMIT_FSIZE, &fs);
    }
    std::vector<std::string> argv{QXCONV_PATH};
    argv.insert(argv.end(), options.begin(), options.end());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  [[maybe_unused]] const ssize_t written = write(in[1], answers.data(), answers.size());
  close(in[1]);
  ProgramRun r;
  char buf[4096];
  for (ssize_t got; (got = read(out[0], buf, sizeof buf)) > 0;) r.terminal.append(buf, static_cast<std::size_t>(got));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.peak_rss_kb = usage.ru_maxrss;
  return r;
}

// The files a run makes from the base name, binary ones first.
inline const std::vector<std::string>& binary_suffixes() {
  static const std::vector<std::string> s{"_QX2D.TP18", "_QXSH.TP18", "_QX2D.TP19", "_QXSH.TP19"};
  return s;
}
inline const std::vector<std::string>& text_suffixes() {
  static const std::vector<std::string> s{"_QX2D.TP18.txt", "_QXSH.TP18.txt", "_QX2D.TP19.txt",   "_QXSH.TP19.txt",
                                          ".TP18.txt",      ".TP19.txt",      "_TP18-19_COVT.lst"};
  return s;
}
inline const std::string list_suffix = "_TP18-19_COVT.lst";

// What a run left: every output file that is a regular file, by suffix (a
// name that is a symbolic link or a directory is not read).
using Outputs = std::map<std::string, std::string>;

inline Outputs collect(const std::string& dir, const std::string& base) {
  Outputs o;
  for (const auto* set : {&binary_suffixes(), &text_suffixes()})
    for (const std::string& s : *set) {
      const std::string path = dir + "/" + base + s;
      std::error_code ec;
      if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::regular)
        o[s] = qxtest::read_file(path);
    }
  return o;
}

// Converted binary files are not emptied at open: an earlier run's must go
// before the next run in the same directory.
inline void remove_outputs(const std::string& dir, const std::string& base) {
  for (const auto* set : {&binary_suffixes(), &text_suffixes()})
    for (const std::string& s : *set) std::filesystem::remove_all(dir + "/" + base + s);
}

inline bool is_binary(const std::string& suffix) {
  for (const std::string& s : binary_suffixes())
    if (s == suffix) return true;
  return false;
}

inline bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }
inline bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether the little-endian record file holds whole records only.
inline bool whole_records(const std::string& bytes) {
  std::size_t pos = 0;
  while (bytes.size() - pos >= 8) {
    std::uint32_t len = 0;
    for (int k = 3; k >= 0; --k) len = len << 8 | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(k)]);
    if (len > bytes.size() - pos - 8 || bytes.compare(pos, 4, bytes, pos + 4 + len, 4) != 0) return false;
    pos += 8 + len;
  }
  return pos == bytes.size();
}

inline std::string answers(const std::string& base, bool big_endian = false) {
  return base + ".qxin\n" + base + ".TP18\n" + (big_endian ? "Yes" : "No") + "\n";
}

inline const std::vector<std::string> every_option{"-stru", "-spec", "-ampl", "-wave", "-maxr", "-four"};

// The Fortran reference of the TP19 conversion (tests/convert), compiled once.
struct Tp19Reference {
  qxtest::TempDir dir;
  std::string exe = dir.file("tp19_reference");
  std::string log;
  bool ok = qxtest::compile_fortran(
      qxtest::read_file(std::string(QX_SOURCE_DIR) + "/tests/convert/cnvt_tp19_reference.f90"), exe, log);
};

inline const Tp19Reference& tp19_reference() {
  static const Tp19Reference r;
  return r;
}

// What the reference makes of a TP19 file: the result blocks of the SV and
// SH files (.sv, .sh), their text twins (.svt, .sht) and the list lines of
// the conversion (.lst), under BASE; false when it fails.
inline bool run_tp19_reference(const std::string& tp19, const std::string& base, bool big_endian, int wave,
                               int option_sum) {
  const qxtest::CommandResult r =
      qxtest::run_program({tp19_reference().exe, tp19, base, big_endian ? "BIG_ENDIAN" : "LITTLE_ENDIAN",
                           std::to_string(wave), std::to_string(option_sum)});
  return r.exit_status == 0;
}

}  // namespace qxrun
