// w_qxin: writes the model section that opens every converted file, for the
// result kind c ("TP18" or "TP19", trailing blanks ignored): the whole model
// to the SV file, nodes, boundary lists, solids and the merged springs
// (beams, springs, rigid elements) to the SH file, and, when the option
// "-stru" is on, the same data as text to their twins.
//
// Before writing it sets nelm(4) to nelm(3) and the last title word to
// "V401"; a second call therefore writes the same bytes. Element records
// hold as many rows as their count says; rows and boundary entries that the
// input never gave are written as zeros. Sums of counts are taken in 64 bits
// and held at the int4 limits.
//
// ier: 0; 1 when c names no result kind (nothing is written); otherwise the
// status of the first binary write that failed, or else of the first text
// twin write that failed (the channels are flushed at the end so that a
// failure shows here), after error 1008 has been reported.
#pragma once

#include <string_view>

namespace qx {
struct Run;
void w_qxin(Run& run, std::string_view c, int& ier);
}  // namespace qx
