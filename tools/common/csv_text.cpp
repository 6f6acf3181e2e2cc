#include "common/csv_text.hpp"

namespace qxtools {

std::string csv_field(std::string_view text, bool quote_blank_ends) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (quote_blank_ends && !text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

CsvText::CsvText(std::function<bool(std::string_view)> sink, bool quote_blank_ends)
    : sink_(std::move(sink)), quote_blank_ends_(quote_blank_ends) {
  text_.reserve(piece_bytes + 64);
}

void CsvText::cell() {
  if (row_begun_) text_ += ',';
  row_begun_ = true;
}

void CsvText::text(std::string_view s) {
  cell();
  text_ += csv_field(s, quote_blank_ends_);
}

void CsvText::decimal(double v) {
  cell();
  char buf[40];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  text_.append(buf, ec == std::errc{} ? end : buf);
}

void CsvText::end_row() {
  text_ += '\n';
  row_begun_ = false;
  if (text_.size() >= piece_bytes) flush();
}

bool CsvText::flush() {
  if (!text_.empty() && !sink_(text_)) failed_ = true;
  text_.clear();
  return !failed_;
}

}  // namespace qxtools
