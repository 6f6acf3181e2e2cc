// Error reports of the TP18 conversion. Each builds the extra text that names
// the file and the failing status, writes the numbered report to the list
// file and returns the status, which the conversion hands back as its own.
#pragma once

namespace qx {

struct Run;

// A block header (REC1 or REC2, or a maxima block's header) could not be read.
int tp18_header_read_error(Run& run, int status);
// REC1 or REC2, or their text lines, could not be written to `unit`.
int tp18_header_write_error(Run& run, int unit, int status);
// A data record could not be read, passed over, or does not hold its count.
int tp18_data_read_error(Run& run, int status);
// A data record, a maxima record or their text lines could not be written to
// `unit`, or `unit` lost buffered output when it was closed.
int tp18_data_write_error(Run& run, int unit, int status);

}  // namespace qx
