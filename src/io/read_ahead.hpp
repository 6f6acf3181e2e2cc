// Reading of a result file ahead of its converter, on the second processor.
// A record reader asks for the bytes at the offset where it stands, as it
// would with a positioned read, and gets what that read would give; a thread
// of its own reads the file a slot at a time into a ring of slots meanwhile, so
// that the copy out of the system's cache is made while the converter
// writes. Memory is the ring's, whatever the file.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "io/io_buffer.hpp"
#include "io/os_file.hpp"

namespace qx {

class ReadAhead {
 public:
  static constexpr std::size_t slot_bytes = std::size_t{64} << 10;
  static constexpr std::size_t slot_count = 16;
  // Files below this size are read on the caller's thread: a thread would
  // cost more than the reads it takes over.
  static constexpr std::uint64_t threaded_from = std::uint64_t{1} << 20;

  ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead() { detach(); }

  // Serves `file` (not owned) from now on; the thread starts with the first
  // read, and only when `threaded` (a regular file large enough).
  void attach(os::File file, bool threaded);
  // Stops the thread and forgets the file.
  void detach();

  // What os::read_at(file, off, dst, n) gives: the bytes read,
  // fewer only at the end of the file, or -1 on an I/O error. Reads that go
  // on where the last ended, or a little beyond it, are served from the
  // ring; any other offset starts the reading ahead there anew. The end of
  // the file and a failed read are met again on this thread, at the moment
  // the caller reaches them, so that they are what the file holds then.
  long long read(std::uint64_t off, void* dst, std::size_t n);

  // Whether the thread reads ahead now (for tests).
  bool reading_ahead() const { return thread_.joinable(); }

 private:
  struct Slot {
    std::uint64_t offset = 0;
    std::size_t bytes = 0;  // 0 at the end of the file
    bool failed = false;
  };

  bool start(std::uint64_t off);
  void stop();
  void produce(std::uint64_t off);
  // The slot the reader stands in, waited for; nullptr when the thread
  // has ended without filling it.
  const Slot* front();
  void pop_front();
  bool skip_to(std::uint64_t off);
  bool position(std::uint64_t off);
  unsigned char* slot_data(std::uint64_t k) { return ring_.data() + (k % slot_count) * slot_bytes; }

  os::File file_ = os::no_file;
  bool threaded_ = false;
  IoBuffer<unsigned char> ring_;  // slot after slot, each starting on a page
  std::array<Slot, slot_count> slots_{};

  // Shared with the thread, under mutex_: slots filled and emptied since
  // the start, and whether the thread is to stop.
  std::mutex mutex_;
  std::condition_variable filled_cv_, emptied_cv_;
  std::uint64_t filled_ = 0, emptied_ = 0;
  bool stopping_ = false;
  bool producing_ = false;  // the thread has not ended
  bool producer_waits_ = false;
  std::thread thread_;

  // The reader's own: where the next read is expected, and how much of the
  // front slot it has taken.
  std::uint64_t next_off_ = 0;
  std::size_t taken_ = 0;
  bool ended_ = false;  // the thread met the end of the file or a failure at next_off_
};

}  // namespace qx
