#include "convert/conversion_reports.hpp"

#include <array>

#include "run/channel_numbers.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/result_files.hpp"
#include "run/status_report.hpp"

namespace qx {

namespace {

struct FailureReport {
  int number;  // the header write's number is the result file's own
  StatusShape shape;
};

// Indexed by Failure.
constexpr std::array<FailureReport, 4> failure_reports = {{
    {error::result_read, StatusShape::file_header},
    {error::converted_write, StatusShape::output_header},
    {error::result_read, StatusShape::file},
    {error::converted_write, StatusShape::output},
}};

}  // namespace

int report_failure(Run& run, const ResultFile& file, Failure failure, int status, int channel) {
  const FailureReport& r = failure_reports[static_cast<std::size_t>(failure)];
  const int number = failure == Failure::header_write ? file.header_write_error : r.number;
  const bool read = failure == Failure::header_read || failure == Failure::data_read;
  return report_status(run, number, r.shape, file.kind, status, read ? file.input.unit : channel, channel);
}

int report_list_failure(Run& run, const ResultFile& file, int status) {
  return report_failure(run, file, Failure::data_write, status, unit::lst);
}

}  // namespace qx
