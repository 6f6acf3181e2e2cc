// The dedicated real4 E formatter: hand-computed fields, the lines of one
// write through the layout, and agreement with the layout engine on values
// at the rounding boundaries and on random bit patterns. (gfortran is the
// reference in layout_gfortran_test.cpp; all 2^32 patterns are compared with
// the engine by bench/real4_exp_proof.)
#include "io/real4_exp_edit.hpp"

#include <tuple>

#include "io/layout.hpp"
#include "io_test_util.hpp"

namespace {

using qx::Real4Exp;

struct EditCase {
  Real4Exp edit;
  const char* layout;  // one write of many values through this layout
  std::size_t per_line;
};
constexpr EditCase cases[] = {{Real4Exp::e15_5, "(1P,6E15.5)", 6},
                              {Real4Exp::e12_4, "(1P,8E12.4)", 8},
                              {Real4Exp::e10_3, "(1P,8E10.3)", 8},
                              {Real4Exp::e12_4, "(1P,18E12.4)", 18}};

std::string field(Real4Exp e, float v, bool exact = false) {
  std::string s(static_cast<std::size_t>(qx::exp_width(e)) + 2, '#');  // a guard byte on each side
  (exact ? qx::edit_real4_exp_exact : qx::edit_real4_exp)(e, s.data() + 1, v);
  EXPECT_TRUE(s.front() == '#' && s.back() == '#') << "wrote outside the field";
  return s.substr(1, s.size() - 2);
}

float bits(std::uint32_t b) { return std::bit_cast<float>(b); }

TEST(Real4ExpEdit, FieldsOfSignsZerosTiesDecadeEdgesAndSpecialValues) {
  // Ties (exact binary values halfway between two n-digit decimals) go to
  // the even digit; 999999.5 is a tie that rounds up into the next decade.
  for (auto [e, v, want] : std::initializer_list<std::tuple<Real4Exp, float, const char*>>{
           {Real4Exp::e15_5, 0.0f, "    0.00000E+00"},    {Real4Exp::e15_5, -0.0f, "   -0.00000E+00"},
           {Real4Exp::e15_5, 1.0f, "    1.00000E+00"},    {Real4Exp::e15_5, -123.456f, "   -1.23456E+02"},
           {Real4Exp::e15_5, 999999.5f, "    1.00000E+06"}, {Real4Exp::e15_5, 999998.5f, "    9.99998E+05"},
           {Real4Exp::e15_5, 1234565.0f, "    1.23456E+06"}, {Real4Exp::e15_5, 1234575.0f, "    1.23458E+06"},
           {Real4Exp::e15_5, 12345.25f, "    1.23452E+04"}, {Real4Exp::e15_5, -12345.75f, "   -1.23458E+04"},
           {Real4Exp::e15_5, 0.0009765625f, "    9.76562E-04"}, {Real4Exp::e15_5, FLT_MAX, "    3.40282E+38"},
           {Real4Exp::e15_5, -FLT_TRUE_MIN, "   -1.40130E-45"}, {Real4Exp::e15_5, FLT_MIN, "    1.17549E-38"},
           {Real4Exp::e15_5, bits(0x7fc00000), "            NaN"}, {Real4Exp::e15_5, bits(0xffc00001), "            NaN"},
           {Real4Exp::e15_5, INFINITY, "       Infinity"}, {Real4Exp::e15_5, -INFINITY, "      -Infinity"},
           {Real4Exp::e12_4, 0.5f, "  5.0000E-01"},       {Real4Exp::e12_4, -0.0f, " -0.0000E+00"},
           {Real4Exp::e12_4, 99999.5f, "  1.0000E+05"},   {Real4Exp::e12_4, 12344.5f, "  1.2344E+04"},
           {Real4Exp::e12_4, -FLT_MAX, " -3.4028E+38"},   {Real4Exp::e12_4, bits(0x7f800001), "         NaN"},
           {Real4Exp::e12_4, -INFINITY, "   -Infinity"},  {Real4Exp::e10_3, 1234.5f, " 1.234E+03"},
           {Real4Exp::e10_3, 1235.5f, " 1.236E+03"},      {Real4Exp::e10_3, -9999.5f, "-1.000E+04"},
           {Real4Exp::e10_3, FLT_TRUE_MIN, " 1.401E-45"}, {Real4Exp::e10_3, -0.0f, "-0.000E+00"},
           {Real4Exp::e10_3, INFINITY, "  Infinity"},     {Real4Exp::e10_3, -INFINITY, " -Infinity"},
           {Real4Exp::e10_3, bits(0xff800001), "       NaN"}}) {
    EXPECT_EQ(field(e, v), want) << std::hex << std::bit_cast<std::uint32_t>(v);
    EXPECT_EQ(field(e, v, true), want) << "exact rounding, " << std::hex << std::bit_cast<std::uint32_t>(v);
  }
}

TEST(Real4ExpEdit, LinesAreThoseOfOneWriteThroughTheLayout) {
  std::vector<float> v(40);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) * -1.75f + 0.3f;
  for (const EditCase& c : cases)
    for (std::size_t n : {0, 1, 5, 6, 7, 8, 9, 12, 17, 18, 19, 36, 40}) {
      const std::span<const float> values(v.data(), n);
      std::string want;
      ASSERT_EQ(qx::write_layout(qx::Layout(c.layout), {qx::out(values)}, want), 0);
      const std::size_t size = qx::real4_exp_lines_size(c.edit, c.per_line, n);
      std::string got(size + 1, '#');
      EXPECT_EQ(qx::put_real4_exp_lines(c.edit, c.per_line, values, got.data()), size);
      EXPECT_EQ(got.back(), '#') << "wrote past the size";
      got.pop_back();
      EXPECT_EQ(got, want) << c.layout << " with " << n << " values";
    }
  // One line at a time: full lines, then the partial last one.
  std::string lines(2 * 91 + 46 + 1, '#');
  char* p = qx::put_real4_exp_line(Real4Exp::e15_5, lines.data(), v.data(), 6);
  p = qx::put_real4_exp_line(Real4Exp::e15_5, p, v.data() + 6, 6);
  p = qx::put_real4_exp_line(Real4Exp::e15_5, p, v.data() + 12, 3);
  EXPECT_EQ(p - lines.data(), 2 * 91 + 46);
  EXPECT_EQ(lines.back(), '#');
  lines.pop_back();
  std::string want;
  ASSERT_EQ(qx::write_layout(qx::Layout("(1P,6E15.5)"), {qx::out(std::span<const float>(v.data(), 15))}, want), 0);
  EXPECT_EQ(lines, want);
}

