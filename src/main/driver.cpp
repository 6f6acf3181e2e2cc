#include "main/driver.hpp"

#include <xmmintrin.h>

#include "control/channel_numbers.hpp"
#include "control/filnam_set.hpp"
#include "control/qxident_tp18.hpp"
#include "control/run.hpp"
#include "control/utlflsw_tp18.hpp"
#include "convert/cnvt_tp18.hpp"
#include "convert/cnvt_tp19.hpp"
#include "io/layout.hpp"
#include "model/r_qxin.hpp"

namespace qx {

void set_zero_on_underflow() { _mm_setcsr(_mm_getcsr() | 0x8000u); }

namespace {

using Phase = void (*)(Run&, int&);
constexpr Phase phases[] = {filnam_set, utlflsw_tp18, qxident_tp18, r_qxin, cnvt_tp18, cnvt_tp19};

// The list file is the last file open at a normal end; its buffered lines
// are only safe once it is closed. A list file that could not be written
// cannot hold its own report, so the terminal is told instead.
int close_list_file(Run& run) {
  const std::string name = run.ch.name(unit::lst);
  int st = run.ch.close(unit::lst);
  if (st != 0) {
    static const Layout lay("(20X,A,A,A,I5,A4)");
    std::string line;
    write_layout(lay, {out_text("*** FILE NAME = "), out_text(name), out_text("  IOSTAT = "), out(st),
                       out_text(" *** ")},
                 line);
    run.term.out << line << std::flush;
  }
  return st;
}

}  // namespace

int run_driver(Run& run) {
  set_zero_on_underflow();
  int irtn = 0;
  for (Phase phase : phases) {
    phase(run, irtn);
    if (irtn != 0) {
      if (run.ch.is_open(unit::lst)) close_list_file(run);
      run.ch.close_all();
      return 1;
    }
  }
  static const Layout end_layout("(/,A)");
  irtn = run.ch.write_text(unit::lst, end_layout, {out_text("NORMAL END")});
  int closed = close_list_file(run);
  run.ch.close_all();
  if (irtn != 0 || closed != 0) return 1;
  std::string text;
  write_layout(end_layout, {out_text("NORMAL END (zelvorith)")}, text);
  run.term.out << text << std::flush;
  return run.term.out ? 0 : 1;
}

}  // namespace qx
