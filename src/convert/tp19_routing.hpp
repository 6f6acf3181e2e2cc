// Where a TP19 result block goes: its pair of codes (nc1, nc2) as read picks
// the variant that receives it and the code written into its nc6. A pair
// without an entry means the block is passed over.
#pragma once

#include <cstdint>

#include "io/item_kinds.hpp"

namespace qx {

enum class Variant : std::uint8_t { none, sv, sh };

struct Tp19Route {
  Variant to = Variant::none;
  int4 nc6 = 0;  // code of the converted block
};

// The route of the pair; Variant::none when the block is not converted.
Tp19Route tp19_route(int4 nc1, int4 nc2);

}  // namespace qx
