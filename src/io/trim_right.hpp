// Texts are held in fixed-length blank-padded fields and used without their
// trailing blanks.
#pragma once

#include <string_view>

namespace qx {

// The text without its trailing blanks (an empty view when it is all blank).
constexpr std::string_view trim_right(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

}  // namespace qx
