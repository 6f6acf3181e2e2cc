#include "block_axis.hpp"

#include <algorithm>

namespace qxdump {

BlockAxis block_axis(const BlockReport& b, std::size_t data_records) {
  const bool spectrum = b.kind == "FOUR" || b.kind == "AMPL";
  BlockAxis a;
  a.axis_records = std::min(static_cast<std::size_t>(std::max(b.axis_records, 0)), data_records);
  a.source = a.axis_records > 0                                   ? AxisSource::record
             : b.kind == "WAVE" || (spectrum && !b.converted) ? AxisSource::step
                                                                  : AxisSource::index;
  a.name = a.source == AxisSource::index ? "index" : b.kind == "WAVE" ? "time" : "frequency";
  return a;
}

std::string value_name(std::size_t records, std::size_t c) {
  return records == 1 ? std::string("value") : "value" + std::to_string(c + 1);
}

}  // namespace qxdump
