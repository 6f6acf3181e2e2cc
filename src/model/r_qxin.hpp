// r_qxin: reads the MODE1 input data file (channel 71) into the model store
// and echoes it to the list file.
#pragma once

namespace qx {
struct Run;
void r_qxin(Run& run, int& irtn);
}  // namespace qx
