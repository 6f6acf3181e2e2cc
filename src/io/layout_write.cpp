// Output through a layout. Lines are built in one local buffer and handed
// on in chunks of whole lines, so that a long array costs no call per value.
#include <algorithm>
#include <cstring>
#include <string>

#include "io/edit_output.hpp"
#include "io/item_cursor.hpp"
#include "io/layout.hpp"
#include "io/layout_walk.hpp"
#include "io/status.hpp"

namespace qx {
namespace {

// Lines are handed on once this much text is waiting: large enough that a
// text file takes the chunk without copying it, small enough to stay in the
// processor's cache until it is written.
constexpr std::size_t chunk = layout_chunk_bytes;

// The line buffer of the thread's writes: it keeps its size from one write
// to the next, so that growing it (and filling what it gains) is paid once
// per run, not once per write. Writes through a layout do not nest.
std::string& line_buffer() {
  thread_local std::string buf(512, ' ');
  return buf;
}

class LineWriter {
 public:
  // The buffer grows up to a chunk and a line (more only for one long line
  // of a text variable).
  LineWriter(std::span<const OutItem> items, TextSink* sink) : items_(items), sink_(sink), buf_(line_buffer()) {}
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;
  // A buffer grown far beyond a chunk by a single long line is given back.
  ~LineWriter() {
    if (buf_.size() > 4 * chunk) std::string(512, ' ').swap(buf_);
  }

  bool has_item() const { return items_.has_item(); }

  int data(const Layout::Step& s) {
    const OutItem& it = items_.item();
    const std::size_t j = items_.element();
    switch (s.op) {
      case Layout::Op::int_edit: {
        if (it.type != ItemType::int4) return iostat::bad_layout;
        std::int32_t v;
        std::memcpy(&v, static_cast<const char*>(it.data) + 4 * j, 4);
        edit_int(field(s.width), s.width, v);
        break;
      }
      case Layout::Op::fixed_edit:
      case Layout::Op::exp_edit: {
        double v;
        if (it.type == ItemType::real4) {
          float f;
          std::memcpy(&f, static_cast<const char*>(it.data) + 4 * j, 4);
          v = f;  // exact: the float's own value is edited
        } else if (it.type == ItemType::real8) {
          std::memcpy(&v, static_cast<const char*>(it.data) + 8 * j, 8);
        } else {
          return iostat::bad_layout;
        }
        if (s.op == Layout::Op::fixed_edit) {
          edit_fixed(field(s.width), s.width, s.decimals, scale_, v);
        } else {
          char* dst = field(s.width);
          if (!edit_exp(dst, s.width, s.decimals, scale_, v)) {
            len_ -= static_cast<std::size_t>(s.width);
            return iostat::bad_layout;
          }
        }
        break;
      }
      case Layout::Op::text_edit: {
        if (it.type != ItemType::text) return iostat::bad_layout;
        const std::string_view text(static_cast<const char*>(it.data) + it.text_len * j, it.text_len);
        const std::size_t w = s.width ? static_cast<std::size_t>(s.width) : text.size();
        edit_text(field(w), s.width, text);
        break;
      }
      default:
        return iostat::bad_layout;
    }
    items_.advance();
    return iostat::ok;
  }

  int skip(int columns) {
    pending_ += static_cast<std::size_t>(columns);
    return iostat::ok;
  }

  int literal(std::string_view text) {
    char* dst = field(text.size());
    if (!text.empty()) std::memcpy(dst, text.data(), text.size());
    return iostat::ok;
  }

  void scale(int k) { scale_ = k; }

  int next_record() {
    *field_raw(1) = '\n';
    pending_ = 0;
    if (sink_ && len_ >= chunk) return flush();
    return iostat::ok;
  }

  // Ends the last line and hands the rest on.
  int finish(int status) {
    const int end = next_record();
    if (status == iostat::ok) status = end;
    if (sink_) {
      const int st = flush();
      if (status == iostat::ok) status = st;
    }
    return status;
  }

  std::string_view text() const { return {buf_.data(), len_}; }

 private:
  // Room for w characters of a field, after the blanks of pending X moves.
  char* field(std::size_t w) {
    char* p = field_raw(pending_ + w);
    if (pending_ > 0) {
      std::memset(p, ' ', pending_);
      p += pending_;
      pending_ = 0;
    }
    return p;
  }
  char* field_raw(std::size_t n) {
    if (len_ + n > buf_.size()) buf_.resize(std::max(2 * buf_.size(), len_ + n));
    char* p = buf_.data() + len_;
    len_ += n;
    return p;
  }
  int flush() {
    const int st = len_ ? sink_->put(text()) : iostat::ok;
    len_ = 0;
    return st;
  }

  ItemCursor<OutItem> items_;
  TextSink* sink_;
  std::string& buf_;
  std::size_t len_ = 0;
  std::size_t pending_ = 0;  // columns moved over by X and not yet filled
  int scale_ = 0;
};

}  // namespace

int write_layout(const Layout& layout, std::span<const OutItem> items, TextSink& sink) {
  LineWriter w(items, &sink);
  return w.finish(walk_layout(layout, w));
}

int write_layout(const Layout& layout, std::span<const OutItem> items, std::string& out) {
  LineWriter w(items, nullptr);
  const int st = w.finish(walk_layout(layout, w));
  out.append(w.text());
  return st;
}

int write_internal(const Layout& layout, std::span<const OutItem> items, std::string& var, std::size_t length) {
  LineWriter w(items, nullptr);
  int st = w.finish(walk_layout(layout, w));
  std::string_view text = w.text();
  text.remove_suffix(1);  // the line feed
  const std::size_t first_end = text.find('\n');
  if (first_end != std::string_view::npos) {
    text = text.substr(0, first_end);
    if (st == iostat::ok) st = iostat::line_too_long;
  }
  if (text.size() > length) {
    text = text.substr(0, length);
    if (st == iostat::ok) st = iostat::line_too_long;
  }
  var.assign(text);
  var.resize(length, ' ');
  return st;
}

}  // namespace qx
