#include "io/record_head.hpp"

#include <algorithm>
#include <cstring>

#include "io/status.hpp"

namespace qx {

int RecordHead::take(std::span<const InItem> items) const {
  // The payload bytes that this view may use: none when the record was
  // refused before its payload was reached.
  std::size_t remaining = std::min<std::size_t>(length_, held_);
  const bool whole = held_ == length_;
  std::size_t at = 0;
  int status = iostat::ok;
  for (const InItem& item : items) {
    const std::size_t esize = item_bytes(item.type, 1, 1);
    const std::size_t want = item_bytes(item);
    if (!whole && want > remaining) return iostat::read_failed;
    std::size_t take = std::min(want, remaining);
    take -= take % esize;
    if (take > 0) std::memcpy(item.data, bytes_.data() + at, take);
    if (order_ != host_order) {
      if (esize == 4) swap_words4(item.data, take / 4);
      if (esize == 8) swap_words8(item.data, take / 8);
    }
    at += take;
    remaining -= take;
    if (take < want) {
      status = iostat::short_record;
      break;
    }
  }
  return status_ != iostat::ok ? status_ : status;
}

}  // namespace qx
