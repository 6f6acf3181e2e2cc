#include "mesh_reader.hpp"

#include "dump_print.hpp"

namespace qxdump {

namespace {

std::vector<std::int32_t> ints(Words w) {
  std::vector<std::int32_t> v(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) v[i] = int4_at(w, i);
  return v;
}

}  // namespace

bool MeshReader::model_begin(const FileInfo& info, std::string_view) {
  info_ = info;
  model_.has_model = true;
  return true;
}

bool MeshReader::model_record(const ModelRecordReport& m, Words words) {
  if (interrupted()) return false;
  if (m.part == ModelPart::counts) {
    model_.title = printable_text(m.title);
    return true;
  }
  if (!m.whole(words)) {
    model_.notes.push_back("the " + m.name + " record does not have the length its counts give: left out");
    return true;
  }
  switch (m.part) {
    case ModelPart::bound: {
      for (const BoundarySide& side : boundary_sides) {
        for (int l = 0; l < side.lists; ++l) {
          const std::string name = side.lists == 1 ? std::string(side.table)
                                                   : std::string(side.table) + "_" + std::string(boundary_list_names[l]);
          model_.boundary.push_back({name, ints(m.boundary_list(words, side, l))});
        }
      }
      return true;
    }
    case ModelPart::nodes:
      model_.number = ints(words.subspan(0, m.rows));
      for (std::uint64_t i = 0; i < m.rows; ++i) {
        model_.x.push_back(real4_at(words, m.rows + i));
        model_.z.push_back(real4_at(words, 2 * m.rows + i));
      }
      return true;
    case ModelPart::elements:
      model_.elements.push_back({m.element, ints(words.subspan(1, element_row_words * m.rows))});
      return true;
    case ModelPart::counts: return true;
  }
  return true;
}

// The maxima whose items the map places: one column per value of an item.
bool MeshReader::data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) {
  if (interrupted()) return false;
  if (!codes_ || !b.maxima || index > 0) return true;
  MaximaTable t;
  if (!take_maxima_record(info_, b, r, words, t)) return true;
  const MaximaMeaning m = maxima_meaning(*codes_, info_, b, t);
  // The first identifier that the map says holds a node or element number.
  const bool by_id2 = !m.id1.known && m.id2.known && !t.id2.empty();
  if (!m.id1.known && !by_id2) return true;
  const std::vector<std::string> names = maxima_value_names(t);
  const std::size_t per_item = names.size();
  for (std::size_t v = 0; v < per_item; ++v) {
    // A filler (component 0) that the converter wrote is no value of the item.
    const std::size_t c = t.pairs ? v / 2 : v;
    if (c < t.component_numbers.size() && t.component_numbers[c] == 0) continue;
    PlacedMaxima p;
    p.block = b.number;
    p.code = b.nc[0];
    p.place = by_id2 ? m.id2 : m.id1;
    p.column = m.title(v, names[v]);
    p.ids = by_id2 ? t.id2 : t.id1;
    for (std::uint64_t a = 0; a < t.na; ++a) p.values.push_back(real4_at(t.values, a * per_item + v));
    maxima_.push_back(std::move(p));
  }
  return true;
}

}  // namespace qxdump
