#include "summary.hpp"

#include <cerrno>
#include <cstring>
#include <functional>
#include <algorithm>
#include <map>

#include "common/csv_text.hpp"
#include "common/export_file.hpp"
#include "common/json_text.hpp"
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

std::string csv_summary(const std::vector<CaseResult>& results) {
  std::string text;
  // Case names and messages may begin or end with blanks, which readers of
  // CSV trim unless the field is quoted.
  qxtools::CsvText csv(
      [&text](std::string_view piece) {
        text += piece;
        return true;
      },
      true);
  for (std::string_view column : {"case", "status", "error", "message", "seconds", "bytes_in", "bytes_out"})
    csv.text(column);
  csv.end_row();
  for (const CaseResult& r : results) {
    csv.text(r.name);
    csv.text(status_word(r.status));
    csv.text(r.error);
    csv.text(r.message);
    csv.text(seconds_text(r.seconds));
    csv.number(r.bytes_in);
    csv.number(r.bytes_out);
    csv.end_row();
  }
  csv.flush();
  return text;
}

std::string json_lines_summary(const std::vector<CaseResult>& results) {
  std::string text;
  for (const CaseResult& r : results) {
    qxtools::JsonText line;
    line.begin_object().member("case", r.name).member("status", status_word(r.status)).key("error");
    if (all_digits(r.error)) line.raw(r.error);
    else if (r.error.empty()) line.null();
    else line.value(r.error);
    line.member("message", r.message).key("seconds").raw(seconds_text(r.seconds));
    line.member("bytes_in", r.bytes_in).member("bytes_out", r.bytes_out).end_object();
    text += line.text();
    text += '\n';
  }
  return text;
}

int write_summary(const std::string& path, const std::vector<CaseResult>& results,
                  const std::function<void(const std::string&)>& tell) {
  SummaryFormat format;
  if (!summary_format_of(path, format)) {
    tell("qxbatch: " + printable(path) + ": a summary file ends in .csv, .jsonl or .json\n");
    return 1;
  }
  const std::string text = format == SummaryFormat::csv ? csv_summary(results) : json_lines_summary(results);
  qxtools::ExportFile out("qxbatch", path, printable(path), tell);
  if (out.create() != 0) return 1;
  std::FILE* f = std::fopen(out.path().c_str(), "wb");
  if (!f) return out.fail(out.name(), std::string("cannot be written: ") + std::strerror(errno));
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int write_error = errno;
  if (std::fclose(f) != 0 || !written)
    return out.fail(out.name(), std::string("cannot be written: ") + std::strerror(written ? errno : write_error));
  return out.take_name();
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
    if (write_summary(summary_path, results, [](const std::string& line) { std::fputs(line.c_str(), stderr); }) != 0 &&
        status == 0)
      status = 1;
  return status;
}

}  // namespace qxbatch
