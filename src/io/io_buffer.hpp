// The buffer of a reader or writer: allocated without being filled, so that
// only the pages that data reach are ever touched (a small case writes a few
// kilobytes through buffers of a megabyte).
#pragma once

#include <cstddef>
#include <memory>

namespace qx {

template <typename Byte>
class IoBuffer {
 public:
  void allocate(std::size_t n) {
    data_ = std::make_unique_for_overwrite<Byte[]>(n);
    size_ = n;
  }
  void release() {
    data_.reset();
    size_ = 0;
  }
  Byte* data() { return data_.get(); }
  const Byte* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<Byte[]> data_;
  std::size_t size_ = 0;
};

}  // namespace qx
