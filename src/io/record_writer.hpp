// Sequential writer of a binary record file in a chosen byte order. The file
// is not emptied at open: it is replaced when its first record is written, so
// a run that writes nothing to it leaves it as it was. Buffered; a failed
// write is remembered and every later write and the close return 38
// (io/buffered_output.hpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/buffered_output.hpp"
#include "io/byte_order.hpp"
#include "io/item.hpp"

namespace qx {

class RecordWriter : public BufferedOutput {
 public:
  int open(const std::string& path, ByteOrder order);

  // Writes one record holding the items in order.
  int write(std::span<const OutItem> items);
  int write(std::initializer_list<OutItem> items) { return write(std::span(items.begin(), items.size())); }
  // Writes one record of the values of a work array that the caller does not
  // read again: in a byte order other than the host's they are swapped where
  // they stand, and left so, which spares copying them.
  int write_consuming(std::span<float> values);
  // Writes one record whose payload is 4-byte items given as bytes, each
  // reversed on the way when `swap4`: a record passed on from a reader's
  // buffer, where the two files' byte orders decide the swap.
  int write_words(std::span<const unsigned char> payload, bool swap4);
  ByteOrder order() const { return order_; }

 private:
  int write_items(std::span<const OutItem> items, bool in_file_order);
  int begin_record(std::uint64_t payload_bytes);
  void append(const void* data, std::size_t bytes, std::size_t element_bytes);
  void append_as(const void* data, std::size_t bytes, std::size_t element_bytes, bool swap);

  ByteOrder order_ = ByteOrder::little;
};

}  // namespace qx
