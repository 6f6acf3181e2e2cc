// The files of a run that belong to one result file, TP18 or TP19: the
// result file, the two binary files converted from it, their text twins and
// its own text file (the dump of the TP18 maxima; the TP19 one stays empty).
// The file set opens them, the model section writer and the conversion write
// them and the conversion closes them, all by this table.
#pragma once

#include <string_view>

#include "format/file_names.hpp"
#include "run/channel_numbers.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/com_val_tp18.hpp"

namespace qx {

// One file: its channel, the suffix that makes its name from the base name,
// and the error reported when it cannot be opened.
struct ResultChannel {
  int unit;
  std::string_view suffix;
  int open_error;
};

struct ResultFile {
  std::string_view kind;     // "TP18" or "TP19", as the list file and the reports name it
  bool ComValTp18::*exists;  // ltp18 or ltp19: the result file exists and is converted
  ResultChannel input;       // the result file, read
  ResultChannel sv, sh;      // the converted binary files _QX2D and _QXSH
  ResultChannel dump;        // the result file's own text file
  ResultChannel svt, sht;    // the text twins of sv and sh
  int header_write_error;    // reported when a converted block's header records cannot be written
};

inline constexpr ResultFile tp18_file{
    .kind = format::tp18_names.kind,
    .exists = &ComValTp18::ltp18,
    .input = {unit::tp18, format::tp18_names.input, error::tp18_open},
    .sv = {unit::sv18, format::tp18_names.sv, error::qx2d_tp18_open},
    .sh = {unit::sh18, format::tp18_names.sh, error::qxsh_tp18_open},
    .dump = {unit::txt18, format::tp18_names.dump, error::tp18_txt_open},
    .svt = {unit::svt18, format::tp18_names.svt, error::qx2d_tp18_txt_open},
    .sht = {unit::sht18, format::tp18_names.sht, error::qxsh_tp18_txt_open},
    .header_write_error = error::converted_write,
};

inline constexpr ResultFile tp19_file{
    .kind = format::tp19_names.kind,
    .exists = &ComValTp18::ltp19,
    .input = {unit::tp19, format::tp19_names.input, error::tp19_open},
    .sv = {unit::sv19, format::tp19_names.sv, error::qx2d_tp19_open},
    .sh = {unit::sh19, format::tp19_names.sh, error::qxsh_tp19_open},
    .dump = {unit::txt19, format::tp19_names.dump, error::tp19_txt_open},
    .svt = {unit::svt19, format::tp19_names.svt, error::qx2d_tp19_txt_open},
    .sht = {unit::sht19, format::tp19_names.sht, error::qxsh_tp19_txt_open},
    .header_write_error = error::tp19_header_write,
};

// Both result files, in the order in which the file set takes them.
inline constexpr const ResultFile* result_files[] = {&tp18_file, &tp19_file};

// The result file of a kind word, or none.
constexpr const ResultFile* result_file_of(std::string_view kind) {
  for (const ResultFile* f : result_files)
    if (f->kind == kind) return f;
  return nullptr;
}

// A file of a result file by its part in the conversion.
using ResultRole = ResultChannel ResultFile::*;

// The order in which a conversion closes its files when it reaches the end.
inline constexpr ResultRole close_order[] = {&ResultFile::input, &ResultFile::dump, &ResultFile::sh,
                                             &ResultFile::sht,   &ResultFile::sv,   &ResultFile::svt};

}  // namespace qx
