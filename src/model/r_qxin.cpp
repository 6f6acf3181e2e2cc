#include "model/r_qxin.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the input data file reader.
void r_qxin(Run&, int& irtn) { irtn = 0; }
}  // namespace qx
