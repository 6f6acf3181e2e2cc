// A sequential file open for reading and writing: binary records or text
// lines on one descriptor, read and written at one position, as a named file
// (created when missing, never emptied at open) or as a nameless scratch file
// that disappears when it is closed.
//
// A write makes the written record or line the last one of the file: what
// stood behind it is cut off. Reads, going back one record and rewinding
// behave as for the read-only files (record_reader.hpp, text_file.hpp).
// Not buffered: the file set never uses these files for bulk data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/byte_order.hpp"
#include "io/item.hpp"
#include "io/layout.hpp"
#include "io/os_file.hpp"
#include "io/status.hpp"

namespace qx {

class UpdateFile final : public TextSink, public LineSource {
 public:
  enum class Form : std::uint8_t { binary, text };

  UpdateFile() = default;
  UpdateFile(const UpdateFile&) = delete;
  UpdateFile& operator=(const UpdateFile&) = delete;
  ~UpdateFile();

  // 0, or the open status (9, 29, 30; a directory gives 30).
  int open(const std::string& path, Form form, ByteOrder order);
  // A file without a name in the temporary directory; 30 when none can be made.
  int open_scratch(Form form, ByteOrder order);
  int close();  // 38 when a write had failed
  bool is_open() const { return file_ != os::no_file; }
  int flush() const { return is_open() ? failed_ : iostat::write_failed; }

  // Binary records: the same statuses as RecordReader (-1, 39, 67) and
  // RecordWriter (38).
  int write(std::span<const OutItem> items);
  int write(std::initializer_list<OutItem> items) { return write(std::span(items.begin(), items.size())); }
  int read(std::span<const InItem> items);
  int read(std::initializer_list<InItem> items) { return read(std::span(items.begin(), items.size())); }
  int peek_length(std::uint32_t& payload_bytes);

  // Text lines (each ended by '\n' in what is put).
  int put(std::string_view text) override;
  int next_line(std::string_view& line) override;

  // Back to the start of the record or line last read; right after a write,
  // back over the record or line that ends at the position.
  int backspace();
  int rewind();

 private:
  int write_bytes(const void* data, std::size_t n);
  int record_at(std::uint64_t start, std::int64_t& length);
  std::int64_t decode_marker(const unsigned char* bytes) const;
  std::uint64_t file_size() const;

  os::File file_ = os::no_file;
  bool regular_ = false;  // only a regular file is cut behind a write
  Form form_ = Form::binary;
  ByteOrder order_ = ByteOrder::little;
  std::uint64_t pos_ = 0;
  std::int64_t last_start_ = -1;  // start of the record or line last read
  std::string line_;
  int failed_ = 0;
};

}  // namespace qx
