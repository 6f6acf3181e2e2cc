// Streams of real4 result values and the real header values of blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "random.hpp"

namespace qxgen {

enum class ValueStyle : std::uint8_t {
  history,  // a resonant response to noise: smooth, one magnitude per record
  wide,     // independent values spread over the whole real4 range
};

// Values of one record family. Both styles are sprinkled with values that
// trouble converters and text editing: zeros of both signs, subnormals, the
// extremes of real4, and values on the rounding edge of 1PE15.5.
class ValueStream {
 public:
  ValueStream(std::uint64_t seed, ValueStyle style);
  void fill(float* out, std::size_t n);
  float next();

 private:
  float plain();

  Random rng_;
  ValueStyle style_;
  float c1_ = 0, c2_ = 0, scale_ = 1;
  float y1_ = 0, y2_ = 0;
  std::uint64_t until_nasty_ = 0;
};

// One of the troublesome real4 values.
float nasty_value(Random& rng);
// 10**e as the real4 nearest to it, e in [-38, 38].
float decade(int e);

// Real8 header values. The usual ones do not fit real4 exactly, so narrowing
// them is visible.
double pick_time_step(Random& rng);
double pick_damping(Random& rng);
// Magnitudes below the real4 range: narrowing gives zero (the first is a
// real4 subnormal, which a flush-to-zero mode also turns into zero).
inline constexpr double tiny_subnormal_real4 = 1.0e-40;
inline constexpr double tiny_below_real4 = 1.0e-50;
inline constexpr double tiny_subnormal_real8 = 2.0e-310;

}  // namespace qxgen
