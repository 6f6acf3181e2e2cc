// State shared by the walkers of one file: the cursor, what the file is, the
// handler that receives what they find, the running totals, the values of
// the record at hand and the reason a walk stopped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dump_report.hpp"
#include "file_kind.hpp"
#include "file_reader.hpp"
#include "record_cursor.hpp"

namespace qxdump {

enum class WalkStatus : std::uint8_t {
  ok,       // the walk reached its end
  fault,    // a corrupt marker or a truncated record
  cut,      // the file ends where its structure needs more records
  stopped,  // the handler asked to stop
};

struct WalkContext {
  RecordCursor& cursor;
  FileInfo& info;
  FileHandler& handler;
  DumpTotals totals;
  std::string problem;  // why the walk stopped (fault or cut), with the offset
  // Values of the last data record, as many as the handler wants, held in
  // `buffer` (as large as the largest record read whole).
  Words words;
  std::vector<std::uint32_t> buffer;

  // The next record; on a fault `problem` holds its description.
  RecordCursor::Step next(Record& r);
  // The entry of a record; for a data record also its values in `words`.
  // False on a fault (see `problem`).
  bool entry(const Record& r, std::string_view role, bool data, std::uint64_t int_words, RecordEntry& e);
  // Records that the file should hold are missing at its end.
  WalkStatus cut_short(std::string what);
};

}  // namespace qxdump
