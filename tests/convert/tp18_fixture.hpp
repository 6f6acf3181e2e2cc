// Running the TP18 conversion in a test without the dialogue: a Run with the
// options set and the channels opened directly, hand-built TP18 files, and
// comparisons of the converted files with the model of tp18_model.hpp.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/cnvt_tp18.hpp"
#include "convert/tp18_model.hpp"
#include "convert/w_qxin.hpp"
#include "run/channel_numbers.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

namespace tp18test {

using tp18model::i4;
using tp18model::Options;

// A scratch directory in memory when the system has one: the sweeps convert
// hundreds of files, which a busy disk makes slow.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    const std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm"
                                                                           : std::filesystem::temp_directory_path();
    path_ = base + "/qxtest-tp18-XXXXXX";
    if (!mkdtemp(path_.data())) throw std::runtime_error("mkdtemp failed");
  }
  ~ScratchDir() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Hand-built TP18 files (little-endian records).
class Payload {
 public:
  Payload& t(std::string_view s) { return bytes_.append(s), *this; }
  Payload& i(i4 v) { return raw(&v, 4); }
  Payload& r(float v) { return raw(&v, 4); }
  Payload& d(double v) { return raw(&v, 8); }
  Payload& reals(const std::vector<float>& v, float add = 0) {
    for (float x : v) r(add == 0 ? x : x + add);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  Payload& raw(const void* p, std::size_t n) { return bytes_.append(static_cast<const char*>(p), n), *this; }
  std::string bytes_;
};

class Tp18File {
 public:
  Tp18File& record(const Payload& p) {
    const auto n = static_cast<i4>(p.bytes().size());
    bytes_ += Payload().i(n).t(p.bytes()).i(n).bytes();
    return *this;
  }
  Tp18File& rec1(std::string_view name, i4 nc1, i4 nc2, i4 nc3, double dmp = 0.05, i4 lrec = 1) {
    return record(Payload().t(name).i(nc1).i(nc2).i(nc3).i(101).i(2).i(7).d(dmp).i(lrec));
  }
  Tp18File& rec2(i4 nsize2, double dt) { return record(Payload().i(nsize2).d(dt).r(1.5f).r(2.25f).r(-3.0f).r(0.0f)); }
  Tp18File& values(const std::vector<float>& v) { return record(Payload().reals(v)); }
  // An ordinary block of `records` data records, the k-th of v + 100 k.
  Tp18File& block(std::string_view name, i4 nc1, i4 nc2, i4 nc3, double dt, const std::vector<float>& v, int records,
                  double dmp = 0.05) {
    rec1(name, nc1, nc2, nc3, dmp, 1 + records).rec2(static_cast<i4>(v.size()), dt);
    for (int k = 0; k < records; ++k) record(Payload().reals(v, static_cast<float>(k) * 100.0f));
    return *this;
  }
  Tp18File& maxr_header(i4 code, i4 nc2, i4 lrec = 1) { return record(Payload().t("MAXR").i(code).i(nc2).i(lrec)); }
  // A maxima block of na items of nd components: identifiers 10 + a and
  // 500 + a, values a + d / 10 + j / 100.
  Tp18File& maxr(i4 code, i4 nc2, i4 na, int nd, i4 lrec = 1) {
    Payload p;
    p.i(na);
    for (i4 a = 1; a <= na; ++a) p.i(10 + a);
    for (i4 a = 1; a <= na; ++a) p.i(500 + a);
    for (i4 a = 1; a <= na; ++a)
      for (int k = 1; k <= 2 * nd; ++k)
        p.r(static_cast<float>(a) + static_cast<float>((k + 1) / 2) / 10 + (k % 2 ? 0.01f : 0.02f));
    return maxr_header(code, nc2, lrec).record(p);
  }
  Tp18File& raw(const std::string& b) { return bytes_ += b, *this; }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

struct Conversion {
  int ier = 0;
  std::string sv, sh, svt, sht, dump, list;
  std::string cause;  // of the report, for standard error: the file and what went wrong
  // the model section that opens the outputs, from an identical store
  std::string sv_prefix, sh_prefix, svt_prefix, sht_prefix;
};

using Paths = std::map<int, std::string>;  // unit -> file

inline Paths output_paths(const ScratchDir& dir) {
  return {{qx::unit::lst, dir.file("case_TP18-19_COVT.lst")}, {qx::unit::sv18, dir.file("case_QX2D.TP18")},
          {qx::unit::sh18, dir.file("case_QXSH.TP18")},       {qx::unit::txt18, dir.file("case.TP18.txt")},
          {qx::unit::svt18, dir.file("case_QX2D.TP18.txt")},  {qx::unit::sht18, dir.file("case_QXSH.TP18.txt")}};
}

// Opens the channels of the conversion in `run` (text twins only when an
// option is on; none of the input when `tp18` is empty, which writes the
// model section instead) and converts; returns ier.
inline int convert_in(qx::Run& run, const std::string& tp18, const Paths& p, const Options& o, bool big) {
  qx::ComValTp18& val = run.val;
  val.ltp18 = true;
  val.conv = big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN";
  val.four = o.four, val.stru = o.stru, val.wave = o.wave, val.ampl = o.ampl, val.spec = o.spec, val.maxr = o.maxr;
  int st = run.ch.open_text_write(qx::unit::lst, p.at(qx::unit::lst));
  if (!tp18.empty()) st |= run.ch.open_binary_read(qx::unit::tp18, tp18, qx::ByteOrder::little);
  for (int u : {qx::unit::sv18, qx::unit::sh18})
    st |= run.ch.open_binary_write(u, p.at(u), big ? qx::ByteOrder::big : qx::ByteOrder::little);
  for (int u : {qx::unit::txt18, qx::unit::svt18, qx::unit::sht18})
    if (o.sum() > 0 || tp18.empty()) st |= run.ch.open_text_write(u, p.at(u));
  EXPECT_EQ(st, 0);
  int ier = 0;
  tp18.empty() ? qx::w_qxin(run, "TP18", ier) : qx::cnvt_tp18(run, ier);
  run.ch.close_all();
  return ier;
}

inline Conversion convert(const ScratchDir& dir, const std::string& tp18, const Options& o, bool big) {
  Conversion c;
  // Files are replaced only when written to: an earlier call's must go.
  Paths p = output_paths(dir);
  for (auto& [u, path] : p) std::filesystem::remove(path += ".prefix");
  qx::Run scratch;
  EXPECT_EQ(convert_in(scratch, "", p, o, big), 0);
  c.sv_prefix = qxtest::read_file(p[qx::unit::sv18]), c.sh_prefix = qxtest::read_file(p[qx::unit::sh18]);
  c.svt_prefix = qxtest::read_file(p[qx::unit::svt18]), c.sht_prefix = qxtest::read_file(p[qx::unit::sht18]);

  p = output_paths(dir);
  for (const auto& [u, path] : p) std::filesystem::remove(path);
  qx::Run run;
  c.ier = convert_in(run, tp18, p, o, big);
  c.cause = run.err.cause;
  auto read = [&](int u) {
    return o.sum() > 0 || u == qx::unit::sv18 || u == qx::unit::sh18 ? qxtest::read_file(p.at(u)) : "";
  };
  c.sv = read(qx::unit::sv18), c.sh = read(qx::unit::sh18), c.list = qxtest::read_file(p.at(qx::unit::lst));
  c.svt = read(qx::unit::svt18), c.sht = read(qx::unit::sht18), c.dump = read(qx::unit::txt18);
  return c;
}

// A new file rather than one emptied and written again, which the file
// system may flush to the disk at its close.
inline std::string write_input(const ScratchDir& dir, const std::string& bytes, const std::string& name = "in.TP18") {
  std::filesystem::remove(dir.file(name));
  qxtest::write_file(dir.file(name), bytes);
  return dir.file(name);
}

// Compares two files line by line (a binary file by its bytes up to each
// newline byte), naming the first difference.
inline void expect_same(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) return;
  const auto a = qxtest::split_lines(actual), e = qxtest::split_lines(expected);
  std::size_t i = 0;
  while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
  ADD_FAILURE() << what << ": " << actual.size() << " bytes, expected " << expected.size() << "; first different line "
                << i + 1 << " of " << a.size() << " (expected " << e.size() << ")\n  got:      ["
                << (i < a.size() ? a[i] : "<none>") << "]\n  expected: [" << (i < e.size() ? e[i] : "<none>") << "]";
}

// Checks every output of a conversion against the model of the input.
inline tp18model::Expected expect_model(const Conversion& c, const std::string& input, const Options& o, bool big,
                                        const std::string& what) {
  const tp18model::Expected e = tp18model::convert(tp18model::parse_records(input), o);
  EXPECT_EQ(c.ier, e.ier) << what;
  expect_same(c.sv, c.sv_prefix + serialize(e.sv, big), what + " SV");
  expect_same(c.sh, c.sh_prefix + serialize(e.sh, big), what + " SH");
  expect_same(c.list, e.list, what + " list");
  if (o.sum() > 0) {
    expect_same(c.svt, c.svt_prefix + e.svt, what + " SV text");
    expect_same(c.sht, c.sht_prefix + e.sht, what + " SH text");
    expect_same(c.dump, e.dump, what + " maxima dump");
  }
  return e;
}

// Converts `bytes` and checks the outputs against the model.
inline tp18model::Expected check(const ScratchDir& dir, const std::string& bytes, const Options& o, bool big,
                                 const std::string& what) {
  return expect_model(convert(dir, write_input(dir, bytes), o, big), bytes, o, big, what);
}

inline std::string generate(const ScratchDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {QXGEN_PATH, "--out", dir.file("gen"), "--only-tp18"});
  const auto r = qxtest::run_program(args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return dir.file("gen.TP18");
}

}  // namespace tp18test
