// The code map read from its CSV text: the header row names the columns, each
// further row states one meaning. Every cell is checked where it is read, and
// a map that breaks a rule is refused with the line at fault: a map that
// says something other than what its writer meant would put wrong words on
// every plot.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "code_map.hpp"
#include "format/block_kinds.hpp"
#include "format/file_names.hpp"
#include "format/model_section.hpp"

namespace qxdump {

namespace {

// A map is a short table; a file far larger than any is not one.
constexpr std::size_t largest_map_bytes = std::size_t{1} << 20;

struct Selector {
  std::string_view text;
  FileSelector file;
};
// The file-name suffixes that say what a file is.
constexpr Selector file_selectors[] = {
    {"*", FileSelector::any},
    {qx::format::tp18_names.input, FileSelector::tp18},
    {qx::format::tp19_names.input, FileSelector::tp19},
    {qx::format::sv_mark, FileSelector::sv},
    {qx::format::sh_mark, FileSelector::sh},
    {qx::format::tp18_names.sv, FileSelector::sv_tp18},
    {qx::format::tp18_names.sh, FileSelector::sh_tp18},
    {qx::format::tp19_names.sv, FileSelector::sv_tp19},
    {qx::format::tp19_names.sh, FileSelector::sh_tp19},
};

struct FieldName {
  std::string_view text;
  MapField field;
};
constexpr FieldName field_names[] = {
    {"quantity", MapField::quantity}, {"nc2", MapField::nc2},           {"nc3", MapField::nc3},
    {"node", MapField::node},         {"element", MapField::element},   {"abscissa", MapField::abscissa},
    {"record", MapField::record},     {"component", MapField::component},
};

// The columns: the seven that every map has, the selectors nc2..nc6 that a
// map may add, and a comment column that is not read.
enum Column { c_file, c_kind, c_nc1, c_field, c_value, c_name, c_unit, c_nc2, c_nc3, c_nc4, c_nc5, c_nc6, c_comment, c_count };
constexpr std::string_view column_names[c_count] = {"file", "kind", "nc1", "field", "value", "name",   "unit",
                                                    "nc2",  "nc3",  "nc4", "nc5",   "nc6",   "comment"};
constexpr int required_columns = c_unit + 1;

// The texts of the first `count` rows of a table joined by ", ", each text
// once (the SV and SH files both have a SPRING record), for the messages
// that list what a cell may hold.
template <typename T, std::size_t N, typename Text>
std::string joined(const T (&table)[N], Text text, std::size_t count = N) {
  std::vector<std::string_view> listed;
  std::string s;
  for (std::size_t i = 0; i < count && i < N; ++i) {
    const std::string_view one = text(table[i]);
    if (std::find(listed.begin(), listed.end(), one) != listed.end()) continue;
    listed.push_back(one);
    if (!s.empty()) s += ", ";
    s += one;
  }
  return s;
}

constexpr std::string_view as_is(std::string_view s) { return s; }

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
         });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The cells of one line of CSV: separated by commas, a cell in double quotes
// may hold commas and doubled quotes. Blanks around a cell are not part of
// it. False, with `why`, for a quote that does not close on the line or text
// after a closing quote.
bool split_cells(std::string_view line, std::vector<std::string>& cells, std::string& why) {
  cells.clear();
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::string cell;
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) {
          why = "a quoted cell does not end on its line";
          return false;
        }
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            cell += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        cell += line[i];
      }
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      if (i < line.size() && line[i] != ',') {
        why = "text after the closing quote of cell " + std::to_string(cells.size() + 1);
        return false;
      }
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      cell = trimmed(line.substr(i, comma - i));
      i = comma;
    }
    cells.push_back(std::move(cell));
    if (i >= line.size()) return true;
    ++i;  // the comma
  }
}

// Text that a name may hold: printable, UTF-8 or ASCII, no control characters.
bool printable(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool parse_int(std::string_view s, std::int32_t& v) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size();
}

bool parse_real(std::string_view s, double& v) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size() && std::isfinite(v);
}

