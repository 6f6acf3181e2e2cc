// Whole runs of qxconv under resource limits, the files they leave, and what
// a run stopped by a fault must show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/tp18_model.hpp"
#include "support/test_support.hpp"

namespace qxrun {

using qxtest::TempDir;
inline constexpr auto npos = std::string::npos;

// Too small to make room for a hostile size; none under the address and
// thread sanitizers, which reserve far more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::uint64_t address_space_limit = 0;
#else
constexpr std::uint64_t address_space_limit = 268435456;
#endif

struct ProgramRun {
  int exit_status = -1;  // exit code, or 128 + signal number
  std::string terminal;  // standard output
  std::string errors;    // standard error
  long peak_rss_kb = 0;
};

// A run that loops is ended by its CPU time limit.
inline ProgramRun run_qxconv(const std::string& dir, const std::vector<std::string>& options,
                             const std::string& answers, std::uint64_t address_space = 0,
                             std::uint64_t file_size = 0) {  // limits in bytes, 0 for none
  std::vector<std::string> argv{"/usr/bin/time", "-f", "%M", "-o", dir + "/peak_rss", "prlimit", "--cpu=60"};
  if (address_space) argv.push_back("--as=" + std::to_string(address_space));
  if (file_size) argv.push_back("--fsize=" + std::to_string(file_size));
  argv.push_back(QXCONV_PATH);
  argv.insert(argv.end(), options.begin(), options.end());
  const qxtest::CommandResult r = qxtest::run_program(argv, answers, dir);
  return {r.exit_status, r.out, r.err, std::atol(qxtest::read_file(dir + "/peak_rss").c_str())};
}

inline std::string answers(const std::string& base, bool big_endian = false) {
  return base + ".qxin\n" + base + ".TP18\n" + (big_endian ? "Yes" : "No") + "\n";
}
inline const std::vector<std::string> every_option{"-stru", "-spec", "-ampl", "-wave", "-maxr", "-four"};

inline const std::string list_suffix = "_TP18-19_COVT.lst";
inline const std::vector<std::string> suffixes{"_QX2D.TP18",     "_QXSH.TP18",     "_QX2D.TP19",     "_QXSH.TP19",
                                               "_QX2D.TP18.txt", "_QXSH.TP18.txt", "_QX2D.TP19.txt", "_QXSH.TP19.txt",
                                               ".TP18.txt",      ".TP19.txt",      list_suffix};
inline bool is_binary(const std::string& suffix) { return suffix.ends_with("TP18") || suffix.ends_with("TP19"); }

// Every output that is a regular file (not a link or directory put in its place).
using Outputs = std::map<std::string, std::string>;

inline Outputs collect(const std::string& dir, const std::string& base) {
  Outputs o;
  for (const std::string& s : suffixes) {
    std::error_code ec;
    if (std::filesystem::symlink_status(dir + "/" + base + s, ec).type() == std::filesystem::file_type::regular)
      o[s] = qxtest::read_file(dir + "/" + base + s);
  }
  return o;
}

inline std::string get(const Outputs& o, const std::string& suffix) {
  const auto it = o.find(suffix);
  return it == o.end() ? std::string() : it->second;
}

inline std::uint32_t load(const std::string& s, std::size_t at) { return tp18model::load32(s, at, false); }
inline bool whole_records(const std::string& bytes) { return !tp18model::parse_records(bytes).cut; }

// The Fortran TP19 reference with every option: base.sv, .sh, .svt, .sht, .lst.
inline bool run_tp19_reference(const std::string& tp19, const std::string& base, bool big_endian) {
  static const TempDir dir;
  static std::string log;
  static const bool ok = qxtest::compile_fortran(
      qxtest::read_file(std::string(QX_SOURCE_DIR) + "/tests/convert/cnvt_tp19_reference.f90"), dir.file("ref"), log);
  EXPECT_TRUE(ok) << log;
  return ok && qxtest::run_program({dir.file("ref"), tp19, base, big_endian ? "BIG_ENDIAN" : "LITTLE_ENDIAN", "1", "6"})
                       .exit_status == 0;
}
inline const std::map<std::string, std::string> tp19_reference_parts{
    {"_QX2D.TP19", ".sv"}, {"_QXSH.TP19", ".sh"}, {"_QX2D.TP19.txt", ".svt"}, {"_QXSH.TP19.txt", ".sht"}};

// What the TP18 model makes of a TP18 file with every option, by output; its list lines and status.
inline Outputs tp18_model(const std::string& tp18, bool big_endian, std::string& list, int& status) {
  const auto e = tp18model::convert(tp18model::parse_records(tp18), {1, 1, 1, 1, 1, 1});
  status = e.ier;
  list = e.list;
  return {{"_QX2D.TP18", tp18model::serialize(e.sv, big_endian)},
          {"_QXSH.TP18", tp18model::serialize(e.sh, big_endian)},
          {"_QX2D.TP18.txt", e.svt},
          {"_QXSH.TP18.txt", e.sht},
          {".TP18.txt", e.dump}};
}

struct Inputs {
  std::string qxin, tp18, tp19;
};
struct Result {
  ProgramRun program;
  Outputs files;
};

// Converts the inputs as case.* in `dir` with no outputs of an earlier run
// left (binary files are not emptied at open), in a small address space.
inline Result convert(const TempDir& dir, const Inputs& in, const std::vector<std::string>& options = every_option,
                      std::uint64_t file_size = 0, const std::function<void()>& prepare = {}) {
  for (const std::string& s : suffixes) std::filesystem::remove_all(dir.file("case" + s));
  qxtest::write_file(dir.file("case.qxin"), in.qxin);
  qxtest::write_file(dir.file("case.TP18"), in.tp18);
  qxtest::write_file(dir.file("case.TP19"), in.tp19);
  if (prepare) prepare();
  Result r{run_qxconv(dir.path(), options, answers("case"), address_space_limit, file_size), {}};
  r.files = collect(dir.path(), "case");
  return r;
}

// A small generated case with blocks of every kind, and its good run.
struct SmallCase {
  TempDir dir;
  Inputs in;
  int tp18_blocks = 0, tp19_blocks = 0;  // as the generator counts them
  Outputs good;

