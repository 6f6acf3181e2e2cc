// Faults of the TP18 conversion: headers and data records that cannot be
// read, truncated files, counts the file cannot back, and outputs that cannot
// be written. Each is one numbered report, after every block before it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <fstream>

#include "convert/tp18_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp18test;

const Options all_options{1, 1, 1, 1, 1, 1};

// Converts with a disk that is full `budget` bytes into the file of channel u.
Conversion convert_full(const ScratchDir& dir, int u, std::size_t budget, const std::string& input, const Options& o) {
  qxtest::WriteBudget full(output_paths(dir).at(u), budget);
  return convert(dir, input, o, false);
}

TEST(CnvtTp18Faults, ReadFailuresStopAtTheFirstWithItsReport) {
  ScratchDir dir;
  struct Case { const char* what; Tp18File file; int status; bool header; /* of the header records */ };
  std::vector<Case> cases(17);
  std::string whole = Tp18File().values({1, 2, 3, 4}).bytes();
  cases[0] = {"the file ends after REC1", Tp18File().rec1("WAVE", 3, 1, 1, 0.25, 2), -1, true};
  cases[1] = {"REC1 without its lrec, a good REC2", Tp18File().block("WAVE", 1, 1, 1, 0.01, {1}, 1), 67, true};
  cases[1].file.record(Payload().t("WAVE").i(1).i(1).i(1).i(0).i(0).i(0).d(0.5)).rec2(1, 0.01).values({2});
  cases[2] = {"cut in record 1", Tp18File().raw(Tp18File().rec1("INFO", 6, 0, 3).bytes().substr(0, 30)), 39, true};
  cases[3] = {"REC2 of 20 bytes", Tp18File().rec1("SPEC", 1, 1, 1).record(Payload().i(3).d(0.1).r(1).r(2)), 67, true};
  cases[4] = {"maxima header of 8 bytes", Tp18File().record(Payload().t("MAXR").i(101)), 67, true};
  cases[5] = {"FOUR record short", Tp18File().rec1("FOUR", 1, 1, 1, 0, 3).rec2(5, 0.1).values({1, 2, 3}), 67, false};
  cases[6] = {"a later FOUR record too short", Tp18File().block("FOUR", 1, 1, 1, 0.1, {1, 2, 3}, 2), 67, false};
  cases[6].file.rec1("FOUR", 1, 1, 1, 0.0, 3).rec2(3, 0.1).values({1, 2}).values({1, 2, 3});
  cases[7] = {"short WAVE record", Tp18File().rec1("WAVE", 1, 3, 1, 0, 2).rec2(4, 0.1).values({1, 2, 3}), 67, false};
  cases[8] = {"end of file after REC2", Tp18File().rec1("SPEC", 1, 1, 1, 0, 3).rec2(4, 0.1), -1, false};
  cases[9] = {"end of file in a dropped block", Tp18File().rec1("SPEC", 13, 1, 1).rec2(4, 0.1).values({1}), -1, false};
  cases[10] = {"record cut", Tp18File().rec1("WAVE", 1, 1, 1, 0, 2).rec2(4, 0.1).raw(whole.substr(0, 13)), 39, false};
  cases[11] = {"maxima count of 2e9", Tp18File().maxr_header(104, 1), 67, false};
  cases[11].file.record(Payload().i(2000000000).i(1).i(2).reals(std::vector<float>(12, 1.0f)));
  whole = Tp18File().maxr(101, 1, 2, 6).bytes();
  whole[28] = 3;  // three items in a record of two
  cases[12] = {"maxima count beyond its record", Tp18File().raw(whole), 67, false};
  cases[13] = {"no maxima data record", Tp18File().maxr_header(110, 1), -1, false};
  cases[14] = {"maxima data record of 2 bytes", Tp18File().maxr_header(110, 1).record(Payload().t("ab")), 67, false};
  cases[15] = {"code above 112, no data record", Tp18File().maxr(101, 1, 1, 6).maxr_header(113, 1), -1, false};
  cases[16] = {"SPEC after one that fixed M", Tp18File().block("SPEC", 1, 1, 1, 0.1, {1, 2, 3}, 2), 67, false};
  cases[16].file.block("SPEC", 1, 1, 1, 0.1, {1, 2}, 2);
  // What standard error tells after the name of the file, by status.
  const std::map<int, std::string> told{{-1, ": the file ends where more was to be read"},
                                        {39, ": the file ends at byte "},
                                        {67, "fewer"}};
  for (const Case& k : cases)
    for (const Options& o : {Options{}, all_options}) {
      const std::string input = write_input(dir, k.file.bytes());
      const Conversion c = convert(dir, input, o, false);
      EXPECT_EQ(c.ier, k.status) << k.what;
      EXPECT_TRUE(c.cause.starts_with(input + ": ") && c.cause.find(told.at(k.status)) != std::string::npos)
          << k.what << ": " << c.cause;
      EXPECT_TRUE(c.list.ends_with(tp18model::read_report(k.header, k.status))) << k.what;
      expect_model(c, k.file.bytes(), o, false, k.what);
    }
}

