// Faults of the TP18 conversion: headers and data records that cannot be
// read, truncated files, counts the file cannot back, and outputs that cannot
// be written. Each is one numbered report, after every block before it.
#include <gtest/gtest.h>

#include <cstring>

#include "convert/tp18_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp18test;

const Options all_options{1, 1, 1, 1, 1, 1};

TEST(CnvtTp18Faults, ReadFailuresStopAtTheFirstWithItsReport) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  struct Case {
    const char* what;
    Tp18File file;
    int status;
    bool header;  // a failure of the header records
  };
  std::vector<Case> cases(17);
  std::string whole = Tp18File().values({1, 2, 3, 4}).bytes();
  cases[0] = {"the file ends after REC1", Tp18File().rec1("WAVE", 3, 1, 1, 0.25, 2), -1, true};
  cases[1] = {"REC1 without its lrec, a good REC2", Tp18File().block("WAVE", 1, 1, 1, 0.01, {1}, 1), 67, true};
  cases[1].file.record(Payload().t("WAVE").i(1).i(1).i(1).i(0).i(0).i(0).d(0.5)).rec2(1, 0.01).values({2});
  cases[2] = {"cut inside the first record", Tp18File().raw(Tp18File().rec1("INFO", 6, 0, 3).bytes().substr(0, 30)), 39,
              true};
  cases[3] = {"REC2 of 20 bytes", Tp18File().rec1("SPEC", 1, 1, 1).record(Payload().i(3).d(0.1).r(1).r(2)), 67, true};
  cases[4] = {"maxima header of 8 bytes", Tp18File().record(Payload().t("MAXR").i(101)), 67, true};
  cases[5] = {"first FOUR record too short", Tp18File().rec1("FOUR", 1, 1, 1, 0, 3).rec2(5, 0.1).values({1, 2, 3}), 67,
              false};
  cases[6] = {"a later FOUR record too short", Tp18File().block("FOUR", 1, 1, 1, 0.1, {1, 2, 3}, 2), 67, false};
  cases[6].file.rec1("FOUR", 1, 1, 1, 0.0, 3).rec2(3, 0.1).values({1, 2}).values({1, 2, 3});
  cases[7] = {"short WAVE record", Tp18File().rec1("WAVE", 1, 3, 1, 0, 2).rec2(4, 0.1).values({1, 2, 3}), 67, false};
  cases[8] = {"end of file after REC2", Tp18File().rec1("SPEC", 1, 1, 1, 0, 3).rec2(4, 0.1), -1, false};
  cases[9] = {"end of file in a dropped block", Tp18File().rec1("SPEC", 13, 1, 1).rec2(4, 0.1).values({1}), -1, false};
  cases[10] = {"data record cut", Tp18File().rec1("WAVE", 1, 1, 1, 0, 2).rec2(4, 0.1).raw(whole.substr(0, 13)), 39,
               false};
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
  for (const Case& k : cases)
    for (const Options& o : {Options{}, all_options}) {
      const Conversion c = convert(dir, write_input(dir, k.file.bytes()), o, false);
      EXPECT_EQ(c.ier, k.status) << k.what;
      const std::string report = tp18model::read_report(k.header, k.status);
      EXPECT_EQ(c.list.substr(c.list.size() - std::min(c.list.size(), report.size())), report) << k.what;
      expect_model(c, k.file.bytes(), o, false, k.what);
    }
}

TEST(CnvtTp18Faults, TruncatedFilesKeepEveryBlockBeforeTheCut) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string whole = qxtest::read_file(generate(dir, {"--seed", "3", "--size", "24k"}));
  // Every record boundary, and points inside the markers and payloads.
  std::vector<std::size_t> cuts;
  for (std::size_t pos = 0; pos < whole.size();) {
    std::uint32_t len;
    std::memcpy(&len, whole.data() + pos, 4);
    for (std::size_t inside : {std::size_t{0}, std::size_t{2}, std::size_t{4} + len / 2, std::size_t{6} + len})
      cuts.push_back(pos + inside);
    pos += 8 + len;
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
  ASSERT_TRUE(dir.ok());
  for (const char* fault : {"--hostile-nsize2", "--hostile-na"}) {
    std::vector<std::string> args{fault, "--size", "30k"};
    if (args[0] == "--hostile-nsize2") args.insert(args.begin() + 1, "TP18");
    const std::string input = generate(dir, args);
    const auto e = check(dir, qxtest::read_file(input), all_options, false, fault);
    EXPECT_EQ(e.ier, 67) << fault;
#if !defined(__SANITIZE_ADDRESS__)
    // 8 GB would be asked for: the conversion runs in 64 MB.
    EXPECT_EQ(run_limited(RLIMIT_AS, 64 << 20,
                          [&] {
                            qx::Run run;
                            return convert_in(run, input, output_paths(dir), all_options, false);
                          }),
              67)
        << fault;
#endif
  }
}

