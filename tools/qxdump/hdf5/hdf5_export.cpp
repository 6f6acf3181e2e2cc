#include "hdf5_export.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dump_print.hpp"
#include "file_reader.hpp"
#include "hdf5_meaning.hpp"
#include "hdf5_writer.hpp"
#include "maxima_table.hpp"
#include "output_file.hpp"
#include "qx_version.hpp"

namespace qxdump {

namespace {

std::string numbered(std::uint64_t n) {
  char name[32];
  std::snprintf(name, sizeof name, "%06llu", static_cast<unsigned long long>(n));
  return name;
}

// The types of the file's values (the library's type constants are calls
// that start it, so they are not taken before the export begins).
hid_t int4_type() { return H5T_NATIVE_INT32; }
hid_t real4_type() { return H5T_NATIVE_FLOAT; }
hid_t word_type() { return H5T_NATIVE_UINT32; }  // 4-byte words whose type the file does not tell

class Hdf5Export final : public FileHandler {
 public:
  Hdf5Export(h5::Writer& w, const Hdf5Options& options) : w_(w), options_(options) {}

  bool identity(const FileInfo& info) override;
  bool model_begin(const FileInfo& info, std::string_view how) override;
  bool model_record(const ModelRecordReport& m, Words words) override;
  bool block_begin(const BlockReport& b) override;
  bool data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) override;
  bool block_end(const BlockReport& b) override;
  bool unplaced(const RecordEntry& r, std::string_view first_word, Words words) override;
  bool note(std::string_view text) override;
  bool file_end(std::uint64_t offset, std::uint64_t records, const DumpTotals& totals) override;

  // Why the export stopped, when it stopped by itself.
  std::string problem() const { return problem_.empty() ? w_.error() : problem_; }
  // Closes the groups and datasets still open, innermost first, before the
  // file is closed; false when one of them cannot be written out.
  bool release() {
    bool ok = rows_.set.reset();
    for (h5::Id* id : {&block_, &elements_, &model_, &blocks_, &unplaced_}) ok = id->reset() && ok;
    return ok || w_.fail("cannot finish the groups of the HDF5 file");
  }

 private:
  bool going() {
    if (options_.interrupted && *options_.interrupted) problem_ = "interrupted";
    return problem_.empty() && w_.error().empty();
  }
  bool boundary(const ModelRecordReport& m, Words words);
  bool nodes(const ModelRecordReport& m, Words words);
  bool elements(const ModelRecordReport& m, Words words);
  bool maxima_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words);
  bool value_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words);
  // A record that the block's layout has no place for: its words as stored.
  bool record_as_words(hid_t parent, const std::string& name, const RecordEntry& r, hid_t type, Words words);
  bool array1(hid_t parent, const std::string& name, hid_t type, Words words) {
    const hsize_t n = words.size();
    return w_.array(parent, name, type, std::span(&n, 1), words.data());
  }

  h5::Writer& w_;
  const Hdf5Options& options_;
  FileInfo info_;
  std::string problem_;
  h5::Id model_, elements_, blocks_, block_, unplaced_;
  std::vector<std::string> model_notes_, root_notes_, block_notes_;
  h5::RowDataset rows_;  // `values` of the block at hand, when grown a row at a time
  BlockMeaning meaning_;  // what the code map says of the block at hand
  std::size_t values_ = 0;  // values of its first value record
  std::uint64_t unplaced_count_ = 0;
};

bool Hdf5Export::identity(const FileInfo& info) {
  info_ = info;
  if (info.kind == FileKind::unknown) {
    problem_ = "neither a result file nor a converted file: nothing to export";
    return false;
  }
  const hid_t root = w_.root();
  w_.text(root, "source_file", info.path);
  w_.uint64(root, "source_bytes", info.size);
  w_.text(root, "kind", kind_text(info));
  if (info.kind != FileKind::empty) {
    w_.text(root, "family", family_text(info.family));
    w_.text(root, "byte_order", info.order == qx::ByteOrder::big ? "big-endian" : "little-endian");
  }
  if (info.kind == FileKind::blocks) w_.text(root, "variant", side_text(info.side));
  w_.text(root, "program_version", "qxdump " + std::string(qx::program_version));
  w_.group(root, "blocks", blocks_);
  return going();
}

