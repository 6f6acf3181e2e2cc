#include "step_abscissa.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace qxdump {

namespace {

std::ptrdiff_t digits(float v) {
  char buf[32];
  return std::to_chars(buf, buf + sizeof buf, v).ptr - buf;
}

}  // namespace

float step_abscissa(std::uint64_t k, double step) {
  const double kd = static_cast<double>(k);
  double p = kd * step;
  if (!std::isfinite(p)) return static_cast<float>(p);
  // The rounding error of the product, exactly (fma rounds once).
  const double e = std::fma(kd, step, -p);
  // Inexact and even: the exact product lies between p and its neighbour
  // towards e, which is odd. Taking it keeps the information that p was
  // rounded, which is all that the second rounding needs (rounding to odd).
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (e != 0 && (std::bit_cast<std::uint64_t>(p) & 1) == 0) p = std::nextafter(p, e > 0 ? inf : -inf);
  const float nearest = static_cast<float>(p);
  // A product halfway between two real4 is exact in double (it needs one bit
  // more than a real4 holds), so a tie shows as p equally far from both.
  if (e != 0 || static_cast<double>(nearest) == p) return nearest;
  const float other = std::nextafter(nearest, static_cast<double>(nearest) < p ? std::numeric_limits<float>::infinity()
                                                                                : -std::numeric_limits<float>::infinity());
  if (std::fabs(p - static_cast<double>(nearest)) != std::fabs(static_cast<double>(other) - p)) return nearest;
  return digits(other) < digits(nearest) ? other : nearest;
}

}  // namespace qxdump
