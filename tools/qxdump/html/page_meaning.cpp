#include "page_meaning.hpp"

namespace qxdump {

namespace {

void member_if(JsonText& j, std::string_view name, const std::string& v) {
  if (!v.empty()) j.member(name, v);
}

void place_json(JsonText& j, const char* holds, const char* kind, const Place& p) {
  if (!p.known) return;
  j.member(holds, p.element ? "element" : "node");
  member_if(j, kind, p.element_kind);
}

}  // namespace

void meaning_json(JsonText& j, const BlockMeaning& m, bool own_axis) {
  if (!m.named()) return;
  j.key("meaning").begin_object();
  member_if(j, "words", m.words());
  member_if(j, "quantity", m.quantity);
  member_if(j, "unit", m.unit);
  member_if(j, "direction", m.direction);
  if (m.place.known) {
    j.member(m.place.element ? "element" : "node", m.place.number);
    member_if(j, "elementKind", m.place.element_kind);
  }
  // The abscissa's title where the file gives the abscissa or the map its
  // values.
  if (m.abscissa && (own_axis || m.abscissa->rule.form != AbscissaRule::Form::none))
    member_if(j, "axisTitle", axis_title(m));
  j.end_object();
}

void maxima_meaning_json(JsonText& j, const MaximaMeaning& m) {
  member_if(j, "quantity", m.quantity);
  member_if(j, "unit", m.unit);
  member_if(j, "direction", m.direction);
  place_json(j, "id1Holds", "id1Kind", m.id1);
  place_json(j, "id2Holds", "id2Kind", m.id2);
}

}  // namespace qxdump
