// Correctly rounded decimal digits of a binary floating-point value, as the
// F and E edit descriptors need them: rounded half to even from the value's
// exact binary expansion (a float item is widened to double exactly first).
//
// A fast path does the rounding in double arithmetic when its error bound
// shows that the result cannot differ from the exact one; everything else
// (ties, near-ties, many digits, extreme exponents) goes to std::to_chars.
#pragma once

#include <cstddef>

namespace qx {

// Buffer large enough for any digit string the edit descriptors ask for
// (widths and decimals are capped at Layout::max_width, scale at max_scale).
inline constexpr std::size_t max_digits = 10000 + 2 * 100 + 400;

// The first n significant digits (1 <= n <= max_width + 1) of ax (finite,
// > 0), written to out; returns e such that ax rounds to d1.d2...dn * 10^e.
int round_significant(double ax, int n, char* out);

// ax (finite, >= 0) times 10^q, rounded to an integer, written to out without
// leading zeros (nothing for zero); returns the number of digits. Callers
// keep q within [-max_width - max_scale, max_width + max_scale].
int round_scaled(double ax, int q, char* out);

}  // namespace qx
