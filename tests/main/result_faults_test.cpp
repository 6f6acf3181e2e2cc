// Whole runs of qxconv on result files cut short and on damaged records and
// counts: a read error after every block before the fault.
#include <gtest/gtest.h>

#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

// Cuts a result file at every record boundary and inside every record (in
// its first marker, payload or last marker, in turn).
void convert_cut_files(bool tp19) {
  const SmallCase& c = small_case();
  const std::string& whole = tp19 ? c.in.tp19 : c.in.tp18;
  const int blocks = tp19 ? c.tp19_blocks : c.tp18_blocks;
  ASSERT_GT(blocks, 40);
  std::vector<std::pair<std::size_t, bool>> cuts;  // where, and whether between records
  for (std::size_t pos = 0, k = 0; pos < whole.size(); ++k) {
    const std::uint32_t len = load(whole, pos);
    const std::size_t inside[] = {2, 4 + len / 2, 6 + len};
    cuts.push_back({pos, true});
    cuts.push_back({pos + inside[k % 3], false});
    pos += 8 + len;
  }
  cuts.push_back({whole.size(), true});

  TempDir dir;
  Outputs last_normal;
  int normal_ends = 0;
  for (const auto& [at, boundary] : cuts) {
    Inputs in = c.in;
    (tp19 ? in.tp19 : in.tp18) = whole.substr(0, at);
    const Result r = convert(dir, in);
    const std::string what = (tp19 ? "TP19" : "TP18") + std::string(" cut after ") + std::to_string(at) + " bytes";
    if (r.program.exit_status == 0) {
      ++normal_ends;
      EXPECT_TRUE(boundary) << what << ": a file cut inside a record ended normally";
      expect_end(r, what);
      Outputs converted = r.files;
      converted.erase(list_suffix);
      expect_beginning_of(converted, c.good, true, what);
      last_normal = r.files;
      continue;
    }
    expect_end(r, what, 1007);
    const int status = final_report(get(r.files, list_suffix)).status;
    EXPECT_TRUE(status == -1 || status == 39) << what << ": status " << status;
    // Standard error tells where the file ends: inside a record, or between
    // records where the block goes on.
    const std::string cause = told_cause(r.program.errors), file = tp19 ? "case.TP19: " : "case.TP18: ";
    if (status == 39)
      EXPECT_TRUE(cause.starts_with(file + "the file ends at byte " + std::to_string(at) + ", ") &&
                  cause.find(" a record ") != npos)
          << what << ": " << cause;
    else
      EXPECT_EQ(cause, file + "the file ends where more was to be read") << what;
    // Cut inside the first record, a default information block is written.
    if (at >= 8 + load(whole, 0)) {
      expect_beginning_of(r.files, c.good, true, what);
      // After a TP18 fault the TP19 conversion never runs.
      expect_at_least(r.files, last_normal, tp19 ? "" : "TP19", what);
    }
    if (::testing::Test::HasFailure()) return;
  }
  // Exactly the cuts between blocks end normally, and the empty file.
  EXPECT_EQ(normal_ends, blocks + 1);
  EXPECT_TRUE(last_normal == c.good) << "the whole file";
}

TEST(ProgramFaults, Tp18FilesCutAnywhereKeepEveryBlockBeforeTheCut) { convert_cut_files(false); }
TEST(ProgramFaults, Tp19FilesCutAnywhereKeepEveryBlockBeforeTheCut) { convert_cut_files(true); }

// Where the generator puts its hostile sizes of two thousand million: an
// nsize2 in each file (in a size record of 28 bytes), a TP18 maxima na.
struct Anchors {
  std::size_t nsize2_18 = 0, nsize2_19 = 0, na = 0;
};

