// Whole runs of qxconv on result files cut short and on damaged records and
// counts: a read error after every block before the fault.
#include <gtest/gtest.h>

#include "convert/tp18_model.hpp"
#include "main/program_faults.hpp"

namespace {

using namespace qxfaults;

// ---- result files cut short ----

// Cuts the TP18 or the TP19 file at every record boundary and at a point
// inside every record (in its first marker, its payload or its last marker,
// in turn) and converts each cut file.
void convert_cut_files(bool tp19) {
  const SmallCase& c = small_case();
  const std::string& whole = tp19 ? c.in.tp19 : c.in.tp18;
  const std::string name = tp19 ? "TP19" : "TP18";
  ASSERT_GT(tp19 ? c.tp19_blocks : c.tp18_blocks, 40);
  // The files of the conversion that never runs after a TP18 fault.
  const std::string never_run = tp19 ? "" : "TP19";
  struct Cut {
    std::size_t at;
    bool boundary;
  };
  std::vector<Cut> cuts;
  std::size_t first_record_end = 0;
  for (std::size_t pos = 0, k = 0; pos < whole.size(); ++k) {
    const std::uint32_t len = load(whole, pos);
    if (pos == 0) first_record_end = 8 + len;
    const std::size_t inside[] = {2, 4 + len / 2, 6 + len};
    cuts.push_back({pos, true});
    cuts.push_back({pos + inside[k % 3], false});
    pos += 8 + len;
  }
  cuts.push_back({whole.size(), true});

  TempDir dir;
  Outputs last_normal;
  int normal_ends = 0;
  for (const Cut& cut : cuts) {
    Inputs in = c.in;
    (tp19 ? in.tp19 : in.tp18) = whole.substr(0, cut.at);
    const Result r = convert(dir, in);
    const std::string what = name + " cut after " + std::to_string(cut.at) + " bytes";
    if (r.program.exit_status == 0) {
      ++normal_ends;
      EXPECT_TRUE(cut.boundary) << what << ": a file cut inside a record ended normally";
      expect_normal_end(r, what);
      Outputs converted = r.files;
      converted.erase(list_suffix);
      expect_beginning_of(converted, c.good, true, what);
      last_normal = r.files;
      continue;
    }
    const Report report = expect_stopped(r, what);
    EXPECT_EQ(report.number, 1007) << what;
    EXPECT_TRUE(report.status == -1 || report.status == 39) << what << ": status " << report.status;
    // Cut inside the first record, the file shows no information block and
    // the default one is written: not the good run's beginning.
    if (cut.at >= first_record_end) {
      expect_beginning_of(r.files, c.good, true, what);
      expect_at_least(r.files, last_normal, never_run, what);
    }
    if (::testing::Test::HasFailure()) return;
  }
  // Exactly the cuts between blocks end normally: the empty file, and one
  // after each block.
  EXPECT_EQ(normal_ends, (tp19 ? c.tp19_blocks : c.tp18_blocks) + 1);
  EXPECT_TRUE(last_normal == c.good) << "the whole file";
}

TEST(ProgramFaults, Tp18FilesCutAnywhereKeepEveryBlockBeforeTheCut) { convert_cut_files(false); }
TEST(ProgramFaults, Tp19FilesCutAnywhereKeepEveryBlockBeforeTheCut) { convert_cut_files(true); }

// ---- damaged records ----

// Where the generator puts its hostile sizes: the nsize2 of a converted
// time history in each result file, the na of a maxima block in TP18.
struct Anchors {
  std::size_t nsize2_18 = 0, nsize2_19 = 0, na = 0;
};

Anchors find_anchors(const SmallCase& c) {
  TempDir dir;
  const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("h"), "--seed", "11", "--size", "22k",
                                      "--hostile-nsize2", "TP18,TP19", "--hostile-na"});
  EXPECT_EQ(g.exit_status, 0) << g.err;
  constexpr std::uint32_t claimed = 2000000000;
  // The fields that claim the size in the hostile files and not in the good.
  auto claims = [&](const std::string& hostile, const std::string& good) {
    std::vector<std::size_t> at;
    for (std::size_t pos = 0; pos + 4 <= hostile.size() && pos + 4 <= good.size(); ++pos)
      if (load(hostile, pos) == claimed && load(good, pos) != claimed) at.push_back(pos);
    return at;
  };
  Anchors a;
  // A size record has 28 bytes of payload; a maxima data record never has.
  for (std::size_t pos : claims(qxtest::read_file(dir.file("h.TP18")), c.in.tp18))
    (load(c.in.tp18, pos - 4) == 28 ? a.nsize2_18 : a.na) = pos;
  const auto tp19 = claims(qxtest::read_file(dir.file("h.TP19")), c.in.tp19);
  if (tp19.size() == 1) a.nsize2_19 = tp19[0];
  EXPECT_TRUE(a.nsize2_18 > 0 && a.na > 0 && a.nsize2_19 > 0);
  return a;
}