// Field by field against the engine's E edit, fast and exact rounding alike.
void expect_engine_fields(const std::vector<float>& values, const char* what) {
  for (Real4Exp e : {Real4Exp::e15_5, Real4Exp::e12_4, Real4Exp::e10_3}) {
    const qx::Layout one("(1PE" + std::to_string(qx::exp_width(e)) + "." + std::to_string(qx::exp_decimals(e)) + ")");
    int shown = 0;
    for (float v : values) {
      std::string want;
      ASSERT_EQ(qx::write_layout(one, {qx::out(v)}, want), 0);
      want.pop_back();
      const std::string fast = field(e, v), exact = field(e, v, true);
      if ((fast != want || exact != want) && shown++ < 10)
        ADD_FAILURE() << what << " " << std::hex << std::bit_cast<std::uint32_t>(v) << " through " << one.text()
                      << ": engine [" << want << "] fast [" << fast << "] exact [" << exact << "]";
    }
  }
}

TEST(Real4ExpEdit, AgreesWithTheEngineAtRoundingBoundariesAndOnRandomPatterns) {
  std::mt19937_64 rng(19);
  expect_engine_fields(qxtest::boundary_floats(rng), "boundary value");
  std::vector<float> random(1 << 16);
  for (float& f : random) f = bits(static_cast<std::uint32_t>(rng()));
  expect_engine_fields(random, "random pattern");
}

}  // namespace
