// The digits of the E and F edit descriptors against std::to_chars, which
// rounds the exact binary value half to even: in volume, over the whole
// range of floats and doubles and at the decimal ties, where a shortcut in
// double arithmetic would round the wrong way.
#include "io/decimal_round.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// Values whose digits sit at or next to a rounding boundary, and values of
// every magnitude, as doubles and as floats widened to double.
std::vector<double> values() {
  std::mt19937_64 rng(8);
  std::vector<double> v;
  auto add_float = [&](float f) {
    if (std::isfinite(f) && f != 0) v.push_back(std::fabs(static_cast<double>(f)));
  };
  for (int i = 0; i < 60000; ++i) {
    add_float(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
    const double d = std::fabs(std::bit_cast<double>(rng()));
    if (std::isfinite(d) && d != 0) v.push_back(d);
  }
  // Decimal ties of 1 to 9 significant digits, as the nearest double and
  // the nearest float, and their neighbours.
  for (int i = 0; i < 30000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 9);
    std::string t = std::to_string(rng() % 1000000000).substr(0, static_cast<std::size_t>(digits)) + "5e" +
                    std::to_string(static_cast<int>(rng() % 90) - 45);
    double d = 0;
    float f = 0;
    std::from_chars(t.data(), t.data() + t.size(), d);
    std::from_chars(t.data(), t.data() + t.size(), f);
    if (d == 0 || !std::isfinite(d)) continue;
    v.insert(v.end(), {d, std::nextafter(d, 0.0), std::nextafter(d, 1e308)});
    add_float(f);
    add_float(std::nextafter(f, 0.0f));
    add_float(std::nextafter(f, 1e38f));
  }
  // Exact binary ties: odd multiples of 2^-k.
  for (int i = 0; i < 20000; ++i)
    v.push_back(std::ldexp(static_cast<double>(2 * (rng() % 1000000) + 1), -static_cast<int>(rng() % 12)));
  return v;
}

TEST(DecimalRound, SignificantDigitsAgreeWithTheCorrectlyRoundedReference) {
  int shown = 0;
  for (double ax : values()) {
    for (int n = 1; n <= 10; ++n) {
      char ref[64];
      const auto res = std::to_chars(ref, ref + sizeof ref, ax, std::chars_format::scientific, n - 1);
      std::string expected(ref, res.ptr);  // d.ddde+xx
      std::string want_digits = expected.substr(0, 1) + (n > 1 ? expected.substr(2, static_cast<std::size_t>(n - 1)) : "");
      const int want_e = std::stoi(expected.substr(expected.find('e') + 1));

      char digits[qx::max_digits];
      const int e = qx::round_significant(ax, n, digits);
      if ((std::string(digits, static_cast<std::size_t>(n)) != want_digits || e != want_e) && shown++ < 10)
        ADD_FAILURE() << std::hexfloat << ax << " n=" << n << ": " << std::string(digits, static_cast<std::size_t>(n))
                      << "e" << e << ", expected " << expected;
    }
  }
}

TEST(DecimalRound, ScaledIntegersAgreeWithTheCorrectlyRoundedReference) {
  int shown = 0;
  for (double ax : values()) {
    for (int q = 0; q <= 12; ++q) {
      if (ax * std::pow(10.0, q) > 1e15) break;
      char ref[400];
      const auto res = std::to_chars(ref, ref + sizeof ref, ax, std::chars_format::fixed, q);
      std::string want;
      for (const char* p = ref; p != res.ptr; ++p)
        if (*p != '.' && !(want.empty() && *p == '0')) want += *p;

      char digits[qx::max_digits];
      const int n = qx::round_scaled(ax, q, digits);
      if (std::string(digits, static_cast<std::size_t>(n)) != want && shown++ < 10)
        ADD_FAILURE() << std::hexfloat << ax << " q=" << q << ": " << std::string(digits, static_cast<std::size_t>(n))
                      << ", expected " << want;
    }
  }
}

}  // namespace
