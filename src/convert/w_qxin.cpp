#include "convert/w_qxin.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "format/model_section.hpp"
#include "io/layout.hpp"
#include "io/real4_lines.hpp"
#include "io/status.hpp"
#include "io/trim_right.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"
#include "run/status_report.hpp"

namespace qx {
namespace {

using format::ElementRecord;
using IntArray = std::vector<int4> ComValTp18::*;

// Five store arrays (element number and four nodes) filling the five columns
// of a run of rows; nullptr is a column of zeros. The run is as long as its
// element number array.
using RowGroup = std::array<IntArray, format::element_row_words>;

// The store arrays behind an element record: its rows, group after group.
struct RowSource {
  std::string_view head;  // of the record, as the format names it
  std::array<RowGroup, 3> groups{};
  std::size_t n_groups = 0;
  constexpr std::span<const RowGroup> rows() const { return {groups.data(), n_groups}; }
};

constexpr RowSource rows(std::string_view head, std::initializer_list<RowGroup> groups) {
  RowSource r;
  r.head = head;
  for (const RowGroup& g : groups) r.groups[r.n_groups++] = g;
  return r;
}

// One entry per element record of the model section, in the order of
// format::element_records. The joints are the JOINTA rows then the JOINTB
// rows; the SH springs are the beams, the springs and the rigid elements.
using V = ComValTp18;
constexpr RowSource row_sources[] = {
    rows("SOLID   ", {{&V::nsolels, &V::npi_so, &V::npj_so, &V::npk_so, &V::npl_so}}),
    rows("BEAM    ", {{&V::nbeaels, &V::npi_bm, nullptr, &V::npj_bm, nullptr}}),
    rows("SPRING  ", {{&V::nsprels, &V::npi_sp, nullptr, &V::npj_sp, nullptr}}),
    rows("ROTATE  ", {{&V::nsprels, nullptr, &V::npi_sp, nullptr, &V::npj_sp}}),
    rows("WATER   ", {{&V::nwatels, &V::npi_wt, &V::npj_wt, &V::npk_wt, &V::npl_wt}}),
    rows("WATERB  ", {{&V::nwsiels, &V::npi_wb, &V::npj_wb, &V::npk_wb, &V::npl_wb}}),
    rows("SHELL   ", {{&V::nstsels, &V::npi_sl, &V::npj_sl, &V::npk_sl, &V::npl_sl}}),
    rows("RIGID   ", {{&V::nrigels, &V::npi_rb, nullptr, &V::npj_rb, nullptr}}),
    rows("JOINT   ", {{&V::njonas, &V::npi_ja, &V::npj_ja, &V::npk_ja, &V::npl_ja},
                      {&V::njonbs, &V::npi_jb, &V::npj_jb, &V::npk_jb, &V::npl_jb}}),
    rows("VOID    ", {{&V::nvoids, &V::npi_vo, &V::npj_vo, &V::npk_vo, &V::npl_vo}}),
    rows("SPRING  ", {{&V::nbeaels, &V::npi_bm, nullptr, &V::npj_bm, nullptr},
                      {&V::nsprels, &V::npi_sp, nullptr, &V::npj_sp, nullptr},
                      {&V::nrigels, &V::npi_rb, nullptr, &V::npj_rb, nullptr}}),
};

// Every record has its store arrays, and they fill exactly the columns that
// the format gives a value.
constexpr bool rows_fill_the_records() {
  if (std::size(row_sources) != std::size(format::element_records)) return false;
  for (std::size_t k = 0; k < std::size(row_sources); ++k) {
    if (row_sources[k].head != format::element_records[k].head) return false;
    for (const RowGroup& g : row_sources[k].rows())
      for (std::size_t c = 0; c < g.size(); ++c)
        if ((g[c] == nullptr) != (format::element_records[k].columns[c] == format::Column::unused)) return false;
  }
  return true;
}
static_assert(rows_fill_the_records(), "the store arrays of an element record disagree with its head or its columns");

using format::Counts;

// Entries of an array beyond what it holds are zero.
template <typename T>
T entry(const std::vector<T>& a, std::size_t i) {
  return i < a.size() ? a[i] : T{};
}

// The first n entries of an array, padded with zeros when it holds fewer
// (the copy is made only then).
template <typename T>
std::span<const T> first_n(const std::vector<T>& a, std::size_t n, std::vector<T>& padded) {
  if (a.size() >= n) return std::span<const T>(a.data(), n);
  padded.assign(n, T{});
  std::copy(a.begin(), a.end(), padded.begin());
  return padded;
}

constexpr std::uint64_t max_payload = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

class ModelWriter {
 public:
  ModelWriter(Run& run, const ResultFile& file, const Counts& nelmh)
      : run_(run), v_(run.val), file_(file), nelmh_(nelmh), text_(run.val.stru == 1) {}

