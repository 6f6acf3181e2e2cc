// The records of the model section at the start of a converted file, as
// tables: the element kinds in file order with the count slot that sizes
// each and the names of its five columns, and the boundary node lists of
// the boundary record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace qxdump {

inline constexpr std::size_t title_words = 18;       // 72 characters, four to an int4 word
inline constexpr std::size_t model_count_slots = 10;  // nelm (SV) or nelmh (SH)
inline constexpr std::uint64_t element_row_words = 5;

// One element record: `head` names it in the listing, `table` in exports.
// Every row is five int4 columns; the solid record ends with one real4
// density per element, after all the rows.
struct ElementKind {
  std::string_view head;
  std::string_view table;
  int slot;  // 1-based slot of the counts record that gives the row count
  bool densities;
  bool sv, sh;  // the variants whose model section holds the record
  std::array<std::string_view, element_row_words> columns;
};

std::span<const ElementKind> element_kinds();

// The boundary record: keyb(3), nbound(3), then the node lists in this
// order. The left and right sides have two lists of nbound nodes each (model
// nodes, then free-field nodes), the base one.
struct BoundarySide {
  std::string_view table;
  int count_slot;  // 0-based index into nbound
  int lists;
};

inline constexpr BoundarySide boundary_sides[] = {
    {"left", 0, 2},
    {"right", 1, 2},
    {"base", 2, 1},
};
inline constexpr std::string_view boundary_list_names[] = {"model_node", "free_field_node"};
inline constexpr std::uint64_t boundary_head_words = 6;  // keyb(3), nbound(3)

}  // namespace qxdump
