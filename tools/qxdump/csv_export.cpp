#include "csv_export.hpp"

#include <algorithm>
#include <charconv>
#include <vector>

#include "block_axis.hpp"
#include "block_meaning.hpp"
#include "common/csv_text.hpp"
#include "dump_print.hpp"
#include "file_reader.hpp"
#include "maxima_table.hpp"
#include "step_abscissa.hpp"

namespace qxdump {

namespace {

class BlockCsv final : public FileHandler {
 public:
  BlockCsv(std::uint64_t number, const CodeMap* codes, qx::TextSink& out, qx::TextSink& err)
      : number_(number), codes_(codes), csv_([&out](std::string_view text) { return out.put(text) == 0; }),
        err_(err) {}

  // Values only of the block asked for.
  std::uint64_t values_wanted() const override { return in_block_ ? FileHandler::values_wanted() : 0; }
  bool identity(const FileInfo& info) override {
    info_ = info;
    return true;
  }
  bool model_begin(const FileInfo& info, std::string_view) override { return identity(info); }
  bool block_begin(const BlockReport& b) override {
    in_block_ = b.number == number_;
    return true;
  }
  bool data_record(const BlockReport&, const RecordEntry& r, std::size_t, Words words) override {
    if (in_block_) records_.push_back({r, std::vector<std::uint32_t>(words.begin(), words.end())});
    return true;
  }
  bool block_end(const BlockReport& b) override {
    if (!in_block_ || b.broken) return true;  // a broken block fails the reading
    found_ = true;
    write_ok_ = b.maxima ? write_maxima(b) : write_ordinary(b);
    return false;  // nothing after this block is needed
  }
  bool file_end(std::uint64_t, std::uint64_t, const DumpTotals& totals) override {
    blocks_ = totals.blocks;
    return true;
  }

  bool found() const { return found_; }
  std::uint64_t blocks() const { return blocks_; }
  bool write_ok() const { return write_ok_; }
  const std::string& problem() const { return problem_; }

 private:
  struct Held {
    RecordEntry entry;
    std::vector<std::uint32_t> words;
  };
  bool write_ordinary(const BlockReport& b);
  bool write_maxima(const BlockReport& b);
  const AbscissaRule* mapped_abscissa(const BlockReport& b, const BlockMeaning& m, const BlockAxis& axis,
                                      std::size_t rows);
  bool no_values(const BlockReport& b, const std::string& why) {
    problem_ = "block " + std::to_string(b.number) + " (" + printable_text(b.kind) + ") " + why;
    return false;
  }

