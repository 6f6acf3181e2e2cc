// Corners of the layout engine: what a layout text may hold, the rules of
// output (stop, reversion, X, /, literals, groups) and input (fields, lines,
// text fields, statuses). Value formatting at large is checked against
// gfortran in layout_gfortran_test.cpp.
#include "io/layout.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "io/status.hpp"

namespace {

using qx::in;
using qx::Layout;
using qx::out;
using qx::out_text;

std::string write(const char* text, std::initializer_list<qx::OutItem> items, int expected_status = 0) {
  const Layout layout(text);
  EXPECT_TRUE(layout.ok()) << text;
  std::string s;
  EXPECT_EQ(qx::write_layout(layout, items, s), expected_status) << text;
  return s;
}

class Lines final : public qx::LineSource {
 public:
  explicit Lines(std::vector<std::string> lines, int end_status = -1)
      : lines_(std::move(lines)), end_status_(end_status) {}
  int next_line(std::string_view& line) override {
    if (next_ >= lines_.size()) return end_status_;
    line = lines_[next_++];
    return 0;
  }
  std::size_t consumed() const { return next_; }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  int end_status_;
};

// ------------------------------------------------------------------ parsing

TEST(LayoutText, AcceptsTheForms) {
  for (const char* t :
       {"(a4,6i8,1PE15.5,i8)", "(I8,1P5E15.5)", "(1P,6E15.5)", "(A4,6I8,1P,E15.5,I8)", "(8X,11I8)", "(A8,18A4)",
        "(2X,A6,\" =\",I8)", "(15I7)", "(5X,A44,56X,\"PAGE\",I4)", "(20X,A,I2,A,I5,A4)", "(/,/,/,A,/)", "(/,A)",
        "(\" (V\",F3.1,\") \")", "(4(/),2(15X,66(\"*\"),/),2(15X,\"**\",62(\" \"),\"**\",/))", "()", "(//)",
        "(I5/I5)", "(I5,/I5)", "(-1PE15.5)", "(1P)", "( 1 P , 5 E 15 . 5 )", "('it''s')", "(3'ab')",
        "(2(3(I1)))", "(A)", "(i8,f16.0,e15.5,a,1x)"})
    EXPECT_TRUE(Layout(t).ok()) << t;
  EXPECT_FALSE(Layout("(X)").ok());
}

TEST(LayoutText, RejectsMalformedAndOversizedTexts) {
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "(";
  deep += "I1";
  for (int i = 0; i < 40; ++i) deep += ")";
  for (const std::string& t : std::vector<std::string>{
           "", "(", ")", "I8", "(I8", "(I8))", "(I8)x", "(I8,)", "(,I8)", "(I8,,I8)", "(I8I8)", "(I0)", "(F8)",
        "(F8.)", "(E15)", "(Q5)", "(5)", "(0I8)", "(0(I8))", "(P)", "(-I8)", "(+2X)", "('abc)", "(I10001)",
        "(100001I8)", "(101P,E15.5)", "(A0)", "(E15.5E3)", "(T5,I2)", "(1P5)", "(I8 'x')", deep,
        "(100000(100000('x')))", "(1000(1000(20X)))"})
    EXPECT_FALSE(Layout(t).ok()) << t;
}

// Random texts from the letters of layouts: each either fails to parse or,
// applied to a few items, ends with a status and bounded output; none
// crashes or loops (the sanitizer build watches the memory).
TEST(LayoutText, RandomTextsParseOrFailSafely) {
  std::mt19937 rng(5);
  const std::string alphabet = "()(),,,//'\"IFEAXP.0123456789999-+ aix";
  const std::int32_t ints[3] = {1, -20, 300};
  const double reals[3] = {1.5, -0.25, 1e300};
  char text[12];
  int parsed = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string t = "(";
    const std::size_t len = rng() % 16;
    for (std::size_t k = 0; k < len; ++k) t += alphabet[rng() % alphabet.size()];
    if (rng() % 4) t += ")";
    const Layout l(t);
    std::string s;
    const int st_i = qx::write_layout(l, {out(std::span(ints))}, s);
    const int st_r = qx::write_layout(l, {out(std::span(reals))}, s);
    const int st_t = qx::write_layout(l, {out_text("text")}, s);
    if (!l.ok()) {
      ASSERT_EQ(st_i, qx::iostat::bad_layout) << t;
      continue;
    }
    ++parsed;
    for (int st : {st_i, st_r, st_t}) ASSERT_TRUE(st == 0 || st == qx::iostat::bad_layout) << t;
    ASSERT_LT(s.size(), 3u * 4 * Layout::max_cost) << t;
    Lines src({"  1.5e3, 12 abc", "xyz"});
    std::int32_t iv[2];
    double dv[2];
    const int st = qx::read_layout(l, {in(std::span(iv)), in(std::span(dv)), qx::in_text(text)}, src);
    ASSERT_TRUE(st == 0 || st == -1 || st == qx::iostat::bad_field || st == qx::iostat::bad_layout) << t;
  }
  EXPECT_GT(parsed, 100);
}