  void write() {
    header();
    boundary();
    nodes();
    for (std::size_t k = 0; k < std::size(format::element_records); ++k)
      elements(format::element_records[k], row_sources[k]);
    // Buffered output shows a failure only when it reaches the file.
    binary_done(run_.ch.flush(file_.sv.unit), file_.sv.unit);
    binary_done(run_.ch.flush(file_.sh.unit), file_.sh.unit);
    if (text_) {
      text_done(run_.ch.flush(file_.svt.unit), file_.svt.unit);
      text_done(run_.ch.flush(file_.sht.unit), file_.sht.unit);
    }
  }

  // The first failed binary write, else the first failed text write, else 0.
  int status() const { return binary_status_ != 0 ? binary_status_ : text_status_; }
  // The channel of that write.
  int failed_unit() const { return binary_status_ != 0 ? binary_unit_ : text_unit_; }

 private:
  void binary_done(int st, int unit) {
    if (binary_status_ != 0) return;
    binary_status_ = st;
    binary_unit_ = unit;
  }
  void text_done(int st, int unit) {
    if (text_status_ != 0) return;
    text_status_ = st;
    text_unit_ = unit;
  }
  void record(int unit, std::span<const OutItem> items) { binary_done(run_.ch.write_record(unit, items), unit); }
  void record(int unit, std::initializer_list<OutItem> items) {
    record(unit, std::span(items.begin(), items.size()));
  }
  void text(int unit, const Layout& layout, std::span<const OutItem> items) {
    text_done(run_.ch.write_text(unit, layout, items), unit);
  }
  void text(int unit, const Layout& layout, std::initializer_list<OutItem> items) {
    text(unit, layout, std::span(items.begin(), items.size()));
  }
  // A text block that goes alike to both twins.
  template <typename Block>
  void both_twins(Block block) {
    if (!text_) return;
    block(file_.svt.unit);
    block(file_.sht.unit);
  }

  // Record 1: the title as 18 int4 words, the node count and the ten counts.
  void header() {
    static_assert(sizeof(v_.title) == format::title_chars);
    static_assert(4 * (format::title_words + 1 + std::tuple_size_v<Counts>) == format::model_counts_bytes);
    const std::array<int4, format::title_words> words = format::pack_title(v_.title);
    record(file_.sv.unit, {out(std::span<const int4>(words)), out(v_.ndpt), out(std::span<const int4>(v_.nelm))});
    record(file_.sh.unit, {out(std::span<const int4>(words)), out(v_.ndpt), out(std::span<const int4>(nelmh_))});
    if (!text_) return;
    header_text(file_.svt.unit, v_.nelm);
    header_text(file_.sht.unit, nelmh_);
  }

  void header_text(int unit, const Counts& counts) {
    static const Layout title_line("(A8,18A4)");
    static const Layout count_lines(R"x((2X,A6," =",I8))x");
    text(unit, title_line, {out_text("TITLE   "), out_texts(std::string_view(v_.title.data(), v_.title.size()), 4)});
    std::array<OutItem, 22> items;
    items[0] = out_text("NDPT  ");
    items[1] = out(v_.ndpt);
    for (std::size_t s = 0; s < counts.size(); ++s) {
      items[2 + 2 * s] = out_text(format::count_names[s]);
      items[3 + 2 * s] = out(counts[s]);
    }
    text(unit, count_lines, items);
  }

  // Record 2: keys, counts and the five boundary node lists; entries that no
  // list section gave are zero.
  void boundary() {
    // The store columns of the lists, in the order of format::boundary_lists.
    constexpr std::size_t n_lists = std::size(format::boundary_lists);
    const std::array<const std::vector<int4>*, n_lists> columns = {&v_.lcor[0], &v_.lcor[1], &v_.ncor[0],
                                                                   &v_.ncor[1], &v_.nbase};
    const auto list_length = [&](std::size_t k) {
      return length(v_.nbound[static_cast<std::size_t>(format::boundary_lists[k].count)]);
    };
    std::uint64_t total = format::boundary_head_words;
    for (std::size_t k = 0; k < n_lists; ++k) total += list_length(k);
    if (4 * total > max_payload) {
      binary_done(iostat::write_failed, file_.sv.unit);  // more than one record can hold
      return;
    }
    std::vector<int4> rec;
    rec.reserve(total);
    rec.insert(rec.end(), v_.keyb.begin(), v_.keyb.end());
    rec.insert(rec.end(), v_.nbound.begin(), v_.nbound.end());
    std::array<std::span<const int4>, n_lists> spans;
    std::array<std::size_t, n_lists> starts;
    for (std::size_t k = 0; k < n_lists; ++k) {
      const std::size_t n = list_length(k);
      starts[k] = rec.size();
      for (std::size_t i = 0; i < n; ++i) rec.push_back(entry(*columns[k], i));
      spans[k] = std::span<const int4>(rec.data() + starts[k], n);
    }
    const std::span<const int4> whole(rec);
    record(file_.sv.unit, {out(whole)});
    record(file_.sh.unit, {out(whole)});

    static const Layout bound_line("(A8,6I8)");
    static const Layout list_head("(A8,11I8)");
    static const Layout list_lines("(8X,11I8)");
    both_twins([&](int unit) {
      text(unit, bound_line, {out_text("BOUND   "), out(std::span<const int4>(v_.keyb)),
                              out(std::span<const int4>(v_.nbound))});
      for (std::size_t k = 0; k < n_lists; ++k) {
        const format::BoundaryList& list = format::boundary_lists[k];
        text(unit, list_head, {out_text(list.head), out(v_.nbound[static_cast<std::size_t>(list.count)])});
        // An empty list still gives its one (empty) line.
        if (spans[k].empty()) text(unit, list_lines, std::span<const OutItem>{});
        else text(unit, list_lines, {out(spans[k])});
      }
    });
  }

