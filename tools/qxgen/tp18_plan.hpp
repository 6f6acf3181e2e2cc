// The block list of a TP18 result file.
#pragma once

#include <vector>

#include "case_plan.hpp"
#include "result_block.hpp"

namespace qxgen {

// Every block of the TP18 file of the case, INFO first. The list is the same
// for every option; options only leave blocks out or make one hostile.
std::vector<BlockSpec> tp18_blocks(const CasePlan& plan);

// Index in tp18_blocks of the block that --hostile-nsize2 TP18 spoils: the
// second WAVE block of the file.
std::size_t tp18_hostile_block(const std::vector<BlockSpec>& blocks);

// Index in tp18_blocks of the maxima block that --hostile-na spoils: the one
// of code 101.
std::size_t tp18_hostile_maxima_block(const std::vector<BlockSpec>& blocks);


}  // namespace qxgen
