// Text layouts: edit descriptor lists such as "(a4,6i8,1PE15.5,i8)" parsed
// once into a program and then applied to items, for output and for input.
//
// Descriptors: Iw, Fw.d, Ew.d (with the scale factor kP), Aw, A, nX, /,
// quoted literals ('..' or ".."), repeat counts r on descriptors, literals,
// slashes and parenthesised groups. Lower-case letters mean the same.
// Output stops at the first data descriptor without an item; when items remain
// after the last descriptor the line ends and the layout starts again at its
// last top-level group (or at its beginning when it has none).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/item.hpp"

namespace qx {

// Receives formatted text in chunks of whole lines, each ended by '\n'. A
// long write through a layout is handed on in chunks of at least
// layout_chunk_bytes (the first line end at or past it), the rest at its end.
inline constexpr std::size_t layout_chunk_bytes = 256 * 1024;
struct TextSink {
  virtual int put(std::string_view text) = 0;

 protected:
  ~TextSink() = default;
};

// Hands out input lines one at a time (without their line feed): 0, -1 at the
// end of the file, or the status of a failed read.
struct LineSource {
  virtual int next_line(std::string_view& line) = 0;

 protected:
  ~LineSource() = default;
};

class Layout {
 public:
  enum class Op : std::uint8_t { int_edit, fixed_edit, exp_edit, text_edit, skip, slash, literal, scale, group_open, group_close };
  struct Step {
    Op op;
    int width = 0;      // w (0 for A without width); columns of nX; k of kP
    int decimals = 0;   // d
    int repeat = 1;     // repeat count (groups: on group_open)
    int jump = 0;       // group_close: index of its group_open; group_open: index of its close
    std::string text;   // literal characters
  };

  // Limits that keep a malformed or hostile layout text from costing
  // unbounded time or memory.
  static constexpr int max_width = 10000;
  static constexpr int max_repeat = 100000;
  static constexpr int max_scale = 100;
  static constexpr int max_depth = 32;
  static constexpr std::uint64_t max_cost = 1u << 24;  // columns and steps of one pass through the layout

  Layout() = default;
  explicit Layout(std::string_view text);
  bool ok() const { return ok_; }
  std::string_view text() const { return text_; }
  const std::vector<Step>& steps() const { return steps_; }
  std::size_t reversion() const { return reversion_; }
  // A read from a text variable passes over its trailing blanks, as if the
  // line ended at its last non-blank character; not when the layout holds a
  // slash or the letter B anywhere (there the blanks may matter).
  bool trims_internal_input() const { return trims_internal_input_; }

 private:
  std::string text_;
  std::vector<Step> steps_;
  std::size_t reversion_ = 0;  // step where the layout starts again when items remain
  bool trims_internal_input_ = true;
  bool ok_ = false;
};

// Writes the items through the layout as lines to the sink.
int write_layout(const Layout& layout, std::span<const OutItem> items, TextSink& sink);
inline int write_layout(const Layout& layout, std::initializer_list<OutItem> items, TextSink& sink) {
  return write_layout(layout, std::span(items.begin(), items.size()), sink);
}
// Appends the lines (each ended by '\n') to a string.
int write_layout(const Layout& layout, std::span<const OutItem> items, std::string& out);
inline int write_layout(const Layout& layout, std::initializer_list<OutItem> items, std::string& out) {
  return write_layout(layout, std::span(items.begin(), items.size()), out);
}
// Writes into a text variable of `length` characters, as one line padded with
// blanks; 66 (and the line cut to the length) when it does not fit.
int write_internal(const Layout& layout, std::span<const OutItem> items, std::string& var, std::size_t length);
inline int write_internal(const Layout& layout, std::initializer_list<OutItem> items, std::string& var,
                          std::size_t length) {
  return write_internal(layout, std::span(items.begin(), items.size()), var, length);
}

// Reads the items through the layout from lines of the source; a read takes
// at least one line, and the rest of its last line is passed over. A line
// shorter than the layout needs reads as if padded with blanks, except that
// a field cut by the line's end holds only the characters there (an A field
// then keeps the rightmost of them; an I field of a sign alone is invalid).
// A numeric field ends early at a comma, the next field beginning after it.
// 64 for a field that is not a valid number; -1 or a read status from the
// source.
int read_layout(const Layout& layout, std::span<const InItem> items, LineSource& source);
inline int read_layout(const Layout& layout, std::initializer_list<InItem> items, LineSource& source) {
  return read_layout(layout, std::span(items.begin(), items.size()), source);
}
// Reads from a text variable in memory, as one line: without its trailing
// blanks (unless Layout::trims_internal_input() is false); a comma in a
// numeric field is invalid; reading past the line gives -1.
int read_internal(const Layout& layout, std::span<const InItem> items, std::string_view var);
inline int read_internal(const Layout& layout, std::initializer_list<InItem> items, std::string_view var) {
  return read_internal(layout, std::span(items.begin(), items.size()), var);
}

}  // namespace qx
