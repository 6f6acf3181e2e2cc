// The model section that opens every converted file, as data: the counts
// record (title, node count, ten element counts), the boundary record and
// its node lists, and the element records in the order in which they are
// written, with the count slot that sizes each, the variants that hold it
// and what fills its five columns.
//
// The SV file holds the whole model; the SH file the nodes, the boundary
// lists, the solids and one merged spring kind made of the beams, springs
// and rigid elements.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/item_kinds.hpp"
#include "io/trim_right.hpp"

namespace qx::format {

// ---- counts record: title (18 words), ndpt, nelm(10) (nelmh in SH) ----
inline constexpr std::size_t title_chars = 72;
inline constexpr std::size_t title_words = title_chars / 4;
inline constexpr std::size_t count_slots = 10;
inline constexpr std::uint32_t model_counts_bytes = 4 * (title_words + 1 + count_slots);
// The last title word of every converted file.
inline constexpr std::string_view title_mark = "V401";

using Counts = std::array<int4, count_slots>;

// The count slots (1-based) of the element kinds.
namespace count_slot {
inline constexpr int solid = 1, beam = 2, spring = 3, rotational_spring = 4, water = 5, water_boundary = 6, shell = 7,
                     rigid = 8, void_element = 9, joint = 10;
}  // namespace count_slot

// The names of the ten slots, as the text twins show the counts.
inline constexpr std::array<std::string_view, count_slots> count_names = {
    "NSOLEL", "NBEAEL", "NSPREL", "NROTEL", "NWATEL", "NWSIEL", "NSTSEL", "NRIGE ", "MDLM  ", "NJOINT"};

// The rotational springs repeat the springs: the SV counts hold the spring
// count in the slot of both.
constexpr Counts sv_counts(Counts nelm) {
  nelm[count_slot::rotational_spring - 1] = nelm[count_slot::spring - 1];
  return nelm;
}

// The slots whose elements the SH spring record merges, in its row order.
inline constexpr int sh_spring_sources[] = {count_slot::beam, count_slot::spring, count_slot::rigid};

// The SH counts: the solids, and in the spring slot the merged springs (the
// sum taken in 64 bits and held at the int4 limits); every other slot 0.
Counts sh_counts(const Counts& nelm);

// The title's characters as int4 words, the first character of each word in
// its lowest-addressed byte (bits 0 to 7 of its value, whatever the byte
// order in which the value is then written), and back.
std::array<int4, title_words> pack_title(std::span<const char, title_chars> title);
std::string unpack_title(std::span<const int4, title_words> words);

// ---- boundary record: keyb(3), nbound(3), then the node lists ----
inline constexpr std::size_t boundary_head_words = 6;

// The node lists in the order of the record, each nbound(count + 1) long,
// with the head of its text block.
struct BoundaryList {
  std::string_view head;
  int count;  // 0-based index into nbound
};
inline constexpr BoundaryList boundary_lists[] = {
    {"BDFEML  ", 0}, {"BDFFL   ", 0}, {"BDFEMR  ", 1}, {"BDFFR   ", 1}, {"BDBASE  ", 2}};

// The same lists side by side: the left and right sides have two lists each
// (model nodes, then free-field nodes), the base one.
struct BoundarySide {
  std::string_view table;
  int count_slot;  // 0-based index into nbound
  int lists;
};
inline constexpr BoundarySide boundary_sides[] = {{"left", 0, 2}, {"right", 1, 2}, {"base", 2, 1}};
inline constexpr std::string_view boundary_list_names[] = {"model_node", "free_field_node"};

// The list of a head (trailing blanks ignored), or nullptr.
constexpr const BoundaryList* boundary_list(std::string_view head) {
  for (const BoundaryList& l : boundary_lists)
    if (trim_right(l.head) == trim_right(head)) return &l;
  return nullptr;
}

// ---- nodes record: numbers, then x, then z ----
inline constexpr std::size_t node_words = 3;

// ---- element records: the count, then five int4 columns per row ----
inline constexpr std::size_t element_row_words = 5;

// What fills a column: the element number, a node, or a zero.
enum class Column : std::uint8_t { element, node1, node2, node3, node4, unused };
std::string_view column_name(Column c);

struct ElementRecord {
  std::string_view head;   // head of its text block, 8 characters
  std::string_view table;  // name of its table in exports
  int slot;                // slot of the file's counts (nelm in SV, nelmh in SH) that gives the rows
  bool densities;          // one real4 density per element follows all the rows
  bool sv, sh;             // the variants whose model section holds the record
  std::array<Column, element_row_words> columns;

  constexpr std::string_view name() const { return trim_right(head); }
};

namespace element_columns {
using enum Column;
inline constexpr std::array<Column, element_row_words> four_node = {element, node1, node2, node3, node4};
inline constexpr std::array<Column, element_row_words> two_node = {element, node1, unused, node2, unused};
inline constexpr std::array<Column, element_row_words> rotational = {element, unused, node1, unused, node2};
}  // namespace element_columns

// The element records in the order in which they are written. Two-node kinds
// put their nodes in columns 2 and 4 (rotational springs, which repeat the
// springs, in 3 and 5) and zeros in the other two; the joints come before
// the voids though their slot is the higher one; the SH file ends with the
// beams, springs and rigid elements merged into one spring record.
inline constexpr ElementRecord element_records[] = {
    // head      table                slot                            dens.  sv     sh
    {"SOLID   ", "solid",             count_slot::solid,             true,  true,  true,  element_columns::four_node},
    {"BEAM    ", "beam",              count_slot::beam,              false, true,  false, element_columns::two_node},
    {"SPRING  ", "spring",            count_slot::spring,            false, true,  false, element_columns::two_node},
    {"ROTATE  ", "rotational_spring", count_slot::rotational_spring, false, true,  false, element_columns::rotational},
    {"WATER   ", "water",             count_slot::water,             false, true,  false, element_columns::four_node},
    {"WATERB  ", "water_boundary",    count_slot::water_boundary,    false, true,  false, element_columns::four_node},
    {"SHELL   ", "shell",             count_slot::shell,             false, true,  false, element_columns::four_node},
    {"RIGID   ", "rigid",             count_slot::rigid,             false, true,  false, element_columns::two_node},
    {"JOINT   ", "joint",             count_slot::joint,             false, true,  false, element_columns::four_node},
    {"VOID    ", "void",              count_slot::void_element,      false, true,  false, element_columns::four_node},
    {"SPRING  ", "spring",            count_slot::spring,            false, false, true,  element_columns::two_node},
};

// Bytes of an element record of `rows` rows.
constexpr std::uint64_t element_record_bytes(const ElementRecord& r, std::uint64_t rows) {
  return 4 + 4 * rows * (element_row_words + (r.densities ? 1 : 0));
}

}  // namespace qx::format
