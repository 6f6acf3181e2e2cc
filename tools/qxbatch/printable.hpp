// Case names and messages shown on the terminal: a control character of a
// name would move the cursor or ring the bell, so each is shown as '?'.
#pragma once

#include <string>
#include <string_view>

namespace qxbatch {

inline std::string printable(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return s;
}

// The lines of `text` each made printable, joined by `separator`; the line
// feed after the last one is dropped.
inline std::string printable_lines(std::string_view text, std::string_view separator) {
  if (text.ends_with('\n')) text.remove_suffix(1);
  std::string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    out += printable(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return out;
    out += separator;
    start = end + 1;
  }
}

}  // namespace qxbatch
