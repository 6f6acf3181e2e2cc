#include "model/r_qxin.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/model_section.hpp"
#include "io/layout.hpp"
#include "io/os_file.hpp"
#include "io/status.hpp"
#include "io/trim_right.hpp"
#include "run/channel_numbers.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/run.hpp"
#include "run/status_report.hpp"

namespace qx {
namespace {

using IntArray = std::vector<int4> ComValTp18::*;
using RealArray = std::vector<real4> ComValTp18::*;
using ListColumn = std::vector<int4>& (*)(ComValTp18&);

enum class Form : std::uint8_t {
  title,      // the title from columns 9 to 80 of the keyword line
  bound,      // keys and boundary counts on the keyword line, no data lines
  node_list,  // node numbers from column 9 of the keyword line on, eleven to a line
  counted,    // a count on the keyword line, then that many data lines
};

// One field of a data line and the store array it goes to.
struct Field {
  IntArray ints = nullptr;    // an integer field
  RealArray reals = nullptr;  // a real field
};

// Where the count of a counted section goes.
struct CountTarget {
  int4 ComValTp18::*field = nullptr;  // ndpt, mso, nja or njb
  int nelm_slot = 0;                  // slot of nelm (1-based), 0 for none
  bool adds = false;                  // the slot sums the counts of several sections
};

struct Section {
  std::string_view keyword;
  Form form;
  CountTarget count{};
  const Layout* data = nullptr;   // layout of a data line
  bool first_80_columns = false;  // data taken from the line's first 80 columns as a text
  std::vector<Field> fields{};    // in the order of the data layout's fields
  ListColumn list = nullptr;      // node lists: the column filled
  int nbound_slot = 0;            // node lists: the slot of nbound giving the length (1-based)
};

// The slot of nbound (1-based) that gives the length of a node list, as the
// boundary record of the model section has it.
consteval int nbound_slot(std::string_view keyword) { return format::boundary_list(keyword)->count + 1; }

Field I(IntArray a) { return {a, nullptr}; }
Field F(RealArray a) { return {nullptr, a}; }

// The nineteen section keywords, in the order in which a line is compared
// with them, with their layouts and the store fields they fill.
const std::vector<Section>& sections() {
  static const Layout node_line("(I8,2F16.0)");
  static const Layout material_line("(I8,16X,F16.0)");
  static const Layout solid_line("(6I8)");
  static const Layout element_line("(5I8)");
  using V = ComValTp18;
  namespace slot = format::count_slot;
  static const std::vector<Section> table = {
      {"TITLE", Form::title},
      {"NODE", Form::counted, {&V::ndpt}, &node_line, false, {I(&V::ndpts), F(&V::xord), F(&V::zord)}},
      {"BOUND", Form::bound},
      {"BDFEML", Form::node_list, {}, nullptr, false, {},
       [](V& v) -> std::vector<int4>& { return v.lcor[0]; }, nbound_slot("BDFEML")},
      {"BDFFL", Form::node_list, {}, nullptr, false, {},
       [](V& v) -> std::vector<int4>& { return v.lcor[1]; }, nbound_slot("BDFFL")},
      {"BDFEMR", Form::node_list, {}, nullptr, false, {},
       [](V& v) -> std::vector<int4>& { return v.ncor[0]; }, nbound_slot("BDFEMR")},
      {"BDFFR", Form::node_list, {}, nullptr, false, {},
       [](V& v) -> std::vector<int4>& { return v.ncor[1]; }, nbound_slot("BDFFR")},
      {"BDBASE", Form::node_list, {}, nullptr, false, {},
       [](V& v) -> std::vector<int4>& { return v.nbase; }, nbound_slot("BDBASE")},
      {"MSOLID", Form::counted, {&V::mso}, &material_line, false, {I(&V::msolids), F(&V::densm)}},
      {"SOLID", Form::counted, {nullptr, slot::solid}, &solid_line, false,
       {I(&V::nsolels), I(&V::npi_so), I(&V::npj_so), I(&V::npk_so), I(&V::npl_so), I(&V::mat_so)}},
      // Two-node elements: the first three fields of (5I8); the rest of the line is not read.
      {"BEAM", Form::counted, {nullptr, slot::beam}, &element_line, false,
       {I(&V::nbeaels), I(&V::npi_bm), I(&V::npj_bm)}},
      {"SPRING", Form::counted, {nullptr, slot::spring}, &element_line, false,
       {I(&V::nsprels), I(&V::npi_sp), I(&V::npj_sp)}},
      {"WATER", Form::counted, {nullptr, slot::water}, &element_line, false,
       {I(&V::nwatels), I(&V::npi_wt), I(&V::npj_wt), I(&V::npk_wt), I(&V::npl_wt)}},
      {"WATERB", Form::counted, {nullptr, slot::water_boundary}, &element_line, false,
       {I(&V::nwsiels), I(&V::npi_wb), I(&V::npj_wb), I(&V::npk_wb), I(&V::npl_wb)}},
      {"SHELL", Form::counted, {nullptr, slot::shell}, &element_line, false,
       {I(&V::nstsels), I(&V::npi_sl), I(&V::npj_sl), I(&V::npk_sl), I(&V::npl_sl)}},
      {"RIGID", Form::counted, {nullptr, slot::rigid}, &element_line, false,
       {I(&V::nrigels), I(&V::npi_rb), I(&V::npj_rb)}},
      {"JOINTA", Form::counted, {&V::nja, slot::joint, true}, &element_line, true,
       {I(&V::njonas), I(&V::npi_ja), I(&V::npj_ja), I(&V::npk_ja), I(&V::npl_ja)}},
      {"JOINTB", Form::counted, {&V::njb, slot::joint, true}, &element_line, true,
       {I(&V::njonbs), I(&V::npi_jb), I(&V::npj_jb), I(&V::npk_jb), I(&V::npl_jb)}},
      {"VOID", Form::counted, {nullptr, slot::void_element}, &element_line, false,
       {I(&V::nvoids), I(&V::npi_vo), I(&V::npj_vo), I(&V::npk_vo), I(&V::npl_vo)}},
  };
  return table;
}

// A boundary count is backed by the file when the rest of it could hold the
// node list: eight columns per node number, eleven numbers on the keyword
// line itself. A larger count can never be satisfied.
bool backed_by_file(int4 count, std::uint64_t bytes_left) {
  return count <= 0 || static_cast<std::uint64_t>(count) <= bytes_left / 8 + 11;
}

// The input data file, line by line, counting the bytes taken from it.
class InputLines {
 public:
  explicit InputLines(Channels& ch) : ch_(ch) {}

