#include "block_axis.hpp"

#include <algorithm>

namespace qxdump {

BlockAxis block_axis(const BlockReport& b, std::size_t data_records) {
  // A time history keeps its time step in every file; a spectrum's
  // frequency step is its axis in a result file, which conversions write out
  // (TP18) or drop (TP19).
  const qx::format::BlockKind& kind = qx::format::block_kind(b.kind);
  const bool history = kind.keeps_step;
  BlockAxis a;
  a.axis_records = std::min(static_cast<std::size_t>(std::max(b.axis_records, 0)), data_records);
  a.source = a.axis_records > 0                                ? AxisSource::record
             : history || (kind.axis && !b.converted) ? AxisSource::step
                                                               : AxisSource::index;
  a.name = a.source == AxisSource::index ? "index" : history ? "time" : "frequency";
  return a;
}

std::string value_name(std::size_t records, std::size_t c) {
  return records == 1 ? std::string("value") : "value" + std::to_string(c + 1);
}

}  // namespace qxdump
