#include "control/command_line.hpp"

#include <string>

#include "control/filnam_set.hpp"
#include "run/run.hpp"

namespace qx {

Request examine_arguments(Run& run) {
  for (const std::string& a : run.args) {
    if (a == "-h" || a == "--help") return Request::help;
    if (a == "--version") return Request::version;
  }
  for (const std::string& a : run.args) {
    const std::string_view form = run_option_form(a);
    if (form.empty())
      tell(run, "ignoring argument '" + a + "'; run options are " + run_option_list());
    else if (a.size() > form.size())
      tell(run, "taking '" + a + "' as " + std::string(form));
  }
  return Request::convert;
}

std::string_view usage_text() {
  return R"(usage: qxconv [-stru] [-spec] [-ampl] [-wave] [-maxr] [-four]
       qxconv -h | --help | --version

qxconv converts the results of one analysis case into the in-plane (SV,
_QX2D) and out-of-plane (SH, _QXSH) layouts. It takes no file names on its
command line: it asks three questions on the terminal, one answer per line:
  (1) the MODE1 input data file name (for example case.qxin)
  (2) the result data file name: case.TP18, case.TP19 or case all give the
      base name "case"; whichever of case.TP18 and case.TP19 exist are
      converted
  (3) Big_endian for output binary file ?(Yes/No): an answer beginning with
      Y or y writes the converted files big-endian, any other little-endian
An answer ends at a blank, comma or slash, so a name that holds a slash must
be typed between quotes ('data/case.qxin'). Scripted use:
  printf 'case.qxin\ncase.TP18\nNo\n' | qxconv -wave

options:
  -stru, -spec, -ampl, -wave, -maxr, -four
                make the text twins of the converted files: -stru puts the
                model section into them, -wave, -four, -ampl, -spec and
                -maxr the result blocks of those kinds. Lower or upper case
                (-wave or -WAVE); only the first five characters of an
                argument count, and any other argument is ignored with a
                warning.
  -h, --help    show this text and do nothing else
  --version     show the program version and do nothing else

Files written next to the result files, for the base name "case":
  case_TP18-19_COVT.lst   the list file: cover page, the name of the input
                          data file read, two lines per result block, and
                          "NORMAL END" or the report of the error that
                          stopped the run
  case_QX2D.TP18          SV and SH binary files converted from case.TP18:
  case_QXSH.TP18          the model section, then the result blocks routed
                          to each variant
  case_QX2D.TP19          the same from case.TP19
  case_QXSH.TP19
  *.txt                   with an option only: text twins of the four binary
                          files, case.TP18.txt (a dump of the maxima
                          blocks, with -maxr) and case.TP19.txt (empty)
The input files are only read. A second run of a case that another run is
converting at the same time stops before it writes anything.

Exit status: 0 after a run that ends with "NORMAL END" (in the list file and
on the terminal), 1 otherwise. Why a run stopped is told in one line on
standard error: the question whose answer was refused, or the numbered error
and the list file that holds its report.

Documentation: the manual page qxconv(1), and README.md and
docs/file-formats.md in the source tree or in the documentation directory of
an installation.
)";
}

}  // namespace qx
