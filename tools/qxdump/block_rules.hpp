// The record sequence rules of result and converted files: record lengths of
// the header records, how many data records follow a block of each kind word,
// which blocks a TP18 reader passes over with how many records, the component
// counts of maxima codes and the shapes of converted maxima records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "file_kind.hpp"

namespace qxdump {

inline constexpr std::uint32_t result_rec1_bytes = 40;          // name, nc1..nc6, dmp (real8), lrec
inline constexpr std::uint32_t result_rec2_bytes = 28;          // nsize2, dt (real8), yt(4)
inline constexpr std::uint32_t result_maxima_header_bytes = 16;  // name, code, nc2, lrec (at least)
inline constexpr std::uint32_t converted_rec1_bytes = 36;        // name, nc1..nc6, dap (real4), lrec
inline constexpr std::uint32_t converted_rec2_bytes = 24;        // nsize2, dtt (real4), yt(4)
inline constexpr std::uint32_t model_counts_bytes = 116;         // title (18 words), ndpt, nelm(10)

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

// Component count nd of a maxima code in a TP18 file; nothing for the codes
// that have none (108, and those above 112, whose data are passed over).
std::optional<int> maxima_components(std::int32_t code);

// A maxima code above this is passed over by the TP18 conversion.
inline constexpr std::int32_t last_converted_maxima_code = 112;

// Layout of a converted maxima data record: na, then `ids` identifier words
// per item (two: ia1 and ia2 of each item in turn), then `reals` real4 values
// per item. `sv` and `sh` name the component of the record read behind each
// value (or pair of values, with `pairs`) in either variant, '0' a zero
// filler.
struct MaximaShape {
  std::int32_t code;
  int ids;
  int reals;
  bool data_optional;  // 108 follows a 107 with data, or stands alone without
  bool pairs;
  std::string_view sv, sh;
};
const MaximaShape* converted_maxima_shape(std::int32_t code);

// Block headers: the first record of a block of each file kind.
bool is_block_header(const Record& r, FileKind kind, Family family);

}  // namespace qxdump
