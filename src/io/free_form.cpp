#include "io/free_form.hpp"

#include <istream>
#include <ostream>

namespace qx {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void free_form_write(std::ostream& out, std::initializer_list<std::string_view> items) {
  std::string line;
  if (items.size()) line.push_back(' ');
  for (std::string_view s : items) line.append(s);
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

int free_form_read(std::istream& in, std::string& value, std::size_t max_len) {
  value.clear();
  std::string line;
  std::size_t i = 0;
  // The first line that holds more than blanks.
  for (;;) {
    if (!std::getline(in, line)) return -1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    i = 0;
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i < line.size()) break;
  }
  const char first = line[i];
  if (first == '\'' || first == '"') {
    // Up to the closing quote; a doubled quote stands for one.
    for (++i; i < line.size(); ++i) {
      if (line[i] == first) {
        if (i + 1 < line.size() && line[i + 1] == first) {
          ++i;
        } else {
          break;
        }
      }
      value.push_back(line[i]);
    }
  } else {
    // A comma or slash first gives the empty (null) value.
    for (; i < line.size() && !is_blank(line[i]) && line[i] != ',' && line[i] != '/'; ++i) value.push_back(line[i]);
  }
  if (value.size() > max_len) value.resize(max_len);
  return 0;
}

}  // namespace qx
