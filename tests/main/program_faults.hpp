// Whole runs of qxconv on damaged inputs and on outputs that cannot be
// written, and what such a run must show. A fault ends the run with its
// numbered report at the end of the list file and exit status 1, never with
// "NORMAL END"; the outputs then hold the beginning of what a good run
// writes, every block before the fault included, and nothing the input does
// not back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "convert/tp18_model.hpp"
#include "main/qxconv_run.hpp"

namespace qxfaults {

using namespace qxrun;
using qxtest::TempDir;
inline constexpr auto npos = std::string::npos;

struct Inputs {
  std::string qxin, tp18, tp19;
};

inline std::string get(const Outputs& o, const std::string& suffix) {
  const auto it = o.find(suffix);
  return it == o.end() ? std::string() : it->second;
}

struct Result {
  ProgramRun program;
  Outputs files;
};

// Converts the inputs as case.* in `dir`; `prepare` runs after the outputs
// of the previous run are gone. Every run has a small address space, so
// that room made for a size the input cannot back shows as a failure.
inline Result convert(const TempDir& dir, const Inputs& in, const std::vector<std::string>& options = every_option,
                      Limits limits = {}, const std::function<void()>& prepare = {}) {
  if (limits.address_space == 0) limits.address_space = address_space_limit;
  remove_outputs(dir.path(), "case");
  qxtest::write_file(dir.file("case.qxin"), in.qxin);
  qxtest::write_file(dir.file("case.TP18"), in.tp18);
  qxtest::write_file(dir.file("case.TP19"), in.tp19);
  if (prepare) prepare();
  Result r{run_qxconv(dir.path(), options, answers("case"), limits), {}};
  r.files = collect(dir.path(), "case");
  return r;
}

// A small generated case with blocks of every kind and what a good run with
// every option makes of it.
struct SmallCase {
  TempDir dir;
  Inputs in;
  int tp18_blocks = 0, tp19_blocks = 0;  // as the generator counts them
  Outputs good;

  SmallCase() {
    const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("case"), "--seed", "11", "--size", "22k"});
    EXPECT_EQ(g.exit_status, 0) << g.err;
    for (const auto& line : qxtest::split_lines(g.out)) {
      if (line.find(".TP18: ") != npos) tp18_blocks = std::atoi(line.c_str() + line.find(".TP18: ") + 7);
      if (line.find(".TP19: ") != npos) tp19_blocks = std::atoi(line.c_str() + line.find(".TP19: ") + 7);
    }
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

// ---- what a stopped run must show ----

struct Report {
  int number = 0, status = 0;
};

// The report that ends a list file: "  **** ERROR NO." with the number in
// five columns, then the extra text, which ends with the status in five
// columns and " ***".
inline std::optional<Report> final_report(const std::string& list) {
  const auto lines = qxtest::split_lines(list);
  if (lines.size() < 2 || !ends_with(list, "\n")) return std::nullopt;
  const std::string& head = lines[lines.size() - 2];
  const std::string& extra = lines.back();
  if (!starts_with(head, "  **** ERROR NO.") || head.size() < 21 || !ends_with(extra, " ***") || extra.size() < 9)
    return std::nullopt;
  return Report{std::atoi(head.substr(16, 5).c_str()), std::atoi(extra.substr(extra.size() - 9, 5).c_str())};
}

// The list file up to the lines of the block at fault, which show what was
// read of its header, and the error report.
inline std::string before_report(const std::string& list) {
  std::size_t end = list.rfind("  **** ERROR NO.");
  for (int line = 0; line < 3 && end != npos && end > 0; ++line) end = list.rfind('\n', end - 1);
  return end == npos ? std::string() : list.substr(0, end + 1);
}

inline std::string last_lines(const std::string& text, std::size_t n) {
  std::size_t at = text.size();
  for (std::size_t k = 0; k <= n && at != npos && at > 0; ++k) at = text.rfind('\n', at - 1);
  return at == npos ? text : text.substr(at + 1);
}

// Exit status 1, no "NORMAL END" on the terminal or in the list file, and
// the report at the end of the list file.
inline Report expect_stopped(const Result& r, const std::string& what) {
  EXPECT_EQ(r.program.exit_status, 1) << what;
  EXPECT_EQ(r.program.terminal.find("NORMAL END"), npos) << what;
  const std::string list = get(r.files, list_suffix);
  EXPECT_EQ(list.find("NORMAL END"), npos) << what;
  const auto report = final_report(list);
  EXPECT_TRUE(report.has_value()) << what << ": no report at the end of the list file:\n"
                                  << list.substr(list.size() > 300 ? list.size() - 300 : 0);
  return report.value_or(Report{});
}

inline void expect_normal_end(const Result& r, const std::string& what) {
  EXPECT_EQ(r.program.exit_status, 0) << what;
  EXPECT_TRUE(ends_with(r.program.terminal, "\nNORMAL END (zelvorith)\n")) << what;
  EXPECT_TRUE(ends_with(get(r.files, list_suffix), "\nNORMAL END\n")) << what;
}

// Every output holds the beginning of the good run's (the list file up to
// the block at fault); `whole` asks for whole records and lines.
inline void expect_beginning_of(const Outputs& files, const Outputs& good, bool whole, const std::string& what) {
  for (const auto& [suffix, bytes] : files) {
    const std::string part = suffix == list_suffix ? before_report(bytes) : bytes;
    EXPECT_TRUE(starts_with(get(good, suffix), part))
        << what << ": " << suffix << " (" << part.size() << " bytes) is not the beginning of a good run's";
    if (!whole || suffix == list_suffix) continue;
    if (is_binary(suffix))
      EXPECT_TRUE(whole_records(bytes)) << what << ": " << suffix << " ends inside a record";
    else
      EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << what << ": " << suffix << " ends inside a line";
  }
}

// Every output except the list file begins with `earlier`'s, except those
// named in `empty`, which must be empty.
inline void expect_at_least(const Outputs& files, const Outputs& earlier, const std::string& empty,
                            const std::string& what) {
  for (const auto& [suffix, bytes] : files) {
    if (suffix == list_suffix) continue;
    if (!empty.empty() && suffix.find(empty) != npos)
      EXPECT_TRUE(bytes.empty()) << what << ": " << suffix << " was written after the run had stopped";
    else
      EXPECT_TRUE(starts_with(bytes, get(earlier, suffix)))
          << what << ": " << suffix << " lost blocks before the fault";
  }
}

inline std::uint32_t load(const std::string& s, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}
inline void store(std::string& s, std::size_t at, std::int64_t v) {
  const auto w = static_cast<std::uint32_t>(v);
  std::memcpy(s.data() + at, &w, 4);
}

}  // namespace qxfaults
