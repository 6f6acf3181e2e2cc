#include "convert/cnvt_tp18.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the TP18 conversion.
void cnvt_tp18(Run&, int& ier) { ier = 0; }
}  // namespace qx