// "*", a code, or a range "lo..hi" (or "lo-hi" of codes that are not
// negative).
bool parse_range(std::string_view s, CodeRange& r) {
  if (s == "*") return (r = CodeRange{}), true;
  std::size_t dots = s.find("..");
  std::size_t sep = dots, after = dots + 2;
  if (dots == std::string_view::npos) {
    sep = s.find('-', 1);
    after = sep + 1;
  }
  if (sep == std::string_view::npos) return parse_int(s, r.lo) && ((r.hi = r.lo), true);
  return parse_int(s.substr(0, sep), r.lo) && parse_int(s.substr(after), r.hi) && r.lo <= r.hi;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> w;
  for (std::size_t i = 0; i < s.size();) {
    while (i < s.size() && (s[i] == ' ' || s[i] == ';' || s[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != ';' && s[i] != '\t') ++i;
    if (i > start) w.push_back(s.substr(start, i - start));
  }
  return w;
}

// An abscissa's values: empty (the row names the abscissa only), a list of
// numbers, "step FIRST STEP" or "log FIRST LAST".
std::string parse_rule(std::string_view s, AbscissaRule& rule) {
  const std::vector<std::string_view> w = words(s);
  rule = {};
  if (w.empty()) return {};
  if (same_letters(w[0], "step") || same_letters(w[0], "log")) {
    const bool log = same_letters(w[0], "log");
    if (w.size() != 3 || !parse_real(w[1], rule.first) || !parse_real(w[2], rule.second))
      return log ? "'log' takes the first and the last value: log FIRST LAST"
                 : "'step' takes the first value and the step: step FIRST STEP";
    if (log && !(rule.first > 0 && rule.second > 0 && rule.first != rule.second))
      return "'log' needs two different positive values";
    if (!log && rule.second == 0) return "'step' needs a step other than 0";
    rule.form = log ? AbscissaRule::Form::log : AbscissaRule::Form::step;
    return {};
  }
  for (std::string_view n : w) {
    double v = 0;
    if (!parse_real(n, v))
      return "the abscissa '" + std::string(n) + "' is not a number (a list of numbers, step FIRST STEP or log FIRST LAST)";
    rule.list.push_back(v);
  }
  rule.form = AbscissaRule::Form::list;
  return {};
}

bool is_element_kind(std::string_view name) {
  const auto& kinds = qx::format::element_records;
  return std::any_of(std::begin(kinds), std::end(kinds),
                     [&](const qx::format::ElementRecord& r) { return r.name() == name; });
}

template <typename T, std::size_t N, typename Out>
bool lookup(const T (&table)[N], std::string_view text, Out T::*member, Out& out) {
  for (const T& t : table)
    if (same_letters(t.text, text)) return (out = t.*member), true;
  return false;
}

// The key and payload of a row, by its field; empty, or what is wrong.
std::string parse_statement(std::string_view value, MapRow& r) {
  const bool maxima = r.kind == qx::format::maxima_word;
  const bool needs_name = r.field != MapField::node && r.field != MapField::element;
  const std::string field(field_names[static_cast<int>(r.field)].text);
  if (needs_name && r.name.empty()) return "the field " + field + " needs a name";
  const bool takes_unit = r.field == MapField::quantity || r.field == MapField::abscissa ||
                          r.field == MapField::record || r.field == MapField::component;
  if (!takes_unit && !r.unit.empty()) return "the field " + field + " takes no unit";
  switch (r.field) {
    case MapField::quantity:
      if (!value.empty()) return "a quantity row has no value: its selectors say which blocks it names";
      return {};
    case MapField::nc2:
    case MapField::nc3:
      if (!parse_int(value, r.code)) return "the value of an nc2 or nc3 row is the code it names, not '" + std::string(value) + "'";
      return {};
    case MapField::node:
    case MapField::element: {
      int s = 0;
      constexpr int slots = static_cast<int>(std::size(slot_names));
      while (s < slots && !same_letters(slot_names[s], value)) ++s;
      if (s == slots) return "the value of a node or element row is nc4, nc5, nc6, ia1 or ia2, not '" + std::string(value) + "'";
      r.slot = static_cast<PlaceSlot>(s);
      const bool id = r.slot == PlaceSlot::ia1 || r.slot == PlaceSlot::ia2;
      if (id != maxima) return id ? "ia1 and ia2 are the identifiers of maxima items: the kind is MAXR"
                                  : "a maxima block (MAXR) holds its node or element numbers in ia1 or ia2";
      if (r.field == MapField::node && !r.name.empty()) return "the field node takes no name (an element row may name its element kind)";
      if (r.field == MapField::element && !r.name.empty() && !is_element_kind(r.name))
        return "'" + r.name + "' is no element kind of a model section (" +
               joined(qx::format::element_records, [](const qx::format::ElementRecord& e) { return e.name(); }) + ")";
      return {};
    }
    case MapField::abscissa:
      if (maxima) return "a maxima block has no abscissa";
      return parse_rule(value, r.rule);
    case MapField::record: {
      std::int32_t k = 0;
      if (maxima) return "a maxima block has components, not records";
      if (!parse_int(value, k) || k < 1 || k > 16) return "the value of a record row is the record's number, 1 for the first";
      r.record = k;
      return {};
    }
    case MapField::component: {
      if (!maxima) return "components are those of maxima blocks: the kind is MAXR";
      const std::size_t dot = value.find('.');
      std::int32_t d = 0, m = 0;
      if (!parse_int(value.substr(0, dot), d) || d < 1 || d > 99 ||
          (dot != std::string_view::npos && (!parse_int(value.substr(dot + 1), m) || m < 1 || m > 2)))
        return "the value of a component row is its number d, or d.1 or d.2 for one value of its pair";
      r.component = d;
      r.member = m;
      return {};
    }
  }
  return {};
}

bool same_key(const MapRow& a, const MapRow& b) {
  if (a.field != b.field) return false;
  switch (a.field) {
    case MapField::nc2:
    case MapField::nc3: return a.code == b.code;
    case MapField::node:
    case MapField::element: return a.slot == b.slot;
    case MapField::record: return a.record == b.record;
    case MapField::component: return a.component == b.component && a.member == b.member;
    case MapField::abscissa: return (a.rule.form == AbscissaRule::Form::none) == (b.rule.form == AbscissaRule::Form::none);
    default: return true;
  }
}

bool is_place(const MapRow& r) { return r.field == MapField::node || r.field == MapField::element; }
bool is_code_slot(PlaceSlot s) { return s != PlaceSlot::ia1 && s != PlaceSlot::ia2; }

// Every file that selector `b` picks, `a` picks too.
bool file_covers(FileSelector a, FileSelector b) {
  if (a == FileSelector::any || a == b) return true;
  if (a == FileSelector::sv) return b == FileSelector::sv_tp18 || b == FileSelector::sv_tp19;
  if (a == FileSelector::sh) return b == FileSelector::sh_tp18 || b == FileSelector::sh_tp19;
  return false;
}

// Row `a` states the same as `b` for every block that `b` picks. An
// ordinary block has one place: the first row for any of nc4..nc6.
bool shadows(const MapRow& a, const MapRow& b) {
  const bool places =
      is_place(a) && is_place(b) && (a.slot == b.slot || (is_code_slot(a.slot) && is_code_slot(b.slot)));
  if (!places && !same_key(a, b)) return false;
  if (!file_covers(a.file, b.file)) return false;
  if (a.kind.empty() ? b.kind == qx::format::maxima_word : a.kind != b.kind) return false;
  for (std::size_t i = 0; i < 6; ++i)
    if (!a.nc[i].covers(b.nc[i])) return false;
  return true;
}

}  // namespace

bool CodeMap::read(const std::string& path, std::string& problem) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) {
    problem = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[1 << 14];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0;) {
    text.append(buffer, n);
    if (text.size() > largest_map_bytes) {
      problem = "is larger than 1 MiB: no code map is that long";
      return false;
    }
  }
  if (std::ferror(f.get())) {
    problem = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  return parse(text, problem);
}

