// The block list of a TP19 result file.
#pragma once

#include <cstdint>
#include <vector>

#include "case_plan.hpp"
#include "result_block.hpp"

namespace qxgen {

// Every block of the TP19 file of the case, INFO first.
std::vector<BlockSpec> tp19_blocks(const CasePlan& plan);

// Index of the block that --hostile-nsize2 TP19 spoils: the first WAVE block
// whose codes converters convert (it fixes their data length).
std::size_t tp19_hostile_block(const std::vector<BlockSpec>& blocks);

// Whether converters convert a TP19 block of codes (nc1, nc2).
bool tp19_converted_pair(std::int32_t nc1, std::int32_t nc2);

}  // namespace qxgen