  // Record 3: node numbers, then x, then z.
  void nodes() {
    const std::size_t n = length(v_.ndpt);
    if (4 * format::node_words * std::uint64_t{n} > max_payload) {
      binary_done(iostat::write_failed, file_.sv.unit);
      return;
    }
    std::vector<int4> pad_numbers;
    std::vector<real4> pad_x, pad_z;
    const std::span<const int4> numbers = first_n(v_.ndpts, n, pad_numbers);
    const std::span<const real4> x = first_n(v_.xord, n, pad_x), z = first_n(v_.zord, n, pad_z);
    record(file_.sv.unit, {out(numbers), out(x), out(z)});
    record(file_.sh.unit, {out(numbers), out(x), out(z)});

    static const Layout head_line("(A8,I8)");
    static const Layout node_line("(I8,2F16.4)");
    both_twins([&](int unit) {
      text(unit, head_line, {out_text("NODE    "), out(v_.ndpt)});
      if (n == 0) text(unit, node_line, std::span<const OutItem>{});
      for (std::size_t i = 0; i < n; ++i) text(unit, node_line, {out(numbers[i]), out(x[i]), out(z[i])});
    });
  }

  // One element record: the count, then five columns per row, row by row
  // (the solids then their densities); nothing when the count is not positive.
  void elements(const ElementRecord& kind, const RowSource& source) {
    const int4 count = (kind.sv ? v_.nelm : nelmh_)[static_cast<std::size_t>(kind.slot - 1)];
    if (count <= 0) return;
    const auto n = static_cast<std::size_t>(count);
    if (format::element_record_bytes(kind, n) > max_payload) {
      // The record is refused by the first file it is written to.
      binary_done(iostat::write_failed, kind.sv ? file_.sv.unit : file_.sh.unit);
      return;
    }
    constexpr std::size_t row_words = format::element_row_words;
    std::vector<int4> rec(1 + row_words * n, 0);
    rec[0] = count;
    std::size_t row = 0;
    for (const RowGroup& group : source.rows()) {
      const std::size_t rows = std::min((v_.*group[0]).size(), n - row);
      for (std::size_t c = 0; c < group.size(); ++c) {
        if (!group[c]) continue;  // a column of zeros
        const std::vector<int4>& column = v_.*group[c];
        for (std::size_t i = 0; i < rows; ++i) rec[1 + row_words * (row + i) + c] = entry(column, i);
      }
      row += rows;
    }
    std::vector<real4> pad;
    const std::span<const real4> densities = kind.densities ? first_n(v_.den_so, n, pad) : std::span<const real4>{};
    const std::span<const int4> whole(rec);
    if (kind.sv) record(file_.sv.unit, {out(whole), out(densities)});
    if (kind.sh) record(file_.sh.unit, {out(whole), out(densities)});

    if (!text_) return;
    static const Layout head_line("(A8,I8)");
    static const Layout row_lines("(5I8)");
    for (int unit : {file_.svt.unit, file_.sht.unit}) {
      if (!(unit == file_.svt.unit ? kind.sv : kind.sh)) continue;
      text(unit, head_line, {out_text(kind.head), out(count)});
      text(unit, row_lines, {out(whole.subspan(1))});
      // (1P,8E10.3)
      if (kind.densities) text_done(run_.ch.write_text(unit, Real4Lines(Real4Exp::e10_3, 8, densities)), unit);
    }
  }

  static std::size_t length(int4 count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

  Run& run_;
  ComValTp18& v_;
  const ResultFile& file_;  // the model section goes to its sv, sh, svt and sht
  const Counts& nelmh_;
  const bool text_;
  int binary_status_ = 0;
  int text_status_ = 0;
  int binary_unit_ = 0;
  int text_unit_ = 0;
};

}  // namespace

void w_qxin(Run& run, std::string_view c, int& ier) {
  ier = 0;
  const ResultFile* file = result_file_of(trim_right(c));
  if (!file) {
    ier = 1;
    return;
  }

  ComValTp18& v = run.val;
  v.nelm = format::sv_counts(v.nelm);
  std::memcpy(v.title.data() + format::title_chars - format::title_mark.size(), format::title_mark.data(),
              format::title_mark.size());
  // The SH model merges beams, springs and rigid elements into one spring
  // kind; the sum is taken in 64 bits and held at the int4 limits.
  const Counts nelmh = format::sh_counts(v.nelm);

  ModelWriter writer(run, *file, nelmh);
  writer.write();
  ier = writer.status();
  if (ier != 0) report_status(run, error::converted_write, StatusShape::filename, "qxin", ier, writer.failed_unit());
}

}  // namespace qx
