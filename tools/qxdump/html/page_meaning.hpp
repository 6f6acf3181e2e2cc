// What a code map says of a block, as members of the block's object in the
// page's index: "meaning" (words, quantity, unit, direction, node or element
// with elementKind, axisTitle) and, for maxima tables, the names of the
// columns and what the identifiers hold. Nothing is written for what the map
// does not state, so that a page without a map is the page it always was.
#pragma once

#include "block_meaning.hpp"
#include "common/json_text.hpp"

namespace qxdump {

using qxtools::JsonText;

// The member "meaning" of an ordinary block, when the map names anything.
void meaning_json(JsonText& j, const BlockMeaning& m, bool own_axis);
// The maxima table's "id1Holds"/"id2Holds" (and "id1Kind", "id2Kind") and
// the "quantity" and "unit" of its code.
void maxima_meaning_json(JsonText& j, const MaximaMeaning& m);

}  // namespace qxdump