TEST(LayoutText, BuildsStepsWithRepeatsAndReversionPoint) {
  const Layout l("(a4,6i8,1PE15.5,i8)");
  ASSERT_TRUE(l.ok());
  using Op = Layout::Op;
  const auto& s = l.steps();
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].op, Op::text_edit);
  EXPECT_EQ(s[0].width, 4);
  EXPECT_EQ(s[1].op, Op::int_edit);
  EXPECT_EQ(s[1].repeat, 6);
  EXPECT_EQ(s[2].op, Op::scale);
  EXPECT_EQ(s[2].width, 1);
  EXPECT_EQ(s[3].op, Op::exp_edit);
  EXPECT_EQ(s[3].width, 15);
  EXPECT_EQ(s[3].decimals, 5);
  EXPECT_EQ(l.reversion(), 0u);
  // The last top-level group, not a nested one and not the first.
  const Layout g("(I8,2(F5.1),3(I2,(I1)),A)");
  ASSERT_TRUE(g.ok());
  EXPECT_EQ(g.steps()[g.reversion()].op, Op::group_open);
  EXPECT_EQ(g.steps()[g.reversion()].repeat, 3);
}

// ------------------------------------------------------------------- output

TEST(LayoutOutput, StopsAtTheFirstDataDescriptorWithoutAnItem) {
  // Literals and moves before that point are still carried out.
  EXPECT_EQ(write("(I3,' x',I3,' y')", {out(1)}), "  1 x\n");
  EXPECT_EQ(write("(I3,' x',I3,' y')", {out(1), out(2)}), "  1 x  2 y\n");
  const std::int32_t nc[3] = {1, 2, 3};
  EXPECT_EQ(write("(A4,6I8,1P,E15.5,I8)", {out_text("MAXR"), out(std::span(nc)), out(80)}),
            "MAXR       1       2       3      80\n");
  // At least one line, also without items.
  EXPECT_EQ(write("(8X,11I8)", {}), "\n");
  EXPECT_EQ(write("(/,/,/,A,/)", {out_text("START")}), "\n\n\nSTART\n\n");
  EXPECT_EQ(write("(4(/))", {}), "\n\n\n\n\n");
  EXPECT_EQ(write("('ab',2X,'cd')", {}), "ab  cd\n");
}

