// Corners of the layout engine that the comparison with gfortran does not
// reach: bad layouts, statuses, internal writes, chunked output, text fields.
#include <tuple>

#include "io_test_util.hpp"

namespace {

using qx::in;
using qx::Layout;
using qx::out;
using qx::out_text;
using qxtest::Lines;
namespace iostat = qx::iostat;

TEST(LayoutText, AcceptsTheFormsAndRejectsMalformedOrOversizedTexts) {
  for (const char* t : {"()", "(I5/I5)", "(1P)", "( 1 P , 5 E 15 . 5 )", "(3'ab')", "(2(3(I1)))", "(i8,f16.0,e15.5,a,1x)"})
    EXPECT_TRUE(Layout(t).ok()) << t;
  const std::string deep = std::string(40, '(') + "I1" + std::string(40, ')');
  for (std::string_view t : std::initializer_list<std::string_view>{
           deep, "", "(", ")", "I8", "(I8", "(I8))", "(I8)x", "(I8,)", "(,I8)", "(I8,,I8)", "(I8I8)", "(I0)", "(F8)", "(F8.)", "(E15)",
           "(Q5)", "(5)", "(0I8)", "(0(I8))", "(P)", "(-I8)", "(+2X)", "('abc)", "(I10001)", "(100001I8)", "(101P,E15.5)", "(A0)",
           "(E15.5E3)", "(T5,I2)", "(1P5)", "(I8 'x')", "(X)", "(100000(100000('x')))", "(1000(1000(20X)))"})
    EXPECT_FALSE(Layout(t).ok()) << t;
}

TEST(LayoutOutput, FailsOnAMisfitAndCutsAnInternalWrite) {
  const std::int32_t i = 1;
  const double r = 1.0;
  // A type that does not fit, a scale out of range for d, items left without
  // a data descriptor, a layout that is not valid.
  for (const auto& [text, items] : std::vector<std::pair<const char*, std::vector<qx::OutItem>>>{
           {"(F8.2)", {out(i)}}, {"(I8)", {out(r)}}, {"(A4)", {out(i)}}, {"(6PE12.4)", {out(r)}}, {"(-4PE12.4)", {out(r)}},
           {"('x')", {out(i)}}, {"(I5,(' x'))", {out(i), out(i)}}, {"(I8", {out(i)}}}) {
    std::string s;
    EXPECT_EQ(qx::write_layout(Layout(text), items, s), iostat::bad_layout) << text;
  }
  std::string var;  // a text variable of n characters
  for (auto [n, st, want] : {std::tuple{16, 0, " NO. 1000 TEXT  "}, {8, iostat::line_too_long, " NO. 100"}}) {
    EXPECT_EQ(qx::write_internal(Layout("(A4,I5,A)"), {out_text("NO."), out(1000), out_text(" TEXT")}, var, n), st);
    EXPECT_EQ(var, want);
  }
  EXPECT_EQ(qx::write_internal(Layout("(I2,/,I2)"), {out(1), out(2)}, var, 6), iostat::line_too_long);
  EXPECT_EQ(var, " 1    ");
}

struct ChunkSink final : qx::TextSink {
  std::vector<std::string> chunks;
  std::size_t fail_from = 1000;
  int put(std::string_view t) override { return chunks.size() >= fail_from ? iostat::write_failed : (chunks.emplace_back(t), 0); }
};

TEST(LayoutOutput, HandsLongOutputToTheSinkInChunksOfWholeLines) {
  static const Layout l("(1P,6E15.5)");
  std::vector<float> v(60000);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) * 0.37f;
  ChunkSink sink;
  std::string joined, direct;
  ASSERT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, sink), 0);
  ASSERT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, direct), 0);
  for (const auto& c : sink.chunks) joined += c.back() == '\n' ? c : "<chunk ends inside a line>";
  EXPECT_EQ(joined, direct);
  EXPECT_EQ(direct.size(), 10000u * 91);
  EXPECT_LE(sink.chunks.size(), joined.size() / (64 * 1024) + 2);
  sink.chunks.clear();
  sink.fail_from = 1;  // the second chunk fails
  EXPECT_EQ(qx::write_layout(l, {out(std::span<const float>(v))}, sink), iostat::write_failed);
}

