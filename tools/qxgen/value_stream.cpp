#include "value_stream.hpp"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>

namespace qxgen {
namespace {

// Resonant filters y(n) = c1*y(n-1) - c2*y(n-2) + e(n): pairs of 2r*cos(w)
// and r*r for a few damping ratios and frequencies.
constexpr float resonators[][2] = {
    {1.997600413f, 0.998001000f}, {1.987513018f, 0.990025000f}, {1.968033074f, 0.980100000f},
    {1.908386134f, 0.960400000f}, {1.779214396f, 0.940900000f}, {1.118897943f, 0.810000000f},
    {-0.256400544f, 0.990025000f}, {1.997951049f, 0.998001000f},
};

constexpr float nasty_values[] = {
    0.0f,
    -0.0f,
    std::numeric_limits<float>::denorm_min(),
    -std::numeric_limits<float>::denorm_min(),
    1.0e-40f,   // subnormal
    -2.5e-39f,  // subnormal
    std::numeric_limits<float>::min(),
    -std::numeric_limits<float>::min(),
    std::numeric_limits<float>::max(),
    -std::numeric_limits<float>::max(),
    1.0e38f,
    -9.99999e37f,
    // Near the rounding edges of five decimals after the first digit.
    9.999995f,
    -9.999995f,
    9.9999949f,
    0.999995f,
    1.234565f,
    -1.234565f,
    1.000005f,
    99999.95f,
    9.9999950e-5f,
    4.499995e+10f,
    5.000005e-20f,
    1.0f,
    -1.0f,
    0.1f,
    123456.5f,
    -7.5e-6f,
};

// 10**e for e in [-38, 38], parsed once so that the table holds the nearest
// real4 values whatever the platform's pow does.
const std::array<float, 77>& decades() {
  static const std::array<float, 77> table = [] {
    std::array<float, 77> t{};
    for (int e = -38; e <= 38; ++e) {
      char text[8];
      int n = std::snprintf(text, sizeof text, "1e%d", e);
      std::from_chars(text, text + n, t[static_cast<std::size_t>(e + 38)]);
    }
    return t;
  }();
  return table;
}

// A real4 in [-1, 1) from 24 random bits.
float signed_unit(std::uint64_t bits24) {
  return static_cast<float>(static_cast<std::int32_t>(bits24 & 0xFFFFFF) - 0x800000) * 0x1.0p-23f;
}

}  // namespace

float decade(int e) { return decades()[static_cast<std::size_t>(e + 38)]; }

float nasty_value(Random& rng) { return rng.pick(nasty_values); }

double pick_time_step(Random& rng) {
  static constexpr double steps[] = {0.01, 0.005, 0.02, 0.002, 0.0025, 0.001, 0.004};
  double dt = rng.pick(steps);
  // Some steps are a third of the usual ones: 1/3 has no finite binary form.
  if (rng.chance(25)) dt /= 3.0;
  return dt;
}

double pick_damping(Random& rng) {
  static constexpr double damping[] = {0.05, 0.02, 0.03, 0.1, 0.15, 0.07, 0.0, 0.2};
  return rng.pick(damping);
}

ValueStream::ValueStream(std::uint64_t seed, ValueStyle style) : rng_(seed), style_(style) {
  const auto& r = rng_.pick(resonators);
  c1_ = r[0];
  c2_ = r[1];
  // Records of one stream share a magnitude: accelerations near 1, strains
  // near 1e-6, stresses near 1e3, and now and then something far off.
  int e = static_cast<int>(rng_.between(-12, 4));
  if (rng_.chance(10)) e = static_cast<int>(rng_.between(-30, 30));
  scale_ = decade(e) * (1.0f + 0.5f * signed_unit(rng_.next()));
  until_nasty_ = 1 + rng_.below(96);
}

float ValueStream::plain() {
  const std::uint64_t bits = rng_.next();
  if (style_ == ValueStyle::history) {
    const float y = c1_ * y1_ - c2_ * y2_ + signed_unit(bits >> 40);
    y2_ = y1_;
    y1_ = y;
    return y * scale_;
  }
  const int e = static_cast<int>(((bits >> 8) & 0xFFFF) % 75) - 37;
  const float mantissa = 1.0f + 4.5f * (signed_unit(bits >> 40) + 1.0f);
  const float v = mantissa * decade(e);
  return (bits & 1) ? -v : v;
}

float ValueStream::next() {
  if (--until_nasty_ == 0) {
    until_nasty_ = 1 + rng_.below(96);
    return nasty_value(rng_);
  }
  return plain();
}

void ValueStream::fill(float* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = next();
}

}  // namespace qxgen
