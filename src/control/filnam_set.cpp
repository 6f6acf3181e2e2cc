#include "control/filnam_set.hpp"

#include "control/run.hpp"

namespace qx {
// Not yet built: the dialogue.
void filnam_set(Run&, int& irtn) { irtn = 0; }
}  // namespace qx
