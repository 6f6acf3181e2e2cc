#include "block_meaning.hpp"

#include <algorithm>

#include "block_axis.hpp"

namespace qxdump {

namespace {

std::string bracketed(const std::string& name, const std::string& unit) {
  return unit.empty() ? name : name + " [" + unit + "]";
}

void join(std::string& s, const std::string& part, const char* between = " ") {
  if (part.empty()) return;
  if (!s.empty()) s += between;
  s += part;
}

std::int32_t code_in(const BlockReport& b, PlaceSlot s) {
  return s == PlaceSlot::nc4 ? b.nc[3] : s == PlaceSlot::nc5 ? b.nc[4] : b.nc[5];
}

// The names of nc2 and nc3, "X" or "X/Z".
std::string directions(const CodeMap& map, const FileInfo& info, const BlockReport& b) {
  std::string s;
  if (const MapRow* d2 = map.direction(info, b, MapField::nc2, b.nc[1])) s = d2->name;
  if (const MapRow* d3 = map.direction(info, b, MapField::nc3, b.nc[2])) join(s, d3->name, "/");
  return s;
}

Place place_of(const MapRow* r) {
  Place p;
  if (!r) return p;
  p.known = true;
  p.element = r->field == MapField::element;
  p.element_kind = r->name;
  p.slot = r->slot;
  return p;
}

}  // namespace

std::string Place::role() const {
  if (!known) return {};
  return element ? (element_kind.empty() ? "element" : "element (" + element_kind + ")") : "node";
}

std::string Place::text() const {
  if (!known) return {};
  const std::string n = std::to_string(number);
  if (!element) return "node " + n;
  return element_kind.empty() ? "element " + n : "element " + n + " (" + element_kind + ")";
}

bool BlockMeaning::named() const {
  if (!quantity.empty() || !direction.empty() || place.known || abscissa) return true;
  for (const MapRow* r : records)
    if (r) return true;
  return false;
}

std::string BlockMeaning::words() const {
  std::string s = quantity;
  join(s, direction);
  if (place.known) s += s.empty() ? place.text() : " at " + place.text();
  return s;
}

BlockMeaning block_meaning(const CodeMap& map, const FileInfo& info, const BlockReport& b, std::size_t value_records) {
  BlockMeaning m;
  if (const MapRow* q = map.quantity(info, b)) {
    m.quantity = q->name;
    m.unit = q->unit;
  }
  m.direction = directions(map, info, b);
  if (b.maxima) return m;  // identifiers and components: maxima_meaning
  m.place = place_of(map.place(info, b));
  if (m.place.known) m.place.number = code_in(b, m.place.slot);
  const BlockAxis axis = block_axis(b, static_cast<std::size_t>(std::max(b.data_rule, 0)));
  m.abscissa = map.abscissa(info, b, axis.source != AxisSource::index);
  for (std::size_t c = 0; c < value_records; ++c) m.records.push_back(map.record(info, b, static_cast<int>(c + 1)));
  return m;
}

std::string value_unit(const BlockMeaning& m, std::size_t c) {
  const MapRow* r = c < m.records.size() ? m.records[c] : nullptr;
  return r && !r->unit.empty() ? r->unit : m.unit;
}

std::string value_title(const BlockMeaning& m, std::size_t c, bool with_unit) {
  const MapRow* r = c < m.records.size() ? m.records[c] : nullptr;
  std::string s = r ? r->name : std::string();
  join(s, m.words());
  if (s.empty()) return s;
  // Records the map does not name keep their number beside the words.
  if (!r && m.records.size() > 1) s += " value" + std::to_string(c + 1);
  return with_unit ? bracketed(s, value_unit(m, c)) : s;
}

std::string axis_title(const BlockMeaning& m) { return m.abscissa ? bracketed(m.abscissa->name, m.abscissa->unit) : ""; }

const AbscissaRule* abscissa_values(const BlockMeaning& m, std::size_t n) {
  if (!m.abscissa) return nullptr;
  const AbscissaRule& rule = m.abscissa->rule;
  if (rule.form == AbscissaRule::Form::none) return nullptr;
  if (rule.form == AbscissaRule::Form::list && rule.list.size() != n) return nullptr;
  return &rule;
}

bool MaximaMeaning::named() const {
  if (!quantity.empty() || !direction.empty() || id1.known || id2.known) return true;
  for (const std::string& n : names)
    if (!n.empty()) return true;
  return false;
}

std::string MaximaMeaning::title(std::size_t v, const std::string& fallback) const {
  if (v >= names.size() || names[v].empty()) return fallback;
  return bracketed(names[v], units[v]);
}

MaximaMeaning maxima_meaning(const CodeMap& map, const FileInfo& info, const BlockReport& b, const MaximaTable& t) {
  MaximaMeaning m;
  if (const MapRow* q = map.quantity(info, b)) {
    m.quantity = q->name;
    m.unit = q->unit;
  }
  m.direction = directions(map, info, b);
  m.id1 = place_of(map.place(info, b, PlaceSlot::ia1));
  m.id2 = place_of(map.place(info, b, PlaceSlot::ia2));
  for (std::size_t c = 0; c < t.components; ++c) {
    const int d = c < t.component_numbers.size() ? t.component_numbers[c] : 0;
    for (int member = t.pairs ? 1 : 0; member <= (t.pairs ? 2 : 0); ++member) {
      // A filler (0) and a component the file does not tell stay unnamed.
      const MapRow* r = d > 0 ? map.component(info, b, d, member) : nullptr;
      std::string name = r ? r->name : std::string();
      // A row for the whole component names both values of its pair.
      if (r && member > 0 && r->member == 0) name += " (" + std::to_string(member) + ")";
      m.names.push_back(name);
      m.units.push_back(r ? r->unit : std::string());
    }
  }
  return m;
}

std::string meaning_line(const BlockMeaning& m, std::size_t value_records) {
  std::string s;
  if (!m.quantity.empty()) join(s, "quantity " + bracketed(m.quantity, m.unit), "; ");
  if (!m.direction.empty()) join(s, "direction " + m.direction, "; ");
  if (m.place.known) join(s, m.place.text() + " (" + std::string(slot_text(m.place.slot)) + ")", "; ");
  if (m.abscissa) {
    std::string a = "abscissa " + axis_title(m);
    if (m.abscissa->rule.form != AbscissaRule::Form::none) a += " (" + m.abscissa->rule.text() + ")";
    join(s, a, "; ");
  }
  for (std::size_t c = 0; c < value_records && c < m.records.size(); ++c)
    if (const MapRow* r = m.records[c])
      join(s, "record " + std::to_string(c + 1) + " " + bracketed(r->name, r->unit), "; ");
  return s;
}

std::string meaning_line(const MaximaMeaning& m, const std::vector<std::string>& fallback_names) {
  std::string s;
  if (!m.quantity.empty()) join(s, "quantity " + bracketed(m.quantity, m.unit), "; ");
  if (!m.direction.empty()) join(s, "direction " + m.direction, "; ");
  if (m.id1.known) join(s, "ia1 " + m.id1.role(), "; ");
  if (m.id2.known) join(s, "ia2 " + m.id2.role(), "; ");
  std::string columns;
  for (std::size_t v = 0; v < m.names.size() && v < fallback_names.size(); ++v)
    if (!m.names[v].empty()) join(columns, fallback_names[v] + " " + m.title(v, ""), ", ");
  if (!columns.empty()) join(s, "columns " + columns, "; ");
  return s;
}

std::string meaning_line(const CodeMap& map, const FileInfo& info, const BlockReport& b) {
  if (b.maxima) {
    MaximaTable t;
    maxima_columns(info, b, t);
    return meaning_line(maxima_meaning(map, info, b, t), maxima_value_names(t));
  }
  std::size_t data = 0;
  for (const RecordEntry& r : b.records) data += r.data;
  const std::size_t axis = static_cast<std::size_t>(std::max(b.axis_records, 0));
  const std::size_t values = data > axis ? data - axis : 0;
  return meaning_line(block_meaning(map, info, b, values), values);
}

}  // namespace qxdump