TEST(LayoutOutput, RevertsToTheLastTopLevelGroupOrTheStart) {
  std::vector<float> seven = {1, 2, 3, 4, 5, 6, 7};
  const std::string two = write("(1P,6E15.5)", {out(std::span<const float>(seven))});
  EXPECT_EQ(two,
            "    1.00000E+00    2.00000E+00    3.00000E+00    4.00000E+00    5.00000E+00    6.00000E+00\n"
            "    7.00000E+00\n");

  const std::int32_t six[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(write("(I2,2(I3))", {out(std::span(six))}), " 1  2  3\n  4  5\n  6\n");
  EXPECT_EQ(write("(2(I2,'|'))", {out(std::span(six).first(3))}), " 1| 2|\n 3|\n");
  // Eleven to a line, each line indented again.
  std::vector<std::int32_t> thirteen(13, 7);
  const std::string list = write("(8X,11I8)", {out(std::span<const std::int32_t>(thirteen))});
  EXPECT_EQ(list, std::string(8, ' ') + [] {
    std::string s;
    for (int i = 0; i < 11; ++i) s += "       7";
    return s;
  }() + "\n" + std::string(8, ' ') + "       7       7\n");
  // A layout without a group starts again from the beginning, for each pair.
  EXPECT_EQ(write("(2X,A6,\" =\",I8)", {out_text("NDPT  "), out(5), out_text("NSOLEL"), out(3)}),
            "  NDPT   =       5\n  NSOLEL =       3\n");
}

TEST(LayoutOutput, ScaleFactorStaysInForceAcrossReversion) {
  const double v[3] = {1.5, 2.5, 3.5};
  EXPECT_EQ(write("(F8.2,1P,(F8.2))", {out(std::span(v))}), "    1.50   25.00\n   35.00\n");
}

TEST(LayoutOutput, MovesLiteralsSlashesAndTexts) {
  EXPECT_EQ(write("(I1,2X,I1)", {out(1), out(2)}), "1  2\n");
  EXPECT_EQ(write("(I3,5X)", {out(1)}), "  1\n");  // a final move adds nothing
  EXPECT_EQ(write("(I1,/,I1)", {out(1), out(2)}), "1\n2\n");
  EXPECT_EQ(write("(I1,2/,I1)", {out(1), out(2)}), "1\n\n2\n");
  EXPECT_EQ(write("('it''s',\"say \"\"hi\"\"\",3'-')", {}), "it'ssay \"hi\"---\n");
  EXPECT_EQ(write("(A2,'|',A6,'|',A,'|',A4)", {out_text("abcd"), out_text("abcd"), out_text("ab  "), out_text("abcd")}),
            "ab|  abcd|ab  |abcd\n");
  EXPECT_EQ(write("(A8,3A4)", {out_text("TITLE   "), qx::out_texts("a title of 12", 4)}), "TITLE   a title of 1\n");
}

TEST(LayoutOutput, EditsNumbersAtTheirLimits) {
  EXPECT_EQ(write("(I8)", {out(123456789)}), "********\n");
  EXPECT_EQ(write("(I8,I8,I8)", {out(-1234567), out(-12345678), out(std::numeric_limits<std::int32_t>::min())}),
            "-1234567****************\n");
  EXPECT_EQ(write("(1PE15.5)", {out(0.0)}), "    0.00000E+00\n");
  EXPECT_EQ(write("(1PE15.5)", {out(-123.456)}), "   -1.23456E+02\n");
  EXPECT_EQ(write("(1PE15.5)", {out(-0.0)}), "   -0.00000E+00\n");
  EXPECT_EQ(write("(1P,2E15.5)", {out(1e100), out(1e-300)}), "    1.00000+100    1.00000-300\n");
  EXPECT_EQ(write("(1PE12.4)", {out(9.99995e99)}), "  1.0000+100\n");  // the carry makes three digits
  EXPECT_EQ(write("(1PE8.3)", {out(1.0)}), "********\n");
  // Exact ties go to even; a float is edited from its own value, which for
  // 1.000005f lies above the decimal tie.
  EXPECT_EQ(write("(1P,2E15.5)", {out(1234565.0), out(1234575.0)}), "    1.23456E+06    1.23458E+06\n");
  EXPECT_EQ(write("(1PE15.5)", {out(1.000005f)}), "    1.00001E+00\n");
  EXPECT_EQ(write("(1PE25.17)", {out(1.1f)}), "  1.10000002384185791E+00\n");
  EXPECT_EQ(write("(F4.0,F4.0,F6.2)", {out(0.5), out(2.5), out(0.125)}), "  0.  2.  0.12\n");
  EXPECT_EQ(write("(F5.1,F4.1,F2.1,F3.1,F1.0,F2.0)", {out(-0.0), out(-0.04), out(0.5), out(-0.5), out(0.4), out(0.4)}),
            " -0.0-0.0.5-.5*0.\n");
  EXPECT_EQ(write("(F16.4)", {out(1e20)}), "****************\n");
  EXPECT_EQ(write("(E10.4,E11.4,2PE12.4,-1PE12.4)", {out(1.5), out(-1.5), out(1.5), out(1.5)}),
            "0.1500E+01-0.1500E+01  15.000E-01  0.0150E+02\n");
}

TEST(LayoutOutput, TheWidestFieldsStayWithinTheirWidth) {
  for (const char* t : {"(E10000.9999)", "(1PE10000.9999)", "(F10000.9999)", "(-100PF10000.9999)", "(100PF10000.0)",
                        "(F10000.0)", "(-100P,E10000.9999)", "(100P,E10000.9999)"}) {
    const Layout l(t);
    ASSERT_TRUE(l.ok()) << t;
    for (double v : {1.7976931348623157e308, 4.9e-324, -1.0 / 3, 0.0}) {
      std::string s;
      ASSERT_EQ(qx::write_layout(l, {out(v)}, s), 0) << t;
      EXPECT_EQ(s.size(), 10001u) << t;
    }
  }
}

TEST(LayoutOutput, WritesInfinityAndNaNInTheLongestFormThatFits) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(write("(1P,3E9.1)", {out(inf), out(-inf), out(nan)}), " Infinity-Infinity      NaN\n");
  EXPECT_EQ(write("(1P,3E8.0)", {out(inf), out(-inf), out(-nan)}), "Infinity    -Inf     NaN\n");
  EXPECT_EQ(write("(F3.0,F3.0,F2.0,F4.0)", {out(inf), out(-inf), out(nan), out(-inf)}), "Inf*****-Inf\n");
}

