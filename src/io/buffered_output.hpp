// The file of a buffered writer, shared by the record and the text writers:
// opened without being emptied and emptied when its first output begins, so
// that a run that writes nothing to it leaves it as it was; written through
// a buffer of a MiB taken at the first output; closed with what the buffer
// holds. A failed write is remembered: every later write and the close give
// 38.
#pragma once

#include <cstddef>
#include <string>

#include "io/io_buffer.hpp"
#include "io/io_failure.hpp"
#include "io/os_file.hpp"

namespace qx {

class BufferedOutput {
 public:
  static constexpr std::size_t buffer_bytes = std::size_t{1} << 20;

  BufferedOutput() = default;
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;
  ~BufferedOutput() { close(); }

  // 0, or the open status (9, 29, 30).
  int open(const std::string& path);
  // Flushes and closes; 38 when anything could not be written.
  int close();
  bool is_open() const { return file_ != os::no_file; }
  // Hands what the buffer holds to the system: 0 or 38.
  int flush();
  // Why the open or the first failed write failed.
  const IoFailure& failure() const { return failure_; }

 protected:
  // Before any output: 0, or 38 for a file that is not open or has failed.
  // The first output replaces what the file held and takes the buffer.
  int begin_output();
  // What the buffer holds and then `bytes` from `data`, in one call where
  // the system takes both; the buffer is empty after it.
  void write_after_buffer(const void* data, std::size_t bytes);
  // The first failed write, with the system's error number: 38.
  int fail(int error);

  os::File file_ = os::no_file;
  IoBuffer<unsigned char> buf_;
  std::size_t len_ = 0;    // bytes in buf_
  bool replaced_ = false;  // the old contents were dropped at the first output
  int failed_ = 0;         // sticky status of the first failed write
  IoFailure failure_;      // and why it failed
};

}  // namespace qx
