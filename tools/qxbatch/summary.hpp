// The summary of a batch: a file for programs (CSV, or JSON lines, one row
// per case: case, status, error, message, seconds, bytes_in, bytes_out) and
// the end-of-run report for people on standard error.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "case_result.hpp"

namespace qxbatch {

enum class SummaryFormat { csv, json_lines };

// The format a file name asks for: .csv, or .jsonl or .json; false otherwise.
bool summary_format_of(std::string_view path, SummaryFormat& format);

std::string csv_summary(const std::vector<CaseResult>& results);
std::string json_lines_summary(const std::vector<CaseResult>& results);

// Writes the summary aside under a hidden name and gives it its name only
// when it is complete: 0, or 1 after telling `tell` why (whole lines).
int write_summary(const std::string& path, const std::vector<CaseResult>& results,
                  const std::function<void(const std::string&)>& tell);

// The counts line (with the time taken unless `seconds` is negative), the
// table of the failed cases with what qxconv said of each, and the cases
// that did not end, by reason.
void print_report(std::FILE* out, const std::vector<CaseResult>& results, double seconds, bool counts_line);

}  // namespace qxbatch

namespace qxbatch {

// The exit status of --collect while cases of the job are queued or running.
inline constexpr int unfinished_job_status = 3;

// The end of a batch: the report on standard error, the summary file if one
// is asked for, and the exit status: 0 when every case is done or was passed
// over, `stop_status` when a signal stopped the batch, 3 while cases are
// queued or running, 1 otherwise.
int conclude_batch(const std::vector<CaseResult>& results, double seconds, const std::string& summary_path, bool quiet,
                   int stop_status);

}  // namespace qxbatch
