// Conversion of the maxima blocks ("MAXR") of a TP18 file: each lists, for a
// group of items named by two identifiers, a pair of values for each of the
// code's components. The block's header is rewritten, the components of the
// SV and SH variants are picked by the rules of the maxima code
// (format/maxima_codes.hpp) and written as records and, under the option
// "-maxr", as text lines, with a dump of the raw record.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "io/item.hpp"
#include "io/item_kinds.hpp"

namespace qx {

struct Run;
namespace format {
struct MaximaRecord;
struct MaximaCode;
}  // namespace format

// A maxima block's header as its look-ahead reads it (16 bytes; the record
// may be longer).
struct MaximaHeader {
  std::array<char, 4> name{};
  int4 nc1 = 0;  // maxima code
  int4 nc2 = 0;
  int4 lrec = 0;
};

// Converts maxima blocks one after another. The work arrays are kept from
// block to block and grow only when a block needs more than any before it;
// they never grow beyond what the block's data record holds.
class MaximaBlocks {
 public:
  // Converts the block whose header has been read; channel 18 stands at its
  // data record. Returns 0, or the status of a failure that has already been
  // reported (the first failure ends the block).
  int convert(Run& run, const MaximaHeader& h);

 private:
  int read_data(Run& run, const format::MaximaCode& rule);
  int dump(Run& run);
  int write_record(Run& run, int unit, const format::MaximaRecord& r);
  int write_record_text(Run& run, int unit, const format::MaximaRecord& r);
  void pick_values(const format::MaximaRecord& r);

  int4 na_ = 0;
  std::size_t items_ = 0;  // na, or 0 when na is negative
  int4 nd_ = 0;            // components per item of the block being converted
  std::vector<int4> ia1_, ia2_;
  std::vector<real4> acl_;      // acl(1..2, 1..nd, 1..na), first index fastest
  std::vector<int4> id_pairs_;  // ia1(a), ia2(a) item by item
  std::vector<real4> picked_;   // the values of one converted record, item by item
};

}  // namespace qx
