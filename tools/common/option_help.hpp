// One row of a tool's option list in its --help text: the option names and
// argument in a column of 24 characters, the help beside them, and the help's
// further lines indented under it. A name too long for the column gets the
// help on the next line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qxtools {

inline void print_option_row(std::FILE* out, std::string_view names, std::string_view arg,
                             std::string_view help) {
  constexpr int column = 24;
  std::string left = "  " + std::string(names);
  if (!arg.empty()) left += " " + std::string(arg);
  std::fprintf(out, "%-*s", column, left.c_str());
  if (left.size() >= column) std::fprintf(out, "\n%*s", column, "");
  for (char c : help) {
    std::fputc(c, out);
    if (c == '\n') std::fprintf(out, "%*s", column, "");
  }
  std::fputc('\n', out);
}

}  // namespace qxtools