bool Hdf5Export::model_begin(const FileInfo& info, std::string_view) {
  info_ = info;
  w_.text(w_.root(), "variant", side_text(info.side));
  if (w_.group(w_.root(), "model", model_)) w_.text(model_.get(), "variant", side_text(info.side));
  return going();
}

bool Hdf5Export::model_record(const ModelRecordReport& m, Words words) {
  if (!going()) return false;
  model_notes_.insert(model_notes_.end(), m.notes.begin(), m.notes.end());
  const hid_t model = model_.get();
  if (m.part == ModelPart::counts) {
    w_.bytes(model, "title", m.title);
    w_.int32(model, "ndpt", m.ndpt);
    w_.int32s(model, info_.side == Side::sh ? "nelmh" : "nelm", m.counts);
    return going();
  }
  if (!m.whole(words)) {
    model_notes_.push_back("the " + m.name + " record does not have the length its counts give: exported as " +
                           m.name + "_words");
    return record_as_words(model, m.name + "_words", m.record, word_type(), words);
  }
  switch (m.part) {
    case ModelPart::bound: return boundary(m, words);
    case ModelPart::nodes: return nodes(m, words);
    case ModelPart::elements: return elements(m, words);
    case ModelPart::counts: break;
  }
  return going();
}

// The lists of each side, one row per boundary node pair (model node and
// free-field node) or one value per base node.
bool Hdf5Export::boundary(const ModelRecordReport& m, Words words) {
  h5::Id g;
  if (!w_.group(model_.get(), "boundary", g)) return false;
  w_.int32s(g.get(), "keyb", std::span(m.bound.data(), 3));
  w_.int32s(g.get(), "nbound", std::span(m.bound.data() + 3, 3));
  for (const BoundarySide& side : boundary_sides) {
    if (side.lists == 1) {
      array1(g.get(), std::string(side.table), int4_type(), m.boundary_list(words, side, 0));
    } else {
      const Words model_nodes = m.boundary_list(words, side, 0), free_field = m.boundary_list(words, side, 1);
      const std::uint64_t n = std::min(model_nodes.size(), free_field.size());
      std::vector<std::uint32_t> rows(2 * n);
      for (std::uint64_t i = 0; i < n; ++i) {
        rows[2 * i] = model_nodes[i];
        rows[2 * i + 1] = free_field[i];
      }
      const hsize_t dims[2] = {n, 2};
      h5::Id set;
      const std::vector<std::string> columns(std::begin(boundary_list_names), std::end(boundary_list_names));
      if (w_.array(g.get(), std::string(side.table), int4_type(), dims, rows.data(), &set))
        w_.texts(set.get(), "columns", columns);
    }
  }
  return going();
}

bool Hdf5Export::nodes(const ModelRecordReport& m, Words words) {
  h5::Id g;
  if (!w_.group(model_.get(), "nodes", g)) return false;
  array1(g.get(), "number", int4_type(), words.subspan(0, m.rows));
  array1(g.get(), "x", real4_type(), words.subspan(m.rows, m.rows));
  array1(g.get(), "z", real4_type(), words.subspan(2 * m.rows, m.rows));
  return going();
}

bool Hdf5Export::elements(const ModelRecordReport& m, Words words) {
  if (!elements_.valid() && !w_.group(model_.get(), "elements", elements_)) return false;
  const ElementRecord& k = *m.element;
  const hsize_t dims[2] = {m.rows, element_row_words};
  h5::Id set;
  if (!w_.array(elements_.get(), std::string(k.table), int4_type(), dims, words.data() + 1, &set)) return false;
  std::vector<std::string> columns;
  for (qx::format::Column c : k.columns) columns.emplace_back(qx::format::column_name(c));
  w_.texts(set.get(), "columns", columns);
  w_.int32(set.get(), "count", int4_at(words, 0));
  if (k.densities)
    array1(elements_.get(), std::string(k.table) + "_density", real4_type(),
           words.subspan(1 + element_row_words * m.rows, m.rows));
  return going();
}

