// Differential test of the layout engine against gfortran's runtime: the same
// values go through the same layouts in a generated Fortran program and in
// the engine, and the texts must agree byte for byte; the same fields are
// read by both, and values (bit for bit) and failures must agree.
//
// Values reach Fortran as raw bytes through a stream file, never as decimal
// text. gfortran must be installed: without it the test fails.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/layout.hpp"
#include "support/test_support.hpp"

namespace {

using qx::Layout;

// ---------------------------------------------------------------- values

struct Pools {
  std::vector<double> r8;
  std::vector<float> r4;
  std::vector<std::int32_t> i4;
};

double from_text(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

Pools make_pools() {
  std::mt19937_64 rng(20240611);
  Pools p;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Nasty doubles: zeros, extremes, infinities, values that overflow the
  // fields, and values at or next to the rounding boundaries of the layouts.
  for (double v : {inf, -inf, nan, -nan, 0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 1.5, 2.5, 0.125, 0.375, 0.05, -0.04, 0.4, -0.4, 9.5, 99999.5,
                   9.999995, 9.999985, 0.000005, 0.00005, 1.000005, 1.234565, 2.000005, 123456.5, 1234565.0,
                   1234575.0, 999999.5, 9999995.0, 0.0004, -0.0004, 0.0015, 0.0025, 1e100, -1e100, 1e-100,
                   1e-99, 9.99995e99, 9.99995e-100, 1e-300, 1e300, 1e308, 1e-308, 1e20, -1e20, 1e15, 1e16,
                   12345678901234567.0, DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 4.9e-324, 2.2250738585072009e-308,
                   123.456, -123.456, 3.14159265358979, 1e5, 1e6, 99999.95, 0.99999995,
                   9.9999995, 1.0 / 3, 2.0 / 3, 1e-5, 1e-6, 1e-7})
    p.r8.push_back(v);
  // Exact binary ties for F (n/32 has its fifth decimal 5 when n is odd) and
  // the doubles nearest to decimal ties at the sixth significant digit.
  for (int i = 0; i < 200; ++i) p.r8.push_back(static_cast<double>(static_cast<std::int64_t>(rng() % 2000000) - 1000000) / 32);
  for (int i = 0; i < 400; ++i) {
    std::string t = std::to_string(100000 + rng() % 900000) + "5e" + std::to_string(static_cast<int>(rng() % 80) - 45);
    p.r8.push_back((rng() & 1 ? -1 : 1) * from_text(t));
  }
  // Random magnitudes over the whole range, and random bit patterns.
  std::uniform_real_distribution<double> unit(1.0, 10.0);
  for (int i = 0; i < 1500; ++i) {
    const int e = static_cast<int>(rng() % 60) - 30;
    p.r8.push_back((rng() & 1 ? -1 : 1) * unit(rng) * std::pow(10.0, e));
  }
  for (int i = 0; i < 600; ++i) p.r8.push_back(std::bit_cast<double>(rng()));

  // Floats: the same kinds of values, and the float nearest each decimal tie.
  for (float v : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                  std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f, 1.0f, 1.1f, -1.1f, 0.5f, 1.5f, 2.5f, 1e-40f,
                  1.4e-45f, FLT_MIN, FLT_MAX, -FLT_MAX, 9.999995f, 1.000005f, 99999.5f, 0.000005f, 1e10f,
                  1e-10f, 16777216.0f, 16777215.0f, 1234565.0f, 1234575.0f, 3.4e38f, 1.5f})
    p.r4.push_back(v);
  for (int i = 0; i < 400; ++i) {
    std::string t = std::to_string(100000 + rng() % 900000) + "5e" + std::to_string(static_cast<int>(rng() % 60) - 30);
    float f = 0;
    std::from_chars(t.data(), t.data() + t.size(), f);
    p.r4.push_back(f);
  }
  for (int i = 0; i < 1500; ++i) {
    const int e = static_cast<int>(rng() % 50) - 25;
    p.r4.push_back(static_cast<float>((rng() & 1 ? -1 : 1) * unit(rng) * std::pow(10.0, e)));
  }
  for (int i = 0; i < 600; ++i) p.r4.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));

  for (std::int32_t v : {0, 1, -1, INT_MAX, INT_MIN, INT_MIN + 1, 99999999, 100000000, -9999999, -10000000, 9999999,
                         999999, -999999, 1000000, 1234567, 12345678, 123456789, 9999, -9999, 99999, -99999, 999, -99})
    p.i4.push_back(v);
  for (int i = 0; i < 1500; ++i) p.i4.push_back(static_cast<std::int32_t>(rng()));
  for (int i = 0; i < 1500; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 9);
    std::int64_t m = 1;
    for (int d = 0; d < digits; ++d) m *= 10;
    p.i4.push_back(static_cast<std::int32_t>(static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(m)) *
                                             (rng() & 1 ? -1 : 1)));
  }
  return p;
}

