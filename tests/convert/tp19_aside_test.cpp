// Whole runs of cases large enough for TP19 to be converted beside TP18.
// Each is compared with the same case converted one file after the other,
// which a second name on a TP19 output forces (a rename would part the two
// names): the terminal, the exit status, the list file and every output
// must be the same, whether the run ends normally or stops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;
namespace fs = std::filesystem;

const std::vector<std::string> tp19_binaries{"_QX2D.TP19", "_QXSH.TP19"};

// A generated case of about 5 MB: both result files above a MiB.
const Inputs& large_case() {
  static const Inputs in = [] {
    TempDir dir;
    const auto g = qxtest::run_program({QXGEN_PATH, "--out", dir.file("case"), "--seed", "5", "--size", "5M"});
    EXPECT_EQ(g.exit_status, 0) << g.err;
    Inputs made{qxtest::read_file(dir.file("case.qxin")), qxtest::read_file(dir.file("case.TP18")),
                qxtest::read_file(dir.file("case.TP19"))};
    EXPECT_GT(made.tp19.size(), 1u << 20);
    EXPECT_GT(made.tp18.size(), made.tp19.size());
    return made;
  }();
  return in;
}

ino_t inode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

struct Seen {
  Result result;
  std::map<std::string, ino_t> inodes_before;  // of the TP19 binaries
  std::set<std::string> names;                 // every name in the directory after the run
};

// Converts `in` in `dir` after `prepare` set up the outputs left by an
// earlier run (none by default).
Seen run_case(const TempDir& dir, const Inputs& in, const std::vector<std::string>& options, bool big_endian,
              const std::function<void()>& prepare = {}) {
  Seen s;
  for (const std::string& suffix : suffixes) fs::remove_all(dir.file("case" + suffix));
  qxtest::write_file(dir.file("case.qxin"), in.qxin);
  qxtest::write_file(dir.file("case.TP18"), in.tp18);
  qxtest::write_file(dir.file("case.TP19"), in.tp19);
  if (prepare) prepare();
  for (const std::string& b : tp19_binaries) s.inodes_before[b] = inode(dir.file("case" + b));
  s.result.program = run_qxconv(dir.path(), options, answers("case", big_endian));
  s.result.files = collect(dir.path(), "case");
  for (const auto& e : fs::directory_iterator(dir.path())) s.names.insert(e.path().filename().string());
  return s;
}

// Outputs of an earlier run in the TP19 binaries, one with a second name
// when `second_name`.
std::function<void()> earlier_outputs(const TempDir& dir, bool second_name) {
  return [&dir, second_name] {
    for (const std::string& b : tp19_binaries) qxtest::write_file(dir.file("case" + b), "earlier run " + b);
    ::chmod(dir.file("case_QX2D.TP19").c_str(), 0640);
    if (second_name) fs::create_hard_link(dir.file("case_QX2D.TP19"), dir.file("second_name"));
  };
}

void expect_same_run(const Seen& aside, const Seen& in_turn, const std::string& what) {
  EXPECT_EQ(aside.result.program.exit_status, in_turn.result.program.exit_status) << what;
  EXPECT_EQ(aside.result.program.terminal, in_turn.result.program.terminal) << what;
  EXPECT_EQ(aside.result.program.errors, in_turn.result.program.errors) << what;
  EXPECT_EQ(aside.result.files.size(), in_turn.result.files.size()) << what;
  for (const auto& [suffix, bytes] : in_turn.result.files)
    EXPECT_TRUE(get(aside.result.files, suffix) == bytes) << what << ": " << suffix << " differs";
  // Nothing is left beside the outputs: no file aside, no temporary name.
  std::set<std::string> names = in_turn.names;
  names.erase("second_name");
  EXPECT_EQ(aside.names, names) << what;
}

TEST(Tp19Aside, ARunConvertsAsOneFileAfterTheOther) {
  const Inputs& in = large_case();
  struct Variant {
    std::vector<std::string> options;
    bool big_endian, earlier;
  };
  for (const Variant& v : {Variant{{}, false, true}, Variant{every_option, true, false}}) {
    const std::string what = v.options.empty() ? "no option, little-endian, over an earlier run"
                                               : "every option, big-endian, no earlier run";
    TempDir a, b;
    const Seen aside = run_case(a, in, v.options, v.big_endian, v.earlier ? earlier_outputs(a, false) : nullptr);
    const Seen in_turn = run_case(b, in, v.options, v.big_endian, earlier_outputs(b, true));
    expect_end(aside.result, what);
    expect_same_run(aside, in_turn, what);
    // A file aside took the place of an earlier output, with its
    // permissions; an empty output was written where it stands. The output
    // with a second name was written where it stands, seen by both names.
    if (v.earlier) {
      EXPECT_NE(inode(a.file("case_QX2D.TP19")), aside.inodes_before.at("_QX2D.TP19")) << what;
      EXPECT_EQ(fs::status(a.file("case_QX2D.TP19")).permissions(), fs::perms(0640)) << what;
    }
    EXPECT_EQ(inode(b.file("case_QX2D.TP19")), in_turn.inodes_before.at("_QX2D.TP19")) << what;
    EXPECT_EQ(qxtest::read_file(b.file("second_name")), get(in_turn.result.files, "_QX2D.TP19")) << what;
  }
}

