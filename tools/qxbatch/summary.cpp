#include "summary.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "progress.hpp"
#include "printable.hpp"

namespace qxbatch {
namespace {

constexpr std::string_view csv_header = "case,status,error,message,seconds,bytes_in,bytes_out";

std::string seconds_text(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", s);
  return buf;
}

bool all_digits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The length of the UTF-8 sequence at `s[i]`, 0 when it is not one.
std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  std::size_t n;
  std::uint32_t cp;
  if (b < 0x80) return 1;
  if (b >= 0xc2 && b <= 0xdf) n = 2, cp = b & 0x1f;
  else if (b >= 0xe0 && b <= 0xef) n = 3, cp = b & 0x0f;
  else if (b >= 0xf0 && b <= 0xf4) n = 4, cp = b & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xc0) != 0x80) return 0;
    cp = cp << 6 | (byte(i + k) & 0x3f);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  if (overlong || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return n;
}

// Splits CSV text into rows of fields.
bool parse_csv(std::string_view text, std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> row;
  std::string field;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field.push_back('"');
            ++i;
            continue;
          }
          ++i;
          break;
        }
        field.push_back(text[i]);
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') field.push_back(text[i++]);
    }
    if (i < text.size() && text[i] == '\r') ++i;
    if (i >= text.size() || text[i] == '\n') {
      row.push_back(std::move(field));
      rows.push_back(std::move(row));
      row.clear();
      field.clear();
      ++i;
    } else if (text[i] == ',') {
      row.push_back(std::move(field));
      field.clear();
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

template <class Number>
bool parse_number(const std::string& text, Number& value) {
  std::istringstream in(text);
  return static_cast<bool>(in >> value) && in.peek() == EOF;
}

}  // namespace

bool summary_format_of(std::string_view path, SummaryFormat& format) {
  if (path.ends_with(".csv")) {
    format = SummaryFormat::csv;
    return true;
  }
  if (path.ends_with(".jsonl") || path.ends_with(".json")) {
    format = SummaryFormat::json_lines;
    return true;
  }
  return false;
}

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t n = utf8_length(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  out.push_back('"');
  return out;
}

std::string csv_summary(const std::vector<CaseResult>& results) {
  std::string text = std::string(csv_header) + "\n";
  for (const CaseResult& r : results)
    text += csv_field(r.name) + "," + std::string(status_word(r.status)) + "," + csv_field(r.error) + "," +
            csv_field(r.message) + "," + seconds_text(r.seconds) + "," + std::to_string(r.bytes_in) + "," +
            std::to_string(r.bytes_out) + "\n";
  return text;
}

std::string json_lines_summary(const std::vector<CaseResult>& results) {
  std::string text;
  for (const CaseResult& r : results)
    text += "{\"case\":" + json_string(r.name) + ",\"status\":\"" + std::string(status_word(r.status)) +
            "\",\"error\":" + (all_digits(r.error) ? r.error : r.error.empty() ? "null" : json_string(r.error)) +
            ",\"message\":" + json_string(r.message) + ",\"seconds\":" + seconds_text(r.seconds) +
            ",\"bytes_in\":" + std::to_string(r.bytes_in) + ",\"bytes_out\":" + std::to_string(r.bytes_out) + "}\n";
  return text;
}

std::string write_summary(const std::string& path, const std::vector<CaseResult>& results) {
  SummaryFormat format;
  if (!summary_format_of(path, format)) return path + ": a summary file ends in .csv, .jsonl or .json";
  const std::string text = format == SummaryFormat::csv ? csv_summary(results) : json_lines_summary(results);
  const std::string temporary = path + ".part";
  {
    std::ofstream f(temporary, std::ios::binary | std::ios::trunc);
    if (!f) return "cannot write " + temporary + ": " + std::strerror(errno);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
    f.close();
    if (!f) {
      const std::string why = std::strerror(errno);
      std::remove(temporary.c_str());
      return "cannot write " + temporary + ": " + why;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(temporary.c_str());
    return "cannot write " + path + ": " + why;
  }
  return {};
}

std::string read_csv_summary(const std::string& path, std::vector<CaseResult>& results) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return "cannot read " + path + ": " + std::strerror(errno);
  std::ostringstream text;
  text << f.rdbuf();
  std::vector<std::vector<std::string>> rows;
  if (!parse_csv(text.str(), rows) || rows.empty() || rows[0].size() != 7) return path + ": not a qxbatch summary";
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto& row = rows[i];
    CaseResult r;
    if (row.size() != 7 || !parse_status(row[1], r.status) || !parse_number(row[4], r.seconds) ||
        !parse_number(row[5], r.bytes_in) || !parse_number(row[6], r.bytes_out))
      return path + ": row " + std::to_string(i + 1) + " is damaged";
    r.name = row[0];
    r.error = row[2];
    r.message = row[3];
    results.push_back(std::move(r));
  }
  return {};
}

void print_report(std::FILE* out, const std::vector<CaseResult>& results, double seconds, bool counts_line) {
  std::size_t count[4] = {};
  std::uint64_t read = 0, written = 0;
  for (const CaseResult& r : results) {
    ++count[static_cast<int>(r.status)];
    read += r.bytes_in;
    written += r.bytes_out;
  }
  if (counts_line)
    std::fprintf(out, "qxbatch: %zu done, %zu failed, %zu skipped, %zu interrupted of %zu cases%s (%s read, %s written)\n",
                 count[0], count[1], count[2], count[3], results.size(),
                 seconds < 0 ? "" : (" in " + format_duration(seconds)).c_str(), format_bytes(read).c_str(),
                 format_bytes(written).c_str());
  if (count[1] > 0) {
    std::size_t width = 4;
    for (const CaseResult& r : results)
      if (r.status == Status::failed) width = std::max(width, printable(r.name).size());
    std::fprintf(out, "qxbatch: %zu case%s failed:\n  %-*s  %5s  %s\n", count[1], count[1] == 1 ? "" : "s",
                 static_cast<int>(width), "CASE", "ERROR", "REASON");
    for (const CaseResult& r : results)
      if (r.status == Status::failed)
        std::fprintf(out, "  %-*s  %5s  %s\n", static_cast<int>(width), printable(r.name).c_str(), r.error.c_str(),
                     printable(r.message).c_str());
  }
  // Interrupted cases, many of which may never have started, by reason.
  std::map<std::string, std::size_t> stopped;
  for (const CaseResult& r : results)
    if (r.status == Status::interrupted) ++stopped[r.message];
  for (const auto& [message, n] : stopped)
    std::fprintf(out, "qxbatch: %zu case%s interrupted: %s\n", n, n == 1 ? "" : "s", printable(message).c_str());
  std::fflush(out);
}

}  // namespace qxbatch

namespace qxbatch {

int conclude_batch(const std::vector<CaseResult>& results, double seconds, const std::string& summary_path, bool quiet,
                   int stop_status) {
  print_report(stderr, results, seconds, !quiet);
  int status = stop_status;
  if (status == 0)
    for (const CaseResult& r : results)
      if (r.status != Status::done && r.status != Status::skipped) status = 1;
  if (!summary_path.empty())
    if (const std::string e = write_summary(summary_path, results); !e.empty()) {
      std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
      if (status == 0) status = 1;
    }
  return status;
}

}  // namespace qxbatch
