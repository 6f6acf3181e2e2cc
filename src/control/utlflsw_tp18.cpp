#include "control/utlflsw_tp18.hpp"

#include <ostream>
#include <string>

#include "format/file_names.hpp"
#include "io/io_failure.hpp"
#include "io/os_file.hpp"
#include "io/trim_right.hpp"
#include "run/channel_numbers.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"
#include "run/status_report.hpp"

namespace qx {

namespace {

constexpr std::size_t derived_name_length = 264;

// Modes of utpfls used here.
constexpr int read_binary = 3;
constexpr int write_binary = 4;
constexpr int read_text = 6;
constexpr int write_text = 7;
constexpr int close_delete = 2;

// The files of each result file in the order of opening: first the result
// files and their converted binary files, the two result files side by side
// for each part; then, made anew and only under a run option, the text files.
struct FilePart {
  ResultRole role;
  int mode;
};
constexpr FilePart binary_parts[] = {{&ResultFile::input, read_binary},
                                     {&ResultFile::sv, write_binary},
                                     {&ResultFile::sh, write_binary}};
constexpr ResultRole text_parts[] = {&ResultFile::dump, &ResultFile::svt, &ResultFile::sht};

// The base name with a suffix, cut to the length of a derived name field.
std::string derived_name(const Run& run, std::string_view suffix) {
  std::string name(trim_right(run.val.rslt_name));
  name += suffix;
  if (name.size() > derived_name_length) name.resize(derived_name_length);
  return name;
}

// An input that cannot be opened because it is a FIFO, socket or device is
// reported like any failed open; the user is also told what is wrong with it.
void tell_if_special(Run& run, const std::string& name) {
  os::FileFacts facts;
  if (os::facts_of(name, true, facts) == 0 && facts.type != os::FileType::regular)
    tell(run, "'" + name + "' is not a regular file");
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
  run.term.out << status_text(StatusShape::file, name, status) << '\n' << std::flush;
  tell(run, "the list file " + std::string(name) + " cannot be written (IOSTAT = " + std::to_string(status) +
                "): " + failure_words(run.ch.failure(unit::lst).why, status));
}

void utlflsw_tp18(Run& run, int& irtn) {
  irtn = 0;

  // The list file. When it cannot be opened nothing can be reported in it:
  // the terminal is told instead.
  const std::string fnmlst = derived_name(run, format::list_suffix);
  open_made_anew(run, fnmlst, unit::lst, write_text, irtn);
  if (irtn != 0) {
    report_list_file_failure(run, trim_right(fnmlst), irtn);
    return;
  }

  utpfls(run, run.val.inpdt_name, unit::qxin, read_text, irtn);
  if (irtn != 0) {
    tell_if_special(run, std::string(trim_right(run.val.inpdt_name)));
    report_status(run, error::input_data_open, StatusShape::file, run.val.inpdt_name, irtn, unit::qxin);
    return;
  }

  // A failure is reported with the name of the result file that the failed
  // file's name derives from.
  for (const FilePart& part : binary_parts) {
    for (const ResultFile* file : result_files) {
      if (!(run.val.*file->exists)) continue;
      const ResultChannel& f = file->*part.role;
      utpfls(run, derived_name(run, f.suffix), f.unit, part.mode, irtn);
      if (irtn != 0) {
        if (part.mode == read_binary) tell_if_special(run, derived_name(run, f.suffix));
        report_status(run, f.open_error, StatusShape::file, derived_name(run, file->input.suffix), irtn, f.unit);
        return;
      }
    }
  }

  if (run.val.option_sum() <= 0) return;

  for (ResultRole role : text_parts) {
    for (const ResultFile* file : result_files) {
      if (!(run.val.*file->exists)) continue;
      const ResultChannel& f = file->*role;
      open_made_anew(run, derived_name(run, f.suffix), f.unit, write_text, irtn);
      if (irtn != 0) {
        report_status(run, f.open_error, StatusShape::file, derived_name(run, file->input.suffix), irtn, f.unit);
        return;
      }
    }
  }
}

}  // namespace qx
