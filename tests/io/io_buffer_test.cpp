// Buffers that reuse released memory must never share it: a buffer taken
// while another is alive gets memory of its own, and one released is taken
// by the next of its size only.
#include "io/io_buffer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

using Buffer = qx::IoBuffer<unsigned char>;

TEST(IoBuffer, ReusedMemoryBelongsToOneBufferAtATime) {
  constexpr std::size_t size = std::size_t{1} << 20;
  std::vector<std::unique_ptr<Buffer>> live;
  for (int i = 0; i < 12; ++i) {
    live.push_back(std::make_unique<Buffer>());
    live.back()->allocate_reused(size);
  }
  std::set<const unsigned char*> before;
  for (const auto& b : live) {
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(b->data()) % Buffer::page_bytes, 0u);
    before.insert(b->data());
  }
  ASSERT_EQ(before.size(), live.size()) << "live buffers share memory";

  // Release them all: some are kept, and the next buffers of that size take
  // those, each a different one; a buffer of another size takes none.
  for (auto& b : live) b->release();
  Buffer other;
  other.allocate_reused(size / 2);
  EXPECT_EQ(before.count(other.data()), 0u);
  std::set<const unsigned char*> after;
  std::size_t reused = 0;
  for (auto& b : live) {
    b->allocate_reused(size);
    after.insert(b->data());
    reused += before.count(b->data());
  }
  EXPECT_EQ(after.size(), live.size()) << "a released buffer was handed out twice";
  EXPECT_GT(reused, 0u) << "released memory is taken again";
  for (auto& b : live) b->release();
  other.release();
}

// The memory kept for reuse is bounded, whatever is released.
TEST(IoBuffer, KeepsOnlyAFewReleasedBuffers) {
  // What the writers of other tests left, buffers of a megabyte, first.
  while (void* p = qx::take_released(std::size_t{1} << 20)) std::free(p);
  constexpr std::size_t size = 12345;
  std::vector<void*> blocks(40);
  for (void*& p : blocks) p = std::malloc(size);
  std::size_t kept = 0;
  for (void* p : blocks)
    if (qx::keep_released(p, size)) ++kept;
    else std::free(p);
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, blocks.size());
  std::size_t taken = 0;
  while (void* p = qx::take_released(size)) {
    std::free(p);
    ++taken;
  }
  EXPECT_EQ(taken, kept);
}

}  // namespace
