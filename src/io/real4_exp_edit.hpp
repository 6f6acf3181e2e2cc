// Real4 values through the fixed E layouts that carry almost all values of
// the text files: "(1P,6E15.5)" for data arrays, 1PE12.4 for maxima and
// 1PE10.3 for densities. The output is byte for byte what the layout engine
// writes (edit_exp with the scale factor 1) for every real4 value, -0.0,
// subnormals, NaN and the infinities included; bench/real4_exp_proof.cpp
// compares the two on all 2^32 bit patterns.
//
// The engine serves any width, scale and value; these serve only these
// fields, and do it in double and integer arithmetic without the general
// decimal conversion: a real4 has 24 significant bits, so the scaled value
// carries an error far below the distance to a rounding boundary, and the
// rare values that lie close to one (decimal ties, the edge of a decade) are
// settled exactly in 128-bit integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qx {

enum class Real4Exp : std::uint8_t { e15_5, e12_4, e10_3 };  // 1PE15.5, 1PE12.4, 1PE10.3

constexpr int exp_width(Real4Exp e) { return e == Real4Exp::e15_5 ? 15 : e == Real4Exp::e12_4 ? 12 : 10; }
constexpr int exp_decimals(Real4Exp e) { return e == Real4Exp::e15_5 ? 5 : e == Real4Exp::e12_4 ? 4 : 3; }

// One field: exactly exp_width(e) characters at dst.
void edit_real4_exp(Real4Exp e, char* dst, float v);
// The same field with every value rounded the slow exact way that the fast
// one takes only near a rounding boundary; for checking the fast one.
void edit_real4_exp_exact(Real4Exp e, char* dst, float v);

// One line of n values (n >= 0; a partial last line holds fewer than a full
// one): n fields and the line feed. Returns the end of what was written,
// dst + n * exp_width(e) + 1.
char* put_real4_exp_line(Real4Exp e, char* dst, const float* v, std::size_t n);

// All values, per_line (>= 1) to a line, the last line holding the rest:
// the lines of one write through "(1P,<per_line>Ew.d)", so one empty line
// when there are no values. Returns the characters written, which are
// exactly real4_exp_lines_size(e, per_line, v.size()).
std::size_t put_real4_exp_lines(Real4Exp e, std::size_t per_line, std::span<const float> v, char* dst);
constexpr std::size_t real4_exp_lines_size(Real4Exp e, std::size_t per_line, std::size_t n) {
  const std::size_t lines = n == 0 ? 1 : (n + per_line - 1) / per_line;
  return n * static_cast<std::size_t>(exp_width(e)) + lines;
}

}  // namespace qx
