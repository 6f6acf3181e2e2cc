// A count with its noun: "1 case", "3 cases".
#pragma once

#include <string>
#include <string_view>

namespace qxbatch {

inline std::string counted(std::size_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

}  // namespace qxbatch
