#include "report_builder.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "block_axis.hpp"
#include "block_meaning.hpp"
#include "dump_print.hpp"
#include "io/os_file.hpp"
#include "maxima_table.hpp"
#include "page_meaning.hpp"

namespace qxdump {

namespace {

// FNV-1a over 4-byte words, to know a model section met before.
struct WordHash {
  std::uint64_t h = 14695981039346656037ull;
  void add(std::uint64_t w) {
    for (int i = 0; i < 8; ++i) {
      h ^= (w >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  }
  void add(Words words) {
    add(words.size());
    for (std::uint32_t w : words) add(std::uint64_t{w});
  }
};

void texts(JsonText& j, std::string_view name, const std::vector<std::string>& list) {
  if (list.empty()) return;
  j.key(name).begin_array();
  for (const std::string& t : list) j.value(t);
  j.end_array();
}

// A header real: real4 in a converted file (the shortest digits of the
// real4), real8 in a result file.
void header_real(JsonText& j, std::string_view name, double v, bool converted) {
  if (converted)
    j.member(name, static_cast<float>(v));
  else
    j.member(name, v);
}

}  // namespace

// A model section, held until it ends: a section met before in another file
// of the page is not written again.
struct ReportBuilder::Model {
  struct Elements {
    const ElementRecord* kind = nullptr;
    std::int32_t count = 0;
    std::vector<std::uint32_t> rows;  // five columns per element
  };
  std::string variant, title, counts_name;
  std::int32_t ndpt = 0;
  std::array<std::int32_t, model_count_slots> counts{};
  bool has_bound = false, has_nodes = false;
  std::array<std::int32_t, boundary_head_words> bound{};
  std::vector<std::vector<std::uint32_t>> lists;  // left model, left free-field, right ..., base
  std::vector<std::uint32_t> number, x, z;
  std::vector<Elements> elements;
  std::vector<std::string> notes;
  WordHash hash;
};

struct ReportBuilder::Block {
  BlockAxis axis;
  std::string axis_name;  // the axis drawn: the block's own, or "index" where it cannot be drawn
  std::vector<std::uint32_t> axis_words;
  std::size_t value_records = 0;  // that the rules give the block
  std::size_t values_taken = 0;
  JsonText curves, table;
  bool has_table = false;
  std::vector<std::string> notes;
  BlockMeaning meaning;                   // what the code map says of the block
  const AbscissaRule* mapped = nullptr;   // the abscissa values it gives a block without one
};

ReportBuilder::ReportBuilder(PageArrays& arrays, const ReportOptions& options) : arrays_(arrays), options_(options) {
  files_.begin_array();
  models_.begin_array();
  blocks_.begin_array();
}

ReportBuilder::~ReportBuilder() {
  if (blocks_aside_) std::fclose(blocks_aside_);
}

// Past this much text, the blocks' part of the index goes to a temporary
// file.
constexpr std::size_t blocks_text_held = std::size_t{1} << 16;

bool ReportBuilder::set_aside_blocks() {
  if (!blocks_aside_) blocks_aside_ = qx::os::temporary_stream();
  const std::string text = blocks_.drain();
  if (!blocks_aside_ || std::fwrite(text.data(), 1, text.size(), blocks_aside_) != text.size()) {
    problem_ = std::string("cannot set the page's index aside in a temporary file: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool ReportBuilder::going() {
  if (options_.interrupted && *options_.interrupted && problem_.empty()) problem_ = "interrupted";
  return problem_.empty();
}

bool ReportBuilder::identity(const FileInfo& info) {
  info_ = info;
  variant_how_.clear();
  file_notes_.clear();
  unplaced_ = 0;
  model_index_ = -1;
  model_.reset();
  block_.reset();
  if (info.kind == FileKind::unknown) {
    problem_ = "neither a result file nor a converted file: nothing to show";
    return false;
  }
  return going();
}

bool ReportBuilder::model_begin(const FileInfo& info, std::string_view how) {
  info_ = info;
  variant_how_ = how;
  model_ = std::make_unique<Model>();
  model_->variant = side_text(info.side);
  model_->counts_name = info.side == Side::sh ? "nelmh" : "nelm";
  model_->lists.resize(5);
  return going();
}

bool ReportBuilder::model_record(const ModelRecordReport& m, Words words) {
  if (!going() || !model_) return going();
  Model& md = *model_;
  md.notes.insert(md.notes.end(), m.notes.begin(), m.notes.end());
  md.hash.add(static_cast<std::uint64_t>(m.part));
  md.hash.add(words);
  if (m.part == ModelPart::counts) {
    md.title = printable_text(m.title);
    md.ndpt = m.ndpt;
    md.counts = m.counts;
    md.hash.add(Words(reinterpret_cast<const std::uint32_t*>(m.counts.data()), m.counts.size()));
    md.hash.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(m.ndpt)));
    for (char c : m.title) md.hash.add(static_cast<std::uint64_t>(static_cast<unsigned char>(c)));
    return true;
  }
  if (!m.whole(words)) {
    md.notes.push_back("the " + m.name + " record does not have the length its counts give: not drawn");
    return true;
  }
  switch (m.part) {
    case ModelPart::bound: {
      md.has_bound = true;
      md.bound = m.bound;
      std::size_t list = 0;
      for (const BoundarySide& side : boundary_sides)
        for (int l = 0; l < side.lists; ++l) {
          const Words nodes = m.boundary_list(words, side, l);
          md.lists[list++].assign(nodes.begin(), nodes.end());
        }
      break;
    }
    case ModelPart::nodes: {
      md.has_nodes = true;
      const auto n = static_cast<std::ptrdiff_t>(m.rows);
      md.number.assign(words.begin(), words.begin() + n);
      md.x.assign(words.begin() + n, words.begin() + 2 * n);
      md.z.assign(words.begin() + 2 * n, words.begin() + 3 * n);
      break;
    }
    case ModelPart::elements: {
      Model::Elements e;
      e.kind = m.element;
      e.count = int4_at(words, 0);
      e.rows.assign(words.begin() + 1, words.begin() + 1 + static_cast<std::ptrdiff_t>(element_row_words * m.rows));
      md.elements.push_back(std::move(e));
      break;
    }
    case ModelPart::counts: break;
  }
  return true;
}

// The model section is complete: held once for all the files that begin with
// it.
void ReportBuilder::commit_model() {
  if (!model_) return;
  const Model& md = *model_;
  const std::uint64_t hash = md.hash.h;
  const auto seen = std::find(model_hashes_.begin(), model_hashes_.end(), hash);
  if (seen != model_hashes_.end() && md.notes.empty()) {
    model_index_ = seen - model_hashes_.begin();
    model_.reset();
    return;
  }
  model_index_ = static_cast<std::int64_t>(model_hashes_.size());
  model_hashes_.push_back(md.notes.empty() ? hash : ~std::uint64_t{0} - model_hashes_.size());
  JsonText& j = models_;
  j.begin_object();
  j.member("variant", md.variant).member("title", md.title).member("ndpt", md.ndpt);
  j.key("counts").begin_array();
  for (std::int32_t c : md.counts) j.value(c);
  j.end_array().member("countsName", md.counts_name);
  if (md.has_nodes) {
    j.key("nodes").begin_object();
    j.member("number", arrays_.words('i', md.number));
    j.member("x", arrays_.words('f', md.x));
    j.member("z", arrays_.words('f', md.z));
    j.end_object();
  }
  if (md.has_bound) {
    j.key("boundary").begin_object();
    j.key("keyb").begin_array();
    for (std::size_t i = 0; i < 3; ++i) j.value(md.bound[i]);
    j.end_array().key("nbound").begin_array();
    for (std::size_t i = 3; i < 6; ++i) j.value(md.bound[i]);
    j.end_array();
    std::size_t list = 0;
    for (const BoundarySide& side : boundary_sides) {
      j.key(side.table).begin_array();
      for (int l = 0; l < side.lists; ++l) j.value(arrays_.words('i', md.lists[list++]));
      j.end_array();
    }
    j.end_object();
  }
  j.key("elements").begin_array();
  for (const Model::Elements& e : md.elements) {
    j.begin_object().member("kind", e.kind->name()).member("table", e.kind->table).member("count", e.count);
    j.member("rows", arrays_.words('i', e.rows));
    j.key("columns").begin_array();
    for (qx::format::Column c : e.kind->columns) j.value(qx::format::column_name(c));
    j.end_array().end_object();
  }
  j.end_array();
  texts(j, "notes", md.notes);
  j.end_object();
  model_.reset();
}

bool ReportBuilder::block_begin(const BlockReport& b) {
  commit_model();
  if (!going()) return false;
  block_ = std::make_unique<Block>();
  Block& k = *block_;
  k.curves.begin_array();
  if (b.maxima) return true;
  k.axis = block_axis(b, static_cast<std::size_t>(std::max(b.data_rule, 0)));
  k.axis_name = k.axis.name;
  k.value_records = static_cast<std::size_t>(std::max(b.data_rule - static_cast<int>(k.axis.axis_records), 0));
  if (k.axis.source == AxisSource::step && !(std::isfinite(b.step) && b.step > 0)) {
    k.notes.push_back("the step " + real_text(b.step) + " is not a positive number: values drawn against their index");
    k.axis_name = "index";
  }
  if (options_.codes) {
    k.meaning = block_meaning(*options_.codes, info_, b, k.value_records);
    const MapRow* a = k.meaning.abscissa;
    if (a && a->rule.form != AbscissaRule::Form::none && k.axis.source == AxisSource::index) {
      k.mapped = &a->rule;
      k.axis_name = a->name;
    }
  }
  return true;
}

bool ReportBuilder::data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) {
  if (!going() || !block_) return going();
  Block& k = *block_;
  if (b.maxima) {
    if (index == 0) take_maxima(b, r, words);
    return going();
  }
  if (index < k.axis.axis_records) {
    if (index > 0) return true;
    // An axis that does not rise (or holds NaN) cannot carry a plot.
    bool rising = true;
    for (std::size_t i = 0; i < words.size() && rising; ++i) {
      const float v = real4_at(words, i);
      rising = std::isfinite(v) && (i == 0 || v >= real4_at(words, i - 1));
    }
    if (rising) {
      k.axis_words.assign(words.begin(), words.end());
    } else {
      k.notes.push_back("the frequency axis record does not rise: values drawn against their index");
      k.axis_name = "index";
    }
    return true;
  }
  take_curve(b, words);
  return going();
}

void ReportBuilder::take_curve(const BlockReport& b, Words words) {
  Block& k = *block_;
  const CurveEnvelope e = reduce_curve(words, options_.buckets);
  // An abscissa list of the code map that does not fit the first curve is
  // not used: the values are then drawn against their index.
  if (k.mapped && k.values_taken == 0 && !abscissa_values(k.meaning, words.size())) {
    k.notes.push_back("the code map's abscissa (line " + std::to_string(k.meaning.abscissa->line) + ") lists " +
                      std::to_string(k.mapped->list.size()) + " values for " + std::to_string(words.size()) +
                      ": values drawn against their index");
    k.mapped = nullptr;
    k.axis_name = "index";
  }
  const bool on_mapped = k.mapped != nullptr;
  const bool on_record = (k.axis.source == AxisSource::record && k.axis_name != "index") || on_mapped;
  const bool on_step = k.axis.source == AxisSource::step && k.axis_name != "index";
  const Words axis(k.axis_words);
  const auto abscissa_of = [&](std::uint64_t i) -> double {
    if (on_mapped) {
      double v = 0;
      return k.mapped->value(i, words.size(), v) ? v : std::nan("");
    }
    if (on_record) return i < axis.size() ? double{real4_at(axis, i)} : std::nan("");
    if (on_step) return static_cast<double>(i) * b.step;
    return static_cast<double>(i);
  };
  JsonText& j = k.curves;
  j.begin_object();
  const std::size_t records = std::max<std::size_t>(k.value_records, k.values_taken + 1);
  j.member("name", value_name(records, k.values_taken));
  if (const std::string title = value_title(k.meaning, k.values_taken, false); !title.empty()) {
    j.member("title", title);
    if (const std::string unit = value_unit(k.meaning, k.values_taken); !unit.empty()) j.member("unit", unit);
  }
  ++k.values_taken;
  j.member("count", e.count).member("whole", e.whole);
  j.member("y", arrays_.floats(e.value));
  if (!e.whole) j.member("k", arrays_.uints(e.index));
  if (on_record) {
    std::vector<float> x(e.index.size());
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(abscissa_of(e.index[i]));
    j.member("x", arrays_.floats(x));
  }
  if (e.has_peak) {
    j.member("peak", e.peak_value).member("peakIndex", e.peak_index);
    if (on_record)
      j.member("peakAt", static_cast<float>(abscissa_of(e.peak_index)));
    else
      j.member("peakAt", abscissa_of(e.peak_index));
  }
  j.end_object();
}

// The first maxima_rows items go to the page; the largest magnitude of each
// column is taken over all of them.
void ReportBuilder::take_maxima(const BlockReport& b, const RecordEntry& r, Words words) {
  Block& k = *block_;
  MaximaTable t;
  if (!take_maxima_record(info_, b, r, words, t)) {
    k.notes.push_back("the data record does not hold the items its na and code call for: no table");
    return;
  }
  const std::vector<std::string> names = maxima_value_names(t);
  const std::size_t per_item = names.size();
  const std::size_t shown = static_cast<std::size_t>(std::min<std::uint64_t>(t.na, options_.maxima_rows));
  JsonText& j = k.table;
  j.begin_object().member("na", t.na).member("rows", static_cast<std::uint64_t>(shown));
  j.key("names").begin_array();
  for (const std::string& n : names) j.value(n);
  j.end_array();
  if (options_.codes) {
    const MaximaMeaning m = maxima_meaning(*options_.codes, info_, b, t);
    if (m.named()) {
      j.key("titles").begin_array();
      for (std::size_t v = 0; v < names.size(); ++v) j.value(m.title(v, names[v]));
      j.end_array();
      maxima_meaning_json(j, m);
    }
  }
  j.member("id1", arrays_.ints(std::span(t.id1).first(shown)));
  if (!t.id2.empty()) j.member("id2", arrays_.ints(std::span(t.id2).first(shown)));
  j.member("values", arrays_.words('f', t.values.first(shown * per_item)));
  j.key("columnPeaks").begin_array();
  for (std::size_t c = 0; c < per_item; ++c) {
    float largest = -1.0f;
    std::uint64_t item = 0;
    for (std::uint64_t a = 0; a < t.na; ++a) {
      const float v = real4_at(t.values, a * per_item + c);
      if (!std::isnan(v) && std::fabs(v) > largest) largest = std::fabs(v), item = a;
    }
    if (largest < 0) {
      j.null();
    } else {
      j.begin_object().member("value", real4_at(t.values, item * per_item + c)).member("item", item);
      j.member("id1", t.id1[item]);
      if (!t.id2.empty()) j.member("id2", t.id2[item]);
      j.end_object();
    }
  }
  j.end_array().end_object();
  k.has_table = true;
}

bool ReportBuilder::block_end(const BlockReport& b) {
  if (!going() || !block_) return going();
  Block& k = *block_;
  JsonText& j = blocks_;
  j.begin_object();
  j.member("file", static_cast<std::uint64_t>(files_count_)).member("number", b.number).member("kind", printable_text(b.kind));
  j.member("offset", b.offset).member("maxima", b.maxima);
  const std::size_t codes = b.maxima ? 2 : 6;  // a maxima block is told by its code and nc2
  j.key("nc").begin_array();
  for (std::size_t i = 0; i < codes; ++i) j.value(b.nc[i]);
  j.end_array().member("lrec", b.lrec);
  if (b.converted) header_real(j, "real", b.real, true);
  else if (!b.maxima) header_real(j, "real", b.real, false);
  if (b.has_sizes) {
    j.member("nsize2", b.nsize2);
    header_real(j, "step", b.step, b.converted);
    j.key("yt").begin_array();
    for (float v : b.yt) j.value(v);
    j.end_array();
  }
  if (b.maxima && b.has_na) j.member("na", b.na);
  if (b.maxima && b.nd) j.member("nd", *b.nd);
  if (b.dropped) j.member("dropped", true);
  if (!b.maxima) {
    if (options_.codes) meaning_json(j, k.meaning, k.axis.source != AxisSource::index && k.axis_name != "index");
    j.member("axis", k.axis_name);
    if (k.axis_name == "time" || (k.axis.source == AxisSource::step && k.axis_name == "frequency"))
      j.member("axisStep", b.step);
    k.curves.end_array();
    j.key("curves").raw(k.curves.text());
  }
  if (k.has_table) j.key("table").raw(k.table.text());
  std::vector<std::string> notes = b.notes;
  notes.insert(notes.end(), k.notes.begin(), k.notes.end());
  texts(j, "notes", notes);
  j.end_object();
  block_.reset();
  if (blocks_.text().size() >= blocks_text_held && !set_aside_blocks()) return false;
  return going();
}

// The first few records that belong to no block are named, the others
// counted.
constexpr std::uint64_t unplaced_named = 20;

bool ReportBuilder::unplaced(const RecordEntry& r, std::string_view, Words) {
  if (++unplaced_ <= unplaced_named)
    file_notes_.push_back("record @" + std::to_string(r.offset) + " (" + std::to_string(r.length) +
                          " bytes) belongs to no block");
  return going();
}

bool ReportBuilder::note(std::string_view text) {
  (model_ ? model_->notes : file_notes_).emplace_back(text);
  return going();
}

bool ReportBuilder::file_end(std::uint64_t, std::uint64_t records, const DumpTotals& totals) {
  commit_model();
  if (!going()) return false;
  JsonText& j = files_;
  j.begin_object();
  j.member("path", info_.path).member("name", base_name(info_.path));
  j.member("kind", kind_text(info_));
  if (info_.kind != FileKind::empty) {
    j.member("family", family_text(info_.family));
    j.member("byteOrder", info_.order == qx::ByteOrder::big ? "big-endian" : "little-endian");
  }
  if (info_.kind == FileKind::converted || info_.kind == FileKind::blocks) j.member("variant", side_text(info_.side));
  if (!variant_how_.empty()) j.member("variantFrom", variant_how_);
  j.member("bytes", info_.size).member("records", records).member("blocks", totals.blocks);
  j.member("model", model_index_);
  if (unplaced_ > unplaced_named)
    file_notes_.push_back("and " + std::to_string(unplaced_ - unplaced_named) + " more records that belong to no block");
  texts(j, "notes", file_notes_);
  j.end_object();
  ++files_count_;
  return true;
}

bool ReportBuilder::write_index(std::string_view generator, PageFile& out) {
  JsonText j;
  j.begin_object();
  j.member("generator", generator);
  j.member("buckets", static_cast<std::uint64_t>(options_.buckets));
  j.member("maximaRows", static_cast<std::uint64_t>(options_.maxima_rows));
  JsonText files = files_, models = models_;
  j.key("files").raw(files.end_array().text());
  j.key("models").raw(models.end_array().text());
  j.key("blocks");
  out.put(j.text());
  if (blocks_aside_) {
    char buffer[1 << 16];
    std::rewind(blocks_aside_);
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, blocks_aside_)) > 0) out.put(std::string_view(buffer, n));
    if (std::ferror(blocks_aside_)) {
      problem_ = std::string("cannot read the page's index back from its temporary file: ") + std::strerror(errno);
      return false;
    }
  }
  JsonText blocks = blocks_;
  out.put(blocks.end_array().text());
  out.put("}");
  return true;
}

}  // namespace qxdump
