#include "io/decimal_round.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qx {
namespace {

constexpr double exact_pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^k for |k| <= max_pow10, each correctly rounded (exact for 0 <= k <= 22).
constexpr int max_pow10 = 66;
constexpr double pow10_table[2 * max_pow10 + 1] = {
    1e-66, 1e-65, 1e-64, 1e-63, 1e-62, 1e-61, 1e-60, 1e-59, 1e-58, 1e-57, 1e-56, 1e-55, 1e-54, 1e-53,
    1e-52, 1e-51, 1e-50, 1e-49, 1e-48, 1e-47, 1e-46, 1e-45, 1e-44, 1e-43, 1e-42, 1e-41, 1e-40, 1e-39,
    1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25,
    1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
    1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,
    1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,
    1e18,  1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,
    1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,
    1e46,  1e47,  1e48,  1e49,  1e50,  1e51,  1e52,  1e53,  1e54,  1e55,  1e56,  1e57,  1e58,  1e59,
    1e60,  1e61,  1e62,  1e63,  1e64,  1e65,  1e66};

// The fast path scales in double arithmetic with a relative error below
// 2^-52, and rounds at once only what lies farther than eight times that
// from a half. Significant digits beyond nine go the exact way.
constexpr int fast_digits = 9;
constexpr double fast_margin = 0x1p-49;

// ax * 10^q in one correctly rounded product with a correctly rounded power
// (relative error below 2^-52; exact power for 0 <= q <= 22); false when |q|
// is out of the table.
bool scale_fast(double ax, int q, double& y) {
  if (q > max_pow10 || q < -max_pow10) return false;
  y = ax * pow10_table[q + max_pow10];
  return true;
}

// The rounding error of a * b: a * b == p + e exactly for p = a * b
// (Dekker's product; no fused multiply-add needed).
double product_error(double a, double b, double p) {
  constexpr double split = 134217729.0;  // 2^27 + 1
  const double ca = split * a, cb = split * b;
  const double ah = ca - (ca - a), al = a - ah;
  const double bh = cb - (cb - b), bl = b - bh;
  return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Near a half, y = ax * 10^q is rounded exactly: for 0 <= q <= 22 the power
// is exact and the product is y + lo exactly, so that any case below 2^52
// (a tie included) is decided. False for other q.
[[gnu::noinline]] bool round_near_half(double ax, int q, double y, std::uint64_t whole, double fr,
                                       std::uint64_t& r) {
  if (q < 0 || q > 22) return false;
  const double lo = product_error(ax, exact_pow10[q], y);
  const double above_half = (fr - 0.5) + lo;  // its sign is exact
  r = whole;
  if (above_half > 0 || (above_half == 0 && (r & 1))) ++r;
  return true;
}

// y = ax * 10^q (from scale_fast) rounded half to even. y carries a small
// relative error, so it is rounded at once only when it lies clearly away
// from a half.
inline bool round_fast(double ax, int q, double y, std::uint64_t& r) {
  if (!(y < 0x1p52)) return false;
  const auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(y));  // y >= 0: the floor
  const double fr = y - static_cast<double>(static_cast<std::int64_t>(whole));  // exact below 2^52
  if (std::fabs(fr - 0.5) > y * fast_margin) {  // one branch, taken almost always
    r = whole + (fr > 0.5 ? 1 : 0);
    return true;
  }
  return round_near_half(ax, q, y, whole, fr, r);
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// r as exactly n digits (leading zeros included), two at a time.
void put_digits(char* out, std::uint64_t r, int n) {
  int i = n;
  for (; i >= 2; i -= 2) {
    const auto k = static_cast<std::size_t>(r % 100) * 2;
    r /= 100;
    out[i - 2] = digit_pairs[k];
    out[i - 1] = digit_pairs[k + 1];
  }
  if (i == 1) out[0] = static_cast<char>('0' + r % 10);
}

// The same for r < 10^9: the last four digits and those ahead of them come
// from one division each, so that the digits of one value do not wait on a
// long chain of divisions.
inline void put_digits9(char* out, std::uint32_t r, int n) {
  if (n > 4) {
    const std::uint32_t last = r % 10000;
    put_digits(out, r / 10000, n - 4);
    const auto k1 = static_cast<std::size_t>(last / 100) * 2, k2 = static_cast<std::size_t>(last % 100) * 2;
    char* p = out + n - 4;
    p[0] = digit_pairs[k1];
    p[1] = digit_pairs[k1 + 1];
    p[2] = digit_pairs[k2];
    p[3] = digit_pairs[k2 + 1];
  } else {
    put_digits(out, r, n);
  }
}

// Decimal digits of r (0 for 0): from its binary length, and one comparison.
int digit_count(std::uint64_t r) {
  static constexpr std::uint64_t powers[] = {
      1u, 10u, 100u, 1000u, 10000u,
      100000u, 1000000u, 10000000u, 100000000u, 1000000000u,
      10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u,
      1000000000000000u, 10000000000000000u, 100000000000000000u, 1000000000000000000u, 10000000000000000000u};
  if (r == 0) return 0;
  const int t = (std::bit_width(r) * 1233) >> 12;  // floor(log10(2^bits)), at most 19
  return t + (r >= powers[t] ? 1 : 0);
}

bool significant_fast(double ax, int n, char* out, int& e) {
  const auto bits = std::bit_cast<std::uint64_t>(ax);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (n > fast_digits || biased == 0) return false;
  // floor(log10(ax)): ax lies in [2^b, 2^(b+1)), whose decimal logarithms
  // span less than one, so the estimate from b is the floor or one less. The
  // comparison settles it without a branch that random data would mispredict.
  // Next to an inexact power of ten it may settle one too high; the scaled
  // value then lies a hair below lo and still rounds to the same digits and
  // exponent. Anything further off takes the exact path.
  int e10 = ((biased - 1023) * 78913) >> 18;
  if (e10 < -max_pow10 || e10 >= max_pow10) return false;
  e10 += ax >= pow10_table[e10 + 1 + max_pow10] ? 1 : 0;
  const int q = n - 1 - e10;
  double y = 0;
  if (!scale_fast(ax, q, y)) return false;
  const double lo = exact_pow10[n - 1], hi = exact_pow10[n];
  if (y >= hi || y < lo - lo * fast_margin) return false;
  std::uint64_t r;
  if (!round_fast(ax, q, y, r)) return false;
  if (r >= static_cast<std::uint64_t>(hi)) {  // rounded up to the next power of ten
    r /= 10;
    ++e10;
  }
  put_digits9(out, static_cast<std::uint32_t>(r), n);
  e = e10;
  return true;
}

// The digits from std::to_chars, correctly rounded from the exact value;
// slow, and rarely needed.
[[gnu::noinline]] int significant_exact(double ax, int n, char* out) {
  // d.ddd...e[+-]xx
  char buf[max_digits + 16];
  auto res = std::to_chars(buf, buf + sizeof buf, ax, std::chars_format::scientific, n - 1);
  const char* p = buf;
  *out++ = *p++;
  if (n > 1) {
    ++p;  // the point
    std::memcpy(out, p, static_cast<std::size_t>(n - 1));
    p += n - 1;
  }
  ++p;  // 'e'
  const bool neg = *p == '-';
  ++p;
  int e = 0;
  std::from_chars(p, res.ptr, e);
  return neg ? -e : e;
}

}  // namespace

int round_significant(double ax, int n, char* out) {
  int e = 0;
  if (significant_fast(ax, n, out, e)) return e;
  return significant_exact(ax, n, out);
}

int round_scaled(double ax, int q, char* out) {
  double y = 0;
  std::uint64_t r = 0;
  if (scale_fast(ax, q, y) && round_fast(ax, q, y, r)) {
    const int n = digit_count(r);
    put_digits(out, r, n);
    return n;
  }
  char buf[max_digits + 16];
  if (q >= 0) {
    // The digits of the fixed form with q decimals, the point left out.
    auto res = std::to_chars(buf, buf + sizeof buf, ax, std::chars_format::fixed, q);
    int n = 0;
    bool leading = true;
    for (const char* p = buf; p != res.ptr; ++p) {
      if (*p == '.' || (leading && *p == '0')) continue;
      leading = false;
      out[n++] = *p;
    }
    return n;
  }
  // Rounding to a position left of the units: the integer part's digits are
  // exact, the fraction only decides whether a tie is really one.
  const double whole = std::trunc(ax);
  const bool fraction = whole != ax;
  auto res = std::to_chars(buf, buf + sizeof buf, whole, std::chars_format::fixed, 0);
  const int len = static_cast<int>(res.ptr - buf);
  const int keep = len + q;  // q < 0 digits are dropped
  if (whole == 0 || keep < 0) return 0;
  const char first = buf[keep];
  bool rest_zero = !fraction;
  for (int i = keep + 1; i < len && rest_zero; ++i) rest_zero = buf[i] == '0';
  bool up = first >= '5';
  if (first == '5' && rest_zero) up = keep > 0 && (buf[keep - 1] - '0') % 2 == 1;  // a tie: to even
  // The kept digits plus one when rounding up (a carry may add a digit).
  int n = 0;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && buf[i] == '9') buf[i--] = '0';
    if (i < 0) {
      out[n++] = '1';
    } else {
      ++buf[i];
    }
  }
  bool leading = n == 0;
  for (int i = 0; i < keep; ++i) {
    if (leading && buf[i] == '0') continue;
    leading = false;
    out[n++] = buf[i];
  }
  return n;
}

}  // namespace qx
