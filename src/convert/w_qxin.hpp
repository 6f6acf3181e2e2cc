// w_qxin: writes the model section that opens every converted file, for the
// result kind c ("TP18" or "TP19").
#pragma once

#include <string_view>

namespace qx {
struct Run;
void w_qxin(Run& run, std::string_view c, int& ier);
}  // namespace qx
