// The reader of the files of a report page: one pass over each file, in
// which every curve is reduced to its envelope and written to the page's
// array block at once, and the description of every file, model and block is
// gathered as the JSON index of the page:
//   files   path, name, kind, family, variant, byte order, size, blocks, the
//           model it begins with (an index into models, or -1), notes
//   models  variant, title, ndpt and the counts, nodes (number, x, z),
//           boundary lists, element records with the columns that hold nodes;
//           a model section that two files share is held once
//   blocks  file, number, kind, offset, codes and header values; the abscissa
//           ("time", "frequency" or "index") and one curve per value record
//           (count, kept samples, peak); maxima as a table
// Numbers stand for arrays of the array block (page_arrays.hpp). The index
// grows with the number of blocks, not with their values; what it holds of
// the blocks goes to a temporary file as it grows, so that memory stays
// bounded by the largest record whatever the number of blocks.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/json_text.hpp"
#include "curve_envelope.hpp"
#include "file_reader.hpp"
#include "page_arrays.hpp"

namespace qxdump {

using qxtools::JsonText;
class CodeMap;

struct ReportOptions {
  std::size_t buckets = 500;       // of each curve's envelope: 1000 points, about a plot's width
  std::size_t maxima_rows = 5000;  // items of a maxima block shown in its table
  // Set by a signal handler to give up: the reading then stops as on a fault.
  const volatile std::sig_atomic_t* interrupted = nullptr;
  const CodeMap* codes = nullptr;  // --codes: the blocks' meanings, axis titles, column names
};

class ReportBuilder final : public FileHandler {
 public:
  ReportBuilder(PageArrays& arrays, const ReportOptions& options);
  ~ReportBuilder() override;

  bool identity(const FileInfo& info) override;
  bool model_begin(const FileInfo& info, std::string_view how) override;
  bool model_record(const ModelRecordReport& m, Words words) override;
  bool block_begin(const BlockReport& b) override;
  bool data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) override;
  bool block_end(const BlockReport& b) override;
  bool unplaced(const RecordEntry& r, std::string_view first_word, Words words) override;
  bool note(std::string_view text) override;
  bool file_end(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals) override;

  // Why the reading stopped, when the builder stopped it.
  const std::string& problem() const { return problem_; }
  // Writes the JSON index of every file read to its end so far; false, with
  // problem(), when what was set aside cannot be read back.
  bool write_index(std::string_view generator, PageFile& out);

 private:
  struct Model;
  struct Block;
  bool going();
  void commit_model();
  void take_curve(const BlockReport& b, Words words);
  void take_maxima(const BlockReport& b, const RecordEntry& r, Words words);
  bool set_aside_blocks();

  PageArrays& arrays_;
  ReportOptions options_;
  std::string problem_;
  JsonText files_, models_, blocks_;
  std::FILE* blocks_aside_ = nullptr;  // the text of blocks_ set aside so far
  std::uint64_t unplaced_ = 0;         // records of the file at hand that belong to no block
  std::vector<std::uint64_t> model_hashes_;  // of the models held, in order
  // The file at hand.
  FileInfo info_;
  std::string variant_how_;
  std::vector<std::string> file_notes_;
  std::int64_t model_index_ = -1;
  std::uint64_t files_count_ = 0;  // read to their end
  std::unique_ptr<Model> model_;  // the model section being read
  std::unique_ptr<Block> block_;  // the block being read
};

}  // namespace qxdump