// ----------------------------------------------------------- output cases

enum class Kind { i4, r4, r8, text };
struct Arg {
  Kind kind;
  int count = 1;                   // numeric elements per row
  std::vector<std::string> texts;  // text elements (all of one length)
};
struct OutCase {
  std::string layout;
  std::vector<Arg> args;
  int rows = 1;
};

Arg i4(int n = 1) { return {Kind::i4, n, {}}; }
Arg r4(int n = 1) { return {Kind::r4, n, {}}; }
Arg r8(int n = 1) { return {Kind::r8, n, {}}; }
Arg txt(std::vector<std::string> t) { return {Kind::text, 0, std::move(t)}; }

std::vector<OutCase> output_cases(const Pools& p) {
  const int nd = static_cast<int>(p.r8.size()), nf = static_cast<int>(p.r4.size()),
            ni = static_cast<int>(p.i4.size());
  std::vector<OutCase> c;
  // The layouts of the converter, with the items they are given.
  c.push_back({"(a4,6i8,1PE15.5,i8)", {txt({"WAVE"}), i4(6), r8(), i4()}, 300});
  c.push_back({"(I8,1P5E15.5)", {i4(), r8(5)}, 300});
  c.push_back({"(1P,6E15.5)", {r4(nf)}, 1});
  c.push_back({"(1P,6E15.5)", {r8(nd)}, 1});
  c.push_back({"(A4,6I8,1P,E15.5,I8)", {txt({"MAXR"}), i4(6), r8(), i4()}, 200});
  c.push_back({"(A4,6I8,1P,E15.5,I8)", {txt({"MAXR"}), i4(3)}, 50});
  c.push_back({"(I8,1P,5E15.5,I8)", {i4(), r8(5)}, 300});
  c.push_back({"(8X,11I8)", {i4(ni)}, 1});
  c.push_back({"(8X,11I8)", {}, 3});
  c.push_back({"(I8,2F16.0)", {i4(), r8(2)}, 300});
  c.push_back({"(I8,16X,F16.0)", {i4(), r4()}, 300});
  c.push_back({"(A8,18A4)", {txt({"TITLE   "}), txt({"A sh", "ort ", "titl", "e   ", "    ", "    ", "    ", "    ",
                                                    "    ", "    ", "    ", "    ", "    ", "    ", "    ", "  V4",
                                                    "01  ", "V401"})},
               1});
  c.push_back({"(2X,A6,\" =\",I8)", {txt({"NDPT  "}), i4(), txt({"NSOLEL"}), i4(), txt({"NBEAEL"}), i4()}, 20});
  c.push_back({"(I8,2F16.4)", {i4(), r8(2)}, 500});
  c.push_back({"(I8,2F16.4)", {i4(), r4(2)}, 500});
  c.push_back({"(1P,8E10.3)", {r4(nf)}, 1});
  c.push_back({"(1P,18E12.4)", {r4(nf)}, 1});
  c.push_back({"(15I7)", {i4(ni)}, 1});
  c.push_back({"(A,I7,A)", {txt({"na="}), i4(), txt({", ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)"})}, 100});
  c.push_back({"(5X,A44,56X,\"PAGE\",I4)", {txt({"Zelvorith (V1.5)  for Quarndimex"}), i4()}, 100});
  c.push_back({"(4(/),2(15X,66(\"*\"),/),2(15X,\"**\",62(\" \"),\"**\",/),15X,\"**\",\"  PROGRAM NAME            \","
               "\"Zelvorith for Quarndimex            \",\"**\",/,15X,\"**\",62(\" \"),\"**\")",
               {},
               1});
  c.push_back({"(20X,A,A,I5,A4)", {txt({" *** FILENAME = qxin"}), txt({"  *** IOSTAT = "}), i4(), txt({" *** "})}, 200});
  c.push_back({"(20X,A,I2,A,I5,A4)",
               {txt({" *** FILENAME = TP18(SV or SH)"}), i4(), txt({"REC1,2:  *** IOSTAT = "}), i4(), txt({" *** "})},
               200});
  c.push_back({"(/,/,/,A,/)", {txt({"START (CONVERT TP18)"})}, 2});
  c.push_back({"(/,A)", {txt({"END (CONVERT TP18)"})}, 2});
  c.push_back({"(/,A,\" (FILE-NAME:\",A,\")\",/)", {txt({"READ INPUT DATA"}), txt({"case1.qxin"})}, 1});
  c.push_back({"(\" (V\",F3.1,\") \")", {r4()}, 300});
  c.push_back({"(15X,\"**\",\"  VERSION                \",F4.1,\"  \",A12,\"                   \",\"**\")",
               {r4(), txt({"(2015/04/10)"})},
               100});
  c.push_back({"(A16,I5,A)", {txt({"  **** ERROR NO."}), i4(), txt({" **** TP18 FILE OPEN ERROR ****"})}, 100});
  c.push_back({"(A8,I8)", {txt({"NODE    "}), i4()}, 100});
  c.push_back({"(A8,6I8)", {txt({"BOUND   "}), i4(6)}, 100});
  c.push_back({"(5I8)", {i4(5)}, 100});
  c.push_back({"(I8,1P,4E15.5)", {i4(), r4(4)}, 200});
  c.push_back({"(2I8,1P,4E15.5)", {i4(2), r4(4)}, 200});
  c.push_back({"(I8,1P,E15.5)", {i4(), r4()}, 200});
  c.push_back({"(20X,A,A,A,I5,A4)", {txt({"*** FILE NAME = "}), txt({"case1.TP18"}), txt({"  IOSTAT = "}), i4(), txt({" *** "})}, 50});
  c.push_back({"(A23)", {txt({"  **** ERROR NO.UNKNOWN"})}, 1});
  c.push_back({"(A58)", {txt({"  **** ERROR NO. 1000 **** INPUT DATA FILE OPEN ERROR ****"})}, 1});
  c.push_back({"(20X,A13,I5,A4)", {txt({"*** IOSTAT = "}), i4(), txt({" *** "})}, 100});
  c.push_back({"(A8,11I8)", {txt({"BDFEML  "}), i4()}, 100});
  c.push_back({"(6I8)", {i4(6)}, 100});
  c.push_back({"(I8)", {i4()}, 100});
  c.push_back({"(I8,1P,3E15.5)", {i4(), r4(3)}, 200});
  c.push_back({"(I8,1P,2E15.5)", {i4(), r4(2)}, 200});
  c.push_back({"(/,/,/)", {}, 1});
  c.push_back({"(A)", {txt({"NORMAL END"})}, 1});
  c.push_back({"(2(15X,\"**\",62(\" \"),\"**\",/),2(15X,66(\"*\"),/),/)", {}, 1});
  c.push_back({"(15X,\"**\",62(\" \"),\"**\",/,15X,\"**\",\"  DEVELOPED BY            \","
               "\"KALVERNOST                          \",\"**\")",
               {},
               1});
  // Text editing: short, long and exact texts through Aw and A.
  c.push_back({"(A1,'|',A3,'|',A4,'|',A6,'|',A,'|',A)", {txt({"abcd"}), txt({"abcd"}), txt({"abcd"}), txt({"abcd"}),
                                                          txt({"ab  "}), txt({""})},
               1});
  c.push_back({"('x',3X,I3,2X)", {i4()}, 50});
  c.push_back({"(I3,2('<',I2,'>'),'end')", {i4(ni)}, 1});
  c.push_back({"(2X,'it''s',\"say \"\"hi\"\"\",I4)", {i4()}, 5});
  // Every width and scale for the editors, with both real kinds. (Left out:
  // F with a scale factor of -20 or below, where gfortran prints 0.1 for 1.0
  // through -20PF14.1; the engine rounds 1.0E-20 exactly, to 0.0.)
  for (const char* f : {"(F5.1)", "(F3.1)", "(F2.1)", "(F1.0)", "(F2.0)", "(F3.0)", "(F8.3)", "(F10.0)", "(F12.6)",
                        "(F20.10)", "(F40.20)", "(F16.0)", "(F16.4)", "(F4.1)", "(E10.3)", "(E12.4)", "(E9.4)",
                        "(1PE8.1)", "(1PE9.2)", "(1PE10.3)", "(1PE12.4)", "(1PE15.5)", "(1PE15.7)", "(1PE25.17)",
                        "(1PE30.20)", "(2PE14.4)", "(-1PE13.4)", "(3PE14.4)", "(1PF12.3)", "(-2PF12.3)",
                        "(-5PF12.2)", "(2PF12.1)", "(1PE11.5)", "(1PE10.5)", "(1PE7.0)", "(5PE12.4)",
                        "(1PE200.150)", "(F400.330)", "(E40.30)"}) {
    c.push_back({f, {r8(nd)}, 1});
    c.push_back({f, {r4(nf)}, 1});
  }
  // NaN and the infinities (first in the pools) in every narrow width.
  for (int w = 1; w <= 10; ++w) {
    c.push_back({"(1PE" + std::to_string(w) + ".0)", {r8(16)}, 1});
    c.push_back({"(F" + std::to_string(w) + ".1)", {r8(16)}, 1});
    c.push_back({"(F" + std::to_string(w) + ".0)", {r4(16)}, 1});
  }
  for (const char* f : {"(I1)", "(I2)", "(I3)", "(I8)", "(I10)", "(I11)", "(I12)"}) c.push_back({f, {i4(ni)}, 1});
  return c;
}

