// Input through a layout, from the lines of a source or from one text
// variable.
#include <algorithm>
#include <cstring>

#include "io/edit_input.hpp"
#include "io/item_cursor.hpp"
#include "io/layout.hpp"
#include "io/layout_walk.hpp"
#include "io/status.hpp"
#include "io/trim_right.hpp"

namespace qx {
namespace {

class LineReader {
 public:
  // source == nullptr: the line is a text variable, the only record there is.
  LineReader(std::span<const InItem> items, LineSource* source, std::string_view line)
      : items_(items), source_(source), line_(line) {}

  bool has_item() const { return items_.has_item(); }

  int data(const Layout::Step& s) {
    if (past_end_) return iostat::end_of_file;
    const InItem& it = items_.item();
    const std::size_t j = items_.element();
    int st = iostat::ok;
    switch (s.op) {
      case Layout::Op::int_edit: {
        if (it.type != ItemType::int4) return iostat::bad_layout;
        std::int32_t v;
        st = read_int_field(numeric_field(s.width), v);
        if (st == iostat::ok) std::memcpy(static_cast<char*>(it.data) + 4 * j, &v, 4);
        break;
      }
      case Layout::Op::fixed_edit:
      case Layout::Op::exp_edit: {
        const std::string_view f = numeric_field(s.width);
        if (it.type == ItemType::real4) {
          float v;
          st = read_real_field(f, s.decimals, scale_, v);
          if (st == iostat::ok) std::memcpy(static_cast<char*>(it.data) + 4 * j, &v, 4);
        } else if (it.type == ItemType::real8) {
          double v;
          st = read_real_field(f, s.decimals, scale_, v);
          if (st == iostat::ok) std::memcpy(static_cast<char*>(it.data) + 8 * j, &v, 8);
        } else {
          return iostat::bad_layout;
        }
        break;
      }
      case Layout::Op::text_edit:
        if (it.type != ItemType::text) return iostat::bad_layout;
        read_text(s.width, static_cast<char*>(it.data) + it.text_len * j, it.text_len);
        break;
      default:
        return iostat::bad_layout;
    }
    if (st != iostat::ok) return st;
    items_.advance();
    return iostat::ok;
  }

  int skip(int columns) {
    pos_ += static_cast<std::size_t>(columns);
    return iostat::ok;
  }

  int literal(std::string_view) { return iostat::bad_layout; }

  void scale(int k) { scale_ = k; }

  int next_record() {
    pos_ = 0;
    if (!source_) {
      // A text variable holds one line; reading on past it meets the end.
      past_end_ = true;
      line_ = {};
      return iostat::ok;
    }
    return source_->next_line(line_);
  }

 private:
  // The next w columns; what lies beyond the end of the line is missing
  // from the field, which then reads as if padded with blanks.
  std::string_view take(std::size_t w) {
    const std::size_t start = pos_;
    pos_ += w;
    if (start >= line_.size()) return {};
    return line_.substr(start, std::min(w, line_.size() - start));
  }

  // A numeric field of a file line ends early at a comma, and the next
  // field begins after the comma; in a text variable a comma is just an
  // invalid character.
  std::string_view numeric_field(int w) {
    const std::size_t start = pos_;
    std::string_view f = take(static_cast<std::size_t>(w));
    if (source_) {
      const std::size_t comma = f.find(',');
      if (comma != std::string_view::npos) {
        f = f.substr(0, comma);
        pos_ = start + comma + 1;
      }
    }
    return f;
  }

  // Aw into a variable of len characters: a field of at least len
  // characters gives its rightmost len, a shorter one is padded with blanks
  // on the right. A (w == 0) reads len characters. A field cut short by the
  // end of the line counts with the characters it has.
  void read_text(int width, char* dst, std::size_t len) {
    const std::string_view f = take(width ? static_cast<std::size_t>(width) : len);
    const std::size_t from = f.size() > len ? f.size() - len : 0;
    const std::size_t n = f.size() - from;
    if (n) std::memcpy(dst, f.data() + from, n);
    std::memset(dst + n, ' ', len - n);
  }

  ItemCursor<InItem> items_;
  LineSource* source_;
  std::string_view line_;
  std::size_t pos_ = 0;
  int scale_ = 0;
  bool past_end_ = false;
};

}  // namespace

int read_layout(const Layout& layout, std::span<const InItem> items, LineSource& source) {
  if (!layout.ok()) return iostat::bad_layout;
  std::string_view line;
  if (int st = source.next_line(line)) return st;  // a read takes at least one line
  LineReader r(items, &source, line);
  return walk_layout(layout, r);
}

int read_internal(const Layout& layout, std::span<const InItem> items, std::string_view var) {
  if (layout.trims_internal_input()) var = trim_right(var);
  LineReader r(items, nullptr, var);
  return walk_layout(layout, r);
}

}  // namespace qx