TEST(CnvtTp18Faults, FailedWritesAreReportedWithTheirChannel) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
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
    const std::map<int, std::size_t> model_bytes = {{qx::unit::sv18, probe.sv_prefix.size()},
                                                    {qx::unit::sh18, probe.sh_prefix.size()},
                                                    {qx::unit::txt18, 0},
                                                    {qx::unit::svt18, probe.svt_prefix.size()},
                                                    {qx::unit::sht18, probe.sht_prefix.size()}};
    for (const auto& [u, model] : model_bytes) {
      Conversion c;
      {
        qxtest::WriteBudget full(output_paths(dir).at(u), model);
        c = convert(dir, input, all_options, false);
      }
      const std::string what = input + " channel " + std::to_string(u) + " full";
      EXPECT_EQ(c.ier, 38) << what;
      const std::string report = tp18model::write_report(false, u, 38);
      EXPECT_TRUE(c.list.ends_with(report)) << what << "\n" << c.list;
      if (!whole_outputs) continue;
      expect_same_lines(c.list, e.list.substr(0, e.list.size() - end_line.size()) + report, what);
      if (u != qx::unit::sv18) expect_same_records(c.sv, c.sv_prefix + serialize(e.sv, false), false, what);
      if (u != qx::unit::sh18) expect_same_records(c.sh, c.sh_prefix + serialize(e.sh, false), false, what);
      if (u != qx::unit::svt18) expect_same_lines(c.svt, c.svt_prefix + e.svt, what);
      if (u != qx::unit::sht18) expect_same_lines(c.sht, c.sht_prefix + e.sht, what);
      if (u != qx::unit::txt18) expect_same_lines(c.dump, e.dump, what);
    }
  }

  // The SH buffer lacks 20 bytes of 1 MiB when a maxima header comes: the
  // header's own write meets the full disk.
  Tp18File packed;
  for (int k = 0; k < 17; ++k) packed.block("WAVE", 1, 2, 1, 0.01, std::vector<float>(k < 16 ? 16000 : 5763, 1), 1);
  Conversion c;
  {
    qxtest::WriteBudget full(output_paths(dir).at(qx::unit::sh18), probe.sh_prefix.size());
    c = convert(dir, write_input(dir, packed.maxr(101, 1, 1, 6).bytes()), {}, false);
  }
  EXPECT_EQ(c.ier, 38);
  EXPECT_TRUE(c.list.ends_with(tp18model::write_report(false, qx::unit::sh18, 38))) << c.list;

  // A large SV file that may not grow beyond 1.5 MB: the failure shows at the
  // write that meets the limit, and what was written is the start of the file.
  const std::string big_input = generate(dir, {"--size", "12M", "--blocks", "WAVE"}, "big");
  const auto big_e = tp18model::convert(tp18model::parse_records(qxtest::read_file(big_input)), {});
  const std::string expected_sv = convert(dir, write_input(dir, ""), {}, false).sv_prefix + serialize(big_e.sv, false);
  const std::uint64_t limit = 3u << 19;
  ASSERT_GT(expected_sv.size(), 2 * limit);
  const Paths p = output_paths(dir);
  EXPECT_EQ(run_limited(RLIMIT_FSIZE, limit,
                        [&] {
                          qx::Run run;
                          return convert_in(run, big_input, p, {}, false);
                        }),
            38);
  const std::string sv = qxtest::read_file(p.at(qx::unit::sv18));
  EXPECT_LE(sv.size(), limit);
  EXPECT_EQ(sv, expected_sv.substr(0, sv.size()));
  const std::string list = qxtest::read_file(p.at(qx::unit::lst));
  EXPECT_TRUE(list.ends_with(tp18model::write_report(false, qx::unit::sv18, 38)) ||
              list.ends_with(tp18model::write_report(true, qx::unit::sv18, 38)))
      << list;

  // More list lines than the list file holds back before writing them out.
  Tp18File f;
  for (int k = 0; k < 8000; ++k) f.rec1("STAT", 2, 1, 1).rec2(k, 0.5);
  {
    qxtest::WriteBudget full(output_paths(dir).at(qx::unit::lst), 0);
    c = convert(dir, write_input(dir, f.bytes()), {}, false);
  }
  EXPECT_EQ(c.ier, 38);
  const std::size_t records = tp18model::parse_records(c.sv.substr(c.sv_prefix.size())).records.size();
  EXPECT_GT(records, 2u);
  EXPECT_LT(records, 2u + 2 * 8000);
}

}  // namespace
