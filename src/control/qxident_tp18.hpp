// qxident_tp18: the beginning of the list file: a page heading and the framed
// cover block naming the program, its version and date, and its developer.
// uthead_tp18: one page heading, counted in nhdg.
#pragma once

namespace qx {
struct Run;

// irtn: 0, or the status of the failed write after its report (999 for the
// cover block; the heading's own report otherwise).
void qxident_tp18(Run& run, int& irtn);

// irtn: 0, or the status of the failed write after its report (1000, with
// the status in the extra text).
void uthead_tp18(Run& run, int& irtn);

}  // namespace qx
