// Parsing of layout texts into a flat program of steps.
//
// Blanks outside literals mean nothing. Items are separated by commas; the
// comma may be left out before and after a slash and after a scale factor
// ("1PE15.5", "1P5E15.5", "4(/)"). Numbers are capped (see Layout's limits),
// nesting is bounded, and the work of one pass through the layout is bounded
// too, so that no text can make a write loop or allocate without end.
#include "io/layout.hpp"

#include <algorithm>
#include <cctype>

namespace qx {
namespace {

constexpr std::uint64_t cost_cap = std::uint64_t{1} << 40;

std::uint64_t cost_add(std::uint64_t a, std::uint64_t b) { return std::min(a + b, cost_cap); }
std::uint64_t cost_mul(std::uint64_t a, std::uint64_t b) {
  return (b != 0 && a > cost_cap / b) ? cost_cap : std::min(a * b, cost_cap);
}

class Parser {
 public:
  Parser(std::string_view text, std::vector<Layout::Step>& steps) : steps_(steps) {
    // Blanks are insignificant except inside literals.
    char quote = 0;
    for (char c : text) {
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == ' ' || c == '\t') {
        continue;
      }
      s_.push_back(c);
    }
  }

  bool parse(std::size_t& reversion) {
    if (!eat('(')) return false;
    std::uint64_t cost = 0;
    if (!parse_list(1, cost, &reversion)) return false;
    return i_ == s_.size() && cost <= Layout::max_cost;
  }

 private:
  using Op = Layout::Op;

  bool eat(char c) {
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  char peek_upper() const {
    return i_ < s_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(s_[i_]))) : '\0';
  }
  bool at_digit() const { return i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_])); }

  // An unsigned number, at most `limit`; false when there is none or it is larger.
  bool number(int limit, int& value) {
    if (!at_digit()) return false;
    long long v = 0;
    while (at_digit()) {
      v = v * 10 + (s_[i_++] - '0');
      if (v > limit) return false;
    }
    value = static_cast<int>(v);
    return true;
  }

  void add(Op op, int width = 0, int decimals = 0, int repeat = 1) {
    Layout::Step st;
    st.op = op;
    st.width = width;
    st.decimals = decimals;
    st.repeat = repeat;
    steps_.push_back(std::move(st));
  }

  // Items up to and including the closing parenthesis of the current group.
  // `reversion` (top level only) receives the opening step of the last group.
  bool parse_list(int depth, std::uint64_t& cost, std::size_t* reversion) {
    enum class Prev { start, item, comma, loose };  // loose: a slash or scale factor
    Prev prev = Prev::start;
    for (;;) {
      if (i_ >= s_.size()) return false;
      if (eat(')')) return prev != Prev::comma;
      if (eat(',')) {
        if (prev == Prev::start || prev == Prev::comma) return false;
        prev = Prev::comma;
        continue;
      }
      // An item: an optional (for P signed) number, then what it counts.
      bool negative = false, has_sign = false, has_number = false;
      if (s_[i_] == '+' || s_[i_] == '-') {
        has_sign = true;
        negative = s_[i_] == '-';
        ++i_;
        if (!at_digit()) return false;
      }
      int n = 1;
      if (at_digit()) {
        if (!number(Layout::max_repeat, n)) return false;
        has_number = true;
      }
      const char c = peek_upper();
      const bool slash = c == '/';
      if (prev == Prev::item && !slash) return false;  // missing comma
      if (c == 'P') {
        ++i_;
        if (!has_number || n > Layout::max_scale) return false;
        add(Op::scale, negative ? -n : n);
        cost = cost_add(cost, 1);
        prev = Prev::loose;
        continue;
      }
      if (has_sign || (has_number && n == 0)) return false;
      if (slash) {
        ++i_;
        add(Op::slash, 0, 0, n);
        cost = cost_add(cost, n);
        prev = Prev::loose;
        continue;
      }
      if (!parse_item(c, n, has_number, depth, cost, reversion)) return false;
      prev = Prev::item;
    }
  }

  bool parse_item(char c, int n, bool has_number, int depth, std::uint64_t& cost, std::size_t* reversion) {
    if (c == '(') {
      ++i_;
      if (depth >= Layout::max_depth) return false;
      const std::size_t open = steps_.size();
      add(Op::group_open, 0, 0, n);
      std::uint64_t inner = 0;
      if (!parse_list(depth + 1, inner, nullptr)) return false;
      const std::size_t close = steps_.size();
      add(Op::group_close);
      steps_[open].jump = static_cast<int>(close);
      steps_[close].jump = static_cast<int>(open);
      cost = cost_add(cost, cost_mul(cost_add(inner, 2), static_cast<std::uint64_t>(n)));
      if (reversion) *reversion = open;
      return true;
    }
    if (c == '\'' || c == '"') return parse_literal(n, cost);
    ++i_;
    int w = 0, d = 0;
    switch (c) {
      case 'I':
        if (!number(Layout::max_width, w) || w == 0) return false;
        add(Op::int_edit, w, 0, n);
        break;
      case 'F':
      case 'E':
        if (!number(Layout::max_width, w) || w == 0 || !eat('.') || !number(Layout::max_width, d)) return false;
        add(c == 'F' ? Op::fixed_edit : Op::exp_edit, w, d, n);
        break;
      case 'A':
        if (at_digit() && (!number(Layout::max_width, w) || w == 0)) return false;
        add(Op::text_edit, w, 0, n);
        break;
      case 'X':
        // nX: the number is the column count, not a repeat count.
        if (!has_number || n > Layout::max_width) return false;
        add(Op::skip, n);
        cost = cost_add(cost, static_cast<std::uint64_t>(n) + 1);
        return true;
      default:
        return false;
    }
    cost = cost_add(cost, cost_mul(static_cast<std::uint64_t>(w) + 1, static_cast<std::uint64_t>(n)));
    return true;
  }

  // 'text' or "text"; the quote doubled inside stands for one quote.
  bool parse_literal(int n, std::uint64_t& cost) {
    const char quote = s_[i_++];
    std::string text;
    for (;;) {
      if (i_ >= s_.size()) return false;
      const char ch = s_[i_++];
      if (ch == quote) {
        if (!eat(quote)) break;
      }
      text.push_back(ch);
    }
    cost = cost_add(cost, cost_mul(text.size() + 1, static_cast<std::uint64_t>(n)));
    add(Op::literal, 0, 0, n);
    steps_.back().text = std::move(text);
    return true;
  }

  std::string s_;
  std::size_t i_ = 0;
  std::vector<Layout::Step>& steps_;
};

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  std::size_t reversion = 0;
  Parser parser(text, steps_);
  ok_ = parser.parse(reversion);
  if (!ok_) {
    steps_.clear();
    return;
  }
  reversion_ = reversion;
  trims_internal_input_ = text.find_first_of("/bB") == std::string_view::npos;
}

}  // namespace qx
