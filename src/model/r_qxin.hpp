// r_qxin: reads the MODE1 input data file (channel 71) into the model store
// and echoes its name to the list file (channel 7).
//
// The file is read in one pass. A line whose first eight columns, without
// trailing blanks, are one of the nineteen section keywords begins a section
// read through that section's fixed-column layouts; every other line is
// passed over. irtn is 0 at the end of the file, otherwise the status of the
// read that failed, after error 1016 has been reported:
//   64  a field that is not a valid number;
//   24  a section cut short by the end of the file (fewer data lines or node
//       numbers than its count), or a BOUND count larger than the rest of
//       the file could ever hold as a node list.
// Counts are taken as they stand (a negative count gives no data lines), but
// arrays grow only with the data lines actually read. A second occurrence of
// a section that creates arrays (NODE, BOUND, MSOLID, the element sections)
// is read and checked like the first and then dropped: the first one stays.
// A second TITLE or node list replaces the first.
#pragma once

namespace qx {
struct Run;
void r_qxin(Run& run, int& irtn);
}  // namespace qx
