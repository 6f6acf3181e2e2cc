// filnam_set: the banner, the three questions of the dialogue (MODE1 input
// data file, result data file, byte order) and the run options of the
// command line.
#pragma once

namespace qx {
struct Run;
void filnam_set(Run& run, int& irtn);
}  // namespace qx
