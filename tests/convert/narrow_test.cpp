// The narrowing of header reals to single precision: a result below the
// normal range is a zero of the same sign, and the boundary is where x86-64
// puts it under zero-on-underflow, whatever processor runs it.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "convert/block_header.hpp"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

// The bits, so that the sign of a zero and a NaN count.
std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

TEST(Narrow, FlushesBelowTheNormalRangeAndRoundsOtherwise) {
  const double boundary = double{FLT_MIN} * (1.0 - 0x1p-25);
  struct Case {
    double in;
    float out;
  };
  const Case cases[] = {
      {0.0, 0.0f},
      {1.5, 1.5f},
      {0.1, 0.1f},
      {double{FLT_MIN}, FLT_MIN},
      {boundary, FLT_MIN},                                        // rounds up to the smallest normal
      {std::nextafter(boundary, 0.0), 0.0f},                      // would be tiny after rounding
      {double{FLT_MIN} - 0x1p-150, 0.0f},                         // a subnormal without the flush
      {1.0e-39, 0.0f},
      {std::numeric_limits<double>::denorm_min(), 0.0f},
      {1.0e-50, 0.0f},
      {1.0e300, std::numeric_limits<float>::infinity()},
      {double{FLT_MAX}, FLT_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bits(qx::narrow(c.in)), bits(c.out)) << c.in;
    EXPECT_EQ(bits(qx::narrow(-c.in)), bits(-c.out)) << -c.in;
  }
  EXPECT_TRUE(std::isnan(qx::narrow(std::numeric_limits<double>::quiet_NaN())));
}

#if defined(__x86_64__)
// Against the processor: the conversion under MXCSR.FTZ, for values spread
// over the four binades below the smallest normal and the one above it.
TEST(Narrow, AgreesWithTheConversionUnderZeroOnUnderflow) {
  const unsigned saved = _mm_getcsr();
  std::mt19937_64 gen(15);
  std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
  std::uniform_int_distribution<int> binade(-130, -126);
  for (int i = 0; i < 200000; ++i) {
    double v = std::ldexp(1.0 + std::ldexp(static_cast<double>(mantissa(gen)), -52), binade(gen));
    // Values within a few units of the boundary, where the rounding decides.
    if (i % 4 == 0) v = double{FLT_MIN} * (1.0 - 0x1p-25) + (i / 4 % 9 - 4) * 0x1p-178;
    if (i % 2) v = -v;
    _mm_setcsr(saved | 0x8000u);
    volatile double in = v;
    volatile float hardware = static_cast<float>(in);
    _mm_setcsr(saved);
    ASSERT_EQ(bits(qx::narrow(v)), bits(hardware)) << std::hexfloat << v;
  }
}
#endif

}  // namespace
