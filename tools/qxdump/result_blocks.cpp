#include "result_blocks.hpp"

#include <algorithm>
#include <functional>
#include <string>

namespace qxdump {

namespace {

using Step = RecordCursor::Step;
using IntWords = std::function<std::uint64_t(const Record&)>;

// The component count of a TP18 maxima block; a code without one of its own
// (108, and those whose data conversions pass over) gets the one that a
// reader of a 108 block takes from the data record's length, when the record
// holds items.
void set_maxima_components(BlockReport& b, std::uint64_t length) {
  b.nd = qx::format::maxima_components(b.nc[0]);
  const std::uint64_t na = positive(b.na);
  if (b.nd || na == 0 || length < qx::format::maxima_record_bytes(na, 0)) return;
  b.nd = qx::format::maxima_components_from_record(b.na, length);
  b.nd_from_length = true;
}

std::string where(const BlockReport& b) {
  return "block " + std::to_string(b.number) + " at @" + std::to_string(b.offset);
}

// How many data records to take: `certain` of them whatever they hold, then up
// to `optional` more while they do not look like the next block's header.
struct DataPlan {
  int certain = 0;
  int optional = 0;
};

// The rules give `rule` data records; lrec, as `announced`, may say otherwise.
// A believable disagreement is settled by what the records hold.
DataPlan plan_data(int rule, std::int64_t announced) {
  if (announced < 0 || announced > max_plausible_data_records || announced == rule) return {rule, 0};
  const int a = static_cast<int>(announced);
  return {std::min(rule, a), std::max(rule, a) - std::min(rule, a)};
}

class BlockWalker {
 public:
  explicit BlockWalker(WalkContext& ctx)
      : ctx_(ctx), converted_(ctx.info.kind == FileKind::converted || ctx.info.kind == FileKind::blocks) {}

  WalkStatus run();

 private:
  bool header_like(const Record& r) const { return is_block_header(r, ctx_.info.kind, ctx_.info.family); }
  bool maxima_kind(const Record& r) const {
    return r.word(0) == maxima_word && (converted_ || ctx_.info.family == Family::tp18);
  }
  WalkStatus unplaced(const Record& r);
  WalkStatus ordinary(const Record& rec1, BlockReport& b);
  WalkStatus maxima(const Record& header, BlockReport& b);
  WalkStatus converted_maxima(const Record& header, BlockReport& b);
  WalkStatus data_records(BlockReport& b, DataPlan plan, const IntWords& int_words);
  void note_lrec(BlockReport& b, int rule, std::int64_t announced, std::size_t header_records);
  void check_tp18_lengths(BlockReport& b);
  void check_maxima_length(BlockReport& b);
  WalkStatus push(BlockReport& b, const Record& r, std::string_view role, bool data, std::uint64_t int_words);
  bool begin(const BlockReport& b);