bool CodeMap::parse(std::string_view text, std::string& problem) {
  rows_.clear();
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // the byte order mark of spreadsheets
  int columns[c_count];
  std::fill(std::begin(columns), std::end(columns), -1);
  bool header = false;
  std::vector<std::string> cells;
  std::string why;
  const auto refuse = [&](int line, const std::string& what) {
    problem = line > 0 ? "line " + std::to_string(line) + ": " + what : what;
    rows_.clear();
    return false;
  };
  int line = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view l = text.substr(at, end - at);
    at = end + 1;
    ++line;
    if (l.ends_with('\r')) l.remove_suffix(1);
    if (trimmed(l).empty() || trimmed(l).starts_with('#')) continue;
    if (!split_cells(l, cells, why)) return refuse(line, why);
    if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); })) continue;
    if (!header) {
      header = true;
      if (cells.size() == 1 && cells[0].find(';') != std::string::npos)
        return refuse(line, "the header is not separated by commas (a spreadsheet set to semicolons?)");
      for (std::size_t c = 0; c < cells.size(); ++c) {
        int k = 0;
        while (k < c_count && !same_letters(column_names[k], cells[c])) ++k;
        if (k == c_count)
          return refuse(line, "'" + cells[c] + "' is no column of a code map (" +
                                  joined(column_names, as_is, required_columns) + "; " +
                                  std::string(column_names[c_nc2]) + " to " + std::string(column_names[c_nc6]) +
                                  " and " + std::string(column_names[c_comment]) + " may be added)");
        if (columns[k] >= 0) return refuse(line, "the column '" + cells[c] + "' is named twice");
        columns[k] = static_cast<int>(c);
      }
      for (int k = 0; k < required_columns; ++k)
        if (columns[k] < 0) return refuse(line, "the header has no column '" + std::string(column_names[k]) + "'");
      continue;
    }
    std::size_t width = 0;
    for (int k = 0; k < c_count; ++k) width = std::max<std::size_t>(width, columns[k] + 1);
    if (cells.size() < width)
      return refuse(line, std::to_string(cells.size()) + " cells where the header names " + std::to_string(width));
    const auto cell = [&](Column k) -> const std::string& { return cells[static_cast<std::size_t>(columns[k])]; };
    for (const std::string& c : cells)
      if (!printable(c)) return refuse(line, "a cell holds a control character");
    MapRow r;
    r.line = line;
    if (!lookup(file_selectors, cell(c_file), &Selector::file, r.file))
      return refuse(line, "the file '" + cell(c_file) + "' is none of " +
                              joined(file_selectors, [](const Selector& f) { return f.text; }));
    const std::string& kind = cell(c_kind);
    if (kind.empty() || kind.size() > 4 || kind.find(' ') != std::string::npos)
      return refuse(line, "the kind is a kind word of up to 4 characters (WAVE, FOUR, AMPL, SPEC, MAXR) or *");
    if (kind != "*") r.kind = kind;
    for (Column k : {c_nc1, c_nc2, c_nc3, c_nc4, c_nc5, c_nc6}) {
      const int i = k == c_nc1 ? 0 : k - c_nc2 + 1;
      if (columns[k] < 0) continue;
      if (!parse_range(cell(k), r.nc[i]))
        return refuse(line, "the selector " + std::string(column_names[k]) + " '" + cell(k) +
                                "' is none of * (any), a code (104) or a range (101..112)");
    }
    if (!lookup(field_names, cell(c_field), &FieldName::field, r.field))
      return refuse(line, "the field '" + cell(c_field) + "' is none of " +
                              joined(field_names, [](const FieldName& f) { return f.text; }));
    r.name = cell(c_name);
    r.unit = cell(c_unit);
    if (const std::string wrong = parse_statement(cell(c_value), r); !wrong.empty()) return refuse(line, wrong);
    for (const MapRow& earlier : rows_)
      if (shadows(earlier, r))
        return refuse(line, "this row never applies: line " + std::to_string(earlier.line) +
                                " states the same for every block it picks (put the narrower row first)");
    rows_.push_back(std::move(r));
  }
  if (!header) return refuse(line, "the map is empty: it needs a header row (file,kind,nc1,field,value,name,unit)");
  return true;
}

}  // namespace qxdump
