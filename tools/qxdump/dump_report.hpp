// What the walkers found, handed to the printer: records with their first
// values, blocks with their header fields, model section records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "block_rules.hpp"

namespace qxdump {

struct DumpOptions {
  bool records = false;     // list every record's offset and length
  std::size_t values = 0;   // first values of each data record to show
};

struct RecordEntry {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  std::string_view role;               // "REC1", "data", ...
  bool data = false;                   // a data record (its values may be shown)
  std::uint64_t int_words = 0;         // leading int4 values; the rest are real4
  std::vector<std::uint32_t> values;   // first values, host order (with --values)
  bool has_values = false;
};

struct BlockReport {
  std::uint64_t number = 0;
  std::uint64_t offset = 0;
  std::string kind;        // the kind word
  bool converted = false;  // header records in the narrowed form
  bool maxima = false;
  bool dropped = false;    // a TP18 reader passes its data over

  // Ordinary blocks.
  Codes nc{};
  std::int32_t lrec = 0;
  bool has_sizes = false;  // REC2 was read
  std::int32_t nsize2 = 0;
  double real = 0.0;  // dmp (or dap)
  double step = 0.0;  // dt (or dtt)

  // Maxima blocks: code is nc[0], nc2 is nc[1].
  bool has_na = false;
  std::int32_t na = 0;
  std::optional<int> nd;
  bool nd_from_length = false;

  std::vector<RecordEntry> records;
  std::vector<std::string> notes;
};

// One record of the model section at the start of a converted file.
struct ModelRecordReport {
  std::string name;    // "counts", "bound", "nodes", or the element kind
  std::string fields;  // what the record says, as "name=value" words
  RecordEntry record;
  std::vector<std::string> notes;
};

struct DumpTotals {
  std::uint64_t blocks = 0;
  std::uint64_t unplaced = 0;  // records that belong to no block
  std::uint64_t notes = 0;
};

}  // namespace qxdump