  WalkContext& ctx_;
  bool converted_;
  // The block at hand was handed over with its header, and how many of its
  // data records followed.
  bool begun_ = false;
  std::size_t data_index_ = 0;
  // Values that a TP18 reader takes from every FOUR/AMPL and SPEC data record:
  // the nsize2 of the first such block it converts.
  std::int64_t spectrum_values_ = -1;
  std::int64_t response_values_ = -1;
};

WalkStatus BlockWalker::run() {
  Record r;
  while (true) {
    const Step s = ctx_.next(r);
    if (s == Step::end) return WalkStatus::ok;
    if (s == Step::fault) return WalkStatus::fault;
    if (!header_like(r)) {
      if (unplaced(r) != WalkStatus::ok) return WalkStatus::fault;
      continue;
    }
    BlockReport b;
    b.records.reserve(4);  // headers and data records of the common kinds
    b.number = ++ctx_.totals.blocks;
    b.offset = r.offset;
    b.kind = r.word(0);
    b.converted = converted_;
    begun_ = false;
    data_index_ = 0;
    WalkStatus status;
    if (maxima_kind(r))
      status = converted_ ? converted_maxima(r, b) : maxima(r, b);
    else
      status = ordinary(r, b);
    if (status == WalkStatus::stopped) return status;
    // A block cut short by a fault is handed over with what was read of it.
    b.broken = status != WalkStatus::ok;
    ctx_.totals.notes += b.notes.size();
    if (!begin(b) || !ctx_.handler.block_end(b)) return WalkStatus::stopped;
    if (status != WalkStatus::ok) return status;
  }
}

bool BlockWalker::begin(const BlockReport& b) {
  if (begun_) return true;
  begun_ = true;
  return ctx_.handler.block_begin(b);
}

WalkStatus BlockWalker::unplaced(const Record& r) {
  RecordEntry e;
  if (!ctx_.entry(r, "unplaced", true, r.words(), e)) return WalkStatus::fault;
  ++ctx_.totals.unplaced;
  if (!ctx_.handler.unplaced(e, r.printable_word(0) ? r.word(0) : std::string_view{}, ctx_.words))
    return WalkStatus::stopped;
  return WalkStatus::ok;
}

// Adds a record to the block; a data record is handed over with its values,
// after the block's header.
WalkStatus BlockWalker::push(BlockReport& b, const Record& r, std::string_view role, bool data,
                             std::uint64_t int_words) {
  // The header is complete once a data record comes, and the handler may
  // want the values of the block's records only.
  if (data && !begin(b)) return WalkStatus::stopped;
  RecordEntry e;
  if (!ctx_.entry(r, role, data, int_words, e)) return WalkStatus::fault;
  b.records.push_back(e);
  if (data && !ctx_.handler.data_record(b, e, data_index_++, ctx_.words)) return WalkStatus::stopped;
  return WalkStatus::ok;
}

WalkStatus BlockWalker::data_records(BlockReport& b, DataPlan plan, const IntWords& int_words) {
  Record r;
  for (int i = 0; i < plan.certain + plan.optional; ++i) {
    const Step s = ctx_.next(r);
    if (s == Step::fault) return WalkStatus::fault;
    if (s == Step::end) {
      if (i >= plan.certain) return WalkStatus::ok;
      return ctx_.cut_short(where(b) + " holds " + std::to_string(i) + " of its " + std::to_string(plan.certain) +
                            " data records");
    }
    if (i >= plan.certain && header_like(r)) {
      ctx_.cursor.back();
      return WalkStatus::ok;
    }
    if (const WalkStatus s2 = push(b, r, "data", true, int_words(r)); s2 != WalkStatus::ok) return s2;
  }
  return WalkStatus::ok;
}

void BlockWalker::note_lrec(BlockReport& b, int rule, std::int64_t announced, std::size_t header_records) {
  if (announced == rule) return;
  const std::size_t found = b.records.size() - header_records;
  std::string n = "lrec " + std::to_string(b.lrec) + " announces " + std::to_string(announced) +
                  " data records, the rules of the kind give " + std::to_string(rule);
  if (announced < 0 || announced > max_plausible_data_records)
    n += "; lrec not believed";
  else if (static_cast<std::int64_t>(found) == announced)
    n += "; the records hold " + std::to_string(found) + ", as lrec says";
  else if (static_cast<int>(found) == rule)
    n += "; the records hold " + std::to_string(found) + ", as the rules say";
  else
    n += "; the records hold " + std::to_string(found) + " before the next block";
  b.notes.push_back(n);
}

WalkStatus BlockWalker::ordinary(const Record& rec1, BlockReport& b) {
  for (std::size_t i = 0; i < b.nc.size(); ++i) b.nc[i] = rec1.i4(4 + 4 * i);
  b.real = converted_ ? rec1.r4(28) : rec1.r8(28);
  b.lrec = converted_ ? rec1.i4(32) : rec1.i4(36);
  if (const WalkStatus s1 = push(b, rec1, "REC1", false, 0); s1 != WalkStatus::ok) return s1;

  Record rec2;
  const Step s = ctx_.next(rec2);
  if (s == Step::fault) return WalkStatus::fault;
  if (s == Step::end) return ctx_.cut_short(where(b) + " lacks its size record");
  if (header_like(rec2)) {
    ctx_.cursor.back();
    b.notes.push_back("no size record: the next block begins at @" + std::to_string(rec2.offset));
    return WalkStatus::ok;
  }
  const std::uint32_t rec2_length = converted_ ? converted_rec2_bytes : rec2_bytes;
  if (rec2.length < rec2_length || (converted_ && rec2.length != rec2_length))
    b.notes.push_back("size record of " + std::to_string(rec2.length) + " bytes, " + std::to_string(rec2_length) +
                      " expected");
  b.has_sizes = true;
  b.nsize2 = rec2.i4(0);
  b.step = converted_ ? rec2.r4(4) : rec2.r8(4);
  const std::size_t yt_at = converted_ ? 8 : 12;
  for (std::size_t i = 0; i < b.yt.size(); ++i) b.yt[i] = rec2.r4(yt_at + 4 * i);
  if (const WalkStatus s2 = push(b, rec2, "REC2", false, 0); s2 != WalkStatus::ok) return s2;

  int rule = ordinary_data_records(b.kind, ctx_.info.family, converted_);
  b.axis_records = axis_records(b.kind, ctx_.info.family, converted_);
  if (!converted_ && ctx_.info.family == Family::tp18) {
    if (const auto dropped = tp18_dropped_records(b.kind, b.nc)) {
      b.dropped = true;
      rule = *dropped;
    }
  }
  b.data_rule = rule;
  const std::int64_t announced = static_cast<std::int64_t>(b.lrec) - 1;
  const WalkStatus status = data_records(b, plan_data(rule, announced), [](const Record&) { return 0; });
  if (status != WalkStatus::ok) return status;
  note_lrec(b, rule, announced, 2);
  if (!converted_ && ctx_.info.family == Family::tp18 && !b.dropped) check_tp18_lengths(b);
  return WalkStatus::ok;
}

// A TP18 reader takes nsize2 values from a WAVE data record and the count of
// the first converted spectrum from every FOUR/AMPL (or SPEC) record; a record
// that holds fewer makes its read fail.
void BlockWalker::check_tp18_lengths(BlockReport& b) {
  const std::int64_t nsize2 = std::max<std::int64_t>(0, b.nsize2);
  std::int64_t need = -1;
  switch (qx::format::block_kind(b.kind).tp18_values) {
    case qx::format::ValueCount::own:
      need = nsize2;
      break;
    case qx::format::ValueCount::first_spectrum:
      if (spectrum_values_ < 0) spectrum_values_ = nsize2;
      need = spectrum_values_;
      break;
    case qx::format::ValueCount::first_response:
      if (response_values_ < 0) response_values_ = nsize2;
      need = response_values_;
      break;
    case qx::format::ValueCount::none:
      return;
  }
  for (std::size_t i = 2; i < b.records.size(); ++i) {
    const std::uint64_t held = b.records[i].length / 4;
    if (held < static_cast<std::uint64_t>(need))
      b.notes.push_back("data record at @" + std::to_string(b.records[i].offset) + " holds " + std::to_string(held) +
                        " values, a reader takes " + std::to_string(need));
  }
}

WalkStatus BlockWalker::maxima(const Record& header, BlockReport& b) {
  b.maxima = true;
  b.nc[0] = header.i4(4);
  b.nc[1] = header.i4(8);
  b.lrec = header.i4(12);
  b.dropped = b.nc[0] > qx::format::last_maxima_code;
  b.data_rule = 1;
  if (const WalkStatus s = push(b, header, "header", false, 0); s != WalkStatus::ok) return s;

  // The data record: na, ia1(na), ia2(na), then nd pairs of reals per item.
  const IntWords ids = [&b](const Record& r) {
    if (!b.has_na && r.length >= 4) {
      b.has_na = true;
      b.na = r.i4(0);
      set_maxima_components(b, r.length);
    }
    return 1 + 2 * positive(r.i4(0));
  };
  const WalkStatus status = data_records(b, plan_data(1, b.lrec), ids);
  if (status != WalkStatus::ok) return status;
  note_lrec(b, 1, b.lrec, 1);
  if (!b.has_na) return WalkStatus::ok;
  check_maxima_length(b);
  return WalkStatus::ok;
}

// The data record holds 4 + 8 na + 8 nd na bytes.
void BlockWalker::check_maxima_length(BlockReport& b) {
  const std::uint64_t length = b.records[1].length;
  const std::uint64_t na = positive(b.na);
  const std::int32_t code = b.nc[0];
  if (b.na < 0) b.notes.push_back("negative na");
  if (b.nd_from_length)
    b.notes.push_back("code " + std::to_string(code) + " has no component count of its own: nd " +
                      std::to_string(*b.nd) + " from the record length");
  if (!b.nd || b.dropped) return;
  const std::uint64_t need = qx::format::maxima_record_bytes(na, static_cast<std::uint64_t>(*b.nd));
  if (length < need)
    b.notes.push_back("data record of " + std::to_string(length) + " bytes, na and nd need " + std::to_string(need) +
                      ": a reader fails on it");
  else if (length > need)
    b.notes.push_back("data record of " + std::to_string(length) + " bytes, na and nd take " + std::to_string(need));
}

WalkStatus BlockWalker::converted_maxima(const Record& header, BlockReport& b) {
  b.maxima = true;
  b.nc[0] = header.i4(4);
  b.nc[1] = header.i4(8);
  b.lrec = header.i4(32);
  if (const WalkStatus s = push(b, header, "header", false, 0); s != WalkStatus::ok) return s;
  const std::int32_t code = b.nc[0];
  const qx::format::ConvertedMaxima* shape = qx::format::converted_maxima(code);
  b.data_rule = shape && !shape->data_optional ? 1 : 0;
  if (code <= 100) return WalkStatus::ok;  // a header without data
  if (!shape) {
    b.notes.push_back("code " + std::to_string(code) + " is not written with data: records after it are listed");
    return WalkStatus::ok;
  }

  Record r;
  const Step s = ctx_.next(r);
  if (s == Step::fault) return WalkStatus::fault;
  if (s == Step::end) {
    if (shape->data_optional) return WalkStatus::ok;
    return ctx_.cut_short(where(b) + " lacks its data record");
  }
  if (header_like(r)) {
    ctx_.cursor.back();
    if (!shape->data_optional)
      b.notes.push_back("no data record: the next block begins at @" + std::to_string(r.offset));
    return WalkStatus::ok;
  }
  const std::int64_t na = r.i4(0);
  const std::uint64_t item_words = static_cast<std::uint64_t>(shape->ids + shape->reals);
  const std::uint64_t expected = 4 + 4 * item_words * positive(na);
  const bool fits = na >= 0 && r.length == expected;
  if (!fits && shape->data_optional) {
    // Not this header's record: listed for what it is.
    ctx_.cursor.back();
    return WalkStatus::ok;
  }
  if (!fits)
    b.notes.push_back("data record of " + std::to_string(r.length) + " bytes, na " + std::to_string(na) + " gives " +
                      std::to_string(expected));
  b.has_na = true;
  b.na = static_cast<std::int32_t>(na);
  return push(b, r, "data", true, 1 + static_cast<std::uint64_t>(shape->ids) * positive(na));
}

}  // namespace

WalkStatus walk_blocks(WalkContext& ctx) { return BlockWalker(ctx).run(); }

}  // namespace qxdump
