// The inspector's listing: one line per file, block and model record, with
// record lines (--records) and first values (--values) under them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dump_report.hpp"
#include "file_kind.hpp"
#include "io/layout.hpp"

namespace qxdump {

class Printer {
 public:
  Printer(qx::TextSink& out, const DumpOptions& options) : out_(out), options_(options) {}

  const DumpOptions& options() const { return options_; }

  void file_line(const FileInfo& info);
  void model_line(Side side, std::string_view how);
  void model_record(const ModelRecordReport& m);
  void block(const BlockReport& b);
  // A finding that belongs to no single record.
  void note(std::string_view text);
  void unplaced(const RecordEntry& r, std::string_view first_word);
  void end_line(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals);

 private:
  void line(const std::string& text);
  void record_line(const RecordEntry& r);
  void values(const RecordEntry& r);

  qx::TextSink& out_;
  const DumpOptions& options_;
};

// 1PE12.5 of a value, without its leading blanks.
std::string real_text(double v);
// Characters that are not printable ASCII shown as '.', trailing blanks cut.
std::string printable_text(std::string_view s);

}  // namespace qxdump