// Stopped by a TP18 cut inside a record, still above a MiB: the TP19
// outputs hold what an earlier run left, or nothing.
TEST(Tp19Aside, ARunStoppedInTp18LeavesTheTp19OutputsAsTheyWere) {
  Inputs in = large_case();
  in.tp18.resize(in.tp18.size() * 3 / 5 + 1);
  for (bool earlier : {true, false}) {
    const std::string what = earlier ? "no option, over an earlier run" : "every option, no earlier run";
    const std::vector<std::string> o = earlier ? std::vector<std::string>{} : every_option;
    TempDir a, b;
    const Seen aside = run_case(a, in, o, false, earlier ? earlier_outputs(a, false) : nullptr);
    const Seen in_turn = run_case(b, in, o, false, earlier_outputs(b, true));
    EXPECT_EQ(aside.result.program.exit_status, 1) << what;
    Seen without_tp19 = aside;
    for (const std::string& bin : tp19_binaries) {
      EXPECT_EQ(get(aside.result.files, bin), earlier ? "earlier run " + bin : "") << what << " " << bin;
      if (earlier) {
        EXPECT_EQ(inode(a.file("case" + bin)), aside.inodes_before.at(bin)) << what;
      }
      without_tp19.result.files[bin] = get(in_turn.result.files, bin);
    }
    expect_same_run(without_tp19, in_turn, what);
  }
}

TEST(Tp19Aside, AFailedConversionAsideIsConvertedAgainAfterTp18) {
  const Inputs& whole = large_case();
  // A TP19 file cut inside a record, and one whose record marker is damaged
  // in the middle: the run stops in TP19 with its report, after TP18 is
  // converted, as it would converting one file after the other.
  Inputs cut = whole, damaged = whole, cut_early = whole;
  cut.tp19.resize(whole.tp19.size() * 4 / 5 + 1);
  std::size_t marker = 0;
  while (marker < whole.tp19.size() / 2) marker += 8 + load(whole.tp19, marker);
  damaged.tp19[marker + 3] ^= 0x40;
  // Cut just past a MiB, so that most of TP18 is still to convert when the
  // thread fails.
  cut_early.tp19.resize((std::size_t{1} << 20) + 5);
  // Outputs of an earlier run are written aside, empty ones in place: both
  // are dropped before TP19 is converted again.
  for (const auto& [in, what, earlier, options, big] :
       {std::tuple{cut, "TP19 cut", true, every_option, true},
        std::tuple{damaged, "TP19 damaged", false, every_option, true},
        std::tuple{cut_early, "TP19 cut early", true, std::vector<std::string>{}, false}}) {
    TempDir a, b;
    const Seen aside = run_case(a, in, options, big, earlier ? earlier_outputs(a, false) : nullptr);
    const Seen in_turn = run_case(b, in, options, big, earlier_outputs(b, true));
    EXPECT_EQ(aside.result.program.exit_status, 1) << what;
    EXPECT_NE(aside.result.program.errors.find("error 1007"), npos) << what << ": " << aside.result.program.errors;
    expect_same_run(aside, in_turn, what);
  }
}

// An output that is a link, or has a second name, may be another output of
// the run: it is written through in its turn, after TP18.
TEST(Tp19Aside, AnOutputThatIsALinkIsWrittenThroughItInItsTurn) {
  const Inputs& in = large_case();
  TempDir a, b, c, elsewhere;
  const Seen in_turn = run_case(b, in, {}, false);
  const Seen linked = run_case(a, in, {}, false, [&] {
    qxtest::write_file(elsewhere.file("sv"), "");
    fs::create_symlink(elsewhere.file("sv"), a.file("case_QX2D.TP19"));
  });
  expect_end(linked.result, "output a link");
  EXPECT_TRUE(fs::is_symlink(a.file("case_QX2D.TP19")));
  EXPECT_TRUE(qxtest::read_file(elsewhere.file("sv")) == get(in_turn.result.files, "_QX2D.TP19"));
  EXPECT_TRUE(get(linked.result.files, "_QXSH.TP19") == get(in_turn.result.files, "_QXSH.TP19"));
  // The SV outputs of TP18 and TP19 one file under two names: TP19's, the
  // later, is what it holds.
  const Seen aliased = run_case(c, in, {}, false, [&] {
    qxtest::write_file(c.file("case_QX2D.TP18"), "");
    fs::create_hard_link(c.file("case_QX2D.TP18"), c.file("case_QX2D.TP19"));
  });
  expect_end(aliased.result, "two outputs one file");
  EXPECT_TRUE(get(aliased.result.files, "_QX2D.TP19") == get(in_turn.result.files, "_QX2D.TP19"));
  EXPECT_TRUE(get(aliased.result.files, "_QX2D.TP18") == get(in_turn.result.files, "_QX2D.TP19"));
}

}  // namespace
