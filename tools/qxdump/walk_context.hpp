// State shared by the walkers of one file: the cursor, what the file is, the
// printer, the running totals and the reason a walk stopped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dump_print.hpp"
#include "dump_report.hpp"
#include "file_kind.hpp"
#include "record_cursor.hpp"

namespace qxdump {

enum class WalkStatus : std::uint8_t {
  ok,     // the walk reached its end
  fault,  // a corrupt marker or a truncated record
  cut,    // the file ends where its structure needs more records
};

struct WalkContext {
  RecordCursor& cursor;
  FileInfo& info;
  Printer& printer;
  DumpTotals totals;
  std::string problem;  // why the walk stopped (fault or cut), with the offset

  // The next record; on a fault `problem` holds its description.
  RecordCursor::Step next(Record& r);
  // The entry of a record, with its first values when --values asks for them
  // and it is a data record. False on a fault (see `problem`).
  bool entry(const Record& r, std::string_view role, bool data, std::uint64_t int_words, RecordEntry& e);
  // Records that the file should hold are missing at its end.
  WalkStatus cut_short(std::string what);
};

}  // namespace qxdump
