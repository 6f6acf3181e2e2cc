#include "control/qxident_tp18.hpp"

#include <string>

#include "io/layout.hpp"
#include "run/channel_numbers.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/run.hpp"
#include "run/status_report.hpp"

namespace qx {

namespace {

constexpr std::size_t version_tag_length = 8;  // cvrnum
constexpr std::size_t heading_length = 44;     // hdg

// Writes the lines of one step of the list file and hands them to the
// system, so that a failed write shows here and not at a later step.
int write_checked(Run& run, const Layout& layout, std::initializer_list<OutItem> items) {
  int st = run.ch.write_text(unit::lst, layout, items);
  return st != 0 ? st : run.ch.flush(unit::lst);
}

// The cover page's report has no extra text; the terminal is told why the
// list file failed.
void report_cover_page_failure(Run& run, int status) {
  errcmn_set(run, error::cover_page_output, "");
  note_failed_file(run, unit::lst, status);
}

}  // namespace

void uthead_tp18(Run& run, int& irtn) {
  static const Layout tag_layout(R"L((" (V",F3.1,") "))L");
  static const Layout page_break(R"L((/,/,/))L");
  static const Layout heading(R"L((5X,A44,56X,"PAGE",I4))L");
  ComValTp18& val = run.val;

  irtn = 0;
  std::string cvrnum;
  write_internal(tag_layout, {out(val.vrnum)}, cvrnum, version_tag_length);
  std::string hdg = "Zelvorith" + cvrnum + " for Quarndimex";
  hdg.resize(heading_length, ' ');

  ++val.nhdg;
  // A later page is set apart from the previous one by four empty lines. The
  // status of the break is not looked at on its own: a list file that failed
  // keeps failing, so the heading written and flushed next reports it.
  if (val.nhdg != 1) (void)run.ch.write_text(unit::lst, page_break, {});
  irtn = write_checked(run, heading, {out_text(hdg), out(val.nhdg)});
  if (irtn != 0) report_status(run, error::input_data_open, StatusShape::status_alone, "", irtn, unit::lst);
}

void qxident_tp18(Run& run, int& irtn) {
  static const Layout frame_top(
      R"L((4(/),2(15X,66("*"),/),2(15X,"**",62(" "),"**",/),15X,"**","  PROGRAM NAME            ","Zelvorith for Quarndimex            ","**",/,15X,"**",62(" "),"**"))L");
  static const Layout version_line(R"L((15X,"**","  VERSION                ",F4.1,"  ",A12,"                   ","**"))L");
  static const Layout developer_lines(
      R"L((15X,"**",62(" "),"**",/,15X,"**","  DEVELOPED BY            ","KALVERNOST                          ","**"))L");
  static const Layout frame_bottom(R"L((2(15X,"**",62(" "),"**",/),2(15X,66("*"),/),/))L");
  ComValTp18& val = run.val;

  irtn = 0;
  uthead_tp18(run, irtn);
  if (irtn != 0) return;

  // A failure of the opening block meets the next write again: it is not
  // told on its own.
  irtn = run.ch.write_text(unit::lst, frame_top, {});

  irtn = write_checked(run, version_line, {out(val.vrnum), out_text(val.mkdate)});
  if (irtn != 0) {
    report_cover_page_failure(run, irtn);
    return;
  }
  irtn = write_checked(run, developer_lines, {});
  if (irtn != 0) {
    report_cover_page_failure(run, irtn);
    return;
  }
  irtn = write_checked(run, frame_bottom, {});
  if (irtn != 0) report_cover_page_failure(run, irtn);
}

}  // namespace qx