// The Fortran expression for the elements of one argument in row k.
std::string fortran_item(const Arg& a, int offset, int per_row) {
  static const char* names[] = {"iv", "fv", "dv"};
  const std::string base = "(k-1)*" + std::to_string(per_row) + "+" + std::to_string(offset);
  return std::string(names[static_cast<int>(a.kind)]) + "(" + base + "+1:" + base + "+" + std::to_string(a.count) + ")";
}

std::string fortran_text(const Arg& a) {
  std::string s = "[character(len=" + std::to_string(a.texts[0].size()) + ") :: ";
  for (std::size_t i = 0; i < a.texts.size(); ++i) {
    std::string t = a.texts[i];
    std::string q;
    for (char ch : t) q += ch == '\'' ? std::string("''") : std::string(1, ch);
    s += (i ? ", &\n      '" : "'") + q + "'";
  }
  return s + "]";
}

// Items of row k (0-based) of a case, as the engine takes them. `texts`
// holds the joined text elements; the caller reserves room for one per
// argument, so that the items' pointers stay valid.
std::vector<qx::OutItem> engine_items(const OutCase& c, const Pools& p, int k, std::vector<std::string>& texts) {
  int per[3] = {0, 0, 0};
  for (const Arg& a : c.args)
    if (a.kind != Kind::text) per[static_cast<int>(a.kind)] += a.count;
  int off[3] = {0, 0, 0};
  std::vector<qx::OutItem> items;
  for (const Arg& a : c.args) {
    if (a.kind == Kind::text) {
      std::string joined;
      for (const auto& t : a.texts) joined += t;
      texts.push_back(joined);
      const std::size_t len = a.texts[0].size();
      items.push_back(len ? qx::out_texts(texts.back(), len) : qx::out_text(texts.back()));
      continue;
    }
    const int i = static_cast<int>(a.kind);
    const auto first = static_cast<std::size_t>(k * per[i] + off[i]);
    const auto n = static_cast<std::size_t>(a.count);
    off[i] += a.count;
    if (a.kind == Kind::i4) items.push_back(qx::out(std::span(p.i4).subspan(first, n)));
    if (a.kind == Kind::r4) items.push_back(qx::out(std::span(p.r4).subspan(first, n)));
    if (a.kind == Kind::r8) items.push_back(qx::out(std::span(p.r8).subspan(first, n)));
  }
  return items;
}

