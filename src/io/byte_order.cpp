#include "io/byte_order.hpp"

namespace qx {

void swap_words4(void* data, std::size_t count) {
  auto* p = static_cast<unsigned char*>(data);
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    v = swap4(v);
    std::memcpy(p, &v, 4);
  }
}

void swap_words8(void* data, std::size_t count) {
  auto* p = static_cast<unsigned char*>(data);
  for (std::size_t i = 0; i < count; ++i, p += 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    v = swap8(v);
    std::memcpy(p, &v, 8);
  }
}

}  // namespace qx
