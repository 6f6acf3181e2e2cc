// qxident_tp18: the list file's page heading and framed cover block.
// uthead_tp18: one page heading.
#pragma once

namespace qx {
struct Run;
void qxident_tp18(Run& run, int& irtn);
void uthead_tp18(Run& run, int& irtn);
}  // namespace qx