std::string fortran_output_program(const std::vector<OutCase>& cases, const Pools& p) {
  std::ostringstream f;
  f << "program ref\n  implicit none\n"
    << "  real(8) :: dv(" << p.r8.size() << ")\n  real(4) :: fv(" << p.r4.size() << ")\n  integer(4) :: iv("
    << p.i4.size() << ")\n"
    << "  character(len=1000) :: fmt(" << cases.size() << ")\n  integer :: u, o, k, j\n"
    << "  open(newunit=u, file='vals.bin', access='stream', form='unformatted', status='old')\n"
    << "  read(u) dv, fv, iv\n  close(u)\n"
    << "  open(newunit=u, file='layouts.txt', status='old')\n"
    << "  do j = 1, " << cases.size() << "\n    read(u, '(A)') fmt(j)\n  end do\n  close(u)\n"
    << "  open(newunit=o, file='out.txt', status='replace')\n";
  for (std::size_t ci = 0; ci < cases.size(); ++ci) {
    const OutCase& c = cases[ci];
    int per[3] = {0, 0, 0};
    for (const Arg& a : c.args)
      if (a.kind != Kind::text) per[static_cast<int>(a.kind)] += a.count;
    f << "  write(o, '(A,I0)') '#case ', " << ci + 1 << "\n";
    f << "  do k = 1, " << c.rows << "\n    write(o, fmt(" << ci + 1 << "))";
    int off[3] = {0, 0, 0};
    bool first = true;
    for (const Arg& a : c.args) {
      f << (first ? " &\n      " : ", &\n      ");
      first = false;
      if (a.kind == Kind::text) {
        f << fortran_text(a);
      } else {
        const int i = static_cast<int>(a.kind);
        f << fortran_item(a, off[i], per[i]);
        off[i] += a.count;
      }
    }
    f << "\n  end do\n";
  }
  f << "  close(o)\nend program\n";
  return f.str();
}

