#include "main/driver.hpp"

#if defined(__x86_64__)
#include <xmmintrin.h>
#elif defined(__aarch64__) || defined(__s390x__)
#else
#error "qxconv is built for x86-64, aarch64 and s390x only: on another processor its zero-on-underflow and floating-point results are unproven"
#endif

#include <string>

#include "control/filnam_set.hpp"
#include "control/qxident_tp18.hpp"
#include "control/utlflsw_tp18.hpp"
#include "convert/cnvt_tp18.hpp"
#include "convert/tp19_aside.hpp"
#include "io/layout.hpp"
#include "io/os_file.hpp"
#include "model/r_qxin.hpp"
#include "run/channel_numbers.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

// The narrowing of header reals flushes results below the normal range in
// software on every processor, the only place where the conversion makes
// such a result. On x86-64 the run still sets MXCSR.FTZ, which flushes
// results only. aarch64's FPCR.FZ also reads subnormal operands as zeros:
// subnormal values of a result file would be listed and copied into the text
// files as zeros, so it is left off there; s390x has no such mode.
void set_zero_on_underflow() {
#if defined(__x86_64__)
  _mm_setcsr(_mm_getcsr() | 0x8000u);  // MXCSR.FTZ
#endif
}

namespace {

// The case named in the dialogue is claimed before anything is written: a
// lock on each result file to be read. Another run that holds one of them is
// converting the same case into the same outputs, so this run stops at once
// and leaves every file as it is.
void lock_case(Run& run, int& irtn) {
  irtn = 0;
  for (const ResultFile* f : result_files) {
    if (!(run.val.*f->exists)) continue;
    const std::string path = run.val.rslt_name + std::string(f->input.suffix);
    int error = 0;
    switch (run.case_lock.lock(path, error)) {
      case FileLocks::Outcome::busy:
        run.case_lock.release();
        tell(run, run.val.rslt_name + " is being converted by another run (" + path +
                      " is locked); nothing was written");
        irtn = 1;
        return;
      case FileLocks::Outcome::failed:
        tell(run, "warning: " + path + " cannot be locked (" + os::error_text(error) +
                      "); another run of this case would not be kept out");
        break;
      case FileLocks::Outcome::locked:
      case FileLocks::Outcome::skipped: break;  // a file that cannot be opened is reported by the file set
    }
  }
}

using Phase = void (*)(Run&, int&);
// TP19 is converted beside TP18 where it can be, and its outputs put in
// place only after TP18 (convert/tp19_aside.hpp).
constexpr Phase phases[] = {filnam_set, lock_case,       utlflsw_tp18, qxident_tp18,
                            r_qxin,     start_tp19_aside, cnvt_tp18,    finish_tp19};

// A catalogue message without its frame of asterisks: "TP1819 FILE READ ERROR".
std::string_view message_words(std::string_view message) {
  const std::size_t begin = message.find_first_not_of(" *"), end = message.find_last_not_of(" *");
  return begin == std::string_view::npos ? std::string_view{} : message.substr(begin, end + 1 - begin);
}

// Tells why a run stopped after its list file was opened: the numbered error
// of the last report, the file that failed and what its status means, and
// where to read the report. When the list file itself failed it has been
// told already and the report is not pointed to.
void tell_stop(Run& run, int irtn, const std::string& list_file, bool list_written) {
  const std::string iostat = "IOSTAT = " + std::to_string(irtn);
  const std::string see = list_written ? "; see " + list_file : "";
  if (run.err.iecode == 0) {
    if (list_written) tell(run, "the run stopped (" + iostat + ")" + see);
    return;
  }
  const std::string_view words = message_words(error_message(run.err.iecode));
  const std::string cause = run.err.cause.empty() ? "" : ": " + run.err.cause;
  tell(run, "error " + std::to_string(run.err.iecode) + (words.empty() ? "" : " (" + std::string(words) + ")") +
                ", " + iostat + cause + see);
}

}  // namespace

int run_driver(Run& run) {
  set_zero_on_underflow();
  int irtn = 0;
  for (Phase phase : phases) {
    phase(run, irtn);
    if (irtn != 0) {
      drop_tp19_aside(run);
      if (run.ch.is_open(unit::lst)) {
        const std::string list_file = run.ch.name(unit::lst);
        const int closed = run.ch.close(unit::lst);
        tell_stop(run, irtn, list_file, closed == 0);
        if (closed != 0) report_list_file_failure(run, list_file, closed);
      }
      run.ch.close_all();
      run.case_lock.release();
      return 1;
    }
  }
  // The list file is the last file open at a normal end; its buffered lines
  // are only safe once it is closed. A list file that could not be written
  // cannot hold its own report, so the terminal is told instead.
  static const Layout end_layout("(/,A)");
  irtn = run.ch.write_text(unit::lst, end_layout, {out_text("NORMAL END")});
  const std::string list_file = run.ch.name(unit::lst);
  const int closed = run.ch.close(unit::lst);
  run.ch.close_all();
  run.case_lock.release();
  if (closed != 0) {
    report_list_file_failure(run, list_file, closed);
    return 1;
  }
  if (irtn != 0) {
    tell(run, "the list file " + list_file + " cannot be written (IOSTAT = " + std::to_string(irtn) + ")");
    return 1;
  }
  std::string text;
  write_layout(end_layout, {out_text("NORMAL END (zelvorith)")}, text);
  run.term.out << text << std::flush;
  if (run.term.out) return 0;
  tell(run, "standard output cannot be written: the end message is lost");
  return 1;
}

}  // namespace qx
