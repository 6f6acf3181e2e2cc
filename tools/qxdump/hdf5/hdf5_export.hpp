// Everything that a result or converted file holds, as one HDF5 file:
//   /                 source_file, source_bytes, kind, family, variant,
//                     byte_order, program_version
//   /model            title, variant, ndpt, nelm (nelmh); boundary/{left,
//                     right, base}, nodes/{number, x, z}, elements/<kind>
//                     (rows of five columns, named by `columns`) and
//                     elements/solid_density
//   /blocks/000001..  one group per block in file order: the header fields
//                     as attributes, `values` (one data record: 1-D; two or
//                     more: one row per record), `frequency`, and for maxima
//                     item_id1, item_id2 and `pairs` or `values`
// Values keep the file's types (real4 as 32-bit floats, int4 as 32-bit
// integers, real8 header values as 64-bit floats), in the host's order.
#pragma once

#include <csignal>
#include <string>

#include "io/layout.hpp"

namespace qxdump {

class CodeMap;

struct Hdf5Options {
  bool compress = false;  // shuffle and deflate every chunked dataset
  const CodeMap* codes = nullptr;  // --codes: the blocks' meanings as attributes
  // Set by a signal handler to give up: the export then fails as any other.
  const volatile std::sig_atomic_t* interrupted = nullptr;
};

// Exports the file at `path` to `out_path`. The HDF5 file is written under a
// temporary name in the same directory and takes its name only when it is
// complete; on any failure it is removed, and `out_path` is left as it was.
// 0 on success; 1, with lines on `err`, for a damaged file (as the listing
// tells it, with its byte offset), a file that is neither a result nor a
// converted file, a failed write, or an interruption.
int export_hdf5(const std::string& path, const std::string& out_path, const Hdf5Options& options,
                qx::TextSink& err);

}  // namespace qxdump
