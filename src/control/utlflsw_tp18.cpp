#include "control/utlflsw_tp18.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the file set.
void utlflsw_tp18(Run&, int& irtn) { irtn = 0; }
void utpfls(Run&, std::string_view, int, int, int&) {}
}  // namespace qx
