#include "io/real4_lines.hpp"

#include "io/edit_output.hpp"

namespace qx {

namespace {
constexpr int id_width = 8;  // I8
}

Real4Lines::Real4Lines(Real4Exp edit, std::size_t per_line, std::span<const float> values)
    : edit_(edit), per_line_(per_line), values_(values) {
  valid_ = per_line >= 1;
  if (!valid_) return;
  lines_ = values.empty() ? 1 : (values.size() - 1) / per_line + 1;
  max_line_ = per_line * static_cast<std::size_t>(exp_width(edit)) + 1;
}

Real4Lines::Real4Lines(Real4Exp edit, std::size_t per_row, std::span<const float> values,
                       std::span<const std::int32_t> id1, std::span<const std::int32_t> id2)
    : edit_(edit), per_line_(per_row), values_(values), id1_(id1), id2_(id2) {
  const std::size_t rows = id1.size();
  valid_ = per_row >= 1 && values.size() / per_row == rows && values.size() % per_row == 0 &&
           (id2.empty() || id2.size() == rows);
  if (!valid_) return;
  ids_ = id2.empty() ? 1 : 2;
  lines_ = rows == 0 ? 1 : rows;
  max_line_ = ids_ * id_width + per_row * static_cast<std::size_t>(exp_width(edit)) + 1;
}

std::size_t Real4Lines::total() const {
  if (!valid_) return 0;
  if (ids_ == 0) return real4_exp_lines_size(edit_, per_line_, values_.size());
  if (id1_.empty()) return 1;
  return id1_.size() * max_line_;
}

std::size_t Real4Lines::fill(char* dst, std::size_t room, std::size_t enough) {
  if (!valid_) return 0;
  char* p = dst;
  const std::size_t width = static_cast<std::size_t>(exp_width(edit_));
  for (; next_ < lines_ && static_cast<std::size_t>(p - dst) < enough; ++next_) {
    const std::size_t first = next_ * per_line_;
    const std::size_t n = first < values_.size() ? std::min(per_line_, values_.size() - first) : 0;
    const std::size_t ids = n > 0 ? ids_ : 0;  // the one line of no rows is empty
    const std::size_t size = ids * id_width + n * width + 1;
    if (size > room - static_cast<std::size_t>(p - dst)) break;
    if (ids > 0) {
      edit_int(p, id_width, id1_[next_]);
      p += id_width;
      if (ids > 1) {
        edit_int(p, id_width, id2_[next_]);
        p += id_width;
      }
    }
    p = put_real4_exp_line(edit_, p, values_.data() + first, n);
  }
  return static_cast<std::size_t>(p - dst);
}

}  // namespace qx