TEST(LayoutOutput, FailsOnAMisfitInsteadOfGuessing) {
  const int bad = qx::iostat::bad_layout;
  write("(F8.2)", {out(1)}, bad);                  // an integer for F
  write("(I8)", {out(1.0)}, bad);                  // a real for I
  write("(A4)", {out(1)}, bad);                    // a number for A
  write("(6PE12.4)", {out(1.0)}, bad);             // scale factor too large for d
  write("(-4PE12.4)", {out(1.0)}, bad);            // and too small
  write("('x')", {out(1)}, bad);                   // items but no data descriptor
  write("(I5,(' x'))", {out(1), out(2)}, bad);     // reversion to a group without one
  std::string s;
  EXPECT_EQ(qx::write_layout(Layout("(I8"), {out(1)}, s), bad);
}

TEST(LayoutOutput, InternalWriteFillsOrCutsTheVariable) {
  static const Layout l("(A16,I5,A)");
  std::string var;
  EXPECT_EQ(qx::write_internal(l, {out_text("  **** ERROR NO."), out(1000), out_text(" TEXT")}, var, 30), 0);
  EXPECT_EQ(var, "  **** ERROR NO. 1000 TEXT    ");
  EXPECT_EQ(qx::write_internal(l, {out_text("  **** ERROR NO."), out(1000), out_text(" TEXT")}, var, 20),
            qx::iostat::line_too_long);
  EXPECT_EQ(var, "  **** ERROR NO. 100");
  EXPECT_EQ(qx::write_internal(Layout("(I2,/,I2)"), {out(1), out(2)}, var, 6), qx::iostat::line_too_long);
  EXPECT_EQ(var, " 1    ");
}

// Takes the text in chunks and records them; may fail from some call on.
struct ChunkSink final : qx::TextSink {
  std::vector<std::string> chunks;
  int fail_from = -1;
  int put(std::string_view text) override {
    if (fail_from >= 0 && static_cast<int>(chunks.size()) >= fail_from) return 38;
    chunks.emplace_back(text);
    return 0;
  }
};

TEST(LayoutOutput, HandsLongOutputToTheSinkInChunksOfWholeLines) {
  static const Layout l("(1P,6E15.5)");
  std::vector<float> v(60000);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) * 0.37f;
  ChunkSink sink;
  ASSERT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, sink), 0);
  std::string joined;
  for (const auto& c : sink.chunks) {
    ASSERT_EQ(c.back(), '\n');
    joined += c;
  }
  EXPECT_LE(sink.chunks.size(), joined.size() / (64 * 1024) + 2);
  std::string direct;
  ASSERT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, direct), 0);
  EXPECT_EQ(joined, direct);
  EXPECT_EQ(direct.size(), 10000u * 91);

  ChunkSink failing;
  failing.fail_from = 1;
  EXPECT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, failing), 38);
}

