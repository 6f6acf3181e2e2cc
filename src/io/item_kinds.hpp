// The kinds of the numbers that records and lines hold: 32-bit integers and
// IEEE single and double precision reals, named as the file formats name them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qx {

using int4 = std::int32_t;
using real4 = float;
using real8 = double;

static_assert(std::numeric_limits<real4>::is_iec559 && sizeof(real4) == 4, "real4 must be IEEE single precision");
static_assert(std::numeric_limits<real8>::is_iec559 && sizeof(real8) == 8, "real8 must be IEEE double precision");

// A count or a sum of counts taken in 64 bits, held at the int4 limits.
constexpr int4 saturate(std::int64_t v) {
  return static_cast<int4>(
      std::clamp<std::int64_t>(v, std::numeric_limits<int4>::min(), std::numeric_limits<int4>::max()));
}

}  // namespace qx