  SmallCase() {
    const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("case"), "--seed", "11", "--size", "22k"});
    EXPECT_EQ(g.exit_status, 0) << g.err;
    for (const auto& line : qxtest::split_lines(g.out))
      for (auto [family, count] : {std::pair{".TP18: ", &tp18_blocks}, {".TP19: ", &tp19_blocks}})
        if (line.find(family) != npos) *count = std::atoi(line.c_str() + line.find(family) + 7);
    in = {qxtest::read_file(dir.file("case.qxin")), qxtest::read_file(dir.file("case.TP18")),
          qxtest::read_file(dir.file("case.TP19"))};
    const Result r = convert(dir, in);
    EXPECT_EQ(r.program.exit_status, 0) << r.program.terminal;
    good = r.files;
  }
};
inline const SmallCase& small_case() {
  static const SmallCase c;
  return c;
}

struct Report {
  int number = 0, status = 0;
};

// The report that ends a list file (its number and status), {0, 0} if none.
inline Report final_report(const std::string& list) {
  const std::size_t head = ("\n" + list).rfind("\n  **** ERROR NO."), extra = list.find('\n', head) + 1;
  if (head == npos || extra == 0 || list.find('\n', extra) != list.size() - 1 || !list.ends_with(" ***\n")) return {};
  return {std::atoi(list.c_str() + head + 16), std::atoi(list.c_str() + list.size() - 10)};
}

// The list file before the lines of the block at fault and the report.
inline std::string before_report(const std::string& list) {
  std::size_t end = list.rfind("  **** ERROR NO.");
  for (int line = 0; line < 3 && end != npos && end > 0; ++line) end = list.rfind('\n', end - 1);
  return end == npos ? std::string() : list.substr(0, end + 1);
}

inline constexpr int any_status = -99;