// -------------------------------------------------------------------- input

TEST(LayoutInput, ReadsNumericFields) {
  static const Layout node("(I8,2F16.0)");
  std::int32_t n = -1;
  float x = -1, z = -1;
  Lines src({"      17             125            12.5"});
  ASSERT_EQ(qx::read_layout(node, {in(n), in(x), in(z)}, src), 0);
  EXPECT_EQ(n, 17);
  EXPECT_EQ(x, 125.0f);
  EXPECT_EQ(z, 12.5f);
  // Implied decimals, blanks inside, all-blank fields, signs and exponents.
  double d[5];
  const std::string fields = std::string("     125") + "  1 2.5 " + "        " + " -1.5+3 " + " 1.5D-1";
  ASSERT_EQ(qx::read_internal(Layout("(F8.3,F8.0,F8.0,F8.0,F8.2)"), {in(std::span(d))}, fields), 0);
  EXPECT_EQ(d[0], 0.125);
  EXPECT_EQ(d[1], 12.5);
  EXPECT_EQ(d[2], 0.0);
  EXPECT_EQ(d[3], -1500.0);
  EXPECT_EQ(d[4], 0.15);
  // A scale factor divides a value without an exponent only.
  ASSERT_EQ(qx::read_internal(Layout("(1P,2F8.0)"), {in(d[0]), in(d[1])}, "     125  1.25e2"), 0);
  EXPECT_EQ(d[0], 12.5);
  EXPECT_EQ(d[1], 125.0);
}

TEST(LayoutInput, RoundsARealOnceToItsOwnType) {
  // Just above the tie between two floats; via double it would fall on the
  // tie and round down to 1.
  float f = 0;
  ASSERT_EQ(qx::read_internal(Layout("(F30.0)"), {in(f)}, "1.00000005960464477539063"), 0);
  EXPECT_EQ(f, 1.0f + 0x1p-23f);
}

TEST(LayoutInput, RejectsInvalidFieldsWithStatus64) {
  static const Layout i11("(I11)"), f16("(F16.0)");
  std::int32_t i = 5;
  double d = 5;
  for (const char* t : {"1.5", "12x", "2147483648", "-2147483649", "--1", "1e5", "+"})
    EXPECT_EQ(qx::read_internal(i11, {in(i)}, t), qx::iostat::bad_field) << t;
  for (const char* t : {"1.5.", "1.5e", "1..5", "abc", "1e10000", "nan(a b)", "1.5,3"})
    EXPECT_EQ(qx::read_internal(f16, {in(d)}, t), qx::iostat::bad_field) << t;
  EXPECT_EQ(i, 5);
  EXPECT_EQ(d, 5);
  ASSERT_EQ(qx::read_internal(i11, {in(i)}, "-2147483648"), 0);
  EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
}

TEST(LayoutInput, CommaEndsANumericFieldOfAFileLine) {
  static const Layout l("(I8,I8)");
  std::int32_t a = 0, b = 0;
  Lines src({"  12,345678901"});
  ASSERT_EQ(qx::read_layout(l, {in(a), in(b)}, src), 0);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 34567890);
  EXPECT_EQ(qx::read_internal(l, {in(a), in(b)}, "  12,345678901"), qx::iostat::bad_field);
}

TEST(LayoutInput, ShortLinesReadAsPaddedAndListsRunOverLines) {
  static const Layout l("(I8,I8)");
  std::int32_t a = -1, b = -1;
  Lines one({"       5"});
  ASSERT_EQ(qx::read_layout(l, {in(a), in(b)}, one), 0);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 0);
  // A node list of 13 over two lines; the rest of the second is ignored and
  // the next read starts on the third line.
  static const Layout list("(8X,11I8)");
  std::string first = "BDFEML  ", second = "        ";
  for (int k = 1; k <= 11; ++k) first += "      " + std::to_string(10 + k);
  second += "      22      23      99      99";
  Lines src({first, second, "NEXT"});
  std::vector<std::int32_t> nodes(13);
  ASSERT_EQ(qx::read_layout(list, {in(std::span(nodes))}, src), 0);
  for (int k = 0; k < 13; ++k) EXPECT_EQ(nodes[k], 11 + k);
  char head[4];
  ASSERT_EQ(qx::read_layout(Layout("(A4)"), {qx::in_text(head)}, src), 0);
  EXPECT_EQ(std::string(head, 4), "NEXT");
  // Slashes go on with the next line.
  Lines three({"1", "2", "3"});
  ASSERT_EQ(qx::read_layout(Layout("(I1,/,I1)"), {in(a), in(b)}, three), 0);
  EXPECT_EQ(a * 10 + b, 12);
}