std::string raw_bytes(const Pools& p) {
  std::string s;
  auto put = [&](const void* d, std::size_t n) { s.append(static_cast<const char*>(d), n); };
  put(p.r8.data(), p.r8.size() * 8);
  put(p.r4.data(), p.r4.size() * 4);
  put(p.i4.data(), p.i4.size() * 4);
  return s;
}

void compare_texts(const std::string& expected, const std::string& actual, const std::string& what) {
  const auto e = qxtest::split_lines(expected), a = qxtest::split_lines(actual);
  std::string current = "?";
  int shown = 0;
  for (std::size_t i = 0; i < std::max(e.size(), a.size()) && shown < 20; ++i) {
    const std::string el = i < e.size() ? e[i] : "<missing>", al = i < a.size() ? a[i] : "<missing>";
    if (el.rfind("#case", 0) == 0) current = el;
    if (el != al) {
      ADD_FAILURE() << what << " " << current << " line " << i + 1 << "\n gfortran: [" << el << "]\n engine:   [" << al
                    << "]";
      ++shown;
    }
  }
}

TEST(LayoutAgainstGfortran, OutputMatchesByteForByte) {
  const Pools p = make_pools();
  const auto cases = output_cases(p);
  qxtest::TempDir dir;
  std::string layouts;
  for (const auto& c : cases) layouts += c.layout + "\n";
  qxtest::write_file(dir.file("layouts.txt"), layouts);
  qxtest::write_file(dir.file("vals.bin"), raw_bytes(p));
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(fortran_output_program(cases, p), dir.file("ref"), log)) << log;
  const auto run = qxtest::run_program({dir.file("ref")}, {}, dir.path());
  ASSERT_EQ(run.exit_status, 0) << run.err;

  std::string mine;
  for (std::size_t ci = 0; ci < cases.size(); ++ci) {
    const OutCase& c = cases[ci];
    const Layout layout(c.layout);
    ASSERT_TRUE(layout.ok()) << c.layout;
    mine += "#case " + std::to_string(ci + 1) + "\n";
    for (int k = 0; k < c.rows; ++k) {
      std::vector<std::string> texts;
      texts.reserve(c.args.size());
      const auto items = engine_items(c, p, k, texts);
      ASSERT_EQ(qx::write_layout(layout, items, mine), 0) << c.layout;
    }
  }
  compare_texts(qxtest::read_file(dir.file("out.txt")), mine, "output");
}

