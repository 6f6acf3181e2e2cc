#include "code_map.hpp"

#include <charconv>
#include <cmath>

#include "io/trim_right.hpp"


namespace qxdump {

std::string_view slot_text(PlaceSlot s) { return slot_names[static_cast<int>(s)]; }

bool AbscissaRule::value(std::size_t k, std::size_t n, double& v) const {
  switch (form) {
    case Form::none: return false;
    case Form::list:
      if (k >= list.size()) return false;
      v = list[k];
      return true;
    case Form::step: v = first + static_cast<double>(k) * second; return true;
    case Form::log:
      // The ends are the values given, not their logarithms taken back.
      if (k == 0 || n < 2) v = first;
      else if (k + 1 == n) v = second;
      else v = std::exp(std::log(first) + static_cast<double>(k) * (std::log(second) - std::log(first)) /
                                              static_cast<double>(n - 1));
      return true;
  }
  return false;
}

namespace {

std::string number_text(double v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, ec == std::errc{} ? end : buf);
}

bool converted(const FileInfo& info) { return info.kind == FileKind::converted || info.kind == FileKind::blocks; }

bool file_picked(FileSelector s, const FileInfo& info) {
  const bool tp18 = info.family == Family::tp18, result = info.kind == FileKind::result;
  const bool sv = converted(info) && info.side == Side::sv, sh = converted(info) && info.side == Side::sh;
  switch (s) {
    case FileSelector::any: return true;
    case FileSelector::tp18: return result && tp18;
    case FileSelector::tp19: return result && !tp18;
    case FileSelector::sv_tp18: return sv && tp18;
    case FileSelector::sh_tp18: return sh && tp18;
    case FileSelector::sv_tp19: return sv && !tp18;
    case FileSelector::sh_tp19: return sh && !tp18;
    case FileSelector::sv: return sv;
    case FileSelector::sh: return sh;
  }
  return false;
}

}  // namespace

std::string AbscissaRule::text() const {
  switch (form) {
    case Form::none: return {};
    case Form::list: return "list of " + std::to_string(list.size());
    case Form::step: return "step " + number_text(first) + " " + number_text(second);
    case Form::log: return "log " + number_text(first) + " " + number_text(second);
  }
  return {};
}

// A maxima block's nc1 is a maxima code, not a quantity code: only rows of
// the kind MAXR pick it, and the kind * picks every other block.
bool CodeMap::picks(const MapRow& r, const FileInfo& info, const BlockReport& b) const {
  if (!file_picked(r.file, info)) return false;
  if (r.kind.empty() ? b.maxima : r.kind != qx::trim_right(b.kind)) return false;
  for (std::size_t i = 0; i < 6; ++i)
    if (!r.nc[i].holds(b.nc[i])) return false;
  return true;
}

template <typename Keyed>
const MapRow* CodeMap::first(const FileInfo& info, const BlockReport& b, Keyed keyed) const {
  for (const MapRow& r : rows_)
    if (keyed(r) && picks(r, info, b)) return &r;
  return nullptr;
}

const MapRow* CodeMap::quantity(const FileInfo& info, const BlockReport& b) const {
  return first(info, b, [](const MapRow& r) { return r.field == MapField::quantity; });
}

const MapRow* CodeMap::direction(const FileInfo& info, const BlockReport& b, MapField ncx, std::int32_t value) const {
  return first(info, b, [&](const MapRow& r) { return r.field == ncx && r.code == value; });
}

const MapRow* CodeMap::abscissa(const FileInfo& info, const BlockReport& b, bool file_gives_it) const {
  return first(info, b, [&](const MapRow& r) {
    return r.field == MapField::abscissa && (r.rule.form == AbscissaRule::Form::none) == file_gives_it;
  });
}

const MapRow* CodeMap::record(const FileInfo& info, const BlockReport& b, int record) const {
  return first(info, b, [&](const MapRow& r) { return r.field == MapField::record && r.record == record; });
}

const MapRow* CodeMap::place(const FileInfo& info, const BlockReport& b) const {
  if (b.maxima) return place(info, b, PlaceSlot::ia1);
  return first(info, b, [](const MapRow& r) {
    return (r.field == MapField::node || r.field == MapField::element) && r.slot != PlaceSlot::ia1 &&
           r.slot != PlaceSlot::ia2;
  });
}

const MapRow* CodeMap::place(const FileInfo& info, const BlockReport& b, PlaceSlot id) const {
  return first(info, b, [&](const MapRow& r) {
    return (r.field == MapField::node || r.field == MapField::element) && r.slot == id;
  });
}

const MapRow* CodeMap::component(const FileInfo& info, const BlockReport& b, int component, int member) const {
  const auto keyed = [&](int m) {
    return [&, m](const MapRow& r) { return r.field == MapField::component && r.component == component && r.member == m; };
  };
  const MapRow* r = member ? first(info, b, keyed(member)) : nullptr;
  return r ? r : first(info, b, keyed(0));
}

}  // namespace qxdump
