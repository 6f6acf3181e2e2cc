// The lines of one write of real4 values through a fixed E layout, with
// optional I8 identifiers at the head of every line:
//   "(1P,6E15.5)"       all values, six to a line;
//   "(I8,1P,4E15.5)"    one row per line: its identifier and its four values;
//   "(2I8,1P,4E15.5)"   the same with two identifiers.
// Byte for byte what the layout engine writes for the same items; made for
// writers that format straight into their own buffer, a few lines at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "io/real4_exp_edit.hpp"

namespace qx {

class Real4Lines {
 public:
  // All values, per_line (>= 1) to a line, the last line holding the rest;
  // one empty line when there are no values.
  Real4Lines(Real4Exp edit, std::size_t per_line, std::span<const float> values);
  // One line per row: id1[r] (and id2[r] when id2 is not empty) through I8,
  // then the row's per_row (>= 1) values. values holds per_row values per
  // row, id2 as many identifiers as id1 or none. No rows: one empty line.
  Real4Lines(Real4Exp edit, std::size_t per_row, std::span<const float> values, std::span<const std::int32_t> id1,
             std::span<const std::int32_t> id2);

  // False when the items do not fit the shape above (for the rows: values
  // not per_row per row, id2 of another length); nothing is then written.
  bool valid() const { return valid_; }
  bool done() const { return next_ >= lines_; }
  // No line is longer than this, its line feed included.
  std::size_t max_line() const { return max_line_; }
  // Characters of all lines.
  std::size_t total() const;
  // Formats as many of the remaining lines as fit whole in [dst, dst + room),
  // stopping after the line that brings them to `enough` characters, and
  // returns the characters written (0 when the next line does not fit).
  std::size_t fill(char* dst, std::size_t room, std::size_t enough = SIZE_MAX);

 private:
  Real4Exp edit_;
  std::size_t per_line_;
  std::span<const float> values_;
  std::span<const std::int32_t> id1_, id2_;
  std::size_t ids_ = 0;  // identifiers per line
  std::size_t lines_ = 1;
  std::size_t next_ = 0;  // the next line to write
  std::size_t max_line_ = 1;
  bool valid_ = true;
};

}  // namespace qx
