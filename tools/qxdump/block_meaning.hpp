// What a code map says of one block, in the words each output shows: the
// quantity and its unit, the directions, the node or element the block
// belongs to, the abscissa and the names of value records or maxima
// columns. Whatever the map does not state stays empty, and the outputs then
// show the codes as they do without a map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code_map.hpp"
#include "maxima_table.hpp"

namespace qxdump {

// A node or element number of the model, or where the map says one is.
struct Place {
  bool known = false;
  bool element = false;       // an element number; else a node number
  std::string element_kind;   // the element kind the map names (SOLID...), or empty: any kind
  PlaceSlot slot = PlaceSlot::nc4;
  std::int32_t number = 0;    // ordinary blocks: the number in that code
  std::string text() const;   // "node 104", "element 5 (SOLID)"
  std::string role() const;   // "node", "element (SOLID)"
};

struct BlockMeaning {
  std::string quantity, unit;  // of nc1
  std::string direction;       // the names of nc2 and nc3 that the map gives: "X", or "X/Z" for both
  Place place;
  const MapRow* abscissa = nullptr;
  std::vector<const MapRow*> records;  // of each value record; null where the map names none
  bool named() const;
  // "acceleration X at node 104": what the block holds, in words; empty
  // when the map names nothing of it.
  std::string words() const;
};

// `value_records`: the value records of the block (after its axis records).
BlockMeaning block_meaning(const CodeMap& map, const FileInfo& info, const BlockReport& b, std::size_t value_records);

// The title of value record `c` of a block: its record name and the block's
// words, with the unit in brackets where `with_unit` ("acceleration X at node
// 104 [m/s2]"); empty when the map names nothing.
std::string value_title(const BlockMeaning& m, std::size_t c, bool with_unit = true);
std::string value_unit(const BlockMeaning& m, std::size_t c);
// "period [s]", the abscissa as the map names it; empty where it names none.
std::string axis_title(const BlockMeaning& m);
// The rule that gives the abscissa values of a block of `n` values along
// its abscissa: null where the map gives no values, or a list of another
// length than `n` (the block then keeps its index).
const AbscissaRule* abscissa_values(const BlockMeaning& m, std::size_t n);

struct MaximaMeaning {
  std::string quantity, unit;  // of the maxima code
  std::string direction;       // the names of nc2 (and nc3) that rows of the kind MAXR give
  Place id1, id2;              // what ia1 and ia2 hold
  // The name and unit of each value of an item, in record order, as the map
  // names it; empty where it does not.
  std::vector<std::string> names, units;
  bool named() const;
  // The column title of value v: "peak acceleration X [m/s2]", or `fallback`
  // (c1_1, ...) where the map names nothing.
  std::string title(std::size_t v, const std::string& fallback) const;
};

// `t` gives the block's columns (maxima_columns or take_maxima_record).
MaximaMeaning maxima_meaning(const CodeMap& map, const FileInfo& info, const BlockReport& b, const MaximaTable& t);

// The listing's line of what the map says of a block ("quantity acceleration
// [m/s2]; direction X; node 104 (nc4)"); empty when it says nothing.
std::string meaning_line(const BlockMeaning& m, std::size_t value_records);
std::string meaning_line(const MaximaMeaning& m, const std::vector<std::string>& fallback_names);
// The same for any block, ordinary or maxima, from its header alone.
std::string meaning_line(const CodeMap& map, const FileInfo& info, const BlockReport& b);

}  // namespace qxdump
