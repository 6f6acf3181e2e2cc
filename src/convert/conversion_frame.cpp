#include "convert/conversion_frame.hpp"

#include <string>

#include "convert/conversion_reports.hpp"
#include "convert/w_qxin.hpp"
#include "io/layout.hpp"
#include "io/status.hpp"
#include "run/channel_numbers.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

int close_result_files(Run& run, const ResultFile& file) {
  int failed = iostat::ok, failed_unit = 0;
  for (ResultRole role : close_order) {
    const int unit = (file.*role).unit;
    const int st = run.ch.close(unit);
    if (st != iostat::ok && failed == iostat::ok) {
      failed = st;
      failed_unit = unit;
    }
  }
  return failed != iostat::ok ? report_failure(run, file, Failure::data_write, failed, failed_unit) : iostat::ok;
}

void convert_result_file(Run& run, const ResultFile& file, BlockConversion convert_blocks, int& ier) {
  if (!(run.val.*file.exists)) return;
  static const Layout start_layout("(/,/,/,A,/)");
  static const Layout end_layout("(/,A)");
  const std::string kind(file.kind);

  if (int st = run.ch.write_text(unit::lst, start_layout, {out_text("START (CONVERT " + kind + ")")}); st != 0) {
    ier = report_list_failure(run, file, st);
    return;
  }
  w_qxin(run, file.kind, ier);
  if (ier != 0) return;
  if ((ier = convert_blocks(run)) != 0) return;
  if ((ier = close_result_files(run, file)) != 0) return;
  if (int st = run.ch.write_text(unit::lst, end_layout, {out_text("END (CONVERT " + kind + ")")}); st != 0)
    ier = report_list_failure(run, file, st);
}

}  // namespace qx
