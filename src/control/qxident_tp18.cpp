#include "control/qxident_tp18.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the cover page.
void qxident_tp18(Run&, int& irtn) { irtn = 0; }
void uthead_tp18(Run&, int& irtn) { irtn = 0; }
}  // namespace qx