  int next(std::string_view& line) {
    const int st = ch_.read_line(unit::qxin, line);
    if (st == iostat::ok) consumed_ += line.size() + 1;
    return st;
  }
  // The next line of a section, which must be there.
  int next_in_section(std::string_view& line) {
    const int st = next(line);
    return st == iostat::end_of_file ? iostat::end_of_file_in_read : st;
  }
  // Reads the line last taken again, through a layout.
  int reread(const Layout& layout, std::span<const InItem> items) {
    if (const int st = ch_.backspace(unit::qxin)) return st;
    return ch_.read_text(unit::qxin, layout, items);
  }
  int reread(const Layout& layout, std::initializer_list<InItem> items) {
    return reread(layout, std::span(items.begin(), items.size()));
  }
  std::uint64_t consumed() const { return consumed_; }

 private:
  Channels& ch_;
  std::uint64_t consumed_ = 0;
};

class QxinReader {
 public:
  explicit QxinReader(Run& run) : v_(run.val), in_(run.ch) {
    os::FileFacts facts;
    if (os::facts_of(run.ch.name(unit::qxin), true, facts) == 0 && facts.type == os::FileType::regular) {
      size_known_ = true;
      file_size_ = facts.size;
    }
  }

  // Reads the whole file; 0 at its end, otherwise the failing status.
  int read() {
    const std::vector<Section>& table = sections();
    std::vector<bool> seen(table.size(), false);
    for (;;) {
      std::string_view line;
      const int st = in_.next(line);
      if (st == iostat::end_of_file) break;
      if (st != iostat::ok) return st;
      const std::string_view head = trim_right(line.substr(0, 8));
      const auto it = std::find_if(table.begin(), table.end(), [&](const Section& s) { return s.keyword == head; });
      if (it == table.end()) continue;  // not a keyword line: passed over
      found_section_ = true;
      const std::size_t index = static_cast<std::size_t>(it - table.begin());
      // A section that creates arrays keeps its first occurrence: a second
      // one is read through its layouts as usual (so that its data lines are
      // not taken for keyword lines and a bad field is still an error) but
      // stores nothing.
      const bool store = !seen[index];
      if (it->form == Form::counted || it->form == Form::bound) seen[index] = true;
      if (const int rs = read_section(*it, line, store)) return rs;
    }
    // A file whose size was unknown at the BOUND line is checked now, against
    // what actually followed that line.
    if (!size_known_ && bound_read_ && !bound_backed(in_.consumed() - bound_at_)) return iostat::end_of_file_in_read;
    fill_densities();
    return iostat::ok;
  }

