// The abscissa k·step as a real4: the product rounded once to the nearest
// real4 even where its double rounds onto the midpoint of two real4, and
// ties (which k times a real4 step often makes) given to the one of fewer
// digits.
#include <gtest/gtest.h>

#include <cmath>

#include "step_abscissa.hpp"

namespace {

using qxdump::step_abscissa;

TEST(StepAbscissa, RoundsTheExactProductOnce) {
  // 3 · step lies just above (below) 1 + 2^-24, halfway between the real4 1
  // and 1 + 2^-23, and its double is that midpoint: a double rounded again
  // to real4 would give 1 both times.
  EXPECT_EQ(step_abscissa(3, 0.3333333532015483), 1.0f + 0x1p-23f);
  EXPECT_EQ(step_abscissa(3, 0.3333333532015482), 1.0f);
  EXPECT_EQ(step_abscissa(0, 0.0025), 0.0f);
  EXPECT_EQ(step_abscissa(7, 0.0025), 0.0175f);
  EXPECT_EQ(step_abscissa(1u << 30, 0.5), 0x1p29f);
  EXPECT_TRUE(std::isnan(step_abscissa(1, std::nan(""))));
  EXPECT_EQ(step_abscissa(2, 1e300), HUGE_VALF);
}

TEST(StepAbscissa, TiesGoToTheRealFourOfFewerDigits) {
  // 5 times the real4 0.0025 is 0.012499999720603228: as far from the real4
  // 0.0125 as from 0.012499999.
  const double dt = static_cast<double>(0.0025f);
  EXPECT_EQ(step_abscissa(5, dt), 0.0125f);
  EXPECT_EQ(step_abscissa(5, static_cast<double>(0.01f)), 0.05f);
  EXPECT_EQ(step_abscissa(3, static_cast<double>(0.01f)), 0.03f);
  // A tie between two real4 of as many digits: the even one. 3 · (1 +
  // 2^-23) lies halfway between 3 + 2^-22 (odd) and 3 + 2^-21 (even).
  EXPECT_EQ(step_abscissa(3, static_cast<double>(1.0f + 0x1p-23f)), 3.0f + 0x1p-21f);
}

}  // namespace