bool Hdf5Export::block_begin(const BlockReport& b) {
  if (!going()) return false;
  if (!w_.group(blocks_.get(), numbered(b.number), block_)) return false;
  const hid_t g = block_.get();
  rows_ = {};
  block_notes_.clear();
  w_.text(g, "kind", b.kind);
  w_.uint64(g, "offset", b.offset);
  static const char* const nc_names[] = {"nc1", "nc2", "nc3", "nc4", "nc5", "nc6"};
  // A maxima header of a TP18 file holds only the code, nc2 and lrec.
  const std::size_t codes = b.maxima && !b.converted ? 2 : 6;
  for (std::size_t i = 0; i < codes; ++i) w_.int32(g, nc_names[i], b.nc[i]);
  if (b.converted)
    w_.float32(g, "dap", static_cast<float>(b.real));
  else if (!b.maxima)
    w_.float64(g, "dmp", b.real);
  w_.int32(g, "lrec", b.lrec);
  if (b.has_sizes) {
    w_.int32(g, "nsize2", b.nsize2);
    if (b.converted)
      w_.float32(g, "dtt", static_cast<float>(b.step));
    else
      w_.float64(g, "dt", b.step);
    w_.float32s(g, "yt", b.yt);
  }
  if (b.maxima && !b.converted && b.nd) w_.int32(g, "nd", *b.nd);
  if (b.dropped) w_.int32(g, "dropped", 1);
  values_ = 0;
  if (options_.codes) {
    const std::size_t value_records = static_cast<std::size_t>(std::max(b.data_rule - b.axis_records, 0));
    meaning_ = block_meaning(*options_.codes, info_, b, b.maxima ? 0 : value_records);
    if (b.maxima) {
      write_quantity(w_, g, meaning_.quantity, meaning_.unit);
      if (!meaning_.direction.empty()) w_.text(g, "direction", meaning_.direction);
    } else {
      write_block_meaning(w_, g, meaning_);
    }
  }
  return going();
}

bool Hdf5Export::data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) {
  if (!going()) return false;
  if (r.length % 4 != 0)
    block_notes_.push_back("data record " + std::to_string(index + 1) + " ends in " + std::to_string(r.length % 4) +
                           " bytes that make no 4-byte value: they are not exported");
  return b.maxima ? maxima_record(b, r, index, words) : value_record(b, r, index, words);
}

// Axis records, then the value records: one makes a 1-D `values`, two or
// more (by the rules of the kind) one row each of a 2-D `values`. A record
// that does not fit (a length of its own, or one more than the rules give)
// is kept beside them as record_K.
bool Hdf5Export::value_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) {
  const hid_t g = block_.get();
  const std::string own_name = "record_" + std::to_string(index + 1);
  const auto axis = static_cast<std::size_t>(b.axis_records);
  if (index < axis) return index == 0 ? array1(g, "frequency", real4_type(), words) && going()
                                      : record_as_words(g, own_name, r, real4_type(), words);
  const std::size_t value_index = index - axis;
  if (value_index == 0) values_ = words.size();
  const bool rows = b.data_rule - b.axis_records >= 2;
  if (value_index == 0 && !rows) return array1(g, "values", real4_type(), words) && going();
  if (value_index == 0 && !w_.rows_begin(g, "values", real4_type(), words.size(), rows_)) return false;
  if (rows && rows_.set.valid() && rows_.width == words.size())
    return w_.rows_append(rows_, real4_type(), words.data());
  return record_as_words(g, own_name, r, real4_type(), words);
}

