#include "common/json_text.hpp"

#include <charconv>
#include <cmath>

namespace qxtools {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` (overlong
// forms, surrogates and code points beyond U+10FFFF are not), or 0.
std::size_t utf8_sequence(std::string_view s) {
  const auto c = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = c(0);
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) n = 2;
  else if (b0 >= 0xE0 && b0 <= 0xEF) n = 3, lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
  else if (b0 >= 0xF0 && b0 <= 0xF4) n = 4, lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
  else return 0;
  if (s.size() < n || c(1) < lo || c(1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (c(i) < 0x80 || c(i) > 0xBF) return 0;
  return n;
}

template <typename T>
void append_number(std::string& out, T v) {
  char buf[40];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, ec == std::errc{} ? end : buf);
}

template <typename T>
void append_real(std::string& out, T v) {
  if (std::isnan(v)) out += "\"NaN\"";
  else if (std::isinf(v)) out += v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  else append_number(out, v);
}

}  // namespace

std::string json_string(std::string_view s) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto ch = static_cast<unsigned char>(s[i]);
    if (ch >= 0x80) {
      const std::size_t n = utf8_sequence(s.substr(i));
      if (n == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(s.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch < 0x20 || ch == '<' || ch == '>' || ch == '&' || ch == 0x7F) {
      out += "\\u00";
      out += hex[ch >> 4];
      out += hex[ch & 15];
    } else {
      out += static_cast<char>(ch);
    }
  }
  out += '"';
  return out;
}

void JsonText::separate() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) text_ += ',';
    first_.back() = false;
  }
}

JsonText& JsonText::begin_object() {
  separate();
  text_ += '{';
  first_.push_back(true);
  return *this;
}

JsonText& JsonText::end_object() {
  text_ += '}';
  first_.pop_back();
  return *this;
}

JsonText& JsonText::begin_array() {
  separate();
  text_ += '[';
  first_.push_back(true);
  return *this;
}

JsonText& JsonText::end_array() {
  text_ += ']';
  first_.pop_back();
  return *this;
}

JsonText& JsonText::key(std::string_view name) {
  separate();
  text_ += json_string(name);
  text_ += ':';
  after_key_ = true;
  return *this;
}

JsonText& JsonText::value(std::string_view s) {
  separate();
  text_ += json_string(s);
  return *this;
}

JsonText& JsonText::value(bool b) {
  separate();
  text_ += b ? "true" : "false";
  return *this;
}

JsonText& JsonText::value(double v) {
  separate();
  append_real(text_, v);
  return *this;
}

JsonText& JsonText::value(float v) {
  separate();
  append_real(text_, v);
  return *this;
}

JsonText& JsonText::value(std::int64_t v) {
  separate();
  append_number(text_, v);
  return *this;
}

JsonText& JsonText::value(std::uint64_t v) {
  separate();
  append_number(text_, v);
  return *this;
}

JsonText& JsonText::raw(std::string_view json) {
  separate();
  text_ += json;
  return *this;
}

JsonText& JsonText::null() {
  separate();
  text_ += "null";
  return *this;
}

}  // namespace qxtools
