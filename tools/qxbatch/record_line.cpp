#include "record_line.hpp"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

#include "case_files.hpp"

namespace qxbatch {
namespace {

constexpr std::string_view columns[] = {
    "ended",   "case",       "status",  "error", "message", "seconds",    "bytes_in",   "bytes_out", "path",
    "qxconv",  "byte_order", "options", "qxin",  "qxin_file", "tp18_file", "tp19_file", "outputs",   "stderr"};
constexpr std::size_t column_count = std::size(columns);

// Seconds and nanoseconds, as stat --format=%.9Y shows them.
std::string time_text(std::int64_t ns) {
  std::int64_t s = ns / 1000000000, f = ns % 1000000000;
  if (f < 0) --s, f += 1000000000;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%lld.%09lld", static_cast<long long>(s), static_cast<long long>(f));
  return buf;
}

template <class Number>
bool parse_number(std::string_view text, Number& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size() && !text.empty();
}

bool parse_time(std::string_view text, std::int64_t& ns) {
  const std::size_t dot = text.find('.');
  std::int64_t s = 0, f = 0;
  if (dot == std::string_view::npos || text.size() - dot - 1 != 9 || !parse_number(text.substr(0, dot), s) ||
      !parse_number(text.substr(dot + 1), f) || f < 0)
    return false;
  // Nanoseconds held in 64 bits: within 292 years of 1970.
  constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 1000000000 - 1;
  if (s > limit || s < -limit) return false;
  ns = s * 1000000000 + f;
  return true;
}

bool parse_seconds(std::string_view text, double& value) {
  // from_chars for double is in g++ 12's library.
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size() && !text.empty() && value >= 0;
}

std::string input_text(const InputMark& m) {
  if (!m.exists) return "-";
  return std::to_string(m.size) + " " + time_text(m.mtime_ns) + " " + time_text(m.ctime_ns);
}

// Splits at `sep`; an empty text gives no parts.
std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  if (text.empty()) return parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool parse_input(std::string_view text, InputMark& m) {
  m = {};
  if (text == "-") return true;
  const auto parts = split(text, ' ');
  m.exists = true;
  return parts.size() == 3 && parse_number(parts[0], m.size) && parse_time(parts[1], m.mtime_ns) &&
         parse_time(parts[2], m.ctime_ns);
}

std::string outputs_text(const std::vector<OutputMark>& outputs) {
  std::string text;
  for (const OutputMark& o : outputs)
    text += (text.empty() ? "" : ";") + o.suffix + " " + std::to_string(o.size) + " " + time_text(o.mtime_ns);
  return text;
}

bool parse_outputs(std::string_view text, std::vector<OutputMark>& outputs) {
  outputs.clear();
  for (std::string_view item : split(text, ';')) {
    const auto parts = split(item, ' ');
    OutputMark o;
    if (parts.size() != 3 || parts[0].empty() || !parse_number(parts[1], o.size) || !parse_time(parts[2], o.mtime_ns))
      return false;
    o.suffix = std::string(parts[0]);
    outputs.push_back(std::move(o));
  }
  return true;
}

}  // namespace

bool parse_record_field(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': out.push_back('\\'); break;
      case 't': out.push_back('\t'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      default: return false;
    }
  }
  return true;
}

std::string record_header() {
  std::string header = std::string(record_magic) + " " + std::to_string(record_format);
  for (std::string_view c : columns) header += "\t" + std::string(c);
  return header + "\n";
}

InputMark input_mark(const std::string& path) {
  const FileState s = file_state(path);
  if (!s.exists) return {};
  return {true, s.size, s.mtime_ns, s.ctime_ns};
}

std::string record_field(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string utc_now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return buf;
}

std::string format_record_line(const RecordLine& l) {
  const CaseResult& r = l.result;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
  const std::string fields[column_count] = {
      l.ended,
      record_field(r.name),
      std::string(status_word(r.status)),
      record_field(r.error),
      record_field(r.message),
      seconds,
      std::to_string(r.bytes_in),
      std::to_string(r.bytes_out),
      record_field(l.path),
      record_field(l.settings.qxconv),
      l.settings.byte_order,
      l.settings.options,
      record_field(l.qxin),
      input_text(l.inputs[input_qxin]),
      input_text(l.inputs[input_tp18]),
      input_text(l.inputs[input_tp19]),
      outputs_text(l.outputs),
      record_field(r.err),
  };
  std::string text;
  for (const std::string& f : fields) text += (text.empty() ? "" : "\t") + f;
  return text + "\n";
}

bool parse_record_line(std::string_view text, RecordLine& l) {
  const auto f = split(text, '\t');
  if (f.size() != column_count || text.starts_with('#')) return false;
  CaseResult& r = l.result;
  l.ended = std::string(f[0]);
  l.settings.byte_order = std::string(f[10]);
  l.settings.options = std::string(f[11]);
  return !l.ended.empty() && parse_record_field(f[1], r.name) && parse_status(f[2], r.status) && parse_record_field(f[3], r.error) &&
         parse_record_field(f[4], r.message) && parse_seconds(f[5], r.seconds) && parse_number(f[6], r.bytes_in) &&
         parse_number(f[7], r.bytes_out) && parse_record_field(f[8], l.path) && parse_record_field(f[9], l.settings.qxconv) &&
         parse_record_field(f[12], l.qxin) && parse_input(f[13], l.inputs[input_qxin]) &&
         parse_input(f[14], l.inputs[input_tp18]) && parse_input(f[15], l.inputs[input_tp19]) &&
         parse_outputs(f[16], l.outputs) && parse_record_field(f[17], r.err);
}

}  // namespace qxbatch
