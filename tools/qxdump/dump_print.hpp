// The inspector's listing: one line per file, block and model record, with
// record lines (--records) and first values (--values) under them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dump_report.hpp"
#include "file_kind.hpp"
#include "file_reader.hpp"
#include "io/layout.hpp"

namespace qxdump {

class Printer {
 public:
  Printer(qx::TextSink& out, const DumpOptions& options) : out_(out), options_(options) {}

  const DumpOptions& options() const { return options_; }

  void file_line(const FileInfo& info);
  void model_line(Side side, std::string_view how);
  // A model record with the first values of a data record (--values).
  void model_record(const ModelRecordReport& m, Words values);
  // A block; `values` holds the first values of each of its records, in
  // order (empty for header records); `means`, what a code map says of it.
  void block(const BlockReport& b, std::span<const std::vector<std::uint32_t>> values, std::string_view means = {});
  // A finding that belongs to no single record.
  void note(std::string_view text);
  void unplaced(const RecordEntry& r, std::string_view first_word, Words values);
  void end_line(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals);

 private:
  void line(const std::string& text);
  bool shows_values(const RecordEntry& r) const { return r.data && options_.values > 0; }
  void record_line(const RecordEntry& r, std::size_t shown);
  void values(const RecordEntry& r, Words v);

  qx::TextSink& out_;
  const DumpOptions& options_;
};

// 1PE12.5 of a value, without its leading blanks.
std::string real_text(double v);
// Characters that are not printable ASCII shown as '.', trailing blanks cut.
std::string printable_text(std::string_view s);
// The name of the file at `path` without its directory.
std::string base_name(const std::string& path);

}  // namespace qxdump