// The outputs that the independent references (the TP18 model, the Fortran
// TP19 reference) expect of the result files, the model sections and the
// rest of the list taken from the good run.
class Expectation {
 public:
  explicit Expectation(const SmallCase& c) : c_(c) {
    const auto e = tp18model::convert(tp18model::parse_records(c.in.tp18), all_);
    const std::string good_list = get(c.good, list_suffix);
    list_head_ = good_list.substr(0, good_list.find("\n\n\nSTART (CONVERT TP18)\n"));
    const std::string tp18_end = "\nEND (CONVERT TP18)\n";
    list_tail_ = good_list.substr(good_list.find(tp18_end) + tp18_end.size());
    for (const auto& [suffix, part] : tp18_parts(e)) {
      const std::string& whole = get(c.good, suffix);
      EXPECT_TRUE(ends_with(whole, part)) << suffix << " of the good run does not end as the model's";
      model_section_[suffix] = whole.substr(0, whole.size() - part.size());
    }
  }

  // The whole run with this TP18 file (the other inputs good).
  Outputs with_tp18(const std::string& tp18, int& status) const {
    const auto e = tp18model::convert(tp18model::parse_records(tp18), all_);
    status = e.ier;
    Outputs o = e.ier == 0 ? c_.good : Outputs{};
    for (const auto& [suffix, part] : tp18_parts(e)) o[suffix] = get(model_section_, suffix) + part;
    o[list_suffix] = list_head_ + e.list + (e.ier == 0 ? list_tail_ : "");
    return o;
  }

  // The whole run with this well-formed TP19 file (the other inputs good).
  // A TP19 output begins with the model section of the TP18 output of its
  // variant.
  Outputs with_tp19(const TempDir& dir, const std::string& tp19) const {
    qxtest::write_file(dir.file("ref.TP19"), tp19);
    EXPECT_TRUE(run_tp19_reference(dir.file("ref.TP19"), dir.file("ref"), false, 1, 6));
    Outputs o = c_.good;
    const std::string& good_list = o[list_suffix];
    o[list_suffix] = good_list.substr(0, good_list.find("\n\n\nSTART (CONVERT TP19)\n")) +
                     qxtest::read_file(dir.file("ref.lst")) + "\nNORMAL END\n";
    struct Part {
      const char *suffix, *tp18_suffix, *ext;
    };
    const Part parts[] = {{"_QX2D.TP19", "_QX2D.TP18", ".sv"},
                          {"_QXSH.TP19", "_QXSH.TP18", ".sh"},
                          {"_QX2D.TP19.txt", "_QX2D.TP18.txt", ".svt"},
                          {"_QXSH.TP19.txt", "_QXSH.TP18.txt", ".sht"}};
    for (const Part& p : parts)
      o[p.suffix] = get(model_section_, p.tp18_suffix) + qxtest::read_file(dir.file(std::string("ref") + p.ext));
    return o;
  }

 private:
  static std::map<std::string, std::string> tp18_parts(const tp18model::Expected& e) {
    return {{"_QX2D.TP18", tp18model::serialize(e.sv, false)},
            {"_QXSH.TP18", tp18model::serialize(e.sh, false)},
            {"_QX2D.TP18.txt", e.svt},
            {"_QXSH.TP18.txt", e.sht},
            {".TP18.txt", e.dump}};
  }

  const SmallCase& c_;
  const tp18model::Options all_{1, 1, 1, 1, 1, 1};
  std::string list_head_, list_tail_;
  Outputs model_section_;
};

