#include "io/read_ahead.hpp"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "io/os_process.hpp"

namespace qx {

void ReadAhead::attach(os::File file, bool threaded) {
  detach();
  file_ = file;
  threaded_ = threaded;
  ended_ = false;
  next_off_ = 0;
}

void ReadAhead::detach() {
  stop();
  ring_.release();
  file_ = os::no_file;
}

bool ReadAhead::start(std::uint64_t off) {
  if (ring_.size() == 0) ring_.allocate_reused(slot_count * slot_bytes);
  filled_ = emptied_ = 0;
  stopping_ = false;
  producing_ = true;
  taken_ = 0;
  next_off_ = off;
  try {
    thread_ = std::thread(&ReadAhead::produce, this, off);
  } catch (const std::system_error&) {
    // No thread to be had: the file is read on the caller's thread, as
    // without a ring.
    producing_ = false;
    threaded_ = false;
    return false;
  }
  return true;
}

void ReadAhead::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  emptied_cv_.notify_one();
  thread_.join();
}

// The thread: fills one slot after the other from `off` on, until the end
// of the file, a failed read or the reader's stop. A full ring is waited on
// until half of it is free, so that the thread is woken once per half ring
// rather than once per slot.
void ReadAhead::produce(std::uint64_t off) {
  os::block_signals_in_this_thread();
  for (;;) {
    std::uint64_t k = 0;
    {
      std::unique_lock lock(mutex_);
      if (filled_ - emptied_ >= slot_count) {
        producer_waits_ = true;
        emptied_cv_.wait(lock, [&] { return stopping_ || filled_ - emptied_ <= slot_count / 2; });
        producer_waits_ = false;
      }
      if (stopping_) break;
      k = filled_;
    }
    const long long r = os::read_at(file_, off, slot_data(k), slot_bytes);
    Slot& slot = slots_[k % slot_count];
    slot.offset = off;
    slot.bytes = r > 0 ? static_cast<std::size_t>(r) : 0;
    slot.failed = r < 0;
    {
      std::lock_guard lock(mutex_);
      filled_ = k + 1;
    }
    filled_cv_.notify_one();
    // A slot not filled means the end of the file or a failure: what comes
    // after is for the reader to meet itself.
    if (slot.bytes < slot_bytes) break;
    off += slot_bytes;
  }
  {
    std::lock_guard lock(mutex_);
    producing_ = false;
  }
  filled_cv_.notify_one();
}

const ReadAhead::Slot* ReadAhead::front() {
  std::unique_lock lock(mutex_);
  filled_cv_.wait(lock, [&] { return filled_ > emptied_ || !producing_; });
  return filled_ > emptied_ ? &slots_[emptied_ % slot_count] : nullptr;
}

void ReadAhead::pop_front() {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    ++emptied_;
    wake = producer_waits_ && filled_ - emptied_ <= slot_count / 2;
  }
  if (wake) emptied_cv_.notify_one();
  taken_ = 0;
}

// Passes over what the ring holds up to `off`, a little ahead of the
// reader; false when the ring ends before it.
bool ReadAhead::skip_to(std::uint64_t off) {
  while (next_off_ < off) {
    const Slot* s = front();
    if (s == nullptr || s->failed) return false;
    const std::size_t t = static_cast<std::size_t>(std::min<std::uint64_t>(off - next_off_, s->bytes - taken_));
    taken_ += t;
    next_off_ += t;
    if (taken_ == s->bytes) pop_front();
  }
  return true;
}

// Makes the ring stand at `off`: what it holds up to there is passed over
// when `off` is a little ahead, and the reading ahead starts anew anywhere
// else. False when the thread cannot be had or met the end of the file or a
// failure before `off`.
bool ReadAhead::position(std::uint64_t off) {
  if (thread_.joinable() && off >= next_off_ && off - next_off_ <= slot_count * slot_bytes && skip_to(off))
    return true;
  stop();
  ended_ = false;
  // The thread reads from the start of a page into slots that start on a
  // page, so that every copy out of the system's cache lands at the same
  // place in a page as it comes from. Some processors (seen on AMD EPYC) copy
  // at a third of the speed where the destination lies a few bytes past
  // the source within a page.
  return start(off - off % IoBuffer<unsigned char>::page_bytes) && skip_to(off);
}

long long ReadAhead::read(std::uint64_t off, void* dst, std::size_t n) {
  if (file_ == os::no_file) return -1;
  auto* p = static_cast<unsigned char*>(dst);
  if (threaded_ && !(ended_ && off == next_off_) && !position(off)) {
    stop();
    ended_ = true;
  }
  if (!threaded_) return os::read_at(file_, off, p, n);
  std::size_t got = 0;
  while (got < n) {
    const Slot* s = ended_ ? nullptr : front();
    if (s == nullptr || s->failed || s->bytes == 0) {
      // Where the thread met the end of the file or a failed read, the file
      // is read here, as it is now, until the reader moves elsewhere.
      stop();
      ended_ = true;
      const long long r = os::read_at(file_, off + got, p + got, n - got);
      if (r < 0) return -1;
      got += static_cast<std::size_t>(r);
      next_off_ = off + got;
      break;
    }
    const std::size_t t = std::min(n - got, s->bytes - taken_);
    std::memcpy(p + got, slot_data(emptied_) + taken_, t);
    taken_ += t;
    got += t;
    next_off_ += t;
    if (taken_ == s->bytes) pop_front();
  }
  return static_cast<long long>(got);
}

}  // namespace qx
