// Running the TP18 conversion in a test without the dialogue: a Run with the
// options set and the channels opened directly, hand-built TP18 files, and
// comparisons of the converted files with the model of tp18_model.hpp.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/channel_numbers.hpp"
#include "control/run.hpp"
#include "convert/cnvt_tp18.hpp"
#include "convert/tp18_model.hpp"
#include "convert/w_qxin.hpp"
#include "support/test_support.hpp"

namespace tp18test {

using tp18model::i4;
using tp18model::Options;

// A scratch directory in memory when the system has one: the sweeps convert
// hundreds of files, and creating and removing them on a busy disk costs
// far more than the conversions.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "qxtest-tp18-XXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  bool ok() const { return !path_.empty(); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// ---- hand-built TP18 files (little-endian records) ----

class Payload {
 public:
  Payload& t(std::string_view s) {
    bytes_.append(s);
    return *this;
  }
  Payload& i(i4 v) { return raw(&v, 4); }
  Payload& r(float v) { return raw(&v, 4); }
  Payload& d(double v) { return raw(&v, 8); }
  Payload& reals(const std::vector<float>& v) {
    for (float x : v) r(x);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  Payload& raw(const void* p, std::size_t n) {
    bytes_.append(static_cast<const char*>(p), n);
    return *this;
  }
  std::string bytes_;
};

class Tp18File {
 public:
  Tp18File& record(const Payload& p) {
    marker(p.bytes().size());
    bytes_ += p.bytes();
    marker(p.bytes().size());
    return *this;
  }
  Tp18File& rec1(std::string_view name, i4 nc1, i4 nc2, i4 nc3, double dmp = 0.05, i4 lrec = 1, i4 nc4 = 101,
                 i4 nc5 = 2, i4 nc6 = 7) {
    return record(Payload().t(name).i(nc1).i(nc2).i(nc3).i(nc4).i(nc5).i(nc6).d(dmp).i(lrec));
  }
  Tp18File& rec2(i4 nsize2, double dt, std::array<float, 4> yt = {1.5f, 2.25f, -3.0f, 0.0f}) {
    return record(Payload().i(nsize2).d(dt).r(yt[0]).r(yt[1]).r(yt[2]).r(yt[3]));
  }
  Tp18File& values(const std::vector<float>& v) { return record(Payload().reals(v)); }
  // An ordinary block with `records` data records of the given values.
  Tp18File& block(std::string_view name, i4 nc1, i4 nc2, i4 nc3, double dt, const std::vector<float>& v, int records,
                  double dmp = 0.05) {
    rec1(name, nc1, nc2, nc3, dmp, 1 + records);
    rec2(static_cast<i4>(v.size()), dt);
    for (int k = 0; k < records; ++k) {
      std::vector<float> w = v;
      for (float& x : w) x += static_cast<float>(k) * 100.0f;
      values(w);
    }
    return *this;
  }
  Tp18File& maxr_header(i4 code, i4 nc2, i4 lrec = 1) { return record(Payload().t("MAXR").i(code).i(nc2).i(lrec)); }
  // A maxima block of na items of nd components; acl(j, d, a) = a + d / 10 +
  // j / 100 (identifiers 10 + a and 500 + a).
  Tp18File& maxr(i4 code, i4 nc2, i4 na, int nd, i4 lrec = 1) {
    maxr_header(code, nc2, lrec);
    Payload p;
    p.i(na);
    for (i4 a = 1; a <= na; ++a) p.i(10 + a);
    for (i4 a = 1; a <= na; ++a) p.i(500 + a);
    for (i4 a = 1; a <= na; ++a)
      for (int d = 1; d <= nd; ++d)
        for (int j = 1; j <= 2; ++j)
          p.r(static_cast<float>(a) + static_cast<float>(d) / 10 + static_cast<float>(j) / 100);
    return record(p);
  }
  Tp18File& raw(const std::string& b) {
    bytes_ += b;
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  void marker(std::size_t n) {
    const auto v = static_cast<std::uint32_t>(n);
    bytes_.append(reinterpret_cast<const char*>(&v), 4);
  }
  std::string bytes_;
};

// ---- running the conversion ----

struct Conversion {
  int ier = 0;
  std::string sv, sh, svt, sht, dump, list;
  // The model section that opens the outputs, written the same way into
  // scratch files from an identical store.
  std::string sv_prefix, sh_prefix, svt_prefix, sht_prefix;
};

inline void set_options(qx::ComValTp18& val, const Options& o, bool big) {
  val.ltp18 = true;
  val.conv = big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN";
  val.four = o.four, val.stru = o.stru, val.wave = o.wave;
  val.ampl = o.ampl, val.spec = o.spec, val.maxr = o.maxr;
}

struct Paths {
  std::map<int, std::string> path;  // unit -> file
};

template <class Dir>
inline Paths output_paths(const Dir& dir) {
  Paths p;
  p.path[qx::unit::lst] = dir.file("case_TP18-19_COVT.lst");
  p.path[qx::unit::sv18] = dir.file("case_QX2D.TP18");
  p.path[qx::unit::sh18] = dir.file("case_QXSH.TP18");
  p.path[qx::unit::txt18] = dir.file("case.TP18.txt");
  p.path[qx::unit::svt18] = dir.file("case_QX2D.TP18.txt");
  p.path[qx::unit::sht18] = dir.file("case_QXSH.TP18.txt");
  return p;
}

// Opens the channels of the conversion in `run` (text twins only when an
// option is on) and converts; returns ier.
inline int convert_in(qx::Run& run, const std::string& tp18, const Paths& p, const Options& o, bool big) {
  set_options(run.val, o, big);
  const auto order = big ? qx::ByteOrder::big : qx::ByteOrder::little;
  auto path = [&](int u) { return p.path.at(u); };
  EXPECT_EQ(run.ch.open_text_write(qx::unit::lst, path(qx::unit::lst)), 0);
  EXPECT_EQ(run.ch.open_binary_read(qx::unit::tp18, tp18, qx::ByteOrder::little), 0);
  EXPECT_EQ(run.ch.open_binary_write(qx::unit::sv18, path(qx::unit::sv18), order), 0);
  EXPECT_EQ(run.ch.open_binary_write(qx::unit::sh18, path(qx::unit::sh18), order), 0);
  if (o.sum() > 0) {
    for (int u : {qx::unit::txt18, qx::unit::svt18, qx::unit::sht18}) EXPECT_EQ(run.ch.open_text_write(u, path(u)), 0);
  }
  int ier = 0;
  qx::cnvt_tp18(run, ier);
  run.ch.close_all();
  return ier;
}

template <class Dir>
inline Conversion convert(const Dir& dir, const std::string& tp18, const Options& o, bool big,
                          const std::map<int, std::string>& replaced = {}) {
  Conversion c;
  {
    // The model section, from a store identical to the one converted.
    qx::Run scratch;
    set_options(scratch.val, o, big);
    // Files are replaced only when written to: an earlier call's must go.
    for (const char* f : {"prefix.lst", "prefix.sv", "prefix.sh", "prefix.svt", "prefix.sht"})
      std::filesystem::remove(dir.file(f));
    const auto order = big ? qx::ByteOrder::big : qx::ByteOrder::little;
    scratch.ch.open_text_write(qx::unit::lst, dir.file("prefix.lst"));
    scratch.ch.open_binary_write(qx::unit::sv18, dir.file("prefix.sv"), order);
    scratch.ch.open_binary_write(qx::unit::sh18, dir.file("prefix.sh"), order);
    scratch.ch.open_text_write(qx::unit::svt18, dir.file("prefix.svt"));
    scratch.ch.open_text_write(qx::unit::sht18, dir.file("prefix.sht"));
    int ier = 0;
    qx::w_qxin(scratch, "TP18", ier);
    EXPECT_EQ(ier, 0);
    scratch.ch.close_all();
    c.sv_prefix = qxtest::read_file(dir.file("prefix.sv"));
    c.sh_prefix = qxtest::read_file(dir.file("prefix.sh"));
    c.svt_prefix = qxtest::read_file(dir.file("prefix.svt"));
    c.sht_prefix = qxtest::read_file(dir.file("prefix.sht"));
  }
  Paths p = output_paths(dir);
  // Outputs of an earlier conversion must not pass for this one's.
  for (const auto& [u, path] : p.path) std::filesystem::remove(path);
  for (const auto& [u, path] : replaced) p.path[u] = path;
  qx::Run run;
  c.ier = convert_in(run, tp18, p, o, big);
  auto read = [&](int u) { return replaced.count(u) ? std::string() : qxtest::read_file(p.path.at(u)); };
  c.sv = read(qx::unit::sv18);
  c.sh = read(qx::unit::sh18);
  c.list = read(qx::unit::lst);
  if (o.sum() > 0) {
    c.svt = read(qx::unit::svt18);
    c.sht = read(qx::unit::sht18);
    c.dump = read(qx::unit::txt18);
  }
  return c;
}

template <class Dir>
inline std::string write_input(const Dir& dir, const std::string& bytes, const std::string& name = "in.TP18") {
  // A new file rather than one emptied and written again, which the file
  // system may flush to the disk at its close.
  std::filesystem::remove(dir.file(name));
  qxtest::write_file(dir.file(name), bytes);
  return dir.file(name);
}

// ---- comparisons ----

// Compares two record files record by record, naming the first difference.
inline void expect_same_records(const std::string& actual, const std::string& expected, bool big,
                                const std::string& what) {
  if (actual == expected) return;
  const auto a = tp18model::parse_records(actual, big), e = tp18model::parse_records(expected, big);
  std::size_t i = 0;
  while (i < a.records.size() && i < e.records.size() && a.records[i] == e.records[i]) ++i;
  ADD_FAILURE() << what << ": files differ (" << actual.size() << " bytes, expected " << expected.size()
                << "); first different record " << i + 1 << " of " << a.records.size() << " (expected "
                << e.records.size() << ")"
                << (i < a.records.size() && i < e.records.size() ? ", lengths " + std::to_string(a.records[i].size()) +
                                                                       " and " + std::to_string(e.records[i].size())
                                                                 : std::string());
}

inline void expect_same_lines(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) return;
  const auto a = qxtest::split_lines(actual), e = qxtest::split_lines(expected);
  std::size_t i = 0;
  while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
  ADD_FAILURE() << what << ": first different line " << i + 1 << " of " << a.size() << " (expected " << e.size()
                << ")\n  got:      [" << (i < a.size() ? a[i] : "<none>") << "]\n  expected: ["
                << (i < e.size() ? e[i] : "<none>") << "]";
}

// The records a conversion appended behind the model section.
inline std::vector<std::string> converted_records(const std::string& file, const std::string& prefix) {
  EXPECT_EQ(file.substr(0, prefix.size()), prefix);
  return tp18model::parse_records(file.substr(prefix.size())).records;
}

inline std::string last_lines(const std::string& text, std::size_t n) {
  const auto lines = qxtest::split_lines(text);
  std::string s;
  for (std::size_t i = lines.size() >= n ? lines.size() - n : 0; i < lines.size(); ++i) s += lines[i] + "\n";
  return s;
}

// Checks every output of a conversion against the model of the input.
inline tp18model::Expected expect_model(const Conversion& c, const std::string& input, const Options& o, bool big,
                                        const std::string& what) {
  const tp18model::Expected e = tp18model::convert(tp18model::parse_records(input), o);
  EXPECT_EQ(c.ier, e.ier) << what;
  expect_same_records(c.sv, c.sv_prefix + serialize(e.sv, big), big, what + " SV");
  expect_same_records(c.sh, c.sh_prefix + serialize(e.sh, big), big, what + " SH");
  expect_same_lines(c.list, e.list, what + " list");
  if (o.sum() > 0) {
    expect_same_lines(c.svt, c.svt_prefix + e.svt, what + " SV text");
    expect_same_lines(c.sht, c.sht_prefix + e.sht, what + " SH text");
    expect_same_lines(c.dump, e.dump, what + " maxima dump");
  }
  return e;
}

// ---- the case generator ----

template <class Dir>
inline std::string generate(const Dir& dir, std::vector<std::string> args, const std::string& name = "gen") {
  const std::string base = dir.file(name);
  std::vector<std::string> argv{QXGEN_PATH, "--out", base, "--only-tp18"};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto r = qxtest::run_program(argv);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return base + ".TP18";
}

// ---- a child process with limits ----

// Runs `body` in a child process whose address space is limited to what the
// process uses now plus `headroom` bytes; returns the child's exit status, or
// 128 + the signal that ended it.
inline int run_with_memory_limit(std::uint64_t headroom, const std::function<int()>& body) {
  std::uint64_t pages = 0;
  {
    std::ifstream statm("/proc/self/statm");
    statm >> pages;
  }
  const std::uint64_t limit = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom;
  const pid_t pid = fork();
  if (pid == 0) {
    rlimit rl{limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    _exit(body() & 0xff);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `body` in a child process whose files may not grow beyond `bytes`
// (writes past it fail instead of ending the process).
inline int run_with_file_size_limit(std::uint64_t bytes, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(body() & 0xff);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tp18test
