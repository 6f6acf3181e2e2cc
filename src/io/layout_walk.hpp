// The control flow shared by output and input through a layout: repeat
// counts, groups, the stop at the first data descriptor without an item, and
// reversion to the last top-level group when items remain at the end.
//
// The visitor supplies what each descriptor does:
//   bool has_item() const;               items left?
//   int data(const Layout::Step&);      one element through I, F, E or A
//   int skip(int columns);               nX
//   int next_record();                   / and the line end of a reversion
//   int literal(std::string_view);
//   void scale(int k);                   kP
// Each int result is a status; the walk stops at the first non-zero one.
#pragma once

#include "io/layout.hpp"
#include "io/status.hpp"

namespace qx {

template <class Visitor>
int walk_layout(const Layout& layout, Visitor& v) {
  using Op = Layout::Op;
  if (!layout.ok()) return iostat::bad_layout;
  const auto& steps = layout.steps();
  const std::size_t end = steps.size();
  int left[Layout::max_depth + 1];  // repetitions left of each open group
  int depth = 0;
  bool data_this_pass = false;
  std::size_t pc = 0;
  for (;;) {
    if (pc == end) {
      if (!v.has_item()) return iostat::ok;
      // A pass without a data descriptor would never use up the items.
      if (!data_this_pass) return iostat::bad_layout;
      data_this_pass = false;
      if (int st = v.next_record()) return st;
      pc = layout.reversion();
      depth = 0;
      continue;
    }
    const Layout::Step& s = steps[pc];
    switch (s.op) {
      case Op::int_edit:
      case Op::fixed_edit:
      case Op::exp_edit:
      case Op::text_edit:
        for (int r = 0; r < s.repeat; ++r) {
          if (!v.has_item()) return iostat::ok;
          if (int st = v.data(s)) return st;
        }
        data_this_pass = true;
        break;
      case Op::skip:
        if (int st = v.skip(s.width)) return st;
        break;
      case Op::slash:
        for (int r = 0; r < s.repeat; ++r)
          if (int st = v.next_record()) return st;
        break;
      case Op::literal:
        for (int r = 0; r < s.repeat; ++r)
          if (int st = v.literal(s.text)) return st;
        break;
      case Op::scale:
        v.scale(s.width);
        break;
      case Op::group_open:
        left[depth++] = s.repeat;
        break;
      case Op::group_close:
        if (--left[depth - 1] > 0) {
          pc = static_cast<std::size_t>(s.jump) + 1;
          continue;
        }
        --depth;
        break;
    }
    ++pc;
  }
}

}  // namespace qx