bool Hdf5Export::maxima_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) {
  const hid_t g = block_.get();
  MaximaTable t;
  if (index > 0 || !take_maxima_record(info_, b, r, words, t)) {
    block_notes_.push_back("data record " + std::to_string(index + 1) +
                           " does not hold the items its na and code call for: exported as words");
    return record_as_words(g, "record_" + std::to_string(index + 1), r, word_type(), words);
  }
  const hsize_t na = t.na;
  h5::Id id1, id2;
  w_.array(g, "item_id1", int4_type(), std::span(&na, 1), t.id1.data(), &id1);
  if (!t.id2.empty()) w_.array(g, "item_id2", int4_type(), std::span(&na, 1), t.id2.data(), &id2);
  const hsize_t dims[3] = {na, t.components, 2};
  h5::Id set;
  const std::string name = t.pairs ? "pairs" : "values";
  if (w_.array(g, name, real4_type(), std::span(dims, t.pairs ? 3 : 2), t.values.data(), &set) &&
      !t.component_numbers.empty()) {
    const std::vector<std::int32_t> numbers(t.component_numbers.begin(), t.component_numbers.end());
    w_.int32s(set.get(), "components", numbers);
  }
  if (options_.codes && set.valid())
    write_maxima_meaning(w_, id1.get(), id2.valid() ? id2.get() : -1, set.get(),
                         maxima_meaning(*options_.codes, info_, b, t));
  return going();
}

bool Hdf5Export::record_as_words(hid_t parent, const std::string& name, const RecordEntry& r, hid_t type,
                                 Words words) {
  h5::Id set;
  const hsize_t n = words.size();
  if (w_.array(parent, name, type, std::span(&n, 1), words.data(), &set)) {
    w_.uint64(set.get(), "offset", r.offset);
    w_.uint64(set.get(), "length", r.length);
  }
  return going();
}

bool Hdf5Export::block_end(const BlockReport& b) {
  if (!going()) return false;
  if (options_.codes && !b.maxima) write_mapped_abscissa(w_, block_.get(), meaning_, values_);
  std::vector<std::string> notes = b.notes;
  notes.insert(notes.end(), block_notes_.begin(), block_notes_.end());
  if (!notes.empty()) w_.texts(block_.get(), "notes", notes);
  if (!rows_.set.reset() || !block_.reset()) w_.fail("cannot close block " + std::to_string(b.number));
  return going();
}

bool Hdf5Export::unplaced(const RecordEntry& r, std::string_view first_word, Words words) {
  if (!going()) return false;
  if (!unplaced_.valid() && !w_.group(w_.root(), "unplaced", unplaced_)) return false;
  h5::Id set;
  const hsize_t n = words.size();
  const std::string name = numbered(++unplaced_count_);
  if (w_.array(unplaced_.get(), name, word_type(), std::span(&n, 1), words.data(), &set)) {
    w_.uint64(set.get(), "offset", r.offset);
    w_.uint64(set.get(), "length", r.length);
    if (!first_word.empty()) w_.text(set.get(), "first_word", first_word);
  }
  return going();
}

bool Hdf5Export::note(std::string_view text) {
  (model_.valid() ? model_notes_ : root_notes_).emplace_back(text);
  return going();
}

bool Hdf5Export::file_end(std::uint64_t, std::uint64_t, const DumpTotals&) {
  if (!going()) return false;
  if (!model_notes_.empty()) w_.texts(model_.get(), "notes", model_notes_);
  if (!root_notes_.empty()) w_.texts(w_.root(), "notes", root_notes_);
  return release() && going();
}

}  // namespace

int export_hdf5(const std::string& path, const std::string& out_path, const Hdf5Options& options,
                qx::TextSink& err) {
  qxtools::ExportFile out = export_file(out_path, err);
  if (out.create() != 0) return 1;

  h5::Writer writer({options.compress});
  std::string problem;
  ReadStatus status = ReadStatus::stopped;
  Hdf5Export exporter(writer, options);
  if (writer.create(out.path())) status = read_file(path, exporter, problem);
  const bool closed = exporter.release() && writer.close();
  if (status == ReadStatus::bad_input) return out.fail(printable_text(path), problem);
  if (status == ReadStatus::stopped)
    return out.fail(exporter.problem() == "interrupted" ? printable_text(path) : out.name(), exporter.problem());
  if (!closed) return out.fail(out.name(), writer.error());
  return out.take_name();
}

}  // namespace qxdump
