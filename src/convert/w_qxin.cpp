#include "convert/w_qxin.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the model section writer.
void w_qxin(Run&, std::string_view, int& ier) { ier = 0; }
}  // namespace qx
