// Sequential text files of lines ended by a line feed: a buffered writer that
// remembers its first failure, and a line reader that can go back one line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/buffered_output.hpp"
#include "io/io_buffer.hpp"
#include "io/layout.hpp"
#include "io/os_file.hpp"
#include "io/real4_lines.hpp"

namespace qx {

// Not emptied at open, buffered, 38 once any write failed
// (io/buffered_output.hpp).
class TextWriter final : public TextSink, public BufferedOutput {
 public:
  int put(std::string_view text) override;  // 0, or 38 once any write failed
  // The lines formatted straight into the buffer; as put.
  int put(Real4Lines& lines);

 private:
  char* text_end() { return reinterpret_cast<char*>(buf_.data()) + len_; }
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
  bool is_open() const { return file_ != os::no_file; }
  int next_line(std::string_view& line) override;  // 0, -1 at end of file, 39 on a read error
  int backspace();  // the next read returns the line last read again
  int rewind();
  // Why the open or the last failed read failed.
  const IoFailure& failure() const { return failure_; }

 private:
  int fill();

  os::File file_ = os::no_file;
  IoBuffer<char> buf_;
  std::size_t pos_ = 0, len_ = 0;
  std::string line_;
  bool reread_ = false;
  bool have_line_ = false;
  bool eof_ = false;
  IoFailure failure_;
};

}  // namespace qx
