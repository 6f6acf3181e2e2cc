// The files of one case as qxconv names them from the case's base name, and
// what qxbatch reads of them: sizes, times and the end of the list file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxbatch {

// The result files read, by the suffix that follows the base name.
inline constexpr std::string_view result_suffixes[] = {".TP18", ".TP19"};

// Everything a run may write next to the result files; the list file last.
inline constexpr std::string_view output_suffixes[] = {
    "_QX2D.TP18",     "_QXSH.TP18",     "_QX2D.TP19",     "_QXSH.TP19",     "_QX2D.TP18.txt", "_QXSH.TP18.txt",
    "_QX2D.TP19.txt", "_QXSH.TP19.txt", ".TP18.txt",      ".TP19.txt",      "_TP18-19_COVT.lst"};
inline constexpr std::string_view list_suffix = output_suffixes[std::size(output_suffixes) - 1];

// A file as it was at one moment; `exists` false when it could not be seen.
struct FileState {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  std::uint64_t size = 0;
  std::int64_t mtime_ns = 0, ctime_ns = 0;
  bool operator==(const FileState&) const = default;
};
FileState file_state(const std::string& path);

// The state of every output of `base` in `dir`, in the order of output_suffixes.
std::vector<FileState> output_states(const std::string& dir, const std::string& base);

// The bytes of the outputs that changed between two snapshots.
std::uint64_t bytes_written(const std::vector<FileState>& before, const std::vector<FileState>& after);

// The report that ends a list file: its number (empty for an unknown
// number), the catalogue message and the extra text, as they stand but for
// the stars around them and runs of blanks in the extra text.
struct ListReport {
  bool found = false;
  std::string number, message;
};

// What the end of a list file says.
struct ListEnd {
  bool readable = false;
  bool normal_end = false;  // its last line is "NORMAL END"
  ListReport report;
};
ListEnd read_list_end(const std::string& path);

}  // namespace qxbatch
