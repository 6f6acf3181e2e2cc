#include "model_section.hpp"

#include <array>
#include <string>

namespace qxdump {

namespace {

using Counts = std::array<std::int32_t, 10>;

// Element records of the model section in file order: the count slot that
// gives the number of rows, whether a density per element follows the rows,
// and the variants that hold the record. Every row is five int4 values.
struct ElementKind {
  std::string_view head;
  int slot;  // 1-based slot of the counts record
  bool densities;
  bool sv, sh;
};

constexpr ElementKind element_kinds[] = {
    {"SOLID", 1, true, true, true},
    {"BEAM", 2, false, true, false},
    {"SPRING", 3, false, true, false},
    {"ROTATE", 3, false, true, false},  // the springs again, as rotational springs
    {"WATER", 5, false, true, false},
    {"WATERB", 6, false, true, false},
    {"SHELL", 7, false, true, false},
    {"RIGID", 8, false, true, false},
    {"JOINT", 10, false, true, false},  // joints come before voids
    {"VOID", 9, false, true, false},
    {"SPRING", 3, false, false, true},  // SH: beams, springs and rigid links merged
};

constexpr std::size_t title_words = 18;
constexpr std::uint64_t row_words = 5;

std::uint64_t positive(std::int32_t n) { return n > 0 ? static_cast<std::uint64_t>(n) : 0; }

// The SH counts hold only slots 1 and 3; the SV counts repeat slot 3 in slot
// 4. When every slot but the first is 0 both variants have the same records.
Side side_from_counts(const Counts& c) {
  for (std::size_t i = 1; i < c.size(); ++i)
    if (i != 2 && c[i] != 0) return Side::sv;
  return c[2] > 0 ? Side::sh : Side::either;
}

std::string list(const std::int32_t* v, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += (i ? "," : "") + std::to_string(v[i]);
  return s;
}

// The title as stored: 18 int4 words, each holding four characters with the
// first one in its lowest-addressed byte once read in the file's byte order.
std::string title_of(const Record& r) {
  std::string t;
  for (std::size_t w = 0; w < title_words; ++w) {
    const auto v = static_cast<std::uint32_t>(r.i4(4 * w));
    for (int b = 0; b < 4; ++b) t += static_cast<char>((v >> (8 * b)) & 0xFFu);
  }
  return t;
}

enum class Next : std::uint8_t { got, missing, stop };

// The file ends before the model section does: a conversion that stopped
// while writing it, whose file is not to be taken for a whole one.
WalkStatus cut_in_model_section(WalkContext& ctx, std::string_view what) {
  ctx.problem = "incomplete converted file: it ends at offset " + std::to_string(ctx.cursor.offset()) +
                " inside its model section, which lacks its " + std::string(what);
  return WalkStatus::cut;
}

// Reads the next record of the model section. A record that opens a result
// block means the section ends before this one: noted and left unread.
Next next_model_record(WalkContext& ctx, std::string_view what, Record& r, WalkStatus& status) {
  const RecordCursor::Step s = ctx.next(r);
  if (s == RecordCursor::Step::fault) {
    status = WalkStatus::fault;
    return Next::stop;
  }
  if (s == RecordCursor::Step::end) {
    status = cut_in_model_section(ctx, std::string(what) + " record");
    return Next::stop;
  }
  if (is_block_header(r, ctx.info.kind, ctx.info.family)) {
    ctx.cursor.back();
    ctx.printer.note("the model section lacks its " + std::string(what) + " record: a result block begins at @" +
                     std::to_string(r.offset));
    ++ctx.totals.notes;
    return Next::missing;
  }
  return Next::got;
}

void check_length(ModelRecordReport& m, std::uint64_t expected) {
  if (m.record.length != expected)
    m.notes.push_back("length " + std::to_string(m.record.length) + " where the counts give " +
                      std::to_string(expected));
}

void print(WalkContext& ctx, const ModelRecordReport& m) {
  ctx.totals.notes += m.notes.size();
  ctx.printer.model_record(m);
}

}  // namespace

WalkStatus walk_model_section(WalkContext& ctx) {
  WalkStatus status = WalkStatus::ok;
  Record r;
  const RecordCursor::Step first = ctx.next(r);
  if (first == RecordCursor::Step::fault) return WalkStatus::fault;
  if (first == RecordCursor::Step::end) return cut_in_model_section(ctx, "counts record");

  const std::int32_t ndpt = r.i4(72);
  Counts counts{};
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = r.i4(76 + 4 * i);

  const Side evidence = side_from_counts(counts);
  std::string how = "by its name";
  std::vector<std::string> side_notes;
  if (!ctx.info.side_from_name) {
    ctx.info.side = evidence;
    how = evidence == Side::either ? "SV and SH sections have the same records here" : "by its counts";
  } else if (evidence != Side::either && evidence != ctx.info.side) {
    side_notes.push_back("the name says " + std::string(side_text(ctx.info.side)) + ", the counts say " +
                         std::string(side_text(evidence)));
    ctx.info.side = evidence;
    how = "by its counts";
  }
  const bool sh = ctx.info.side == Side::sh;
  ctx.printer.model_line(ctx.info.side, how);

  ModelRecordReport m;
  m.name = "counts";
  m.fields = "title=\"" + printable_text(title_of(r)) + "\" ndpt=" + std::to_string(ndpt) +
             (sh ? " nelmh=" : " nelm=") + list(counts.data(), counts.size());
  m.notes = side_notes;
  if (ctx.info.side == Side::sv && counts[3] != counts[2])
    m.notes.push_back("slot 4 (rotational springs) is " + std::to_string(counts[3]) + ", slot 3 (springs) " +
                      std::to_string(counts[2]));
  ctx.entry(r, "counts", false, 0, m.record);
  print(ctx, m);

  // Boundary lists: keyb(3), nbound(3), then the lists they size.
  Next n = next_model_record(ctx, "boundary", r, status);
  if (n != Next::got) return status;
  std::int32_t bound[6];
  for (std::size_t i = 0; i < 6; ++i) bound[i] = r.i4(4 * i);
  m = {};
  m.name = "bound";
  m.fields = "keyb=" + list(bound, 3) + " nbound=" + list(bound + 3, 3);
  if (!ctx.entry(r, "bound", true, r.words(), m.record)) return WalkStatus::fault;
  check_length(m, 24 + 4 * (2 * positive(bound[3]) + 2 * positive(bound[4]) + positive(bound[5])));
  print(ctx, m);

  // Nodes: numbers, then x, then z.
  n = next_model_record(ctx, "node", r, status);
  if (n != Next::got) return status;
  m = {};
  m.name = "nodes";
  m.fields = "count=" + std::to_string(ndpt);
  if (!ctx.entry(r, "nodes", true, positive(ndpt), m.record)) return WalkStatus::fault;
  check_length(m, 12 * positive(ndpt));
  print(ctx, m);

  for (const ElementKind& k : element_kinds) {
    if (!(sh ? k.sh : k.sv)) continue;
    const std::int32_t count = counts[static_cast<std::size_t>(k.slot - 1)];
    if (count <= 0) continue;
    n = next_model_record(ctx, k.head, r, status);
    if (n != Next::got) return status;
    const std::uint64_t rows = positive(count);
    m = {};
    m.name = k.head;
    m.fields = "count=" + std::to_string(r.i4(0));
    if (r.i4(0) != count)
      m.notes.push_back("the record holds count " + std::to_string(r.i4(0)) + ", the counts record " +
                        std::to_string(count));
    if (!ctx.entry(r, k.head, true, 1 + row_words * rows, m.record)) return WalkStatus::fault;
    check_length(m, 4 + 4 * rows * (row_words + (k.densities ? 1 : 0)));
    print(ctx, m);
  }
  return WalkStatus::ok;
}

}  // namespace qxdump
