// The failures of a conversion and their reports in the list file: a read
// of the result file or a write of an output, of a block's header records or
// of anything else. The extra text names the result file by its kind word
// and, for a write, the channel that failed.
#pragma once

#include <cstdint>

namespace qx {

struct Run;
struct ResultFile;

enum class Failure : std::uint8_t { header_read, header_write, data_read, data_write };

// Reports the failure and returns `status`, which the conversion hands back
// as its own. `channel`: the output that failed (writes only).
int report_failure(Run& run, const ResultFile& file, Failure failure, int status, int channel = 0);

// A line of the list file that could not be written: a failed write of its
// channel, reported where a report can still be written (a list file that
// has lost a line keeps losing them, so the report is often lost with it;
// the status still stops the run).
int report_list_failure(Run& run, const ResultFile& file, int status);

}  // namespace qx
