#include "io/io_buffer.hpp"

#include <array>
#include <mutex>
#include <utility>

namespace qx {

namespace {

struct Released {
  void* data = nullptr;
  std::size_t bytes = 0;
};

// As many as the files of one result file: the conversion of the next one
// takes them over.
std::array<Released, 8> released;
std::mutex released_mutex;

}  // namespace

void* take_released(std::size_t n) {
  std::lock_guard lock(released_mutex);
  for (Released& r : released)
    if (r.data && r.bytes == n) return std::exchange(r.data, nullptr);
  return nullptr;
}

bool keep_released(void* p, std::size_t n) {
  std::lock_guard lock(released_mutex);
  for (Released& r : released)
    if (!r.data) {
      r = {p, n};
      return true;
    }
  return false;
}

}  // namespace qx
