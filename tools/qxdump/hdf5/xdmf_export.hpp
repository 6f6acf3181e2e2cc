// The model of a converted file as XDMF 3, which ParaView and VisIt open:
// OUT.xmf describes one grid whose arrays lie in OUT.xmf.h5 beside it:
//   /nodes/xz          the nodes' x and z (a 2-D "XY" geometry: ParaView
//                      draws z upward), /nodes/number their numbers
//   /cells/topology    every element in file order as a mixed topology: the
//                      four-node kinds as quadrilaterals, the two-node kinds
//                      as lines; /cells/element their numbers, /cells/kind
//                      the element record each comes from (1 for the first;
//                      the XML's Information names them)
//   /sets/NAME         each boundary node list as a node field: the node's
//                      place in the list (1 for the first), 0 off the list
//   /fields/NNN        with a code map that places maxima items on nodes or
//                      elements: each column of those maxima as a node or
//                      cell field, NaN where no item stands
// meshio reads the pair (meshio.read("OUT.xmf")).
#pragma once

#include <string>

#include "hdf5_export.hpp"
#include "io/layout.hpp"

namespace qxdump {

// Writes OUT.xmf (`out_path`) and OUT.xmf.h5 for the converted file at
// `path`, each under a temporary name until both are complete; on a failure
// neither is left. 0 on success; 1, with lines on `err`, for a damaged file,
// a file without a model section, a failed write or an interruption.
int export_xdmf(const std::string& path, const std::string& out_path, const Hdf5Options& options, qx::TextSink& err);

}  // namespace qxdump
