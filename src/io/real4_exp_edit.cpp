#include "io/real4_exp_edit.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace qx {
namespace {

// The blanks and the sign of a field are put together in a 64-bit word and
// stored as its 8 bytes: the shift that puts a character at byte `at` of the
// word in memory, on either host byte order.
constexpr int byte_shift(int at) { return 8 * (std::endian::native == std::endian::little ? at : 7 - at); }

using u128 = unsigned __int128;

// A real4 magnitude rounded to n significant digits: digits * 10^(exp10-n+1),
// digits in [10^(n-1), 10^n), or 0 with exp10 0 for zero.
struct Decimal {
  std::uint32_t digits;
  int exp10;
};

// Decimal exponents of real4 values: from 1.4E-45 (the smallest subnormal)
// to 3.4E+38. None needs the three-digit exponent form of the E edit.
constexpr int min_exp10 = -45, max_exp10 = 38;

// 10^k for -45 <= k <= 50, correctly rounded: the thresholds of the decades
// and the scales that bring a real4 into n-digit range.
constexpr int pow10_low = -45;
constexpr double pow10_table[] = {
    1e-45, 1e-44, 1e-43, 1e-42, 1e-41, 1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30,
    1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14,
    1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,
    1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,
    1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,
    1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,  1e46,  1e47,  1e48,  1e49,  1e50};

constexpr std::uint32_t pow10_u32(int k) { return k == 0 ? 1 : 10 * pow10_u32(k - 1); }

// 5^k for 0 <= k <= 55 (5^55 < 2^128).
constexpr auto pow5_table = [] {
  std::array<u128, 56> t{};
  t[0] = 1;
  for (std::size_t i = 1; i < t.size(); ++i) t[i] = t[i - 1] * 5;
  return t;
}();

// A real4 magnitude m * 2^k times 10^q as the fraction num / den of 128-bit
// integers: m * 5^q * 2^(k+q), the powers of five and two on the side where
// they are positive. For every real4 and every q that brings it within a
// decade of N-digit range (4 <= N <= 6), num stays below 2^125 (at most
// about 2^24 * 5^43) and den below 2^109 (2^108 for the largest subnormals,
// 5^35 at most on the other side), so that twice num, and den times a
// number of 21 bits near twice the scaled value, do not overflow.
struct Fraction {
  u128 num, den;
};
inline Fraction scaled(std::uint32_t mag, int q) {
  const bool normal = (mag >> 23) != 0;
  const std::uint32_t m = normal ? (mag & 0x7fffff) | 0x800000 : mag;
  const int k = normal ? static_cast<int>(mag >> 23) - 150 : -149;
  Fraction f{m, 1};
  if (q >= 0) {
    f.num *= pow5_table[static_cast<std::size_t>(q)];
  } else {
    f.den = pow5_table[static_cast<std::size_t>(-q)];
  }
  const int s = k + q;
  if (s >= 0) {
    f.num <<= s;
  } else {
    f.den <<= -s;
  }
  return f;
}

// The rounding the slow and sure way: the decade searched with exact
// divisions, then rounded half to even.
template <int N>
[[gnu::noinline]] Decimal decimal_exact(std::uint32_t mag) {
  const bool normal = (mag >> 23) != 0;
  const int log2 = normal ? static_cast<int>(mag >> 23) - 127 : static_cast<int>(std::bit_width(mag)) - 150;
  int e10 = (log2 * 78913) >> 18;  // floor(log10) of the value or one less
  for (;;) {
    const Fraction f = scaled(mag, N - 1 - e10);
    u128 whole = f.num / f.den;
    const u128 rem = f.num % f.den;
    if (whole >= pow10_u32(N)) {
      ++e10;
      continue;
    }
    if (2 * rem > f.den || (2 * rem == f.den && (whole & 1))) ++whole;  // half to even
    if (whole == pow10_u32(N)) {  // rounded up into the next decade
      whole = pow10_u32(N - 1);
      ++e10;
    }
    return {static_cast<std::uint32_t>(whole), e10};
  }
}

// Whether a value whose scaled form lies next to whole + 1/2 rounds up:
// above the half, or on it with an odd whole. No division needed.
[[gnu::noinline]] inline bool rounds_up(std::uint32_t mag, int q, std::uint32_t whole) {
  const Fraction f = scaled(mag, q);
  const u128 twice = 2 * f.num, half_mark = (2 * u128{whole} + 1) * f.den;
  return twice > half_mark || (twice == half_mark && (whole & 1));
}

// For each binary exponent b of a nonzero real4 (as a double: subnormals
// from -149 on), the decade e10 of the values in [2^b, 2^(b+1)) is e10_low
// or e10_low + 1, the latter from the threshold 10^(e10_low+1) on. The
// scales bring a value of either decade to N-digit range, times 2^32.
struct Binade {
  double threshold;
  double scale[2];  // 10^(N-1-e10) * 2^32 for e10_low and e10_low + 1
  int e10_low;
};
constexpr int min_binade = -149, max_binade = 127;

template <int N>
constexpr auto binade_table = [] {
  std::array<Binade, max_binade - min_binade + 1> t{};
  for (int b = min_binade; b <= max_binade; ++b) {
    const int e = (b * 78913) >> 18;  // floor(b * log10(2))
    const double low_scale = pow10_table[N - 1 - e - pow10_low], high_scale = pow10_table[N - 2 - e - pow10_low];
    t[static_cast<std::size_t>(b - min_binade)] = {pow10_table[e + 1 - pow10_low], {low_scale * 0x1p32, high_scale * 0x1p32}, e};
  }
  return t;
}();

// The same in double arithmetic: |v| * 10^q * 2^32 in one product with a
// correctly rounded power, relative error below 2^-52, so below two units of
// 2^-32 once truncated to an integer. A value within 16 units of a half, or
// outside [10^(N-1), 10^N - 1) (the decade guessed wrong next to a power of
// ten, or a round-up into the next decade), is settled exactly.
template <int N>
inline Decimal decimal_of(std::uint32_t mag) {
  static_assert(N >= 4 && N <= 6);
  constexpr std::uint64_t unit = std::uint64_t{1} << 32, margin = 16;
  constexpr std::uint64_t low = pow10_u32(N - 1) * unit, high = (pow10_u32(N) - 1) * unit;
  const double d = std::bit_cast<float>(mag);  // exact, subnormals included
  const int b = static_cast<int>(std::bit_cast<std::uint64_t>(d) >> 52) - 1023;
  const Binade& t = binade_table<N>[static_cast<std::size_t>(b - min_binade)];
  // Which decade is data-dependent: an index, not a branch that random
  // magnitudes would mispredict.
  const int high_decade = d >= t.threshold ? 1 : 0;
  const int e10 = t.e10_low + high_decade;
  const auto y = static_cast<std::uint64_t>(static_cast<std::int64_t>(d * t.scale[high_decade]));  // below 2^56
  if (y - low >= high - low) [[unlikely]]
    return decimal_exact<N>(mag);
  const auto whole = static_cast<std::uint32_t>(y >> 32);
  const auto frac = static_cast<std::uint32_t>(y);
  if (frac - (unit / 2 - margin) <= 2 * margin) [[unlikely]]
    return {whole + (rounds_up(mag, N - 1 - e10, whole) ? 1u : 0u), e10};
  return {whole + (frac >> 31), e10};
}

// The first three of six digits with the point after the first ("d.dd"),
// and three digits ("ddd" and a byte that the exponent covers).
constexpr auto head_digits = [] {
  std::array<std::array<char, 4>, 1000> t{};
  for (int i = 0; i < 1000; ++i)
    t[static_cast<std::size_t>(i)] = {static_cast<char>('0' + i / 100), '.', static_cast<char>('0' + i / 10 % 10),
                                      static_cast<char>('0' + i % 10)};
  return t;
}();
constexpr auto tail_digits = [] {
  std::array<std::array<char, 4>, 1000> t{};
  for (int i = 0; i < 1000; ++i)
    t[static_cast<std::size_t>(i)] = {static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                                      static_cast<char>('0' + i % 10), ' '};
  return t;
}();

// "E+nn" or "E-nn" for each exponent of a real4.
constexpr auto exponent_table = [] {
  std::array<std::array<char, 4>, max_exp10 - min_exp10 + 1> t{};
  for (int e = min_exp10; e <= max_exp10; ++e) {
    const int a = e < 0 ? -e : e;
    t[static_cast<std::size_t>(e - min_exp10)] = {'E', e < 0 ? '-' : '+', static_cast<char>('0' + a / 10),
                                                  static_cast<char>('0' + a % 10)};
  }
  return t;
}();

// NaN and the infinities, right-justified in the field; NaN has no sign.
template <int W>
void put_infnan(char* p, std::uint32_t bits) {
  static_assert(W >= 9, "the field holds -Infinity");
  const bool nan = (bits & 0x7fffff) != 0;
  const bool neg = (bits >> 31) != 0;
  const char* text = nan ? "NaN" : neg ? "-Infinity" : "Infinity";
  const int len = nan ? 3 : neg ? 9 : 8;
  std::memset(p, ' ', static_cast<std::size_t>(W - len));
  std::memcpy(p + W - len, text, static_cast<std::size_t>(len));
}

// 1PEw.d with w = W and d = N - 1: blanks, the sign or a blank, the first
// digit, the point, N - 1 digits, the exponent. Stores of 8, 4, 4 and 4
// bytes, each within the field, the later ones over the ends of the earlier.
template <int W, int N, bool Exact = false>
[[gnu::always_inline]] inline void put_field(char* p, float v) {
  constexpr int lead = W - N - 5;  // columns ahead of the first digit, the sign's included
  static_assert(lead >= 1 && lead + 8 <= W && N >= 4 && N <= 6);
  const auto bits = std::bit_cast<std::uint32_t>(v);
  const std::uint32_t mag = bits & 0x7fffffff;
  Decimal dec{0, 0};
  if (mag - 1 < 0x7f7fffff) {  // finite and not zero
    dec = Exact ? decimal_exact<N>(mag) : decimal_of<N>(mag);
  } else if (mag != 0) {
    put_infnan<W>(p, bits);
    return;
  }
  const std::uint64_t sign = static_cast<std::uint64_t>(bits >> 31) * ('-' ^ ' ') << byte_shift(lead - 1);
  const std::uint64_t head = 0x2020202020202020 ^ sign;
  const std::uint32_t six = dec.digits * pow10_u32(6 - N);  // the digits and zeros up to six
  const std::uint32_t first = six / 1000;
  std::memcpy(p, &head, 8);
  std::memcpy(p + lead, head_digits[first].data(), 4);
  std::memcpy(p + lead + 4, tail_digits[six - 1000 * first].data(), 4);
  std::memcpy(p + W - 4, exponent_table[static_cast<std::size_t>(dec.exp10 - min_exp10)].data(), 4);
}

template <int W, int N>
char* put_line(char* dst, const float* v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i, dst += W) put_field<W, N>(dst, v[i]);
  *dst++ = '\n';
  return dst;
}

