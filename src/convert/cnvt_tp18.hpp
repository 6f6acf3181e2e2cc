// cnvt_tp18: converts the TP18 result file into _QX2D.TP18 and _QXSH.TP18
// and their text twins.
#pragma once

namespace qx {
struct Run;
void cnvt_tp18(Run& run, int& ier);
}  // namespace qx
