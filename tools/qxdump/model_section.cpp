#include "model_section.hpp"

#include <array>
#include <string>

#include "dump_print.hpp"

namespace qxdump {

namespace {

using qx::format::Counts;
namespace slot = qx::format::count_slot;

// The SH counts hold only the solids and the merged springs; the SV counts
// repeat the springs in the slot of the rotational springs. When every slot
// but the solids' is 0 both variants have the same records.
Side side_from_counts(const Counts& c) {
  const Counts sh_only = qx::format::sh_counts(c);
  for (std::size_t i = 0; i < c.size(); ++i)
    if (i != slot::spring - 1 && c[i] != sh_only[i]) return Side::sv;
  return c[slot::spring - 1] > 0 ? Side::sh : Side::either;
}

std::string list(const std::int32_t* v, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += (i ? "," : "") + std::to_string(v[i]);
  return s;
}

// The title as stored: 18 int4 words, read in the file's byte order.
std::string title_of(const Record& r) {
  std::array<std::int32_t, title_words> words;
  for (std::size_t w = 0; w < title_words; ++w) words[w] = r.i4(4 * w);
  return qx::format::unpack_title(words);
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
    ++ctx.totals.notes;
    if (!ctx.handler.note("the model section lacks its " + std::string(what) +
                          " record: a result block begins at @" + std::to_string(r.offset))) {
      status = WalkStatus::stopped;
      return Next::stop;
    }
    return Next::missing;
  }
  return Next::got;
}

void check_length(ModelRecordReport& m, std::uint64_t expected) {
  m.fits = m.record.length == expected;
  if (!m.fits)
    m.notes.push_back("length " + std::to_string(m.record.length) + " where the counts give " +
                      std::to_string(expected));
}

bool hand_over(WalkContext& ctx, const ModelRecordReport& m) {
  ctx.totals.notes += m.notes.size();
  return ctx.handler.model_record(m, ctx.words);
}

}  // namespace

WalkStatus walk_model_section(WalkContext& ctx) {
  WalkStatus status = WalkStatus::ok;
  Record r;
  const RecordCursor::Step first = ctx.next(r);
  if (first == RecordCursor::Step::fault) return WalkStatus::fault;
  if (first == RecordCursor::Step::end) return cut_in_model_section(ctx, "counts record");

  ModelRecordReport m;
  m.part = ModelPart::counts;
  m.title = title_of(r);
  m.ndpt = r.i4(4 * title_words);
  for (std::size_t i = 0; i < m.counts.size(); ++i) m.counts[i] = r.i4(4 * (title_words + 1 + i));
  const std::int32_t ndpt = m.ndpt;
  const Counts counts = m.counts;

  const Side evidence = side_from_counts(counts);
  std::string how = "by its name";
  if (!ctx.info.side_from_name) {
    ctx.info.side = evidence;
    how = evidence == Side::either ? "SV and SH sections have the same records here" : "by its counts";
  } else if (evidence != Side::either && evidence != ctx.info.side) {
    m.notes.push_back("the name says " + std::string(side_text(ctx.info.side)) + ", the counts say " +
                      std::string(side_text(evidence)));
    ctx.info.side = evidence;
    how = "by its counts";
  }
  const bool sh = ctx.info.side == Side::sh;
  if (!ctx.handler.model_begin(ctx.info, how)) return WalkStatus::stopped;

  m.name = "counts";
  m.fields = "title=\"" + printable_text(m.title) + "\" ndpt=" + std::to_string(ndpt) + (sh ? " nelmh=" : " nelm=") +
             list(counts.data(), counts.size());
  if (ctx.info.side == Side::sv && qx::format::sv_counts(counts) != counts)
    m.notes.push_back("slot 4 (rotational springs) is " + std::to_string(counts[slot::rotational_spring - 1]) +
                      ", slot 3 (springs) " + std::to_string(counts[slot::spring - 1]));
  ctx.entry(r, "counts", false, 0, m.record);
  m.fits = m.record.length == model_counts_bytes;
  if (!hand_over(ctx, m)) return WalkStatus::stopped;

  // Boundary lists: keyb(3), nbound(3), then the lists they size.
  Next n = next_model_record(ctx, "boundary", r, status);
  if (n != Next::got) return status;
  m = {};
  m.part = ModelPart::bound;
  m.name = "bound";
  for (std::size_t i = 0; i < m.bound.size(); ++i) m.bound[i] = r.i4(4 * i);
  m.fields = "keyb=" + list(m.bound.data(), 3) + " nbound=" + list(m.bound.data() + 3, 3);
  if (!ctx.entry(r, "bound", true, r.words(), m.record)) return WalkStatus::fault;
  check_length(m, 4 * (boundary_head_words + m.boundary_list_words()));
  if (!hand_over(ctx, m)) return WalkStatus::stopped;

  // Nodes: numbers, then x, then z.
  n = next_model_record(ctx, "node", r, status);
  if (n != Next::got) return status;
  m = {};
  m.part = ModelPart::nodes;
  m.name = "nodes";
  m.fields = "count=" + std::to_string(ndpt);
  m.rows = positive(ndpt);
  if (!ctx.entry(r, "nodes", true, m.rows, m.record)) return WalkStatus::fault;
  check_length(m, 12 * m.rows);
  if (!hand_over(ctx, m)) return WalkStatus::stopped;

  for (const ElementRecord& k : qx::format::element_records) {
    if (!(sh ? k.sh : k.sv)) continue;
    const std::int32_t count = counts[static_cast<std::size_t>(k.slot - 1)];
    if (count <= 0) continue;
    n = next_model_record(ctx, k.name(), r, status);
    if (n != Next::got) return status;
    m = {};
    m.part = ModelPart::elements;
    m.element = &k;
    m.name = k.name();
    m.rows = positive(count);
    m.fields = "count=" + std::to_string(r.i4(0));
    if (r.i4(0) != count)
      m.notes.push_back("the record holds count " + std::to_string(r.i4(0)) + ", the counts record " +
                        std::to_string(count));
    if (!ctx.entry(r, k.name(), true, 1 + element_row_words * m.rows, m.record)) return WalkStatus::fault;
    check_length(m, qx::format::element_record_bytes(k, m.rows));
    if (!hand_over(ctx, m)) return WalkStatus::stopped;
  }
  return WalkStatus::ok;
}

}  // namespace qxdump