Anchors find_anchors(const SmallCase& c) {
  TempDir dir;
  const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("h"), "--seed", "11", "--size", "22k",
                                      "--hostile-nsize2", "TP18,TP19", "--hostile-na"});
  EXPECT_EQ(g.exit_status, 0) << g.err;
  Anchors a;
  const std::string hostile[] = {qxtest::read_file(dir.file("h.TP18")), qxtest::read_file(dir.file("h.TP19"))};
  const std::string* good[] = {&c.in.tp18, &c.in.tp19};
  for (int f = 0; f < 2; ++f)
    for (std::size_t pos = 4; pos + 4 <= hostile[f].size() && pos + 4 <= good[f]->size(); ++pos)
      if (load(hostile[f], pos) == 2000000000 && load(*good[f], pos) != 2000000000)
        (f == 1 ? a.nsize2_19 : load(*good[f], pos - 4) == 28 ? a.nsize2_18 : a.na) = pos;
  return a;
}

// The run the TP18 model and the TP19 reference expect; `status` is the model's.
Outputs expected_run(const SmallCase& c, const Outputs& sections, const TempDir& dir, const std::string& tp18,
                     const std::string& tp19, int& status) {
  std::string list;
  const Outputs parts = tp18_model(tp18, false, list, status);
  Outputs o = status == 0 ? c.good : Outputs{};
  for (const auto& [suffix, part] : parts) o[suffix] = get(sections, suffix) + part;
  const std::string& good = c.good.at(list_suffix);
  const std::size_t tp18_end = good.find("\nEND (CONVERT TP18)\n") + 20;
  o[list_suffix] =
      good.substr(0, good.find("\n\n\nSTART (CONVERT TP18)\n")) + list + (status == 0 ? good.substr(tp18_end) : "");
  if (tp19 == c.in.tp19) return o;
  qxtest::write_file(dir.file("ref.TP19"), tp19);
  EXPECT_TRUE(run_tp19_reference(dir.file("ref.TP19"), dir.file("ref"), false));
  o[list_suffix] = good.substr(0, good.find("\n\n\nSTART (CONVERT TP19)\n")) + qxtest::read_file(dir.file("ref.lst")) +
                   "\nNORMAL END\n";
  for (const auto& [suffix, ext] : tp19_reference_parts)
    o[suffix] = get(sections, suffix) + qxtest::read_file(dir.file("ref" + ext));
  return o;
}

