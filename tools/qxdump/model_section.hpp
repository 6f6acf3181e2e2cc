// Walks the model section at the start of a converted file: the counts record
// (title, ndpt, the ten element counts), the boundary lists, the nodes and
// the element records that the counts call for, in the order of the variant
// (SV: the whole model; SH: solids and one merged spring kind).
#pragma once

#include "walk_context.hpp"

namespace qxdump {

// Reads from the start of the file up to the first result block, which it
// leaves unread. Refines ctx.info.side from the counts where the name does
// not tell it.
WalkStatus walk_model_section(WalkContext& ctx);

}  // namespace qxdump
