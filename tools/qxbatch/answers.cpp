#include "answers.hpp"

namespace qxbatch {
namespace {

// Characters that end an unquoted value or open a quoted one; a carriage
// return would be dropped at the end of an unquoted line.
constexpr std::string_view needs_quotes = " \t,/'\"\r";

}  // namespace

std::string answer_problem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.find('\n') != std::string_view::npos) return "the name holds a line break, which qxconv's dialogue cannot read";
  if (name.size() > answer_length)
    return "the name is longer than the " + std::to_string(answer_length) + " characters qxconv's dialogue reads";
  if (name.back() == ' ') return "the name ends in a blank, which qxconv's dialogue drops";
  return {};
}

std::string answer_value(std::string_view name) {
  if (name.find_first_of(needs_quotes) == std::string_view::npos) return std::string(name);
  std::string quoted = "'";
  for (char c : name) {
    if (c == '\'') quoted.push_back('\'');
    quoted.push_back(c);
  }
  quoted.push_back('\'');
  return quoted;
}

std::string dialogue_answers(std::string_view qxin, std::string_view result, bool big_endian) {
  return answer_value(qxin) + "\n" + answer_value(result) + "\n" + (big_endian ? "Yes" : "No") + "\n";
}

}  // namespace qxbatch
