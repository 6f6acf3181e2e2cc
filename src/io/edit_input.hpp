// Input editing of one field: Iw into an integer, Fw.d and Ew.d into a
// real. Blanks in a numeric field are ignored and an all-blank field is
// zero. Each returns 0, or 64 for a field that is not a valid number.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {

// An optional sign and digits; a value outside the 32-bit range is invalid.
int read_int_field(std::string_view field, std::int32_t& v);

// An optional sign, digits with or without a point, then optionally an
// exponent: E, D or Q (either case) with an optional sign, or a bare sign.
// Without a point the last d digits are the fraction; without an exponent
// the value is divided by 10^scale. Also Inf, Infinity and NaN (NaN may
// carry a parenthesised tag). The value is rounded once, to the target type.
int read_real_field(std::string_view field, int d, int scale, float& v);
int read_real_field(std::string_view field, int d, int scale, double& v);

}  // namespace qx
