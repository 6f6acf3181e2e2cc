// The code map: what the codes of a project's blocks mean, written once per
// project by the user as a CSV table (docs/code-map.md). The result files
// carry codes, not meanings: nc1 is a quantity code, nc2 and nc3 name
// directions, nc4 to nc6 and the identifiers ia1 and ia2 of maxima items are
// numbers whose meaning the analysis program's users know. A row of the map
// states one such meaning for the blocks its selectors pick:
//
//   file,kind,nc1,field,value,name,unit
//   *,WAVE,1,quantity,,acceleration,m/s2
//   _QX2D,*,*,nc2,1,X,
//   *,WAVE,*,node,nc4,,
//
// The first row whose selectors pick a block says what it states for that
// block; nothing that no row states is ever guessed. The kind * picks every
// block but the maxima blocks, whose nc1 is a maxima code: rows of the kind
// MAXR name those.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dump_report.hpp"
#include "file_kind.hpp"

namespace qxdump {

// What a row states.
enum class MapField : std::uint8_t {
  quantity,   // the quantity of nc1 (for MAXR the maxima code): name and unit
  nc2,        // the name of an nc2 value (a direction)
  nc3,        // the name of an nc3 value (a direction)
  node,       // the code (nc4..nc6) or identifier (ia1, ia2) that holds a node number
  element,    // ... an element number, of the element kind in `name` where given
  abscissa,   // the abscissa's name and unit, and for blocks without one, its values
  record,     // the name and unit of the k-th value record of a block
  component,  // the name and unit of a maxima component (or one value of its pair)
};

// The files a row applies to, by what qxdump tells the file is (its kind,
// family and variant), written as the file-name suffix that says it.
enum class FileSelector : std::uint8_t { any, tp18, tp19, sv_tp18, sh_tp18, sv_tp19, sh_tp19, sv, sh };

// The codes that hold a node or element number.
enum class PlaceSlot : std::uint8_t { nc4, nc5, nc6, ia1, ia2 };
inline constexpr std::string_view slot_names[] = {"nc4", "nc5", "nc6", "ia1", "ia2"};
std::string_view slot_text(PlaceSlot s);

// A code selector: one value, a range, or any value.
struct CodeRange {
  std::int32_t lo = INT32_MIN, hi = INT32_MAX;
  bool holds(std::int32_t v) const { return v >= lo && v <= hi; }
  bool covers(const CodeRange& o) const { return lo <= o.lo && o.hi <= hi; }
};

// The values of an abscissa that the file does not give.
struct AbscissaRule {
  enum class Form : std::uint8_t { none, list, step, log } form = Form::none;
  std::vector<double> list;   // list: value k is list[k]
  double first = 0, second = 0;  // step: first + k·second; log: first to second, evenly in log
  // The abscissa of value k of n; false where the rule gives none (a list
  // shorter than the values).
  bool value(std::size_t k, std::size_t n, double& v) const;
  // The rule as the map writes it ("step 0.02 0.02", "log 0.02 5", "list of 68").
  std::string text() const;
};

struct MapRow {
  int line = 0;  // in the map file, for messages
  FileSelector file = FileSelector::any;
  std::string kind;  // empty: any kind
  CodeRange nc[6];   // nc1..nc6
  MapField field = MapField::quantity;
  // The key of what the row names: the nc2/nc3 value, the record number,
  // the component number, the place slot.
  std::int32_t code = 0;
  int record = 0;
  int component = 0, member = 0;  // member: 0 a whole component, 1 or 2 one value of a pair
  PlaceSlot slot = PlaceSlot::nc4;
  AbscissaRule rule;
  std::string name, unit;
};

class CodeMap {
 public:
  // Reads the map at `path`: false, with `problem` naming the line at fault
  // ("line 7: ..."), for a map that cannot be read or is malformed.
  bool read(const std::string& path, std::string& problem);
  // The same from the text of a map.
  bool parse(std::string_view text, std::string& problem);

  const std::vector<MapRow>& rows() const { return rows_; }

  // The first row that states `field` for block `b` of the file `info`.
  const MapRow* quantity(const FileInfo& info, const BlockReport& b) const;
  const MapRow* direction(const FileInfo& info, const BlockReport& b, MapField ncx, std::int32_t value) const;
  // The abscissa: of a block whose file gives its abscissa, the first row
  // that names it (a row without values); of a block without, the first row
  // that gives its values.
  const MapRow* abscissa(const FileInfo& info, const BlockReport& b, bool file_gives_it) const;
  const MapRow* record(const FileInfo& info, const BlockReport& b, int record) const;
  // The place of an ordinary block: the first node or element row for one of
  // nc4..nc6; for a maxima block, the row for identifier ia1 or ia2.
  const MapRow* place(const FileInfo& info, const BlockReport& b) const;
  const MapRow* place(const FileInfo& info, const BlockReport& b, PlaceSlot id) const;
  // A maxima component: the row of that value of the pair (member 1 or 2),
  // else that of the whole component.
  const MapRow* component(const FileInfo& info, const BlockReport& b, int component, int member) const;

 private:
  bool picks(const MapRow& r, const FileInfo& info, const BlockReport& b) const;
  template <typename Keyed>
  const MapRow* first(const FileInfo& info, const BlockReport& b, Keyed keyed) const;
  std::vector<MapRow> rows_;
};

}  // namespace qxdump
