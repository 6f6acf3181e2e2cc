#include "format/model_section.hpp"

#include <cstdint>

namespace qx::format {

namespace {

constexpr bool heads_fill_their_field() {
  for (const ElementRecord& r : element_records)
    if (r.head.size() != 8) return false;
  for (const BoundaryList& l : boundary_lists)
    if (l.head.size() != 8) return false;
  return true;
}
static_assert(heads_fill_their_field(), "a text head is not eight characters");

constexpr bool sides_hold_the_lists() {
  std::size_t k = 0;
  for (const BoundarySide& side : boundary_sides)
    for (int l = 0; l < side.lists; ++l)
      if (k >= std::size(boundary_lists) || boundary_lists[k++].count != side.count_slot) return false;
  return k == std::size(boundary_lists);
}
static_assert(sides_hold_the_lists(), "the boundary sides disagree with the boundary lists");

}  // namespace

Counts sh_counts(const Counts& nelm) {
  Counts nelmh{};
  nelmh[count_slot::solid - 1] = nelm[count_slot::solid - 1];
  std::int64_t springs = 0;
  for (int slot : sh_spring_sources) springs += nelm[static_cast<std::size_t>(slot - 1)];
  nelmh[count_slot::spring - 1] = saturate(springs);
  return nelmh;
}

std::array<int4, title_words> pack_title(std::span<const char, title_chars> title) {
  std::array<int4, title_words> words{};
  for (std::size_t w = 0; w < words.size(); ++w) {
    std::uint32_t word = 0;
    for (std::size_t b = 0; b < 4; ++b) word |= std::uint32_t{static_cast<unsigned char>(title[4 * w + b])} << (8 * b);
    words[w] = static_cast<int4>(word);
  }
  return words;
}

std::string unpack_title(std::span<const int4, title_words> words) {
  std::string title;
  title.reserve(title_chars);
  for (int4 w : words) {
    const auto v = static_cast<std::uint32_t>(w);
    for (std::size_t b = 0; b < 4; ++b) title += static_cast<char>((v >> (8 * b)) & 0xFFu);
  }
  return title;
}

std::string_view column_name(Column c) {
  constexpr std::string_view names[] = {"element", "node1", "node2", "node3", "node4", "unused"};
  return names[static_cast<std::size_t>(c)];
}

}  // namespace qx::format
