// A maxima data record taken apart by meaning: the identifiers of its items
// and their values, one value or one pair of values per component, item
// after item, with the component of the maxima record read behind each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dump_report.hpp"
#include "file_kind.hpp"
#include "file_reader.hpp"

namespace qxdump {

struct MaximaTable {
  std::uint64_t na = 0;
  std::vector<std::int32_t> id1, id2;  // ia1 and ia2 of each item; id2 empty when the record holds only ia1
  Words values;                        // na × components (× 2 with pairs), item-major
  std::size_t components = 0;          // values (or pairs) per item
  bool pairs = false;
  // The component of the record read behind each value (or pair), 0 for a
  // zero filler; empty when the file does not tell (a variant not known).
  std::vector<int> component_numbers;
};

// Takes the data record of maxima block `b` (all its words) apart. False when
// the record does not hold exactly what its na and its code call for.
bool take_maxima_record(const FileInfo& info, const BlockReport& b, const RecordEntry& record, Words words,
                        MaximaTable& t);

// The columns that maxima block `b` has, whether or not its record is at
// hand: `components`, `pairs` and `component_numbers` of `t`. False for a code
// that has no layout.
bool maxima_columns(const FileInfo& info, const BlockReport& b, MaximaTable& t);

// The name of each value of an item, in record order: "c3" for the value of
// component 3, "c3_1" and "c3_2" for a pair, "zero" for a filler, "value1"...
// where the file does not tell the component.
std::vector<std::string> maxima_value_names(const MaximaTable& t);

}  // namespace qxdump
