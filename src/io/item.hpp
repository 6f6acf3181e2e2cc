// Items of a binary record or of a text line: a scalar or a contiguous array
// of one of the four item types. A write takes a list of OutItem, a read a
// list of InItem; both only point at the caller's storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qx {

enum class ItemType : std::uint8_t { int4, real4, real8, text };

struct OutItem {
  ItemType type;
  const void* data;
  std::size_t count;     // number of elements
  std::size_t text_len;  // characters per element (text only)
};

struct InItem {
  ItemType type;
  void* data;
  std::size_t count;
  std::size_t text_len;
};

// Bytes an item occupies in a binary record.
constexpr std::size_t item_bytes(ItemType t, std::size_t count, std::size_t text_len) {
  switch (t) {
    case ItemType::int4:
    case ItemType::real4: return 4 * count;
    case ItemType::real8: return 8 * count;
    case ItemType::text: return text_len * count;
  }
  return 0;
}
constexpr std::size_t item_bytes(const OutItem& i) { return item_bytes(i.type, i.count, i.text_len); }
constexpr std::size_t item_bytes(const InItem& i) { return item_bytes(i.type, i.count, i.text_len); }

inline OutItem out(const std::int32_t& v) { return {ItemType::int4, &v, 1, 0}; }
inline OutItem out(const float& v) { return {ItemType::real4, &v, 1, 0}; }
inline OutItem out(const double& v) { return {ItemType::real8, &v, 1, 0}; }
inline OutItem out(std::span<const std::int32_t> v) { return {ItemType::int4, v.data(), v.size(), 0}; }
inline OutItem out(std::span<const float> v) { return {ItemType::real4, v.data(), v.size(), 0}; }
inline OutItem out(std::span<const double> v) { return {ItemType::real8, v.data(), v.size(), 0}; }
// One text element of the text's own length.
inline OutItem out_text(std::string_view s) { return {ItemType::text, s.data(), 1, s.size()}; }
// A text cut into elements of elem_len characters (for example a title as 18A4).
inline OutItem out_texts(std::string_view s, std::size_t elem_len) {
  return {ItemType::text, s.data(), elem_len ? s.size() / elem_len : 0, elem_len};
}

inline InItem in(std::int32_t& v) { return {ItemType::int4, &v, 1, 0}; }
inline InItem in(float& v) { return {ItemType::real4, &v, 1, 0}; }
inline InItem in(double& v) { return {ItemType::real8, &v, 1, 0}; }
inline InItem in(std::span<std::int32_t> v) { return {ItemType::int4, v.data(), v.size(), 0}; }
inline InItem in(std::span<float> v) { return {ItemType::real4, v.data(), v.size(), 0}; }
inline InItem in(std::span<double> v) { return {ItemType::real8, v.data(), v.size(), 0}; }
// A fixed-length text field: reads fill all of it (blank-padded on text input).
inline InItem in_text(std::span<char> s) { return {ItemType::text, s.data(), 1, s.size()}; }
inline InItem in_texts(std::span<char> s, std::size_t elem_len) {
  return {ItemType::text, s.data(), elem_len ? s.size() / elem_len : 0, elem_len};
}

}  // namespace qx
