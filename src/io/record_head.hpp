// The leading bytes of one binary record, read once, from which the caller
// takes as many views as it needs: the first words that decide what a record
// is, then the whole of it laid out by that decision, without going back in
// the file. Holds at most `capacity` bytes; the rest of the record is passed
// over when it is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "io/byte_order.hpp"
#include "io/item.hpp"

namespace qx {

class RecordHead {
 public:
  static constexpr std::size_t capacity = 64;

  // Fills the items from the start of the record as a read of that record
  // into them would: in order, back to back, whole elements only, in the
  // host's byte order. Returns the status of the read that took the record
  // (-1, 39, ...) when it failed, having filled what that read had filled
  // (nothing when the leading marker was at fault, everything the record
  // holds when only the trailing marker was); otherwise 67 after filling
  // what the record holds when the items ask for more, and 0. Items that
  // reach beyond `capacity` bytes of a longer record give 39.
  int take(std::span<const InItem> items) const;
  int take(std::initializer_list<InItem> items) const { return take(std::span(items.begin(), items.size())); }

  int status() const { return status_; }
  // Payload length of the record (0 when its leading marker was at fault).
  std::uint32_t length() const { return length_; }

 private:
  friend class RecordReader;

  std::array<unsigned char, capacity> bytes_{};
  std::size_t held_ = 0;       // payload bytes in bytes_, as in the file
  std::uint32_t length_ = 0;   // payload length
  ByteOrder order_ = ByteOrder::little;
  int status_ = -1;
};

}  // namespace qx
