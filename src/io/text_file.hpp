// Sequential text files of lines ended by a line feed: a buffered writer that
// remembers its first failure, and a line reader that can go back one line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/io_buffer.hpp"
#include "io/io_failure.hpp"
#include "io/layout.hpp"
#include "io/real4_lines.hpp"

namespace qx {

class TextWriter final : public TextSink {
 public:
  TextWriter() = default;
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
  ~TextWriter();

  int open(const std::string& path);
  int close();  // flushes; 38 when text could not be written
  bool is_open() const { return fd_ >= 0; }
  int put(std::string_view text) override;  // 0, or 38 once any write failed
  // The lines formatted straight into the buffer; as put.
  int put(Real4Lines& lines);
  int flush();
  // Why the open or the first failed write failed.
  const IoFailure& failure() const { return failure_; }

 private:
  bool begin_output();
  int fail_system();

  int fd_ = -1;
  IoBuffer<char> buf_;  // allocated at the first output, not zeroed
  std::size_t len_ = 0;
  bool replaced_ = false;
  int failed_ = 0;
  IoFailure failure_;
};

class TextReader final : public LineSource {
 public:
  TextReader() = default;
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;
  ~TextReader();

  // Lines longer than this are cut: no layout of the system reads that far,
  // and a file of one endless line must not fill the memory.
  static constexpr std::size_t max_line = 4096;

  int open(const std::string& path);
  int close();
  bool is_open() const { return fd_ >= 0; }
  int next_line(std::string_view& line) override;  // 0, -1 at end of file, 39 on a read error
  int backspace();  // the next read returns the line last read again
  int rewind();
  // Why the open or the last failed read failed.
  const IoFailure& failure() const { return failure_; }

 private:
  int fill();

  int fd_ = -1;
  IoBuffer<char> buf_;
  std::size_t pos_ = 0, len_ = 0;
  std::string line_;
  bool reread_ = false;
  bool have_line_ = false;
  bool eof_ = false;
  IoFailure failure_;
};

}  // namespace qx