TEST(ProgramFaults, DamagedRecordsAndCountsTheRecordsCannotBack) {
  const SmallCase& c = small_case();
  ASSERT_TRUE(tp19_reference().ok) << tp19_reference().log;
  const Anchors at = find_anchors(c);
  const Expectation expect(c);

  // Offsets in a file relative to an nsize2 field: its REC2 starts 4 bytes
  // before it, its REC1 48 bytes before that, its data record 36 bytes after.
  enum class Field { nsize2, na, rec1_last_marker, data_first_marker, data_last_marker, rec1_first_marker };
  struct Edit {
    const char* what;
    bool tp19;
    Field field;
    std::function<std::int64_t(std::int64_t)> value;  // of the field as it stands
    int status;                                       // 0: the run ends normally
  };
  const auto plus = [](std::int64_t d) { return [d](std::int64_t v) { return v + d; }; };
  const auto set = [](std::int64_t n) { return [n](std::int64_t) { return n; }; };
  const Edit edits[] = {
      {"a data record shorter than its count", false, Field::nsize2, plus(1), 67},
      {"a data record longer than its count", false, Field::nsize2, plus(-1), 0},
      {"a negative count", false, Field::nsize2, set(-5), 0},
      {"the largest count of eight columns", false, Field::nsize2, set(99999999), 67},
      {"the largest count", false, Field::nsize2, set(2147483647), 67},
      {"markers of a data record that disagree", false, Field::data_last_marker, plus(4), 39},
      {"a first marker shorter than the record", false, Field::data_first_marker, plus(-4), 39},
      {"markers of a REC1 that disagree", false, Field::rec1_last_marker, plus(1), 39},
      {"a REC1 marker beyond the end of the file", false, Field::rec1_first_marker, set(0x7fffffff), 39},
      {"a negative REC1 marker", false, Field::rec1_first_marker, set(-40), 39},
      {"maxima: more items than the record holds", false, Field::na, plus(1), 67},
      {"maxima: fewer items than the record holds", false, Field::na, plus(-1), 0},
      {"maxima: a negative count of items", false, Field::na, set(-3), 0},
      {"maxima: the largest count of eight columns", false, Field::na, set(99999999), 67},
      {"TP19: a data record shorter than its count", true, Field::nsize2, plus(1), 67},
      {"TP19: a data record longer than its count", true, Field::nsize2, plus(-1), 0},
      {"TP19: a negative count", true, Field::nsize2, set(-5), 0},
      {"TP19: the largest count of eight columns", true, Field::nsize2, set(99999999), 67},
      {"TP19: markers of a data record that disagree", true, Field::data_last_marker, plus(4), 39},
      {"TP19: a first marker shorter than the record", true, Field::data_first_marker, plus(-4), 39},
      {"TP19: markers of a REC1 that disagree", true, Field::rec1_last_marker, plus(-1), 39},
  };

  TempDir dir, ref_dir;
  for (const Edit& k : edits) {
    std::string bytes = k.tp19 ? c.in.tp19 : c.in.tp18;
    const std::size_t nsize2 = k.tp19 ? at.nsize2_19 : at.nsize2_18;
    const std::size_t rec2 = nsize2 - 4, rec1 = rec2 - 48, data = rec2 + 36;
    const std::size_t data_len = load(bytes, data);
    std::size_t field = 0, block_start = rec1;
    switch (k.field) {
      case Field::nsize2:
        field = nsize2;
        break;
      case Field::na:
        field = at.na, block_start = at.na - 4 - 24;
        break;
      case Field::rec1_first_marker:
        field = rec1;
        break;
      case Field::rec1_last_marker:
        field = rec2 - 4;
        break;
      case Field::data_first_marker:
        field = data;
        break;
      case Field::data_last_marker:
        field = data + 4 + data_len;
        break;
    }
    store(bytes, field, k.value(static_cast<std::int32_t>(load(bytes, field))));
    Inputs in = c.in;
    (k.tp19 ? in.tp19 : in.tp18) = bytes;
    const Result r = convert(dir, in);

    if (!k.tp19) {
      // The TP18 model knows every output of every run, faulty or not. (Of
      // a header record with markers that disagree, the model reads
      // nothing; the list lines of that block may show what the converter
      // read of it.)
      int model_status = 0;
      const Outputs e = expect.with_tp18(bytes, model_status);
      EXPECT_EQ(model_status, k.status) << k.what << ": the model disagrees with the case";
      for (const auto& [suffix, bytes_expected] : e) {
        const std::string& written = get(r.files, suffix);
        if (suffix == list_suffix && k.status != 0) {
          EXPECT_EQ(before_report(written), before_report(bytes_expected)) << k.what;
          EXPECT_EQ(last_lines(written, 2), last_lines(bytes_expected, 2)) << k.what;
        } else {
          EXPECT_TRUE(written == bytes_expected) << k.what << ": " << suffix << " differs from the model";
        }
      }
      if (k.status == 0) {
        expect_normal_end(r, k.what);
      } else {
        const Report report = expect_stopped(r, k.what);
        EXPECT_EQ(report.number, 1007) << k.what;
        EXPECT_EQ(report.status, k.status) << k.what;
      }
      continue;
    }
    if (k.status == 0) {
      expect_normal_end(r, k.what);
      for (const auto& [suffix, expected] : expect.with_tp19(ref_dir, bytes))
        EXPECT_TRUE(get(r.files, suffix) == expected) << k.what << ": " << suffix << " differs from the reference";
      continue;
    }
    const Report report = expect_stopped(r, k.what);
    EXPECT_EQ(report.number, 1007) << k.what;
    EXPECT_EQ(report.status, k.status) << k.what;
    // Every block before the damaged one is there; of that block at most its
    // two header records and their two lines.
    Inputs before = c.in;
    before.tp19 = c.in.tp19.substr(0, block_start);
    const Result earlier = convert(dir, before);
    ASSERT_EQ(earlier.program.exit_status, 0) << k.what;
    expect_at_least(r.files, earlier.files, "", k.what);
    for (const auto& [suffix, written] : r.files) {
      if (suffix == list_suffix) continue;
      const std::string more = written.substr(get(earlier.files, suffix).size());
      if (is_binary(suffix))
        EXPECT_LE(tp18model::parse_records(more).records.size(), 2u) << k.what << ": " << suffix;
      else
        EXPECT_LE(qxtest::split_lines(more).size(), 2u) << k.what << ": " << suffix;
    }
  }
}

}  // namespace
