#include "io/edit_input.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "io/layout.hpp"
#include "io/status.hpp"

namespace qx {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_alnum(char c) { return is_digit(c) || (lower(c) >= 'a' && lower(c) <= 'z'); }

std::size_t skip_blanks(std::string_view f, std::size_t i) {
  while (i < f.size() && f[i] == ' ') ++i;
  return i;
}

// "Inf", "Infinity" or "NaN" in any case, "NaN(tag)" with a letters-and-digits
// tag; trailing blanks allowed. Anything after a blank must still be letters
// or digits. -1 when the text is none of these, 1 for infinity, 0 for NaN.
int infnan_kind(std::string_view f) {
  std::string word;
  bool ended = false;
  int parens = 0;
  for (char c : f) {
    if (c == ' ') {
      if (parens == 1) return -1;
      ended = true;
    } else if (c == '(') {
      ++parens;
      ended = true;
    } else if (c == ')') {
      if (parens++ != 1) return -1;
    } else if (!is_alnum(c)) {
      return -1;
    } else if (!ended) {
      word.push_back(lower(c));
    }
  }
  if (parens != 0 && parens != 2) return -1;
  if (word == "inf" || word == "infinity") return parens ? -1 : 1;
  return word == "nan" ? 0 : -1;
}

// Decimal exponent of the first non-zero digit of "[-]ddd[.ddd]" scaled by
// 10^exponent; enough to tell an overflow from an underflow.
int leading_exponent(const char* first, const char* last, int exponent) {
  int int_digits = 0, position = 0;
  bool point = false, found = false;
  for (const char* p = first; p != last; ++p) {
    if (*p == '.') {
      point = true;
    } else if (is_digit(*p)) {
      if (!point) {
        if (found || *p != '0') ++int_digits;
      } else {
        --position;
      }
      if (*p != '0' && !found) {
        found = true;
        if (point) return position + exponent;
      }
    }
  }
  return int_digits - 1 + exponent;
}

// The value of a well-formed decimal text, rounded once to T; a value
// beyond the range of T becomes an infinity, one below its smallest
// subnormal a zero, both with the sign of the text.
template <class T>
T convert(const char* first, const char* last, bool negative, int exponent) {
  T v{};
  auto res = std::from_chars(first, last, v);
  if (res.ec == std::errc::result_out_of_range) {
    const char* mantissa_end = first;
    while (mantissa_end != last && *mantissa_end != 'e') ++mantissa_end;
    v = leading_exponent(first, mantissa_end, exponent) > 0 ? std::numeric_limits<T>::infinity() : T(0);
    if (negative) v = -v;
  }
  return v;
}

template <class T>
int read_real(std::string_view f, int d, int scale, T& v) {
  if (f.size() > static_cast<std::size_t>(Layout::max_width)) return iostat::bad_field;
  std::size_t i = skip_blanks(f, 0);
  if (i == f.size()) {
    v = T(0);
    return iostat::ok;
  }
  // The field is rewritten as a plain decimal text "-ddd.ddde-nnnn" and
  // converted in one step: no rounding but the final one.
  char buf[Layout::max_width + 32];
  char* out = buf;
  bool negative = false;
  if (f[i] == '+' || f[i] == '-') {
    negative = f[i] == '-';
    if (negative) *out++ = '-';
    i = skip_blanks(f, i + 1);
    if (i == f.size()) {
      v = T(0);
      return iostat::ok;
    }
  }
  if (f.size() - i >= 3 && (lower(f[i]) == 'i' || lower(f[i]) == 'n')) {
    const int kind = infnan_kind(f.substr(i));
    if (kind < 0) return iostat::bad_field;
    v = kind ? std::numeric_limits<T>::infinity() : std::numeric_limits<T>::quiet_NaN();
    if (negative) v = -v;
    return iostat::ok;
  }
  bool seen_point = false, int_digit = false, frac_digit = false;
  bool exponent_follows = false;
  for (; i < f.size() && !exponent_follows; ++i) {
    const char c = f[i];
    if (c == ' ') continue;
    if (is_digit(c)) {
      *out++ = c;
      (seen_point ? frac_digit : int_digit) = true;
    } else if (c == '.') {
      if (seen_point) return iostat::bad_field;
      if (!int_digit) *out++ = '0';
      *out++ = '.';
      seen_point = true;
    } else if (c == '+' || c == '-') {
      exponent_follows = true;
      --i;  // the sign belongs to the exponent
    } else if (lower(c) == 'e' || lower(c) == 'd' || lower(c) == 'q') {
      exponent_follows = true;
    } else {
      return iostat::bad_field;
    }
  }
  long exponent = -scale;
  if (exponent_follows) {
    i = skip_blanks(f, i);
    int sign = 1;
    if (i < f.size() && (f[i] == '+' || f[i] == '-')) {
      sign = f[i] == '-' ? -1 : 1;
      ++i;
    }
    if (i == f.size()) return iostat::bad_field;
    long e = 0;
    for (; i < f.size(); ++i) {
      if (f[i] == ' ') continue;
      if (!is_digit(f[i])) return iostat::bad_field;
      e = std::min(e * 10 + (f[i] - '0'), 100000000L);
    }
    exponent = sign * e;
  }
  if (!seen_point) exponent -= d;
  if (seen_point && !frac_digit) {
    *out++ = '0';
  } else if (!int_digit && !frac_digit) {
    *out++ = '0';  // an exponent alone ("E5") stands for zero
  }
  if (exponent <= -10000 || exponent >= 10000) return iostat::bad_field;
  if (exponent != 0) {
    *out++ = 'e';
    out = std::to_chars(out, buf + sizeof buf, exponent).ptr;
  }
  v = convert<T>(buf, out, negative, static_cast<int>(exponent));
  return iostat::ok;
}

}  // namespace

int read_int_field(std::string_view f, std::int32_t& v) {
  std::size_t i = skip_blanks(f, 0);
  if (i == f.size()) {
    v = 0;
    return iostat::ok;
  }
  bool negative = false;
  if (f[i] == '+' || f[i] == '-') {
    negative = f[i] == '-';
    if (++i == f.size()) return iostat::bad_field;  // a sign that ends the field
  }
  const std::uint64_t max = negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (; i < f.size(); ++i) {
    const char c = f[i];
    if (c == ' ') continue;
    if (!is_digit(c)) return iostat::bad_field;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > max) return iostat::bad_field;
  }
  v = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value)) : static_cast<std::int32_t>(value);
  return iostat::ok;
}

int read_real_field(std::string_view f, int d, int scale, float& v) { return read_real(f, d, scale, v); }
int read_real_field(std::string_view f, int d, int scale, double& v) { return read_real(f, d, scale, v); }

}  // namespace qx
