// Walks the result blocks of a TP18 or TP19 result file, or the result
// section of a converted file, from the cursor's position to the end of the
// file, printing one line per block. Blocks are told by the record sequence
// rules of the file; where the bytes disagree with the rules (an lrec that
// counts other records, a record that is no block header) the walker says so
// and lists what it finds rather than guessing silently.
#pragma once

#include "walk_context.hpp"

namespace qxdump {

WalkStatus walk_blocks(WalkContext& ctx);

}  // namespace qxdump
