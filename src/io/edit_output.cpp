#include "io/edit_output.hpp"

#include <cmath>
#include <cstring>

#include "io/decimal_round.hpp"

namespace qx {
namespace {

void stars(char* dst, int w) { std::memset(dst, '*', static_cast<std::size_t>(w)); }

void right_justify(char* dst, int w, std::string_view s) {
  const auto pad = static_cast<std::size_t>(w) - s.size();
  std::memset(dst, ' ', pad);
  if (!s.empty()) std::memcpy(dst + pad, s.data(), s.size());
}

// NaN and Infinity take the longest form the width holds: "Infinity" or
// "Inf" ("-Infinity", "-Inf"); NaN has no sign. True when v was one of them.
bool edit_infnan(char* dst, int w, double v) {
  if (std::isnan(v)) {
    if (w < 3) {
      stars(dst, w);
    } else {
      right_justify(dst, w, "NaN");
    }
    return true;
  }
  if (!std::isinf(v)) return false;
  const bool neg = v < 0;
  const std::string_view longest = neg ? "-Infinity" : "Infinity";
  const std::string_view shortest = neg ? "-Inf" : "Inf";
  if (w >= static_cast<int>(longest.size())) {
    right_justify(dst, w, longest);
  } else if (w >= static_cast<int>(shortest.size())) {
    right_justify(dst, w, shortest);
  } else {
    stars(dst, w);
  }
  return true;
}

// The exponent part of an E field, four characters: "E+nn", or "+nnn" when
// the exponent has three digits.
void put_exponent(char* p, int e) {
  const int ae = e < 0 ? -e : e;
  const char sign = e < 0 ? '-' : '+';
  if (ae <= 99) {
    p[0] = 'E';
    p[1] = sign;
  } else {
    p[0] = sign;
    p[1] = static_cast<char>('0' + ae / 100);
  }
  p[2] = static_cast<char>('0' + ae / 10 % 10);
  p[3] = static_cast<char>('0' + ae % 10);
}

// The n significant digits of ax (>= 0) and the exponent for the scale.
int exp_digits(double ax, int n, int scale, char* digits) {
  if (ax == 0) {
    std::memset(digits, '0', static_cast<std::size_t>(n));
    return 0;
  }
  return round_significant(ax, n, digits) + 1 - scale;
}

// Blanks at the start of a field of width w; those of a short run with one
// store of eight, whose excess the parts written next cover.
void put_blanks(char* dst, int blanks, int w) {
  if (w >= 8 && blanks <= 8) {
    std::memcpy(dst, "        ", 8);
  } else {
    std::memset(dst, ' ', static_cast<std::size_t>(blanks));
  }
}

}  // namespace

void edit_int(char* dst, int w, std::int32_t v) {
  char digits[12];
  char* end = digits + sizeof digits;
  char* p = end;
  std::uint32_t m = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  do {
    *--p = static_cast<char>('0' + m % 10);
    m /= 10;
  } while (m);
  if (v < 0) *--p = '-';
  const auto len = static_cast<int>(end - p);
  if (len > w) {
    stars(dst, w);
    return;
  }
  std::memset(dst, ' ', static_cast<std::size_t>(w - len));
  std::memcpy(dst + (w - len), p, static_cast<std::size_t>(len));
}

void edit_fixed(char* dst, int w, int d, int scale, double v) {
  if (edit_infnan(dst, w, v)) return;
  if (d + 1 > w) {  // not even the point and the decimals fit
    stars(dst, w);
    return;
  }
  const bool neg = std::signbit(v);  // -0.0 and values rounding to zero keep their sign
  char digits[max_digits];
  const int n = round_scaled(std::fabs(v), d + scale, digits);
  const int before = n > d ? n - d : 0;
  int blanks = w - (before + 1 + d) - (neg ? 1 : 0);
  const bool lead_zero = before == 0 && blanks > 0;
  if (lead_zero) --blanks;
  if (blanks < 0 || w == 1 || (w == 2 && neg)) {
    stars(dst, w);
    return;
  }
  char* p = dst;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (neg) *p++ = '-';
  if (lead_zero) *p++ = '0';
  std::memcpy(p, digits, static_cast<std::size_t>(before));
  p += before;
  *p++ = '.';
  if (n >= d) {
    std::memcpy(p, digits + before, static_cast<std::size_t>(d));
  } else {
    std::memset(p, '0', static_cast<std::size_t>(d - n));
    std::memcpy(p + (d - n), digits, static_cast<std::size_t>(n));
  }
}

// Every part is written where it belongs in the field, the digits included,
// and nothing is read back: editing millions of values, a field put
// together elsewhere and copied would stall on reading its pieces.
bool edit_exp(char* dst, int w, int d, int scale, double v) {
  if (scale <= 0 ? scale <= -d : scale >= d + 2) return false;
  if (edit_infnan(dst, w, v)) return true;
  const bool neg = std::signbit(v);
  const int before = scale > 0 ? scale : 0;
  const int zeros = scale < 0 ? -scale : 0;
  const int after = scale > 0 ? d - scale + 1 : d + scale;
  const int n = before + after;  // significant digits
  const int needed = before + zeros + after + 1 + 4 + (neg ? 1 : 0);
  if (needed > w) {
    stars(dst, w);
    return true;
  }
  int blanks = w - needed;
  const bool lead_zero = before == 0 && blanks > 0;
  if (lead_zero) --blanks;
  put_blanks(dst, blanks, w);
  char* p = dst + blanks;
  *p = '-';  // overwritten next unless the value is negative
  p += neg ? 1 : 0;
  *p = '0';
  p += lead_zero ? 1 : 0;
  const double ax = std::fabs(v);
  int e = 0;
  if (before > 0) {
    // The digits one column to the right; those ahead of the point move
    // back over it.
    e = exp_digits(ax, n, scale, p + 1);
    if (before == 1) {
      p[0] = p[1];
    } else {
      std::memmove(p, p + 1, static_cast<std::size_t>(before));
    }
    p[before] = '.';
    p += n + 1;
  } else {
    *p++ = '.';
    std::memset(p, '0', static_cast<std::size_t>(zeros));
    p += zeros;
    e = exp_digits(ax, n, scale, p);
    p += n;
  }
  if (e < -999 || e > 999) {
    stars(dst, w);
    return true;
  }
  put_exponent(p, e);
  return true;
}

std::size_t edit_text(char* dst, int w, std::string_view s) {
  if (w == 0 || s.size() >= static_cast<std::size_t>(w)) {
    const std::size_t n = w == 0 ? s.size() : static_cast<std::size_t>(w);
    if (n) std::memcpy(dst, s.data(), n);
    return n;
  }
  right_justify(dst, w, s);
  return static_cast<std::size_t>(w);
}

}  // namespace qx
