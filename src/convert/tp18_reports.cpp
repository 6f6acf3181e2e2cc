#include "convert/tp18_reports.hpp"

#include <string>

#include "io/layout.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

constexpr int read_error = 1007;
constexpr int write_error = 1008;
constexpr std::size_t smerr_length = 256;

// The extra text is built in a 256-character field, as the list file shows it.
void report(Run& run, int number, const Layout& layout, std::initializer_list<OutItem> items) {
  std::string smerr;
  write_internal(layout, items, smerr, smerr_length);
  errcmn_set(run, number, smerr);
}

const Layout& read_text() {
  static const Layout l("(20X,A,A,I5,A4)");
  return l;
}

const Layout& write_text() {
  static const Layout l("(20X,A,I2,A,I5,A4)");
  return l;
}

constexpr std::string_view text_end = " *** ";
constexpr std::string_view output_files = " *** FILENAME = TP18(SV or SH)";

}  // namespace

int tp18_header_read_error(Run& run, int status) {
  report(run, read_error, read_text(),
         {out_text("*** FILE NAME = TP18 "), out_text("REC1,2:  IOSTAT = "), out(status), out_text(text_end)});
  return status;
}

int tp18_header_write_error(Run& run, int unit, int status) {
  report(run, write_error, write_text(),
         {out_text(output_files), out(unit), out_text("REC1,2:  *** IOSTAT = "), out(status), out_text(text_end)});
  return status;
}

int tp18_data_read_error(Run& run, int status) {
  report(run, read_error, read_text(),
         {out_text("*** FILE NAME = TP18"), out_text("  IOSTAT = "), out(status), out_text(text_end)});
  return status;
}

int tp18_data_write_error(Run& run, int unit, int status) {
  report(run, write_error, write_text(),
         {out_text(output_files), out(unit), out_text("  *** IOSTAT = "), out(status), out_text(text_end)});
  return status;
}

}  // namespace qx
