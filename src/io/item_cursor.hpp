// Walks the elements of a list of items (OutItem or InItem) in order,
// passing over empty items.
#pragma once

#include <cstddef>
#include <span>

namespace qx {

template <class Item>
class ItemCursor {
 public:
  explicit ItemCursor(std::span<const Item> items) : items_(items) { settle(); }
  bool has_item() const { return i_ < items_.size(); }
  const Item& item() const { return items_[i_]; }
  std::size_t element() const { return j_; }
  void advance() {
    if (++j_ >= items_[i_].count) {
      ++i_;
      j_ = 0;
      settle();
    }
  }

 private:
  void settle() {
    while (i_ < items_.size() && items_[i_].count == 0) ++i_;
  }
  std::span<const Item> items_;
  std::size_t i_ = 0, j_ = 0;
};

}  // namespace qx