// ------------------------------------------------------------ input cases

class Lines final : public qx::LineSource {
 public:
  explicit Lines(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  int next_line(std::string_view& line) override {
    if (next_ >= lines_.size()) return -1;
    line = lines_[next_++];
    return 0;
  }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

// gfortran accumulates an exponent in a 32-bit int without an overflow
// check, so a result for an exponent of ten or more digits is an accident
// of the compiler; such fields are left out. (The engine rejects them as
// out of range.)
bool has_endless_exponent(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (std::string_view("+-eEdDqQ").find(s[i]) == std::string_view::npos) continue;
    int digits = 0;
    for (std::size_t j = i + 1; j < s.size(); ++j) {
      if (s[j] == ' ' || ((s[j] == '+' || s[j] == '-') && digits == 0)) continue;
      if (s[j] < '0' || s[j] > '9') break;
      ++digits;
    }
    if (digits >= 10) return true;
  }
  return false;
}

// Random texts from an alphabet that reaches every path of the field
// readers, and shaped numbers (digits, point, exponent, blanks, signs).
std::vector<std::string> field_texts(std::size_t width, bool real, std::mt19937_64& rng) {
  std::vector<std::string> f = {"", " ", "0", "-0", "+0", "+", "-", " +", "+ ", "- 5", "1 2", "  12,3", ",", ",5",
                                "1,", "12345678", "-1234567", "2147483647", "-2147483648", "2147483648",
                                "99999999", "-99999999", "1.5", "1.", ".", ".5", "e5", "E5", "1e5", "1.5+3", "1.5-3",
                                "1.5e", "1.5e+", "1.5e+ ", "1.5E-", "1.5d3", "1.5D+3", "1.5q3", "1.5Q-2", "1.5 e 3",
                                "1.5x", "x", "\t1", "1\t", "--1", "+-1", "1..5", "1.5.", "inf", "Inf", "-inf",
                                "infinity", "-Infinity", "INFINITY", "infinit", "infx", "inf x", "in f", "nan", "NaN",
                                "-nan", "nan()", "nan(abc)", "nan(a b)", "nan (x)", "nan)", "nan((x))", "nan(x)y",
                                "inf()", "n", "na", "i", "1e400", "-1e400", "1e-400", "1e39", "-1e39", "1e-46",
                                "3.4028235e38", "3.4028236e38", "1.1754943e-38", "1.4e-45", "7e-46", "4.9e-324",
                                "2.4e-324", "1.7976931348623157e308", "1.7976931348623159e308", "16777217",
                                "9007199254740993", "0.1", "0.3", "1e9999", "1e10000", "1e-9999", "0e99999",
                                "123456789012345678901234", "0.000000000000001", "12.5", "125", "-.5e-3", "5.e2",
                                "1+", "1-", "1e-", "+e5", "-.e1", "e", ".e", "1.5e3 7", "1.5 3", "1 . 5"};
  std::vector<std::string> out;
  for (auto& s : f)
    if (s.size() <= width) out.push_back(s);
  const std::string alphabet = real ? " +-.0123456789eEdDqQ,inafINF()x" : " +-0123456789,.e";
  for (int i = 0; i < 3000; ++i) {
    std::string s(rng() % (width + 1), ' ');
    for (char& ch : s) ch = alphabet[rng() % alphabet.size()];
    out.push_back(s);
  }
  for (int i = 0; i < 3000; ++i) {
    std::string s;
    if (rng() % 4 == 0) s += rng() & 1 ? "-" : "+";
    const int digits = static_cast<int>(rng() % (real ? 18 : 11));
    for (int d = 0; d < digits; ++d) s += static_cast<char>('0' + rng() % 10);
    if (real && rng() % 2) s.insert(rng() % (s.size() + 1), ".");
    if (real && rng() % 3 == 0) {
      static const char* marks[] = {"e", "E", "d", "", "e+", "e-", "D-", "q"};
      std::string m = marks[rng() % 8];
      if (m.empty()) m = rng() & 1 ? "+" : "-";
      s += m + std::to_string(rng() % (rng() & 1 ? 40 : 330));
    }
    if (rng() % 5 == 0 && !s.empty()) s.insert(rng() % s.size(), " ");
    if (s.size() > width) s.resize(width);
    // Right-justified, left-justified or cut off by the end of the line.
    if (rng() % 3 == 0) s = std::string(width - s.size(), ' ') + s;
    else if (rng() % 2 == 0) s += std::string(width - s.size(), ' ');
    out.push_back(s);
  }
  std::erase_if(out, [](const std::string& s) { return has_endless_exponent(s); });
  return out;
}

std::string hex(std::uint64_t v, int digits) {
  char buf[17];
  for (int i = digits - 1; i >= 0; --i, v >>= 4) buf[i] = "0123456789ABCDEF"[v & 15];
  return std::string(buf, static_cast<std::size_t>(digits));
}

// One result line: "ok value-bits" or "bad" for a failed read.
std::string result_line(int status, std::uint64_t bits, int digits) {
  return status ? "bad" : "ok " + hex(bits, digits);
}

TEST(LayoutAgainstGfortran, FieldsReadLikeGfortran) {
  std::mt19937_64 rng(77);
  const auto ints = field_texts(8, false, rng);
  const auto reals = field_texts(16, true, rng);
  // Whole lines of the node layout, commas and short lines included.
  std::vector<std::string> nodes;
  for (int i = 0; i < 1500; ++i) {
    std::string line;
    line += ints[rng() % ints.size()];
    line.resize(8, ' ');
    line += reals[rng() % reals.size()];
    if (rng() % 2) line.resize(24, ' ');
    line += reals[rng() % reals.size()];
    if (!has_endless_exponent(line)) nodes.push_back(line);
  }
  qxtest::TempDir dir;
  auto join = [](const std::vector<std::string>& v) {
    std::string s;
    for (auto& l : v) s += l + "\n";
    return s;
  };
  qxtest::write_file(dir.file("ints.txt"), join(ints));
  qxtest::write_file(dir.file("reals.txt"), join(reals));
  qxtest::write_file(dir.file("nodes.txt"), join(nodes));

  // Each field is read from the file and from a 40-character text variable.
  const std::string program = R"(program ref
  implicit none
  integer :: u, o, ios, ios2, i, n
  real(4) :: f, g
  real(8) :: d
  character(len=40) :: buf
  open(newunit=o, file='out.txt', status='replace')
  open(newunit=u, file='ints.txt', status='old')
  do
    read(u, '(A)', iostat=ios) buf
    if (ios < 0) exit
    backspace(u)
    i = 0
    read(u, '(I8)', iostat=ios) i
    call put_i(ios, i)
    i = 0
    read(buf, '(I8)', iostat=ios) i
    call put_i(ios, i)
  end do
  close(u)
  open(newunit=u, file='reals.txt', status='old')
  do
    read(u, '(A)', iostat=ios) buf
    if (ios < 0) exit
    backspace(u)
    read(u, '(F16.0)', iostat=ios) f
    call put_f(ios, f)
    backspace(u)
    read(u, '(F16.0)', iostat=ios) d
    call put_d(ios, d)
    read(buf, '(F16.0)', iostat=ios) f
    call put_f(ios, f)
    read(buf, '(F16.0)', iostat=ios) d
    call put_d(ios, d)
    read(buf, '(F16.3)', iostat=ios) d
    call put_d(ios, d)
    read(buf, '(1P,E16.2)', iostat=ios) d
    call put_d(ios, d)
  end do
  close(u)
  open(newunit=u, file='nodes.txt', status='old')
  do
    read(u, '(A)', iostat=ios) buf
    if (ios < 0) exit
    backspace(u)
    read(u, '(I8,2F16.0)', iostat=ios) n, f, g
    ios2 = ios
    if (ios2 /= 0) then
      write(o, '(A)') 'bad'
    else
      write(o, '(A,Z8.8,1X,Z8.8,1X,Z8.8)') 'ok ', n, transfer(f, 0_4), transfer(g, 0_4)
    end if
  end do
  close(u)
contains
  subroutine put_i(st, v)
    integer, intent(in) :: st, v
    if (st /= 0) then
      write(o, '(A)') 'bad'
    else
      write(o, '(A,Z8.8)') 'ok ', v
    end if
  end subroutine
  subroutine put_f(st, v)
    integer, intent(in) :: st
    real(4), intent(in) :: v
    if (st /= 0) then
      write(o, '(A)') 'bad'
    else
      write(o, '(A,Z8.8)') 'ok ', transfer(v, 0_4)
    end if
  end subroutine
  subroutine put_d(st, v)
    integer, intent(in) :: st
    real(8), intent(in) :: v
    if (st /= 0) then
      write(o, '(A)') 'bad'
    else
      write(o, '(A,Z16.16)') 'ok ', transfer(v, 0_8)
    end if
  end subroutine
end program
)";
  std::string log;
  ASSERT_TRUE(qxtest::compile_fortran(program, dir.file("ref"), log)) << log;
  const auto run = qxtest::run_program({dir.file("ref")}, {}, dir.path());
  ASSERT_EQ(run.exit_status, 0) << run.err;

