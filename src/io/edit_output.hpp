// Output editing of one value into a field: Iw, Fw.d, Ew.d (with the scale
// factor in force) and Aw / A. Each writes its whole field at dst; a value
// that does not fit fills the field with asterisks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qx {

void edit_int(char* dst, int w, std::int32_t v);

// The value times 10^scale, rounded to d decimals.
void edit_fixed(char* dst, int w, int d, int scale, double v);

// With scale k <= 0: "0.", -k zeros and d+k significant digits; with k > 0:
// k digits, the point and d-k+1 digits. Then "E+nn", or "+nnn" for an
// exponent of three digits. False, with nothing written, when k does not
// suit d (k <= -d or k >= d+2).
bool edit_exp(char* dst, int w, int d, int scale, double v);

// Aw: the first w characters, or the text right-justified when shorter.
// A (w == 0): the whole text. Returns the number of characters written.
std::size_t edit_text(char* dst, int w, std::string_view s);

}  // namespace qx
