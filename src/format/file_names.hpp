// The names of the files of a case, as suffixes of its base name: the
// result files, the binary files converted from each (marked _QX2D for the
// SV variant, _QXSH for SH), their text twins, each result file's own text
// file, and the list file of a run.
#pragma once

#include <string_view>

namespace qx::format {

inline constexpr std::string_view tp18_suffix = ".TP18";
inline constexpr std::string_view tp19_suffix = ".TP19";
inline constexpr std::string_view sv_mark = "_QX2D";
inline constexpr std::string_view sh_mark = "_QXSH";
inline constexpr std::string_view text_suffix = ".txt";
inline constexpr std::string_view list_suffix = "_TP18-19_COVT.lst";

struct ResultFileNames {
  std::string_view kind;   // "TP18" or "TP19"
  std::string_view input;  // the result file
  std::string_view sv, sh;
  std::string_view dump;   // the result file's own text file
  std::string_view svt, sht;
};

inline constexpr ResultFileNames tp18_names{
    "TP18", ".TP18", "_QX2D.TP18", "_QXSH.TP18", ".TP18.txt", "_QX2D.TP18.txt", "_QXSH.TP18.txt"};
inline constexpr ResultFileNames tp19_names{
    "TP19", ".TP19", "_QX2D.TP19", "_QXSH.TP19", ".TP19.txt", "_QX2D.TP19.txt", "_QXSH.TP19.txt"};

namespace file_names_detail {
constexpr bool is_joined(std::string_view whole, std::string_view a, std::string_view b, std::string_view c = {}) {
  return whole.size() == a.size() + b.size() + c.size() && whole.substr(0, a.size()) == a &&
         whole.substr(a.size(), b.size()) == b && whole.substr(a.size() + b.size()) == c;
}
constexpr bool made_of_marks(const ResultFileNames& n, std::string_view suffix) {
  return n.input == suffix && is_joined(n.input, ".", n.kind) && is_joined(n.sv, sv_mark, n.input) &&
         is_joined(n.sh, sh_mark, n.input) && is_joined(n.dump, n.input, text_suffix) &&
         is_joined(n.svt, sv_mark, n.input, text_suffix) && is_joined(n.sht, sh_mark, n.input, text_suffix);
}
}  // namespace file_names_detail
static_assert(file_names_detail::made_of_marks(tp18_names, tp18_suffix), "a TP18 file name breaks the pattern");
static_assert(file_names_detail::made_of_marks(tp19_names, tp19_suffix), "a TP19 file name breaks the pattern");

}  // namespace qx::format
