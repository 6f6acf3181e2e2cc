// cnvt_tp19: converts the TP19 result file into _QX2D.TP19 and _QXSH.TP19
// and their text twins.
#pragma once

namespace qx {
struct Run;
void cnvt_tp19(Run& run, int& ier);
}  // namespace qx
