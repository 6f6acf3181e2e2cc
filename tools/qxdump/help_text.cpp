#include "help_text.hpp"

namespace qxdump {

std::string_view help_text() {
  return R"(usage: qxdump [--records] [--values N] FILE...

Shows what a binary result file of the analysis (CASE.TP18, CASE.TP19) or a
file converted from it (CASE_QX2D.TP18, CASE_QXSH.TP18, CASE_QX2D.TP19,
CASE_QXSH.TP19) holds, one line per block.

options:
  --records     also list every record of a block: its byte offset and its
                payload length
  --values N    also show the first N values of every data record: int4
                values through (8I12), real4 values through (1P,6E15.5)
  -h, --help    show this text

For each FILE qxdump tells the byte order (from the first record's length
markers: a little-endian marker that the file cannot hold but whose byte swap
it can means big-endian) and the kind of file (a result file begins with a
block header, a converted file with its 116-byte model counts record). TP18
and TP19 files are told apart by their names; a name that says neither is
read by the TP18 rules, and "_QX2D"/"_QXSH" in a name says SV or SH.

The listing, with offsets in bytes from the start of the file:
  file PATH: KIND, TP18|TP19, little-endian|big-endian, SIZE bytes
  model @0 SV|SH (how the variant was told)
    counts @0 length=116 title="..." ndpt=N nelm=n1,...,n10 (nelmh for SH)
    bound, nodes and one line per element record (SOLID, BEAM, SPRING,
    ROTATE, WATER, WATERB, SHELL, RIGID, JOINT, VOID) with its count
  block K @OFFSET KIND nc=nc1,...,nc6 lrec=L nsize2=N dmp=R dt=S records=...
  block K @OFFSET MAXR code=C nc2=M lrec=L na=N nd=D records=...
  end @SIZE records=R blocks=B unplaced=U notes=T
"records=" lists the payload lengths of the block's records in order. In
converted files the narrowed header reals are shown as dap= and dtt=, and
maxima headers carry no nd. "dropped" marks a TP18 block whose data a
conversion passes over. A "note:" line tells where the bytes disagree with
the rules (an lrec that counts other records, a record shorter than its
counts need, a missing record); a record that belongs to no block is listed
on its own line as "not in a block" rather than guessed into one.

Exit status: 0 when every FILE was read to its end; 1 when a file cannot be
read, has a corrupt record marker or a truncated record, or ends inside a
block, or when a converted file (_QX2D or _QXSH in its name) is empty or ends
inside its model section, as a run that stopped leaves it (the byte offset
is told on standard error); 2 for a wrong command line. A converted file that
ends between two blocks reads as whole: whether the run that wrote it ended
normally is told by its list file (CASE_TP18-19_COVT.lst), which then ends
with "NORMAL END".

The converter that writes the converted files is described by qxconv --help.
)";
}

}  // namespace qxdump