  static const Layout i8("(I8)"), f16("(F16.0)"), f16_3("(F16.3)"), e16("(1P,E16.2)"), node("(I8,2F16.0)");
  std::vector<std::string> mine;
  auto var = [](const std::string& s) { return (s + std::string(40, ' ')).substr(0, 40); };
  for (const auto& s : ints) {
    std::int32_t v = 0;
    Lines src({s});
    int st = qx::read_layout(i8, {qx::in(v)}, src);
    mine.push_back(result_line(st, static_cast<std::uint32_t>(v), 8));
    v = 0;
    st = qx::read_internal(i8, {qx::in(v)}, var(s));
    mine.push_back(result_line(st, static_cast<std::uint32_t>(v), 8));
  }
  for (const auto& s : reals) {
    float f = 0;
    double d = 0;
    Lines a({s}), b({s});
    int st = qx::read_layout(f16, {qx::in(f)}, a);
    mine.push_back(result_line(st, std::bit_cast<std::uint32_t>(f), 8));
    st = qx::read_layout(f16, {qx::in(d)}, b);
    mine.push_back(result_line(st, std::bit_cast<std::uint64_t>(d), 16));
    st = qx::read_internal(f16, {qx::in(f)}, var(s));
    mine.push_back(result_line(st, std::bit_cast<std::uint32_t>(f), 8));
    st = qx::read_internal(f16, {qx::in(d)}, var(s));
    mine.push_back(result_line(st, std::bit_cast<std::uint64_t>(d), 16));
    st = qx::read_internal(f16_3, {qx::in(d)}, var(s));
    mine.push_back(result_line(st, std::bit_cast<std::uint64_t>(d), 16));
    st = qx::read_internal(e16, {qx::in(d)}, var(s));
    mine.push_back(result_line(st, std::bit_cast<std::uint64_t>(d), 16));
  }
  for (const auto& s : nodes) {
    std::int32_t n = 0;
    float f = 0, g = 0;
    Lines src({s});
    const int st = qx::read_layout(node, {qx::in(n), qx::in(f), qx::in(g)}, src);
    mine.push_back(st ? "bad"
                      : "ok " + hex(static_cast<std::uint32_t>(n), 8) + " " + hex(std::bit_cast<std::uint32_t>(f), 8) +
                            " " + hex(std::bit_cast<std::uint32_t>(g), 8));
  }
  // The inputs in the same order, to name a differing line.
  std::vector<std::string> what;
  for (const auto& s : ints)
    for (const char* how : {"I8 file", "I8 variable"}) what.push_back(std::string(how) + " [" + s + "]");
  for (const auto& s : reals)
    for (const char* how : {"F16.0 real4 file", "F16.0 real8 file", "F16.0 real4 variable", "F16.0 real8 variable",
                            "F16.3 real8 variable", "1PE16.2 real8 variable"})
      what.push_back(std::string(how) + " [" + s + "]");
  for (const auto& s : nodes) what.push_back("(I8,2F16.0) [" + s + "]");

  const auto ref = qxtest::split_lines(qxtest::read_file(dir.file("out.txt")));
  ASSERT_EQ(ref.size(), mine.size());
  int shown = 0;
  for (std::size_t i = 0; i < ref.size() && shown < 25; ++i) {
    if (ref[i] != mine[i]) {
      ADD_FAILURE() << what[i] << "\n gfortran: " << ref[i] << "\n engine:   " << mine[i];
      ++shown;
    }
  }
}

}  // namespace
