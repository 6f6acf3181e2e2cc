// The frame of a result file's conversion, one for TP18 and TP19: nothing when
// the result file does not exist; otherwise "START (CONVERT TP18)" in the
// list file, the model section at the start of the outputs, the blocks, the
// files of the result file closed in their order and "END (CONVERT TP18)".
// A failure stops it at once, after its report: the files are left open and
// the run stops. A list file line that cannot be written is such a failure.
#pragma once

namespace qx {

struct Run;
struct ResultFile;

// Converts the blocks of the result file behind the model section: 0 at the
// end of the file, else the status of a failure that it has reported.
using BlockConversion = int (*)(Run& run);

// Closes the files of the result file in their order. Buffered output is
// only safe once its file is closed, so a failed close of an output is a
// lost write of that channel; every file is still closed, and the first
// failure is reported: 0 or its status.
int close_result_files(Run& run, const ResultFile& file);

// ier: 0, or the status of the failure that stopped the conversion; left as
// it was when the result file does not exist.
void convert_result_file(Run& run, const ResultFile& file, BlockConversion convert_blocks, int& ier);

}  // namespace qx
