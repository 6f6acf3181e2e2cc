// The blocks of the TP18 and TP19 result files and of the files converted
// from them, as data: the lengths of the header records, the data records
// that each kind word carries in each of the four files, how many values a
// reader takes from them, what a conversion writes of the headers, and the
// TP18 blocks that a conversion drops for their codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "io/item_kinds.hpp"

namespace qx::format {

// Payload bytes of the header records. A result file holds the reals of
// REC1 and REC2 in double precision, a converted file narrowed to single.
inline constexpr std::uint32_t rec1_bytes = 40;            // name, nc1..nc6, dmp (real8), lrec
inline constexpr std::uint32_t rec2_bytes = 28;            // nsize2, dt (real8), yt(4)
inline constexpr std::uint32_t converted_rec1_bytes = 36;  // name, nc1..nc6, dap (real4), lrec
inline constexpr std::uint32_t converted_rec2_bytes = 24;  // nsize2, dtt (real4), yt(4)
// What a TP18 reader takes of a maxima header: name, code, nc2, lrec (the
// record may be longer). A converted maxima header is a converted REC1.
inline constexpr std::uint32_t maxima_header_bytes = 16;

// The kind words of the information blocks and of the maxima blocks (which
// only TP18 files and the files converted from them hold).
inline constexpr std::string_view info_word = "INFO";
inline constexpr std::string_view maxima_word = "MAXR";

// How many values a TP18 reader takes from each data record of a block.
enum class ValueCount : std::uint8_t {
  none,            // the block has no data records
  own,             // nsize2 of the block itself
  first_spectrum,  // N: nsize2 of the first converted FOUR or AMPL block of the file
  first_response,  // M: nsize2 of the first converted SPEC block of the file
};

// The run option under which a converted TP18 block's values reach the text
// twins.
enum class TextOption : std::uint8_t { none, wave, four, ampl, spec };

struct BlockKind {
  std::string_view word;  // the kind word; empty for any word not listed
  // Data records after REC2 in a TP18 file, a TP19 file, and the files
  // converted from each.
  int tp18_records, tp19_records, converted_tp18_records, converted_tp19_records;
  // Converted TP18: a frequency axis leads the block's records, N values
  // (i - 1) * df in single precision from df narrowed.
  bool axis;
  ValueCount tp18_values;
  bool keeps_step;     // REC2 as written carries dt narrowed; 0.0 otherwise
  int4 written_lrec;   // converted TP18: the lrec written; 0 keeps the one read
  bool info;           // headers only, copied to both converted files
  bool tp19_routed;    // TP19: converted when its (nc1, nc2) has a route
  bool fixes_tp19_length;  // TP19: the first converted such block fixes the data length of the file
  TextOption text_option;
};

// The kind of a kind word (compared as a whole, case-sensitive): one of the
// table, or the kind of every other word.
const BlockKind& block_kind(std::string_view word);

// The data records that a TP18 conversion passes over for a block it drops
// because of its codes as read; nothing for a block it converts.
std::optional<int> tp18_dropped_records(std::string_view word, int4 nc1, int4 nc2, int4 nc3);

// The quantity code of a block as written: 9 becomes 10, for ordinary and
// maxima blocks alike.
constexpr int4 written_quantity(int4 nc1) { return nc1 == 9 ? 10 : nc1; }

}  // namespace qx::format
