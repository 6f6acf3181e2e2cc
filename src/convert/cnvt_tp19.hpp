// cnvt_tp19: converts the TP19 result file into _QX2D.TP19 and _QXSH.TP19
// and their text twins, behind the model section. Blocks are kept, routed
// and recoded by the table of convert/tp19_routing.hpp. On return ier is 0,
// or the status of the failure that has been reported in the list file.
#pragma once

namespace qx {
struct Run;
void cnvt_tp19(Run& run, int& ier);
}  // namespace qx
