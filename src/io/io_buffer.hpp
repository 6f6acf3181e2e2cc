// The buffer of a reader or writer: allocated without being filled, so that
// only the pages that data reach are ever touched (a small case writes a few
// kilobytes through buffers of a megabyte).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace qx {

template <typename Byte>
class IoBuffer {
 public:
  static constexpr std::size_t page_bytes = 4096;

  void allocate(std::size_t n) { take(std::malloc(n), n); }
  // The same starting on a page, n being a whole number of pages.
  void allocate_pages(std::size_t n) { take(std::aligned_alloc(page_bytes, n), n); }
  void release() {
    data_.reset();
    size_ = 0;
  }
  Byte* data() { return data_.get(); }
  const Byte* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(Byte* p) const { std::free(p); }
  };
  void take(void* p, std::size_t n) {
    if (p == nullptr && n > 0) throw std::bad_alloc();
    data_.reset(static_cast<Byte*>(p));
    size_ = n;
  }
  std::unique_ptr<Byte[], Free> data_;
  std::size_t size_ = 0;
};

}  // namespace qx
