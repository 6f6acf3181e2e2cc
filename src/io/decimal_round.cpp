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

// Results of the inexact fast path stay below 10^9, so that a relative error
// of a few units of 2^-53 is far smaller than the distance kept from a tie.
constexpr int fast_digits = 9;
constexpr double fast_limit = 1e9;
constexpr double fast_margin = fast_limit * 0x1p-49;

// ax * 10^q in at most three correctly rounded operations with exact powers
// (relative error below 2^-51); false when |q| needs more.
bool scale_fast(double ax, int q, double& y) {
  if (q > 66 || q < -66) return false;
  y = ax;
  if (q >= 0) {
    for (; q > 22; q -= 22) y *= 1e22;
    y *= exact_pow10[q];
  } else {
    for (q = -q; q > 22; q -= 22) y /= 1e22;
    y /= exact_pow10[q];
  }
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

// y = ax * 10^q (from scale_fast) rounded half to even. y carries a small
// relative error, so it is first rounded only when it lies clearly away
// from a half. For 0 <= q <= 22 the power is exact and the product is
// y + lo exactly, so that any other case below 2^52 (a tie included) is
// decided exactly.
bool round_fast(double ax, int q, double y, std::uint64_t& r) {
  const double fl = std::floor(y);
  const double fr = y - fl;  // exact while y < 2^52
  if (y < fast_limit && std::fabs(fr - 0.5) > fast_margin) {
    r = static_cast<std::uint64_t>(fl) + (fr > 0.5 ? 1 : 0);
    return true;
  }
  if (q < 0 || q > 22 || !(y < 0x1p52)) return false;
  const double lo = product_error(ax, exact_pow10[q], y);
  const double above_half = (fr - 0.5) + lo;  // its sign is exact
  r = static_cast<std::uint64_t>(fl);
  if (above_half > 0 || (above_half == 0 && (r & 1))) ++r;
  return true;
}

// r as exactly n digits (leading zeros included).
void put_digits(char* out, std::uint64_t r, int n) {
  for (int i = n - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + r % 10);
    r /= 10;
  }
}

int digit_count(std::uint64_t r) {
  int n = 0;
  for (; r; r /= 10) ++n;
  return n;
}

bool significant_fast(double ax, int n, char* out, int& e) {
  const auto bits = std::bit_cast<std::uint64_t>(ax);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (n > fast_digits || biased == 0) return false;
  // floor(log10(ax)) or one off from it.
  int e10 = ((biased - 1023) * 78913) >> 18;
  const double lo = exact_pow10[n - 1], hi = exact_pow10[n];
  double y = 0;
  for (int tries = 0;; ++tries) {
    if (tries == 3 || !scale_fast(ax, n - 1 - e10, y)) return false;
    if (y >= hi) {
      ++e10;
    } else if (y < lo - fast_margin) {
      --e10;
    } else {
      break;
    }
  }
  std::uint64_t r;
  if (!round_fast(ax, n - 1 - e10, y, r)) return false;
  if (r >= static_cast<std::uint64_t>(hi)) {  // rounded up to the next power of ten
    r /= 10;
    ++e10;
  }
  put_digits(out, r, n);
  e = e10;
  return true;
}

}  // namespace

int round_significant(double ax, int n, char* out) {
  int e = 0;
  if (significant_fast(ax, n, out, e)) return e;
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
  std::from_chars(p, res.ptr, e);
  return neg ? -e : e;
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
