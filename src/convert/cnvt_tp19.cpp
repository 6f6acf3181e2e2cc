#include "convert/cnvt_tp19.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the TP19 conversion.
void cnvt_tp19(Run&, int& ier) { ier = 0; }
}  // namespace qx
