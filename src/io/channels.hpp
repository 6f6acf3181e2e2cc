// The channel table: small integer numbers that name the open files of a run.
// Every routine opens, reads, writes and closes its files through it, and
// every operation returns a status number (io/status.hpp).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_order.hpp"
#include "io/io_failure.hpp"
#include "io/item.hpp"
#include "io/layout.hpp"
#include "io/record_reader.hpp"
#include "io/real4_lines.hpp"
#include "io/record_writer.hpp"
#include "io/text_file.hpp"
#include "io/update_file.hpp"

namespace qx {

enum class ChannelKind : std::uint8_t {
  closed,
  binary_read,
  binary_write,
  text_read,
  text_write,
  binary_update,  // read and write records
  text_update,    // read and write lines
};

class Channels {
 public:
  static constexpr int max_unit = 99;

  Channels();
  Channels(const Channels&) = delete;
  Channels& operator=(const Channels&) = delete;
  ~Channels();  // closes and keeps every open file

  // Opens return 0, 9 (permission denied), 29 (not found) or 30 (other
  // failure, a directory included; for the read-only opens also anything
  // that is not a regular file, refused without waiting for a writer). A
  // channel already open is closed first. A binary file read is read ahead
  // on a thread of its own when large, unless `read_ahead` is false.
  int open_binary_read(int unit, std::string_view name, ByteOrder order, bool read_ahead = true);
  // Not emptied at open: replaced when the first record is written.
  int open_binary_write(int unit, std::string_view name, ByteOrder order);
  int open_text_read(int unit, std::string_view name);
  // Not emptied at open: replaced when the first line is written.
  int open_text_write(int unit, std::string_view name);
  // Read and write on one position; created when missing, not emptied. A
  // write cuts the file off behind the record or line written.
  int open_binary_update(int unit, std::string_view name, ByteOrder order);
  int open_text_update(int unit, std::string_view name);
  // A nameless file for reading and writing that is gone when closed.
  int open_binary_scratch(int unit, ByteOrder order);
  int open_text_scratch(int unit);
  // Closes, keeping or deleting the file. 38 when buffered output was lost.
  int close(int unit, bool keep = true);
  void close_all();
  // Hands buffered output of a writing channel to the system, so that a
  // failure shows now rather than at the close: 0 or 38.
  int flush(int unit);
  ChannelKind kind(int unit) const;
  bool is_open(int unit) const { return kind(unit) != ChannelKind::closed; }
  const std::string& name(int unit) const;

  // Why the last failed operation of a channel failed, and the name of its
  // file: of the open channel, or of the open or close that failed and left
  // it closed. Messages tell it in words (failure_words); nothing is known
  // beyond the status of a channel that has not failed.
  struct Failure {
    std::string name;
    IoFailure why;
  };
  Failure failure(int unit) const;

  // Binary records.
  int write_record(int unit, std::span<const OutItem> items);
  int write_record(int unit, std::initializer_list<OutItem> items) {
    return write_record(unit, std::span(items.begin(), items.size()));
  }
  // One record of the values of a work array that is not read again: the
  // values may be left byte-swapped (RecordWriter::write_consuming).
  int write_record_consuming(int unit, std::span<float> values);
  // The next record of a binary reading channel written to a binary
  // writing channel as one record of its first `values` 4-byte values
  // (RecordReader::pass_record): 0 or the status of the write, or
  // not_copied, with nothing read or written, for the caller to read and
  // write the record itself.
  int pass_record(int in_unit, int out_unit, std::size_t values);
  int read_record(int unit, std::span<const InItem> items);
  int read_record(int unit, std::initializer_list<InItem> items) {
    return read_record(unit, std::span(items.begin(), items.size()));
  }
  int skip_record(int unit);
  int peek_record_length(int unit, std::uint32_t& payload_bytes);
  // One record read once for several views of its first bytes
  // (RecordReader::read_head); binary reading channels only.
  int read_record_head(int unit, RecordHead& head);
  // One record into items picked from its length (RecordReader::read_sized).
  template <typename Choose>
  int read_record_sized(int unit, Choose&& choose) {
    return read_record_sized(unit, {}, choose);
  }
  // The same after `head`, items that the choice depends on, read first.
  template <typename Choose>
  int read_record_sized(int unit, std::span<const InItem> head, Choose&& choose) {
    if (RecordReader* r = binary_reader(unit)) return r->read_sized(head, choose);
    // Other channels read the head, go back, and read the record in whole.
    std::uint32_t length = 0;
    if (int st = peek_record_length(unit, length); st != iostat::ok) return st;
    if (!head.empty()) {
      if (int st = read_record(unit, head); st != iostat::ok) return st;
      if (int st = backspace(unit); st != iostat::ok) return st;
    }
    const SizedItems chosen = choose(length);
    if (!chosen.holds) return iostat::short_record;
    std::vector<InItem> all(head.begin(), head.end());
    all.insert(all.end(), chosen.items.begin(), chosen.items.end());
    return read_record(unit, all);
  }

  // Text lines through a layout.
  int write_text(int unit, const Layout& layout, std::span<const OutItem> items);
  int write_text(int unit, const Layout& layout, std::initializer_list<OutItem> items) {
    return write_text(unit, layout, std::span(items.begin(), items.size()));
  }
  // Lines of real4 values: the text and the status that write_text gives
  // through the matching layout (such as "(1P,6E15.5)"), formatted without
  // the layout engine.
  int write_text(int unit, Real4Lines lines);
  // Text already made into lines, each ended by a line feed, as it stands.
  int put_text(int unit, std::string_view text);
  int read_text(int unit, const Layout& layout, std::span<const InItem> items);
  int read_text(int unit, const Layout& layout, std::initializer_list<InItem> items) {
    return read_text(unit, layout, std::span(items.begin(), items.size()));
  }
  // One raw input line (without its line feed), for readers that classify a
  // line before picking it apart.
  int read_line(int unit, std::string_view& line);

  int backspace(int unit);
  int rewind(int unit);

 private:
  struct Channel;
  RecordReader* binary_reader(int unit) const;
  Channel* find(int unit, ChannelKind kind) const;
  Channel* find(int unit, ChannelKind kind, ChannelKind or_kind) const;
  template <typename Open>
  int open_channel(int unit, std::string_view name, ChannelKind kind, Open open);

  std::array<std::unique_ptr<Channel>, max_unit + 1> table_;
  std::array<Failure, max_unit + 1> departed_;  // of the failed open or close that closed a channel
};

}  // namespace qx