TEST(LayoutInput, RoundsARealOnceToItsOwnTypeAndRejectsInvalidFields) {
  // Just above a tie between floats; via double it would round down to 1.
  float f = 0;
  ASSERT_EQ(qx::read_internal(Layout("(F30.0)"), {in(f)}, "1.00000005960464477539063"), 0);
  EXPECT_EQ(f, 1.0f + 0x1p-23f);
  // Wider than the fields compared with gfortran: the limits of the type.
  static const Layout i11("(I11)");
  std::int32_t i = 5;
  for (const char* t : {"2147483648", "-2147483649", "1.5", "--1"})
    EXPECT_EQ(qx::read_internal(i11, {in(i)}, t), iostat::bad_field) << t;
  EXPECT_EQ(i, 5) << "a failed read leaves the value";
  ASSERT_EQ(qx::read_internal(i11, {in(i)}, "-2147483648"), 0);
  EXPECT_EQ(i, INT32_MIN);
}

TEST(LayoutInput, ShortLinesListsOverLinesAndTheEndOfTheSource) {
  std::int32_t a = -1, b = -1;
  for (auto [line, wa, wb] : {std::tuple{"       5", 5, 0}, {"  12,345678901", 12, 34567890}}) {  // a comma ends a field
    Lines one({line});
    EXPECT_EQ(qx::read_layout(Layout("(I8,I8)"), {in(a), in(b)}, one), 0);
    EXPECT_TRUE(a == wa && b == wb) << line;
  }
  // A list of 13 over two lines; the next read starts on the third.
  Lines src({"BDFEML        11      12      13      14      15      16      17      18      19      20      21",
             "              22      23      99      99", "NEXT"});
  std::vector<std::int32_t> nodes(13);
  ASSERT_EQ(qx::read_layout(Layout("(8X,11I8)"), {in(std::span(nodes))}, src), 0);
  EXPECT_TRUE(nodes == std::vector<std::int32_t>({11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
  char head[4];
  ASSERT_EQ(qx::read_layout(Layout("(A4)"), {qx::in_text(head)}, src), 0);
  EXPECT_EQ(std::string_view(head, 4), "NEXT");
  // Slashes go on with the next line; no items still take one line.
  Lines three({"1", "2", "3", "4", "5"});
  ASSERT_EQ(qx::read_layout(Layout("(I1,/,I1)"), {in(a), in(b)}, three), 0);
  EXPECT_EQ(a * 10 + b, 12);
  EXPECT_EQ(qx::read_layout(Layout("(A8)"), {}, three) + qx::read_layout(Layout("(/)"), {}, three), 0);
  EXPECT_EQ(three.consumed, 5u);
  // The end, or a failure (39), of the source; a text variable is one line.
  float f;
  Lines empty({}), one({"       1"}), broken({"       1"}, 39);
  EXPECT_EQ(qx::read_layout(Layout("(I8)"), {in(a)}, empty), iostat::end_of_file);
  EXPECT_EQ(qx::read_layout(Layout("(I8)"), {in(a), in(b)}, one), iostat::end_of_file);  // reversion needs a line
  EXPECT_EQ(qx::read_layout(Layout("(I8,/,I8)"), {in(a), in(b)}, broken), 39);
  EXPECT_EQ(qx::read_internal(Layout("(I8)"), {in(a), in(b)}, "1"), iostat::end_of_file);
  EXPECT_EQ(qx::read_internal(Layout("('x',I8)"), {in(a)}, "1"), iostat::bad_layout);
  EXPECT_EQ(qx::read_internal(Layout("(I8)"), {in(f)}, "1"), iostat::bad_layout);
}

TEST(LayoutInput, TextFieldsKeepTheRightmostOrPadOnTheRight) {
  // A field cut by the line end counts with the characters it has.
  for (auto [layout, line, want] : {std::tuple{"(A8)", "ABCDEFGH", "EFGH"}, {"(A2)", "ABCDEFGH", "AB  "}, {"(A)", "ABCDEFGH", "ABCD"},
                                    {"(3X,A4)", "ABCDEFGH", "DEFG"}, {"(A8)", "ABCDE", "BCDE"}, {"(6X,A4)", "ABCDE", "    "}}) {
    char v[4];
    Lines src({line});
    EXPECT_EQ(qx::read_layout(Layout(layout), {qx::in_text(v)}, src), 0);
    EXPECT_EQ(std::string(v, 4), want) << layout << " " << line;
  }
}

}  // namespace