TEST(CnvtTp18Faults, TruncatedFilesKeepEveryBlockBeforeTheCut) {
  ScratchDir dir;
  const std::string whole = qxtest::read_file(generate(dir, {"--seed", "3", "--size", "24k"}));
  // Every record boundary, and points inside the markers and payloads.
  std::vector<std::size_t> cuts;
  std::size_t pos = 0;
  for (const std::string& r : tp18model::parse_records(whole).records) {
    for (std::size_t inside : {std::size_t{0}, std::size_t{2}, 4 + r.size() / 2, 6 + r.size()})
      cuts.push_back(pos + inside);
    pos += 8 + r.size();
  }
  ASSERT_GT(cuts.size(), 200u);
  int normal_ends = 0;
  for (std::size_t cut : cuts) {
    normal_ends += check(dir, whole.substr(0, cut), all_options, false, "cut at " + std::to_string(cut)).ier == 0;
    if (::testing::Test::HasFailure()) break;
  }
  // Cuts at block boundaries end normally; the others are reported.
  EXPECT_GT(normal_ends, 10);
  EXPECT_LT(normal_ends, static_cast<int>(cuts.size()) / 4);
}

TEST(CnvtTp18Faults, HostileCountsAreReportedWithoutAllocatingThem) {
  ScratchDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--hostile-nsize2", "TP18", "--size", "30k"}, {"--hostile-na", "--size", "30k"}}) {
    const std::string fault = args[0], input = generate(dir, args);
    const auto e = check(dir, qxtest::read_file(input), all_options, false, fault);
    EXPECT_EQ(e.ier, 67) << fault;
#if !defined(__SANITIZE_ADDRESS__)
    // 8 GB would be asked for: the conversion runs in a child that may take 64 MB more.
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
    const pid_t pid = fork();
    if (pid == 0) {  // the child ends here, whatever the conversion throws
      const rlimit rl{limit, limit};
      setrlimit(RLIMIT_AS, &rl);
      try {
        qx::Run run;
        _exit(convert_in(run, input, output_paths(dir), all_options, false));
      } catch (...) {
        _exit(99);
      }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 67) << fault << ": status " << status;
#endif
  }
}

TEST(CnvtTp18Faults, FailedWritesAreReportedWithTheirChannel) {
  ScratchDir dir;
  // A generated case, whose small outputs fail when their channel is closed
  // (the other outputs are closed too and complete), and records and lines
  // larger than the output buffer, which fail at their own write.
  const std::string generated = generate(dir, {"--size", "30k"});
  Tp18File large;
  large.block("WAVE", 1, 1, 1, 0.01, std::vector<float>(100000, 1.0f), 1).maxr(101, 1, 100000, 6);
  const Conversion probe = convert(dir, write_input(dir, "", "probe.TP18"), all_options, false);
  for (const std::string& input : {generated, write_input(dir, large.bytes(), "large.TP18")}) {
    const bool whole_outputs = input == generated;  // the large one stops short in the others
    const auto e = tp18model::convert(tp18model::parse_records(qxtest::read_file(input)), all_options);
    const std::string end_line = "\nEND (CONVERT TP18)\n";
    ASSERT_EQ(e.list.substr(e.list.size() - end_line.size()), end_line);
    // The disk fills up right behind the model section of the failing output.
    for (const auto& [u, model] : std::map<int, std::size_t>{
             {qx::unit::sv18, probe.sv_prefix.size()}, {qx::unit::sh18, probe.sh_prefix.size()}, {qx::unit::txt18, 0},
             {qx::unit::svt18, probe.svt_prefix.size()}, {qx::unit::sht18, probe.sht_prefix.size()}}) {
      const Conversion c = convert_full(dir, u, model, input, all_options);
      const std::string what = input + " channel " + std::to_string(u) + " full";
      EXPECT_EQ(c.ier, 38) << what;
      EXPECT_EQ(c.cause, output_paths(dir).at(u) + ": no space left on device") << what;
      const std::string report = tp18model::write_report(false, u, 38);
      EXPECT_TRUE(c.list.ends_with(report)) << what << "\n" << c.list;
      if (!whole_outputs) continue;
      expect_same(c.list, e.list.substr(0, e.list.size() - end_line.size()) + report, what);
      if (u != qx::unit::sv18) expect_same(c.sv, c.sv_prefix + serialize(e.sv, false), what + " SV");
      if (u != qx::unit::sh18) expect_same(c.sh, c.sh_prefix + serialize(e.sh, false), what + " SH");
      if (u != qx::unit::svt18) expect_same(c.svt, c.svt_prefix + e.svt, what + " SV text");
      if (u != qx::unit::sht18) expect_same(c.sht, c.sht_prefix + e.sht, what + " SH text");
      if (u != qx::unit::txt18) expect_same(c.dump, e.dump, what + " dump");
    }
  }

  // The SH buffer lacks 20 bytes of 1 MiB when a maxima header comes: the
  // header's own write meets the full disk.
  Tp18File packed;
  for (int k = 0; k < 17; ++k) packed.block("WAVE", 1, 2, 1, 0.01, std::vector<float>(k < 16 ? 16000 : 5763, 1), 1);
  const Conversion c = convert_full(dir, qx::unit::sh18, probe.sh_prefix.size(),
                                    write_input(dir, packed.maxr(101, 1, 1, 6).bytes()), {});
  EXPECT_EQ(c.ier, 38);
  EXPECT_TRUE(c.list.ends_with(tp18model::write_report(false, qx::unit::sh18, 38))) << c.list;

  // More list lines than the list file holds back: the conversion stops at
  // the first that cannot be written.
  Tp18File stat;
  for (int k = 0; k < 8000; ++k) stat.rec1("STAT", 2, 1, 1).rec2(k, 0.5);
  const Conversion l = convert_full(dir, qx::unit::lst, 0, write_input(dir, stat.bytes()), {});
  EXPECT_EQ(l.ier, 38);
  const std::size_t records = tp18model::parse_records(l.sv.substr(l.sv_prefix.size())).records.size();
  EXPECT_GT(records, 2u);
  EXPECT_LT(records, 2u + 2 * 8000);

}

}  // namespace