  std::uint64_t number_;
  const CodeMap* codes_;
  qxtools::CsvText csv_;
  qx::TextSink& err_;
  FileInfo info_;
  bool in_block_ = false, found_ = false, write_ok_ = false;
  std::uint64_t blocks_ = 0;
  std::vector<Held> records_;
  std::string problem_;
};

// The abscissa as the file gives it (block_axis), then one column per data
// record that holds values.
bool BlockCsv::write_ordinary(const BlockReport& b) {
  if (records_.empty()) return no_values(b, "holds no data records");
  const BlockAxis axis = block_axis(b, records_.size());
  const std::size_t first_value = axis.axis_records;
  const std::size_t columns = records_.size() - first_value;
  std::size_t rows = 0;
  for (const Held& h : records_) rows = std::max(rows, h.words.size());
  const BlockMeaning meaning = codes_ ? block_meaning(*codes_, info_, b, columns) : BlockMeaning{};
  const AbscissaRule* rule = mapped_abscissa(b, meaning, axis, rows);
  // A block without an abscissa of its own is named by the map only where
  // the map gives its values.
  const std::string axis_named = axis.source != AxisSource::index || rule ? axis_title(meaning) : "";
  csv_.text(axis_named.empty() ? std::string(axis.name) : axis_named);
  for (std::size_t c = 0; c < columns; ++c) {
    const std::string title = value_title(meaning, c);
    csv_.text(title.empty() ? value_name(columns, c) : title);
  }
  csv_.end_row();

  // The step as the file holds it: real8 in a result file, real4 in a
  // converted one.
  const double step = b.step;
  for (std::size_t k = 0; k < rows; ++k) {
    const Words axis_words = first_value > 0 ? Words(records_[0].words) : Words();
    if (axis.source == AxisSource::record) {
      if (k < axis_words.size())
        csv_.number(real4_at(axis_words, k));
      else
        csv_.empty();
    } else if (axis.source == AxisSource::step) {
      csv_.number(step_abscissa(k, step));
    } else if (double v = 0; rule && rule->value(k, rows, v)) {
      csv_.decimal(v);
    } else {
      csv_.number(k);
    }
    for (std::size_t c = first_value; c < records_.size(); ++c) {
      const Words v(records_[c].words);
      if (k < v.size())
        csv_.number(real4_at(v, k));
      else
        csv_.empty();
    }
    csv_.end_row();
  }
  return csv_.flush();
}

// The abscissa values that the code map gives a block whose file gives none;
// null where it gives none, or a list that does not have one value per row
// (told on standard error: the rows are then numbered).
const AbscissaRule* BlockCsv::mapped_abscissa(const BlockReport& b, const BlockMeaning& m, const BlockAxis& axis,
                                              std::size_t rows) {
  if (!m.abscissa || axis.source != AxisSource::index) return nullptr;
  if (const AbscissaRule* rule = abscissa_values(m, rows)) return rule;
  const AbscissaRule& rule = m.abscissa->rule;
  if (rule.form == AbscissaRule::Form::list)
    err_.put("qxdump: " + printable_text(info_.path) + ": block " + std::to_string(b.number) + ": the abscissa of line " +
             std::to_string(m.abscissa->line) + " of the code map lists " + std::to_string(rule.list.size()) +
             " values for " + std::to_string(rows) + ": the rows are numbered\n");
  return nullptr;
}

bool BlockCsv::write_maxima(const BlockReport& b) {
  if (records_.empty()) return no_values(b, "is a maxima header without a data record");
  MaximaTable t;
  const Held& h = records_.front();
  if (!take_maxima_record(info_, b, h.entry, h.words, t))
    return no_values(b, "has a data record at offset " + std::to_string(h.entry.offset) +
                            " that does not hold the items its na and code call for");
  const MaximaMeaning meaning = codes_ ? maxima_meaning(*codes_, info_, b, t) : MaximaMeaning{};
  csv_.text(meaning.id1.known ? "item_id1 (" + meaning.id1.role() + ")" : "item_id1");
  if (!t.id2.empty()) csv_.text(meaning.id2.known ? "item_id2 (" + meaning.id2.role() + ")" : "item_id2");
  const std::vector<std::string> names = maxima_value_names(t);
  for (std::size_t v = 0; v < names.size(); ++v) csv_.text(meaning.title(v, names[v]));
  csv_.end_row();
  const std::size_t per_item = t.components * (t.pairs ? 2 : 1);
  for (std::uint64_t a = 0; a < t.na; ++a) {
    csv_.number(t.id1[a]);
    if (!t.id2.empty()) csv_.number(t.id2[a]);
    for (std::size_t v = 0; v < per_item; ++v) csv_.number(real4_at(t.values, a * per_item + v));
    csv_.end_row();
  }
  return csv_.flush();
}

}  // namespace

int export_csv(const std::string& path, std::uint64_t number, const CodeMap* codes, qx::TextSink& out,
               qx::TextSink& err) {
  const std::string name = printable_text(path);
  BlockCsv csv(number, codes, out, err);
  std::string problem;
  const ReadStatus status = read_file(path, csv, problem);
  if (status == ReadStatus::bad_input) {
    err.put("qxdump: " + name + ": " + problem + "\n");
    return 1;
  }
  if (!csv.found()) {
    const std::uint64_t n = csv.blocks();
    err.put("qxdump: " + name + ": no block " + std::to_string(number) + ": the file holds " + std::to_string(n) +
            (n == 1 ? " block\n" : " blocks\n"));
    return 1;
  }
  if (!csv.write_ok()) {
    err.put("qxdump: " + name + ": " + (csv.problem().empty() ? "standard output cannot be written" : csv.problem()) +
            "\n");
    return 1;
  }
  return 0;
}

}  // namespace qxdump
