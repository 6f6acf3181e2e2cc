#include "help_text.hpp"

namespace qxdump {

std::string_view help_text() {
  return R"(usage: qxdump [--codes MAP] [--records] [--values N] FILE...
       qxdump [--codes MAP] --csv BLOCK FILE
       qxdump [--codes MAP] --hdf5 OUT.h5 [--compress] FILE
       qxdump [--codes MAP] --html OUT.html FILE...
       qxdump [--codes MAP] --xdmf OUT.xmf [--compress] FILE

Shows what a binary result file of the analysis (CASE.TP18, CASE.TP19) or a
file converted from it (CASE_QX2D.TP18, CASE_QXSH.TP18, CASE_QX2D.TP19,
CASE_QXSH.TP19) holds, one line per block; or hands its values over as CSV
or HDF5; or shows the files of a case in a web browser.

options:
  --records     also list every record of a block: its byte offset and its
                payload length
  --values N    also show the first N values of every data record: int4
                values through (8I12), real4 values through (1P,6E15.5)
  --codes MAP   say what the codes mean, by the code map MAP (a CSV table
                written once per project: docs/code-map.md): quantities
                and units, directions, node and element numbers, the
                abscissa of response spectra, the names of records and of
                maxima components. The listing gains a "means:" line per
                block it names; --csv, --hdf5, --html and --xdmf use its
                names. Nothing the map does not name is given a meaning. A
                malformed map is refused with its line number.
  --csv BLOCK   write block number BLOCK (as the listing numbers it, 1 for
                the first block after the model section) as CSV on standard
                output: a header line naming the columns; the abscissa
                (time k*dt, the real4 nearest to k times the file's step;
                frequency, the block's own axis record or k*df; or index
                k), then one column per data record; maxima blocks one line
                per item (item_id1, item_id2, then one column per
                component: c3, or c3_1 and c3_2 for a pair, zero for a
                filler). Reals in the fewest digits that read back to the
                same real4 (0.0025, 0.005, ... for a step of 0.0025).
  --hdf5 OUT.h5 write everything FILE holds to the HDF5 file OUT.h5:
                /model (title, boundary lists, nodes, one table per element
                kind), /blocks/000001... (one group per block: its header
                fields as attributes; values, frequency, or item_id1,
                item_id2 and pairs or values for maxima). Values keep the
                file's types (real4 as 32-bit floats, int4 as 32-bit
                integers) in the host's byte order. OUT.h5 appears only when
                it is complete. Only in a qxdump built with the HDF5 library.
  --compress    with --hdf5 or --xdmf: shuffle and deflate the datasets
  --html OUT.html
                write one web page that shows the FILEs of a case: the model
                drawn from the model section (each element kind in its
                colour, the boundary nodes marked; zoom and pan), a table of
                every block of every file (kind, codes, nsize2, header
                values, peak) filtered by file, kind and codes, plots of the
                curves picked in the table (time histories against time,
                spectra against frequency, on log axes if asked; zoom, pan,
                the values under the cursor), and the maxima as tables. The
                page holds its data, its script and the plotting library
                (uPlot) and asks for nothing else when it is opened, offline
                too. A curve of more than 1000 values is drawn as the
                min/max envelope of 500 buckets that keeps its first, last
                and largest values exactly. OUT.html appears only when it is
                complete.
  --xdmf OUT.xmf
                describe the model of a converted FILE in XDMF, which
                ParaView and VisIt open, with its arrays in OUT.xmf.h5:
                the nodes, every element by kind (quadrilaterals and
                lines), the boundary node lists as node fields and, where
                --codes places maxima items on nodes or elements, those
                maxima as node or cell fields. Only in a qxdump built with
                the HDF5 library.
  -h, --help    show this text
      --version show the program version

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

Exit status: 0 when every FILE was read to its end (and the CSV, HDF5 or
XDMF files or the page written); 1 when the code map cannot be read or is
malformed (nothing is then read or written), when a file cannot be read,
has a corrupt record marker or a truncated record, or ends inside a block,
or when a
converted file (_QX2D or _QXSH in its name) is empty or ends inside its
model section, as a run that stopped leaves it (the byte offset is told on
standard error); also when the block asked for with --csv does not exist or
holds no values, or when the HDF5 file or the page cannot be written
(nothing is then left under its name), or when --html meets a FILE that is
neither a result nor a converted file, or --xdmf one without a model
section; 2 for a wrong command line, and for --hdf5 or --xdmf in a qxdump
built without HDF5. A converted file that ends between
two blocks reads as whole: whether the run that wrote it ended normally is
told by its list file (CASE_TP18-19_COVT.lst), which then ends with
"NORMAL END".

The converter that writes the converted files is described by qxconv --help.
)";
}

}  // namespace qxdump
