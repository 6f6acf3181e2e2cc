#include "summary.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <map>

#include "counted.hpp"
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

namespace {

// What qxconv said of a failed case, under its reason: each line of its
// standard error but the one that the reason already gives.
void print_err_lines(std::FILE* out, const CaseResult& r, int indent) {
  std::size_t start = 0;
  while (start < r.err.size()) {
    std::size_t end = r.err.find('\n', start);
    if (end == std::string::npos) end = r.err.size();
    const std::string line = r.err.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line != "qxconv: " + r.message)
      std::fprintf(out, "%*s%s\n", indent, "", printable(line).c_str());
  }
}

}  // namespace

void print_report(std::FILE* out, const std::vector<CaseResult>& results, double seconds, bool counts_line) {
  std::size_t count[status_count] = {};
  std::uint64_t read = 0, written = 0;
  for (const CaseResult& r : results) {
    ++count[static_cast<int>(r.status)];
    // A case passed over keeps the figures of the run that did it, which
    // are not this run's.
    if (r.status == Status::skipped) continue;
    read += r.bytes_in;
    written += r.bytes_out;
  }
  const auto n = [&](Status s) { return count[static_cast<int>(s)]; };
  if (counts_line) {
    std::string waiting;
    for (Status s : {Status::queued, Status::running})
      if (n(s)) waiting += ", " + std::to_string(n(s)) + " " + std::string(status_word(s));
    std::fprintf(out, "qxbatch: %zu done, %zu failed, %zu skipped, %zu interrupted%s of %s%s (%s read, %s written)\n",
                 n(Status::done), n(Status::failed), n(Status::skipped), n(Status::interrupted), waiting.c_str(),
                 counted(results.size(), "case").c_str(),
                 seconds < 0 ? "" : (" in " + format_duration(seconds)).c_str(), format_bytes(read).c_str(),
                 format_bytes(written).c_str());
  }
  if (n(Status::failed) > 0) {
    std::size_t width = 4;
    for (const CaseResult& r : results)
      if (r.status == Status::failed) width = std::max(width, printable(r.name).size());
    std::fprintf(out, "qxbatch: %s failed:\n  %-*s  %5s  %s\n", counted(n(Status::failed), "case").c_str(),
                 static_cast<int>(width), "CASE", "ERROR", "REASON");
    for (const CaseResult& r : results)
      if (r.status == Status::failed) {
        std::fprintf(out, "  %-*s  %5s  %s\n", static_cast<int>(width), printable(r.name).c_str(), r.error.c_str(),
                     printable(r.message).c_str());
        print_err_lines(out, r, static_cast<int>(width) + 11);
      }
  }
  // The cases that did not end, many of which may never have started, by reason.
  for (Status s : {Status::interrupted, Status::running, Status::queued}) {
    std::map<std::string, std::size_t> by_reason;
    for (const CaseResult& r : results)
      if (r.status == s) ++by_reason[r.message];
    for (const auto& [message, k] : by_reason)
      std::fprintf(out, "qxbatch: %s %s: %s\n", counted(k, "case").c_str(), std::string(status_word(s)).c_str(),
                   printable(message).c_str());
  }
  std::fflush(out);
}

}  // namespace qxbatch

namespace qxbatch {

int conclude_batch(const std::vector<CaseResult>& results, double seconds, const std::string& summary_path, bool quiet,
                   int stop_status) {
  print_report(stderr, results, seconds, !quiet);
  int status = stop_status;
  for (const CaseResult& r : results)
    if (status == 0 && (r.status == Status::queued || r.status == Status::running)) status = unfinished_job_status;
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
