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

}  // namespace qxbatch
