#include "hdf5_meaning.hpp"

#include <algorithm>

namespace qxdump {

namespace {

void write_place(h5::Writer& w, hid_t obj, const Place& p) {
  if (!p.known) return;
  w.text(obj, "holds", p.element ? "element" : "node");
  if (p.element && !p.element_kind.empty()) w.text(obj, "element_kind", p.element_kind);
}

void write_abscissa_name(h5::Writer& w, hid_t g, const MapRow& r) {
  w.text(g, "abscissa", r.name);
  if (!r.unit.empty()) w.text(g, "abscissa_unit", r.unit);
}

bool any_named(const std::vector<std::string>& v) {
  return std::any_of(v.begin(), v.end(), [](const std::string& s) { return !s.empty(); });
}

}  // namespace

void write_quantity(h5::Writer& w, hid_t g, const std::string& quantity, const std::string& unit) {
  if (!quantity.empty()) w.text(g, "quantity", quantity);
  if (!unit.empty()) w.text(g, "unit", unit);
}

void write_block_meaning(h5::Writer& w, hid_t g, const BlockMeaning& m) {
  write_quantity(w, g, m.quantity, m.unit);
  if (!m.direction.empty()) w.text(g, "direction", m.direction);
  if (m.place.known) {
    w.int32(g, m.place.element ? "element" : "node", m.place.number);
    if (m.place.element && !m.place.element_kind.empty()) w.text(g, "element_kind", m.place.element_kind);
  }
  // An abscissa that the map gives values is written with its values.
  if (m.abscissa && m.abscissa->rule.form == AbscissaRule::Form::none) write_abscissa_name(w, g, *m.abscissa);
  std::vector<std::string> names, units;
  for (const MapRow* r : m.records) {
    names.push_back(r ? r->name : std::string());
    units.push_back(r ? r->unit : std::string());
  }
  if (any_named(names)) w.texts(g, "record_names", names);
  if (any_named(units)) w.texts(g, "record_units", units);
}

void write_mapped_abscissa(h5::Writer& w, hid_t g, const BlockMeaning& m, std::size_t count) {
  // A list of another length than the block's values gives no abscissa.
  const AbscissaRule* rule = count > 0 ? abscissa_values(m, count) : nullptr;
  if (!rule) return;
  std::vector<double> v(count);
  for (std::size_t k = 0; k < count; ++k) rule->value(k, count, v[k]);
  const hsize_t n = count;
  write_abscissa_name(w, g, *m.abscissa);
  w.array(g, "abscissa_values", H5T_NATIVE_DOUBLE, std::span(&n, 1), v.data());
}

void write_maxima_meaning(h5::Writer& w, hid_t id1, hid_t id2, hid_t values, const MaximaMeaning& m) {
  write_place(w, id1, m.id1);
  if (id2 >= 0) write_place(w, id2, m.id2);
  if (any_named(m.names)) w.texts(values, "names", m.names);
  if (any_named(m.units)) w.texts(values, "units", m.units);
}

}  // namespace qxdump
