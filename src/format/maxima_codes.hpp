// The maxima blocks ("MAXR") of a TP18 file and what a conversion makes of
// them, as data. A data record lists, for na items named by two identifiers
// ia1 and ia2, a pair of values acl(1..2, d) for each of the code's nd
// components d. For each maxima code (as read) the table gives nd and the
// records written for it to the SV and SH files, each a pick of components
// per item and a layout of its text lines, in the order they are written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "io/item_kinds.hpp"
#include "io/real4_exp_edit.hpp"

namespace qx::format {

enum class Target : std::uint8_t { sv, sh };
// A converted record, or the extra header of code 108 that splits a 107
// block in two in the SV file.
enum class Piece : std::uint8_t { record, extra_header };
// Identifiers of a converted record: ia1 of all items, or ia1(a), ia2(a)
// item by item.
enum class Ids : std::uint8_t { ia1, ia1_ia2 };

// Layouts of the item lines of the text twins.
enum class TextLayout : std::uint8_t { id_4e, ids_4e, id_3e, id_2e, id_1e, values_8e, none };

// The shape of each layout: identifiers (I8) and values at the head of a
// line, or only values, so many to a line.
struct TextShape {
  Real4Exp edit;
  std::size_t ids;
  std::size_t values;
};
const TextShape& text_shape(TextLayout t);

// One value of an item in a converted record: a component's pair
// acl(1..2, d), its first value acl(1, d) alone, or a zero filler.
struct Pick {
  int component = 0;  // 1..nd; 0 for the zero filler
  bool pair = false;
};

struct MaximaRecord {
  Target target = Target::sv;
  Piece piece = Piece::record;
  Ids ids = Ids::ia1;
  bool ids_in_text = true;
  TextLayout text = TextLayout::none;
  std::array<Pick, 4> picks{};
  std::size_t n_picks = 0;
  std::size_t values_per_item = 0;
};

struct MaximaCode {
  int4 code = 0;
  int4 nd = 0;  // components per item in the data record read; see nd_from_record
  std::array<MaximaRecord, 4> records{};
  std::size_t n_records = 0;

  constexpr std::span<const MaximaRecord> written() const { return {records.data(), n_records}; }
};

// The nd of code 108: converters make 108 from 107 and do not convert its
// data, so a 108 block read takes its count from its record's length.
inline constexpr int4 nd_from_record = -1;
// The largest nd of any code, and so of a 108 block read.
inline constexpr int4 widest_nd = 9;
// A block of a code above this is passed over with its data record.
inline constexpr int4 last_maxima_code = 112;
// The code of the extra header.
inline constexpr int4 split_code = 108;

// The rule of a code as read, up to last_maxima_code; codes below the table
// have six components and are written as a header alone.
const MaximaCode& maxima_code(int4 code);

// The code written for a code read: 111 and 112 exchanged, 9 as 10.
int4 written_maxima_code(int4 code);

// The SH file receives the maxima blocks of the in-plane-and-out-of-plane
// codes, as written: those below 106, and 107.
constexpr bool maxima_goes_to_sh(int4 written) { return written < 106 || written == 107; }

// nd of a block read of this code: nothing for 108, whose nd its record
// gives, and for codes above last_maxima_code.
std::optional<int> maxima_components(int4 code);

// nd of a 108 block read from its data record of `length` bytes holding na
// items: as many whole components as the record holds past the identifiers,
// at most widest_nd (the rest of the record is not read); 0 without items.
int maxima_components_from_record(std::int64_t na, std::uint64_t length);

// Bytes of a data record read: na, ia1(na), ia2(na), then nd pairs per item.
constexpr std::uint64_t maxima_record_bytes(std::uint64_t na, std::uint64_t nd) { return 4 + 8 * na + 8 * nd * na; }

// A maxima block of a converted file by the code written: its data record
// holds na, `ids` identifier words per item (with two, ia1 and ia2 of each
// item in turn), then `reals` real4 values per item. sv and sh name, value
// by value, the component read behind each value (0 for a filler); a
// variant that receives no record of the code has none.
struct ConvertedMaxima {
  int4 code = 0;
  int ids = 0;
  int reals = 0;
  bool pairs = false;          // the values are pairs of acl(1..2, d)
  bool data_optional = false;  // the code is also written as a header alone (108)
  std::array<std::int8_t, 8> sv{}, sh{};
  std::size_t sv_values = 0, sh_values = 0;
};

// Nothing for a code written without data records (up to 100, and above
// last_maxima_code).
const ConvertedMaxima* converted_maxima(int4 written_code);

}  // namespace qx::format
