// Writes the blocks of a result file as little-endian records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "case_plan.hpp"
#include "record_file.hpp"
#include "result_block.hpp"

namespace qxgen {

// Writes `blocks` to `path`, cut after `limit` bytes. False with a message in
// `error` when the file cannot be written.
bool write_result_file(const std::string& path, const std::vector<BlockSpec>& blocks, const ModelShape& model,
                       std::uint64_t limit, std::string& error);

}  // namespace qxgen
