// CSV text written as it goes, a row at a time, and handed to its sink in
// pieces of some 64 KiB: cells apart by commas, rows ended by a line feed.
// A text cell is quoted (its quotes doubled) only when it holds a comma, a
// quote or a line break, and, where the reader of the file would trim it,
// when it begins or ends with a blank; numbers are written in the fewest
// digits that read back to the same value.
#pragma once

#include <charconv>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qxtools {

// A text cell as CSV writes it.
std::string csv_field(std::string_view text, bool quote_blank_ends = false);

class CsvText {
 public:
  // `sink` takes each piece of text: false when it could not be written.
  explicit CsvText(std::function<bool(std::string_view)> sink, bool quote_blank_ends = false);

  void text(std::string_view s);
  template <typename Number>
  void number(Number v) {
    cell();
    char buf[40];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    text_.append(buf, ec == std::errc{} ? end : buf);
  }
  // A real in at most 15 significant digits: a value formed in double
  // precision from decimals, written as those decimals.
  void decimal(double v);
  void empty() { cell(); }
  void end_row();
  // Hands over what is held: false once any piece could not be written.
  bool flush();

 private:
  static constexpr std::size_t piece_bytes = std::size_t{1} << 16;
  void cell();

  std::function<bool(std::string_view)> sink_;
  bool quote_blank_ends_;
  std::string text_;
  bool row_begun_ = false;
  bool failed_ = false;
};

}  // namespace qxtools