TEST(ProgramFaults, DamagedRecordsAndCountsTheRecordsCannotBack) {
  const SmallCase& c = small_case();
  const Anchors at = find_anchors(c);
  ASSERT_TRUE(at.nsize2_18 > 52 && at.na > 0 && at.nsize2_19 > 52) << "the generator put no hostile sizes";
  // What precedes the TP18 model's blocks in the good run, the same in TP19.
  Outputs sections;
  std::string list;
  int status = 0;
  for (const auto& [suffix, part] : tp18_model(c.in.tp18, false, list, status)) {
    const std::string& whole = get(c.good, suffix);
    EXPECT_TRUE(whole.ends_with(part)) << suffix << " of the good run does not end as the model's";
    sections[suffix] = whole.substr(0, whole.size() - part.size());
    if (suffix[0] == '_') sections[suffix.substr(0, 9) + "9" + suffix.substr(10)] = sections[suffix];
  }

  // The fields, relative to an nsize2 field: its REC2 starts 4 bytes before
  // it, its REC1 48 bytes before that, its data record 36 bytes after.
  enum Field { nsize2, na, rec1_first_marker, rec1_last_marker, data_first_marker, data_last_marker };
  struct Edit {
    const char* what;
    int files;  // 1: TP18, 2: TP19, 3: both
    Field field;
    std::int64_t add, set;  // the field's new value: set, or its value plus add when set is 0
    int status;             // 0: the run ends normally
    const char* told;       // what standard error says of the record, after "case.TP1x: the record at byte "
  };
  const char* const shorter = " bytes, fewer than are read from it";
  const char* const disagree = " in its trailing one";
  const Edit edits[] = {
      {"a data record shorter than its count", 3, nsize2, 1, 0, 67, shorter},
      {"a data record longer than its count", 3, nsize2, -1, 0, 0, ""},
      {"a negative count", 3, nsize2, 0, -5, 0, ""},
      {"the largest count of eight columns", 3, nsize2, 0, 99999999, 67, shorter},
      {"a count of two thousand million", 2, nsize2, 0, 2000000000, 67, shorter},
      {"the largest count", 1, nsize2, 0, 2147483647, 67, shorter},
      {"markers of a data record that disagree", 3, data_last_marker, 4, 0, 39, disagree},
      {"a first marker shorter than the record", 3, data_first_marker, -4, 0, 39, disagree},
      {"markers of a REC1 that disagree", 1, rec1_last_marker, 1, 0, 39, disagree},
      {"markers of a REC1 that disagree", 2, rec1_last_marker, -1, 0, 39, disagree},
      // In TP19 the REC2 read that follows fails too: the REC1 it tells of.
      {"a REC1 marker beyond the end of the file", 3, rec1_first_marker, 0, 0x7fffffff, 39,
       ", inside a record of 2147483647 bytes that begins at byte "},
      {"a negative REC1 marker", 1, rec1_first_marker, 0, -40, 39, " announces a negative length (-40)"},
      {"maxima: more items than the record holds", 1, na, 1, 0, 67, shorter},
      {"maxima: fewer items than the record holds", 1, na, -1, 0, 0, ""},
      {"maxima: a negative count of items", 1, na, 0, -3, 0, ""},
      {"maxima: the largest count of eight columns", 1, na, 0, 99999999, 67, shorter},
      {"maxima: two thousand million items", 1, na, 0, 2000000000, 67, shorter},
  };

  TempDir dir, ref_dir;
  for (const Edit& e : edits)
    for (const bool tp19 : {false, true}) {
      if ((e.files & (tp19 ? 2 : 1)) == 0) continue;
      const std::string what = (tp19 ? "TP19: " : "TP18: ") + std::string(e.what);
      std::string bytes = tp19 ? c.in.tp19 : c.in.tp18;
      const std::size_t n = tp19 ? at.nsize2_19 : at.nsize2_18, data = n + 32;
      const std::size_t fields[] = {n, at.na, n - 52, n - 8, data, data + 4 + load(bytes, data)};
      const std::size_t field = fields[e.field];
      const auto value = static_cast<std::uint32_t>(e.set ? e.set : std::int32_t(load(bytes, field)) + e.add);
      std::memcpy(bytes.data() + field, &value, 4);
      Inputs in = c.in;
      (tp19 ? in.tp19 : in.tp18) = bytes;
      const Result r = convert(dir, in);
      expect_end(r, what, e.status ? 1007 : 0, e.status);
      const std::string cause = told_cause(r.program.errors);
      EXPECT_TRUE(e.status == 0 || (cause.starts_with(tp19 ? "case.TP19: " : "case.TP18: ") &&
                                    cause.find(e.told) != npos))
          << what << ": " << cause;

      if (!tp19 || e.status == 0) {
        // Of a header with markers that disagree the model reads nothing; the
        // block's list lines may show what the converter read of it.
        int model_status = 0;
        for (const auto& [suffix, expected] :
             expected_run(c, sections, ref_dir, tp19 ? c.in.tp18 : bytes, tp19 ? bytes : c.in.tp19, model_status)) {
          const std::string& written = get(r.files, suffix);
          const bool cut = suffix == list_suffix && e.status != 0;
          EXPECT_TRUE(cut ? before_report(written) == before_report(expected) : written == expected)
              << what << ": " << suffix << " differs from the references";
        }
        EXPECT_EQ(model_status, e.status) << what << ": the model disagrees with the case";
      } else {
        // Every block before the damaged one is there; of that block at most
        // its two header records and their two lines.
        Inputs before = c.in;
        before.tp19 = c.in.tp19.substr(0, n - 52);
        const Result earlier = convert(dir, before);
        ASSERT_EQ(earlier.program.exit_status, 0) << what;
        expect_at_least(r.files, earlier.files, "", what);
        for (const auto& [suffix, written] : r.files) {
          const std::string more = written.substr(get(earlier.files, suffix).size());
          EXPECT_LE(suffix == list_suffix ? 0
                    : is_binary(suffix)   ? tp18model::parse_records(more).records.size()
                                          : qxtest::split_lines(more).size(),
                    2u)
              << what << ": " << suffix;
        }
      }
    }
}

}  // namespace
