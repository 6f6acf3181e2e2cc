#include "dump_file.hpp"

#include <vector>

#include "block_meaning.hpp"
#include "dump_print.hpp"
#include "file_reader.hpp"

namespace qxdump {

namespace {

// The listing as a reader of the file: one line per file, model record and
// block, with the first values of data records that --values asks for. A
// block is printed at its end, when its records and notes are all known.
class Listing final : public FileHandler {
 public:
  Listing(qx::TextSink& out, const DumpOptions& options) : printer_(out, options) {}

  std::uint64_t values_wanted() const override { return printer_.options().values; }
  bool identity(const FileInfo& info) override {
    info_ = info;
    printer_.file_line(info);
    return true;
  }
  bool model_begin(const FileInfo& info, std::string_view how) override {
    info_ = info;
    printer_.model_line(info.side, how);
    return true;
  }
  bool model_record(const ModelRecordReport& m, Words values) override {
    printer_.model_record(m, values);
    return true;
  }
  bool block_begin(const BlockReport&) override {
    shown_.clear();
    return true;
  }
  bool data_record(const BlockReport& b, const RecordEntry&, std::size_t, Words values) override {
    // The record is the block's last one so far.
    shown_.resize(b.records.size());
    shown_.back().assign(values.begin(), values.end());
    return true;
  }
  bool block_end(const BlockReport& b) override {
    const CodeMap* codes = printer_.options().codes;
    printer_.block(b, shown_, codes ? meaning_line(*codes, info_, b) : std::string());
    return true;
  }
  bool unplaced(const RecordEntry& r, std::string_view first_word, Words values) override {
    printer_.unplaced(r, first_word, values);
    return true;
  }
  bool note(std::string_view text) override {
    printer_.note(text);
    return true;
  }
  bool file_end(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals) override {
    printer_.end_line(offset, records, totals);
    return true;
  }

 private:
  Printer printer_;
  FileInfo info_;
  std::vector<std::vector<std::uint32_t>> shown_;
};

}  // namespace

int dump_file(const std::string& path, const DumpOptions& options, qx::TextSink& out, qx::TextSink& err) {
  Listing listing(out, options);
  std::string problem;
  if (read_file(path, listing, problem) == ReadStatus::ok) return 0;
  err.put("qxdump: " + printable_text(path) + ": " + problem + "\n");
  return 1;
}

}  // namespace qxdump
