// One block of a result or converted file as CSV, for spreadsheets: a header
// line naming the columns, then one line per value.
#pragma once

#include <cstdint>
#include <string>

#include "io/layout.hpp"

namespace qxdump {

class CodeMap;

// Writes block `number` (counted as the listing counts: 1 for the first block
// after the model section) of the file to `out`. Ordinary blocks: the axis
// (`time` k·dt, `frequency` from the block's axis record or k·df, or `index`
// k), then one column per data record. Maxima blocks: `item_id1`
// (`item_id2`) and one column per value, named by its component. Reals in the
// shortest digits that read back to the same real4; k·dt and k·df are the
// real4 nearest to the product. With a code map (`codes`, or null), the
// columns it names carry its names and units, and an abscissa that it gives
// a block without one takes the index's place.
// 0 on success; 1, with a line on `err`, for a damaged file, a block that
// does not exist or that holds no values, or a failed write.
int export_csv(const std::string& path, std::uint64_t number, const CodeMap* codes, qx::TextSink& out,
               qx::TextSink& err);

}  // namespace qxdump