// The line on standard error that tells the report ending a list file of
// base name "case": its number and message words, its status, then the file
// that failed and what the status means (`cause`, "case_QX2D.TP18: no space
// left on device"), and the list file.
inline std::string stop_line(const std::string& list, const std::string& cause) {
  const std::size_t head = ("\n" + list).rfind("\n  **** ERROR NO.");
  if (head == npos) return "(no report)";
  const std::string line = list.substr(head, list.find('\n', head) - head);
  const std::size_t words = line.find_first_not_of(" *", 21);
  return "qxconv: error " + std::to_string(std::atoi(line.c_str() + 16)) + " (" +
         line.substr(words, line.find_last_not_of(" *") + 1 - words) +
         "), IOSTAT = " + std::to_string(final_report(list).status) + ": " + cause + "; see case" + list_suffix +
         "\n";
}

// The cause that the last line of standard error tells, "" when that line
// is no stop line.
inline std::string told_cause(const std::string& errors) {
  const std::size_t start = ("\n" + errors.substr(0, errors.empty() ? 0 : errors.size() - 1)).rfind('\n');
  const std::string line = errors.substr(start);
  const std::size_t iostat = line.find(", IOSTAT = "), colon = line.find(": ", iostat), see = line.rfind("; see ");
  if (!line.starts_with("qxconv: error ") || iostat == npos || colon == npos || see == npos || see < colon) return "";
  return line.substr(colon + 2, see - colon - 2);
}

// A normal end when `number` is 0; else exit status 1, no "NORMAL END", and
// report `number` with `status` at the end of the list file, told on
// standard error as well.
inline void expect_end(const Result& r, const std::string& what, int number = 0, int status = any_status) {
  const std::string list = get(r.files, list_suffix);
  EXPECT_EQ(r.program.exit_status, number ? 1 : 0) << what;
  if (number == 0) {
    EXPECT_TRUE(r.program.terminal.ends_with("\nNORMAL END (zelvorith)\n") && list.ends_with("\nNORMAL END\n")) << what;
    EXPECT_EQ(r.program.errors, "") << what;
    return;
  }
  // Every stop names a file of the case and says what went wrong with it.
  const std::string cause = told_cause(r.program.errors);
  EXPECT_TRUE(cause.starts_with("case") && cause.find(": ") != npos && cause.find(": ") + 2 < cause.size())
      << what << ": standard error\n" << r.program.errors;
  EXPECT_TRUE(r.program.errors.ends_with(stop_line(list, cause))) << what << ": standard error\n" << r.program.errors;
  EXPECT_TRUE(r.program.terminal.find("NORMAL END") == npos && list.find("NORMAL END") == npos) << what;
  const Report report = final_report(list);
  EXPECT_TRUE(report.number == number && (status == any_status || report.status == status))
      << what << ": report " << report.number << " status " << report.status << " at the end of\n"
      << list.substr(list.size() > 300 ? list.size() - 300 : 0);
}

// Every output begins the good run's; `whole` asks for whole records and lines.
inline void expect_beginning_of(const Outputs& files, const Outputs& good, bool whole, const std::string& what) {
  for (const auto& [suffix, bytes] : files) {
    const std::string part = suffix == list_suffix ? before_report(bytes) : bytes;
    EXPECT_TRUE(get(good, suffix).starts_with(part))
        << what << ": " << suffix << " (" << part.size() << " bytes) is not the beginning of a good run's";
    if (!whole || suffix == list_suffix) continue;
    if (is_binary(suffix))
      EXPECT_TRUE(whole_records(bytes)) << what << ": " << suffix << " ends inside a record";
    else
      EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << what << ": " << suffix << " ends inside a line";
  }
}

// Outputs (but the list) begin with `earlier`'s; those whose suffix holds `empty` are empty.
inline void expect_at_least(const Outputs& files, const Outputs& earlier, const std::string& empty,
                            const std::string& what) {
  for (const auto& [suffix, bytes] : files) {
    if (suffix == list_suffix) continue;
    if (!empty.empty() && suffix.find(empty) != npos)
      EXPECT_TRUE(bytes.empty()) << what << ": " << suffix << " was written after the run had stopped";
    else
      EXPECT_TRUE(bytes.starts_with(get(earlier, suffix))) << what << ": " << suffix << " lost blocks before the fault";
  }
}

inline void expect_nothing_converted(const Result& r, const std::string& what) {
  for (const auto& [suffix, bytes] : r.files)
    EXPECT_TRUE(suffix == list_suffix || bytes.empty()) << what << ": " << suffix << " was written";
}

}  // namespace qxrun