template <int W, int N>
std::size_t put_lines(std::size_t per_line, std::span<const float> v, char* dst) {
  char* p = dst;
  std::size_t i = 0;
  for (; v.size() - i > per_line; i += per_line) p = put_line<W, N>(p, v.data() + i, per_line);
  p = put_line<W, N>(p, v.data() + i, v.size() - i);  // the last line, or the one empty line
  return static_cast<std::size_t>(p - dst);
}

}  // namespace

void edit_real4_exp(Real4Exp e, char* dst, float v) {
  switch (e) {
    case Real4Exp::e15_5: return put_field<15, 6>(dst, v);
    case Real4Exp::e12_4: return put_field<12, 5>(dst, v);
    case Real4Exp::e10_3: return put_field<10, 4>(dst, v);
  }
}

void edit_real4_exp_exact(Real4Exp e, char* dst, float v) {
  switch (e) {
    case Real4Exp::e15_5: return put_field<15, 6, true>(dst, v);
    case Real4Exp::e12_4: return put_field<12, 5, true>(dst, v);
    case Real4Exp::e10_3: return put_field<10, 4, true>(dst, v);
  }
}

char* put_real4_exp_line(Real4Exp e, char* dst, const float* v, std::size_t n) {
  switch (e) {
    case Real4Exp::e15_5: return put_line<15, 6>(dst, v, n);
    case Real4Exp::e12_4: return put_line<12, 5>(dst, v, n);
    case Real4Exp::e10_3: return put_line<10, 4>(dst, v, n);
  }
  return dst;
}

std::size_t put_real4_exp_lines(Real4Exp e, std::size_t per_line, std::span<const float> v, char* dst) {
  switch (e) {
    case Real4Exp::e15_5: return put_lines<15, 6>(per_line, v, dst);
    case Real4Exp::e12_4: return put_lines<12, 5>(per_line, v, dst);
    case Real4Exp::e10_3: return put_lines<10, 4>(per_line, v, dst);
  }
  return 0;
}

}  // namespace qx
