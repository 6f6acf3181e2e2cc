// The buffer of a reader or writer: allocated without being filled, so that
// only the pages that data reach are ever touched (a small case writes a few
// kilobytes through buffers of a megabyte). The writers' buffers and the
// rings of the reading ahead are reused: the conversion of TP19 fills the
// memory that the conversion of TP18 released, whose pages the process has
// already been given, instead of taking new ones page by page.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include "io/os_process.hpp"

namespace qx {

// The memory of released buffers kept for reuse (a few of them, for the
// whole run): take_released gives one of n bytes, or nullptr; keep_released
// takes one back, false when it keeps enough already.
void* take_released(std::size_t n);
bool keep_released(void* p, std::size_t n);

template <typename Byte>
class IoBuffer {
 public:
  static constexpr std::size_t page_bytes = 4096;

  void allocate(std::size_t n) { take(os::allocate_aligned(n, alignof(std::max_align_t)), n); }
  // The same starting on a page, n being a whole number of pages.
  void allocate_pages(std::size_t n) { take(os::allocate_aligned(n, page_bytes), n); }
  // The same, reusing the memory of a buffer of that size released before:
  // its pages are already the process's, so filling it costs no page
  // faults. Such buffers start on a page too.
  void allocate_reused(std::size_t n) {
    void* p = take_released(n);
    take(p ? p : os::allocate_aligned(n, page_bytes), n);
    reusable_ = true;
  }
  void release() {
    if (reusable_ && data_ && keep_released(data_.get(), size_)) (void)data_.release();
    data_.reset();
    size_ = 0;
    reusable_ = false;
  }
  Byte* data() { return data_.get(); }
  const Byte* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(Byte* p) const { os::free_aligned(p); }
  };
  void take(void* p, std::size_t n) {
    if (p == nullptr && n > 0) throw std::bad_alloc();
    data_.reset(static_cast<Byte*>(p));
    size_ = n;
  }
  std::unique_ptr<Byte[], Free> data_;
  std::size_t size_ = 0;
  bool reusable_ = false;
};

}  // namespace qx