TEST(LayoutInput, ZeroItemsStillConsumeOneLine) {
  Lines src({"first", "second"});
  ASSERT_EQ(qx::read_layout(Layout("(A8)"), {}, src), 0);
  EXPECT_EQ(src.consumed(), 1u);
  Lines two({"a", "b", "c"});
  ASSERT_EQ(qx::read_layout(Layout("(/)"), {}, two), 0);
  EXPECT_EQ(two.consumed(), 2u);
}

TEST(LayoutInput, TextFieldsKeepTheRightmostOrPadOnTheRight) {
  char v[4];
  auto read = [&](const char* layout, const char* line) {
    Lines src({line});
    EXPECT_EQ(qx::read_layout(Layout(layout), {qx::in_text(v)}, src), 0);
    return std::string(v, 4);
  };
  EXPECT_EQ(read("(A8)", "ABCDEFGH"), "EFGH");
  EXPECT_EQ(read("(A2)", "ABCDEFGH"), "AB  ");
  EXPECT_EQ(read("(A)", "ABCDEFGH"), "ABCD");
  EXPECT_EQ(read("(3X,A4)", "ABCDEFGH"), "DEFG");
  EXPECT_EQ(read("(A8)", "ABCDE"), "BCDE");  // cut by the line end: the characters there are
  EXPECT_EQ(read("(6X,A4)", "ABCDE"), "    ");
}

TEST(LayoutInput, ReportsTheEndAndFailuresOfTheSource) {
  std::int32_t a = 0, b = 0;
  Lines empty({});
  EXPECT_EQ(qx::read_layout(Layout("(I8)"), {in(a)}, empty), qx::iostat::end_of_file);
  Lines one({"       1"});
  EXPECT_EQ(qx::read_layout(Layout("(I8)"), {in(a), in(b)}, one), qx::iostat::end_of_file);  // reversion needs a line
  Lines broken({"       1"}, 39);
  EXPECT_EQ(qx::read_layout(Layout("(I8,/,I8)"), {in(a), in(b)}, broken), 39);
  // A text variable is one line: reading on past it meets the end.
  EXPECT_EQ(qx::read_internal(Layout("(I8)"), {in(a), in(b)}, "1"), qx::iostat::end_of_file);
  EXPECT_EQ(qx::read_internal(Layout("('x',I8)"), {in(a)}, "1"), qx::iostat::bad_layout);
  float f;
  EXPECT_EQ(qx::read_internal(Layout("(I8)"), {in(f)}, "1"), qx::iostat::bad_layout);
}

TEST(LayoutInput, SpecialRealsAndZeroSigns) {
  static const Layout f16("(F16.0)");
  double d = 0;
  ASSERT_EQ(qx::read_internal(f16, {in(d)}, "  -Infinity"), 0);
  EXPECT_EQ(d, -std::numeric_limits<double>::infinity());
  ASSERT_EQ(qx::read_internal(f16, {in(d)}, "nan(0x1)"), 0);
  EXPECT_TRUE(std::isnan(d));
  ASSERT_EQ(qx::read_internal(f16, {in(d)}, "1e400"), 0);
  EXPECT_EQ(d, std::numeric_limits<double>::infinity());
  ASSERT_EQ(qx::read_internal(f16, {in(d)}, "-1e-400"), 0);
  EXPECT_TRUE(d == 0 && std::signbit(d));
  ASSERT_EQ(qx::read_internal(f16, {in(d)}, "-"), 0);  // a sign alone is a zero without sign
  EXPECT_TRUE(d == 0 && !std::signbit(d));
}

}  // namespace
