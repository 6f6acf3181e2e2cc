// The record sequence rules of result and converted files, as the inspector
// applies them: the format's facts (format/block_kinds.hpp,
// format/maxima_codes.hpp) read by the family of a file and whether it is
// converted, and what tells a block's header record from other records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "file_kind.hpp"
#include "format/block_kinds.hpp"
#include "format/maxima_codes.hpp"
#include "format/model_section.hpp"

namespace qxdump {

using qx::format::converted_rec1_bytes;
using qx::format::converted_rec2_bytes;
using qx::format::maxima_header_bytes;
using qx::format::maxima_word;
using qx::format::model_counts_bytes;
using qx::format::rec1_bytes;
using qx::format::rec2_bytes;

// No block kind has more than three data records; an lrec announcing more
// than this is not believed.
inline constexpr int max_plausible_data_records = 16;

using Codes = std::array<std::int32_t, 6>;

// Data records after REC2 of an ordinary block, by the rules of the file.
int ordinary_data_records(std::string_view kind, Family family, bool converted);
// How many of them, at their head, hold the block's frequency axis.
int axis_records(std::string_view kind, Family family, bool converted);

// The records a TP18 reader passes over for a block that the conversion
// drops because of its codes; nothing for a block that it converts.
std::optional<int> tp18_dropped_records(std::string_view kind, const Codes& nc);

// Block headers: the first record of a block of each file kind.
bool is_block_header(const Record& r, FileKind kind, Family family);

}  // namespace qxdump