  // A keyword line was met: the file holds a model, however small.
  bool found_section() const { return found_section_; }

 private:
  int read_section(const Section& s, std::string_view line, bool store) {
    switch (s.form) {
      case Form::title: return read_title(line);
      case Form::bound: return read_bound(store);
      case Form::node_list: return read_node_list(s);
      case Form::counted: return read_counted(s, store);
    }
    return iostat::ok;
  }

  // (A8,18A4) from the line's first 80 columns; a second title replaces the first.
  int read_title(std::string_view line) {
    static const Layout layout("(A8,18A4)");
    std::array<char, 8> head;
    std::array<char, 72> title;
    const int st = read_internal(layout, {in_text(head), in_texts(title, 4)}, line.substr(0, 80));
    if (st == iostat::ok) v_.title = title;
    return st;
  }

  int read_bound(bool store) {
    static const Layout layout("(A8,6I8)");
    std::array<char, 8> head;
    std::array<int4, 6> values{};
    if (const int st = in_.reread(layout, {in_text(head), in(std::span(values))})) return st;
    if (!store) return iostat::ok;
    std::copy_n(values.begin(), 3, v_.keyb.begin());
    std::copy_n(values.begin() + 3, 3, v_.nbound.begin());
    for (auto& column : v_.lcor) column.clear();
    for (auto& column : v_.ncor) column.clear();
    v_.nbase.clear();
    bound_read_ = true;
    bound_at_ = in_.consumed();
    if (size_known_ && !bound_backed(file_size_ > bound_at_ ? file_size_ - bound_at_ : 0))
      return iostat::end_of_file_in_read;
    return iostat::ok;
  }

  bool bound_backed(std::uint64_t bytes_left) const {
    return std::all_of(v_.nbound.begin(), v_.nbound.end(), [&](int4 n) { return backed_by_file(n, bytes_left); });
  }

