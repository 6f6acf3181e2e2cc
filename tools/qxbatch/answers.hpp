// The three answers that qxconv's dialogue reads: the input data file, the
// result file and the byte order, each one value on its own line.
#pragma once

#include <string>
#include <string_view>

namespace qxbatch {

// The longest name that the dialogue keeps whole.
inline constexpr std::size_t answer_length = 256;

// Why `name` cannot be given as an answer (empty when it can): the dialogue
// reads one line, cuts a value at 256 characters and drops trailing blanks.
std::string answer_problem(std::string_view name);

// `name` as the dialogue reads it back: as it stands when it holds no blank,
// comma, slash or quote; otherwise between apostrophes, an apostrophe inside
// doubled.
std::string answer_value(std::string_view name);

// The three lines: answers (1) and (2) and "Yes" or "No".
std::string dialogue_answers(std::string_view qxin, std::string_view result, bool big_endian);

}  // namespace qxbatch
