// The abscissa of the values of an ordinary block, as the file gives it. A
// spectrum of a converted TP18 file carries its frequency axis as its leading
// data record; a time history steps in time by its dt, a spectrum of a result
// file in frequency by its df; other blocks hold no abscissa, and their values
// are numbered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dump_report.hpp"

namespace qxdump {

enum class AxisSource : std::uint8_t {
  record,  // the block's leading data records: value k stands at axis[k]
  step,    // k · the step of REC2 (dt or dtt), formed in double precision
  index,   // k
};

struct BlockAxis {
  AxisSource source = AxisSource::index;
  std::size_t axis_records = 0;  // leading data records that hold the axis
  std::string_view name;         // "time", "frequency" or "index"
};

// The abscissa of block `b`, which holds `data_records` data records (an axis
// that the rules give the block but that it lacks does not count).
BlockAxis block_axis(const BlockReport& b, std::size_t data_records);

// The name of value record `c` (0-based) of `records` after the axis:
// "value" alone, else "value1", "value2", ...
std::string value_name(std::size_t records, std::size_t c);

}  // namespace qxdump
