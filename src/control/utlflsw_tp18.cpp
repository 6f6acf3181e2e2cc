#include "control/utlflsw_tp18.hpp"

#include <ostream>
#include <string>

#include "io/layout.hpp"
#include "io/open_file.hpp"
#include "io/trim_right.hpp"
#include "run/channel_numbers.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

constexpr std::size_t derived_name_length = 264;
constexpr std::size_t extra_text_length = 256;  // smerr

// Modes of utpfls used here.
constexpr int read_binary = 3;
constexpr int write_binary = 4;
constexpr int read_text = 6;
constexpr int write_text = 7;
constexpr int close_delete = 2;

constexpr std::string_view list_suffix = "_TP18-19_COVT.lst";
constexpr std::string_view tp18_suffix = ".TP18";
constexpr std::string_view tp19_suffix = ".TP19";

// One file of the set: opened on `unit` from the base name and `suffix` when
// the result file of `condition` exists; a failed open is reported as
// `error` with an extra text naming the result file of `named_suffix`.
struct FileSetEntry {
  int unit;
  std::string_view suffix;
  int mode;
  bool ComValTp18::*condition;
  int error;
  std::string_view named_suffix;
};

// The result files and their converted binary files, in the order of opening.
constexpr FileSetEntry binary_files[] = {
    {unit::tp18, ".TP18", read_binary, &ComValTp18::ltp18, 1001, tp18_suffix},
    {unit::tp19, ".TP19", read_binary, &ComValTp18::ltp19, 1002, tp19_suffix},
    {unit::sv18, "_QX2D.TP18", write_binary, &ComValTp18::ltp18, 1003, tp18_suffix},
    {unit::sv19, "_QX2D.TP19", write_binary, &ComValTp18::ltp19, 1004, tp19_suffix},
    {unit::sh18, "_QXSH.TP18", write_binary, &ComValTp18::ltp18, 1005, tp18_suffix},
    {unit::sh19, "_QXSH.TP19", write_binary, &ComValTp18::ltp19, 1006, tp19_suffix},
};

// The text twins, made anew, in the order of opening (only when any run
// option is given).
constexpr FileSetEntry text_twins[] = {
    {unit::txt18, ".TP18.txt", write_text, &ComValTp18::ltp18, 1009, tp18_suffix},
    {unit::txt19, ".TP19.txt", write_text, &ComValTp18::ltp19, 1010, tp19_suffix},
    {unit::svt18, "_QX2D.TP18.txt", write_text, &ComValTp18::ltp18, 1011, tp18_suffix},
    {unit::svt19, "_QX2D.TP19.txt", write_text, &ComValTp18::ltp19, 1012, tp19_suffix},
    {unit::sht18, "_QXSH.TP18.txt", write_text, &ComValTp18::ltp18, 1013, tp18_suffix},
    {unit::sht19, "_QXSH.TP19.txt", write_text, &ComValTp18::ltp19, 1014, tp19_suffix},
};

const Layout& file_status_layout() {
  static const Layout layout("(20X,A,A,A,I5,A4)");
  return layout;
}

// The base name with a suffix, cut to the length of a derived name field.
std::string derived_name(const Run& run, std::string_view suffix) {
  std::string name(trim_right(run.val.rslt_name));
  name += suffix;
  if (name.size() > derived_name_length) name.resize(derived_name_length);
  return name;
}

// Reports a failed open: the error's message, then 20 blanks, the file name,
// the status and " ***". A name too long for the 256 characters of the
// extra text is cut with it.
void report_open_failure(Run& run, int error, std::string_view file, int status) {
  std::string smerr;
  write_internal(file_status_layout(),
                 {out_text("*** FILE NAME = "), out_text(trim_right(file)), out_text("  IOSTAT = "), out(status),
                  out_text(" *** ")},
                 smerr, extra_text_length);
  errcmn_set(run, error, smerr);
}

// An input that cannot be opened because it is a FIFO, socket or device is
// reported like any failed open; the user is also told what is wrong with it.
void tell_if_special(Run& run, const std::string& name) {
  if (names_special_file(name)) tell(run, "'" + name + "' is not a regular file");
}

// Opens a file for writing so that it starts empty: any file of that name
// is deleted first. Only the status of the last open counts.
void open_made_anew(Run& run, const std::string& name, int unit, int mode, int& irtn) {
  utpfls(run, name, unit, mode, irtn);
  utpfls(run, name, unit, close_delete, irtn);
  utpfls(run, name, unit, mode, irtn);
}

}  // namespace

void report_list_file_failure(Run& run, std::string_view name, int status) {
  std::string line;
  write_layout(file_status_layout(),
               {out_text("*** FILE NAME = "), out_text(name), out_text("  IOSTAT = "), out(status), out_text(" *** ")},
               line);
  run.term.out << line << std::flush;
  tell(run, "the list file " + std::string(name) + " cannot be written (IOSTAT = " + std::to_string(status) + ")");
}

void utlflsw_tp18(Run& run, int& irtn) {
  irtn = 0;

  // The list file. When it cannot be opened nothing can be reported in it:
  // the terminal is told instead.
  const std::string fnmlst = derived_name(run, list_suffix);
  open_made_anew(run, fnmlst, unit::lst, write_text, irtn);
  if (irtn != 0) {
    report_list_file_failure(run, trim_right(fnmlst), irtn);
    return;
  }

  utpfls(run, run.val.inpdt_name, unit::qxin, read_text, irtn);
  if (irtn != 0) {
    tell_if_special(run, std::string(trim_right(run.val.inpdt_name)));
    report_open_failure(run, 1000, run.val.inpdt_name, irtn);
    return;
  }

  for (const FileSetEntry& f : binary_files) {
    if (!(run.val.*f.condition)) continue;
    utpfls(run, derived_name(run, f.suffix), f.unit, f.mode, irtn);
    if (irtn != 0) {
      if (f.mode == read_binary) tell_if_special(run, derived_name(run, f.suffix));
      report_open_failure(run, f.error, derived_name(run, f.named_suffix), irtn);
      return;
    }
  }

  if (run.val.option_sum() <= 0) return;

  for (const FileSetEntry& f : text_twins) {
    if (!(run.val.*f.condition)) continue;
    open_made_anew(run, derived_name(run, f.suffix), f.unit, f.mode, irtn);
    if (irtn != 0) {
      report_open_failure(run, f.error, derived_name(run, f.named_suffix), irtn);
      return;
    }
  }
}

}  // namespace qx