  // (8X,11I8) from the keyword line on, as many lines as the length needs;
  // a list given again replaces the first.
  int read_node_list(const Section& s) {
    static const Layout layout("(8X,11I8)");
    constexpr std::int64_t per_line = 11;
    std::vector<int4>& column = s.list(v_);
    column.clear();
    std::int64_t left = std::max<int4>(v_.nbound[static_cast<std::size_t>(s.nbound_slot - 1)], 0);
    std::array<int4, per_line> values;
    for (bool first = true;; first = false) {
      std::string_view line;
      if (!first)
        if (const int st = in_.next_in_section(line)) return st;
      const auto n = static_cast<std::size_t>(std::min(left, per_line));
      if (const int st = in_.reread(layout, {in(std::span(values.data(), n))})) return st;
      column.insert(column.end(), values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
      left -= static_cast<std::int64_t>(n);
      if (left <= 0) return iostat::ok;
    }
  }

  int read_counted(const Section& s, bool store) {
    static const Layout keyword_line("(A8,I8)");
    std::array<char, 8> head;
    int4 iel = 0;
    if (const int st = in_.reread(keyword_line, {in_text(head), in(iel)})) return st;
    if (store) set_count(s.count, iel);

    // One data line's values, handed to the layout as items.
    std::array<int4, 6> ints{};
    std::array<real4, 6> reals{};
    std::array<InItem, 6> items;
    for (std::size_t j = 0; j < s.fields.size(); ++j)
      items[j] = s.fields[j].ints ? in(ints[j]) : in(reals[j]);
    const std::span<const InItem> row(items.data(), s.fields.size());

    for (std::int64_t k = 0; k < iel; ++k) {
      std::string_view line;
      do {
        if (const int st = in_.next_in_section(line)) return st;
      } while (!line.empty() && (line[0] == '#' || line[0] == '+'));
      const int st = s.first_80_columns ? read_internal(*s.data, row, line.substr(0, 80)) : in_.reread(*s.data, row);
      if (st != iostat::ok) return st;
      if (!store) continue;
      for (std::size_t j = 0; j < s.fields.size(); ++j) {
        if (s.fields[j].ints) (v_.*s.fields[j].ints).push_back(ints[j]);
        else (v_.*s.fields[j].reals).push_back(reals[j]);
      }
    }
    return iostat::ok;
  }

  void set_count(const CountTarget& c, int4 iel) {
    if (c.field) v_.*c.field = iel;
    if (c.nelm_slot > 0) {
      int4& slot = v_.nelm[static_cast<std::size_t>(c.nelm_slot - 1)];
      // A sum of counts that leaves the int4 range stays at its limit.
      slot = c.adds ? saturate(std::int64_t{slot} + iel) : iel;
    }
  }

  // Each solid takes the density of the first material entry with its
  // material number; 0.0 when there is none.
  void fill_densities() {
    std::unordered_map<int4, real4> first;
    const std::size_t materials = std::min(v_.msolids.size(), v_.densm.size());
    for (std::size_t j = 0; j < materials; ++j) first.try_emplace(v_.msolids[j], v_.densm[j]);
    v_.den_so.assign(v_.mat_so.size(), 0.0f);
    for (std::size_t k = 0; k < v_.mat_so.size(); ++k)
      if (const auto found = first.find(v_.mat_so[k]); found != first.end()) v_.den_so[k] = found->second;
  }

  ComValTp18& v_;
  InputLines in_;
  bool size_known_ = false;     // the input is a regular file of file_size_ bytes
  std::uint64_t file_size_ = 0;
  bool bound_read_ = false;     // a BOUND line was stored, bound_at_ bytes into the file
  std::uint64_t bound_at_ = 0;
  bool found_section_ = false;
};

}  // namespace

void r_qxin(Run& run, int& irtn) {
  static const Layout echo(R"x((/,A," (FILE-NAME:",A,")",/))x");
  irtn = iostat::ok;
  // The status of the echo is not looked at: a list file that has failed
  // keeps failing, and its close at the end of the run reports it.
  (void)run.ch.write_text(unit::lst, echo, {out_text("READ INPUT DATA"), out_text(trim_right(run.val.inpdt_name))});

  QxinReader reader(run);
  int st = reader.read();
  if (st < 0) st = iostat::end_of_file_in_read;  // the end of the file inside a read
  if (st != iostat::ok) {
    irtn = report_status(run, error::input_data_read, StatusShape::filename, "qxin", st, unit::qxin);
    return;
  }
  // Any file reads without a fault (every line is passed over that is not a
  // keyword line), so a file that is no model at all would go unnoticed.
  if (!reader.found_section())
    tell(run, "warning: no section keyword found in " + std::string(trim_right(run.val.inpdt_name)) +
                  ": the model is empty");
}

}  // namespace qx
