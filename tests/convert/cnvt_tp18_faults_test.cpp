// Faults of the TP18 conversion: headers and data records that cannot be
// read, truncated files, sizes the file cannot back, and outputs that cannot
// be written. Each is one numbered report, after every block before it.
#include <gtest/gtest.h>

#include <cstring>

#include "convert/tp18_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp18test;
using qxtest::TempDir;
using tp18model::parse_records;

const Options no_options{};
const Options all_options{1, 1, 1, 1, 1, 1};

TEST(CnvtTp18, HeaderReadErrors) {
  TempDir dir;
  {
    // The file ends right after a REC1: its list lines (REC2 never read), and
    // the report.
    Tp18File f;
    f.rec1("WAVE", 3, 1, 1, 0.25, 2);
    const Conversion c = convert(dir, write_input(dir, f.bytes()), no_options, false);
    EXPECT_EQ(c.ier, -1);
    EXPECT_EQ(c.list,
              "\n\n\nSTART (CONVERT TP18)\n\n"
              "WAVE       3       1       1     101       2       7    2.50000E-01       2\n"
              "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n"
              "  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"
              "                    *** FILE NAME = TP18 REC1,2:  IOSTAT =    -1 ***\n");
    // The default information block was written before the block's lines.
    EXPECT_EQ(converted_records(c.sv, c.sv_prefix).size(), 2u);
  }
  {
    // A REC1 without its lrec is judged by its own read, though REC2 is fine.
    Tp18File f;
    f.block("WAVE", 1, 1, 1, 0.01, {1}, 1);
    f.record(Payload().t("WAVE").i(1).i(1).i(1).i(0).i(0).i(0).d(0.5)).rec2(1, 0.01).values({2});
    const Conversion c = convert(dir, write_input(dir, f.bytes()), all_options, false);
    EXPECT_EQ(c.ier, 67);
    EXPECT_EQ(last_lines(c.list, 2),
              "  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"
              "                    *** FILE NAME = TP18 REC1,2:  IOSTAT =    67 ***\n");
    expect_model(c, f.bytes(), all_options, false, "short REC1");
  }
  {
    // A file cut inside its first record: nothing was read, the kind is blank.
    Tp18File f;
    f.rec1("INFO", 6, 0, 3);
    const Conversion c = convert(dir, write_input(dir, f.bytes().substr(0, 30)), no_options, false);
    EXPECT_EQ(c.ier, 39);
    EXPECT_EQ(c.list,
              "\n\n\nSTART (CONVERT TP18)\n\n"
              "           0       0       0       0       0       0    0.00000E+00       0\n"
              "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n"
              "  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"
              "                    *** FILE NAME = TP18 REC1,2:  IOSTAT =    39 ***\n");
    EXPECT_EQ(converted_records(c.sh, c.sh_prefix).size(), 2u);  // the default information block
  }
  {
    // A REC2 of 20 bytes; a maxima header of 8 bytes.
    Tp18File f;
    f.rec1("SPEC", 1, 1, 1).record(Payload().i(3).d(0.1).r(1).r(2));
    Tp18File g;
    g.block("WAVE", 1, 1, 1, 0.01, {1}, 1).record(Payload().t("MAXR").i(101));
    for (const Tp18File* h : {&f, &g}) {
      const Conversion c = convert(dir, write_input(dir, h->bytes()), all_options, false);
      EXPECT_EQ(c.ier, 67);
      EXPECT_EQ(last_lines(c.list, 1), "                    *** FILE NAME = TP18 REC1,2:  IOSTAT =    67 ***\n");
      expect_model(c, h->bytes(), all_options, false, "short header");
    }
  }
}

TEST(CnvtTp18, DataReadErrorsStopAtTheFirstFailureAndWriteNoValueTheFileDoesNotHold) {
  TempDir dir;
  struct Case {
    std::string what;
    Tp18File file;
    int status;
    std::size_t sv_records;  // converted records in SV (after the default block)
  };
  std::vector<Case> cases;
  {
    // The first FOUR block's first record is too short for its nsize2: the
    // headers are written, the axis is not.
    Case k{"short first FOUR record", {}, 67, 2 + 2};
    k.file.rec1("FOUR", 1, 1, 1, 0.0, 3).rec2(5, 0.1).values({1, 2, 3}).values({1, 2, 3, 4, 5});
    cases.push_back(k);
  }
  {
    // A later FOUR block: its short first record is not hidden by a good second.
    Case k{"short record of a later FOUR", {}, 67, 2 + 5 + 2 + 1};
    k.file.block("FOUR", 1, 1, 1, 0.1, {1, 2, 3}, 2);
    k.file.rec1("FOUR", 1, 1, 1, 0.0, 3).rec2(3, 0.1).values({1, 2}).values({1, 2, 3});
    cases.push_back(k);
  }
  {
    Case k{"short WAVE record", {}, 67, 2 + 2};
    k.file.rec1("WAVE", 1, 3, 1, 0.0, 2).rec2(4, 0.1).values({1, 2, 3});
    cases.push_back(k);
  }
  {
    Case k{"end of file after REC2", {}, -1, 2 + 2};
    k.file.rec1("SPEC", 1, 1, 1, 0.0, 3).rec2(4, 0.1);
    cases.push_back(k);
  }
  {
    Case k{"end of file inside a dropped block", {}, -1, 2};
    k.file.rec1("SPEC", 13, 1, 1, 0.0, 3).rec2(4, 0.1).values({1, 2, 3, 4});
    cases.push_back(k);
  }
  {
    Case k{"a data record cut by the end of the file", {}, 39, 2 + 2};
    k.file.rec1("WAVE", 1, 1, 1, 0.0, 2).rec2(4, 0.1);
    Tp18File whole;
    whole.values({1, 2, 3, 4});
    k.file.raw(whole.bytes().substr(0, 13));
    cases.push_back(k);
  }
  for (const Case& k : cases) {
    const Conversion c = convert(dir, write_input(dir, k.file.bytes()), all_options, false);
    EXPECT_EQ(c.ier, k.status) << k.what;
    EXPECT_EQ(last_lines(c.list, 2),
              "  **** ERROR NO. 1007 **** TP1819 FILE READ ERROR ****\n"
              "                    *** FILE NAME = TP18  IOSTAT = " +
                  tp18model::I(k.status, 5) + " ***\n")
        << k.what;
    EXPECT_EQ(converted_records(c.sv, c.sv_prefix).size(), k.sv_records) << k.what;
    expect_model(c, k.file.bytes(), all_options, false, k.what);
  }
}

TEST(CnvtTp18, TruncatedFilesKeepEveryBlockBeforeTheCut) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string input = generate(dir, {"--seed", "3", "--size", "24k"});
  const std::string whole = qxtest::read_file(input);
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
    const std::string bytes = whole.substr(0, cut);
    const Conversion c = convert(dir, write_input(dir, bytes), all_options, false);
    const auto e = expect_model(c, bytes, all_options, false, "cut at " + std::to_string(cut));
    if (e.ier == 0) ++normal_ends;
    if (::testing::Test::HasFailure()) break;
  }
  // Cuts at block boundaries end normally; the others are reported.
  EXPECT_GT(normal_ends, 10);
  EXPECT_LT(normal_ends, static_cast<int>(cuts.size()) / 4);

  // The generator's own cut gives the same file.
  const std::string cut_input = generate(dir, {"--seed", "3", "--size", "24k", "--truncate-tp18", "5000"}, "cut");
  EXPECT_EQ(qxtest::read_file(cut_input), whole.substr(0, 5000));
}

TEST(CnvtTp18, HostileSizeIsReportedWithoutAllocatingIt) {
  TempDir dir;
  const std::string input = generate(dir, {"--hostile-nsize2", "TP18", "--size", "30k"});
  const std::string bytes = qxtest::read_file(input);
  const Conversion c = convert(dir, input, all_options, false);
  EXPECT_EQ(c.ier, 67);
  // The size does not fit the list line's eight columns.
  EXPECT_NE(c.list.find("\n********    "), std::string::npos);
  EXPECT_EQ(last_lines(c.list, 1), "                    *** FILE NAME = TP18  IOSTAT =    67 ***\n");
  expect_model(c, bytes, all_options, false, "hostile nsize2");
#if !defined(__SANITIZE_ADDRESS__)
  // 8 GB of values would be asked for: the conversion runs in 64 MB.
  const int status = run_with_memory_limit(64 << 20, [&] {
    qx::Run run;
    return convert_in(run, input, output_paths(dir), all_options, false);
  });
  EXPECT_EQ(status, 67);
#endif
}

TEST(CnvtTp18, FailedWritesAreReportedWithTheirChannel) {
  TempDir dir;
  const std::string input = generate(dir, {"--size", "30k"});
  // Small outputs fail when their channel is closed; every output in turn.
  // The others are closed too and complete.
  const auto e = tp18model::convert(parse_records(qxtest::read_file(input)), all_options);
  const std::string end_line = "\nEND (CONVERT TP18)\n";
  ASSERT_EQ(e.list.substr(e.list.size() - end_line.size()), end_line);
  // The disk fills up right behind the model section of the failing output.
  const Conversion probe = convert(dir, write_input(dir, "", "probe.TP18"), all_options, false);
  const std::map<int, std::size_t> model_bytes = {{qx::unit::sv18, probe.sv_prefix.size()},
                                                  {qx::unit::sh18, probe.sh_prefix.size()},
                                                  {qx::unit::txt18, 0},
                                                  {qx::unit::svt18, probe.svt_prefix.size()},
                                                  {qx::unit::sht18, probe.sht_prefix.size()}};
  for (const auto& [u, model] : model_bytes) {
    Conversion c;
    {
      qxtest::WriteBudget full(output_paths(dir).path.at(u), model);
      c = convert(dir, input, all_options, false);
    }
    EXPECT_EQ(c.ier, 38) << u;
    expect_same_lines(c.list, e.list.substr(0, e.list.size() - end_line.size()) + tp18model::data_write_report(u, 38),
                      "list with channel " + std::to_string(u) + " full");
    if (u != qx::unit::sv18) expect_same_records(c.sv, c.sv_prefix + serialize(e.sv, false), false, "SV");
    if (u != qx::unit::sh18) expect_same_records(c.sh, c.sh_prefix + serialize(e.sh, false), false, "SH");
    if (u != qx::unit::svt18) expect_same_lines(c.svt, c.svt_prefix + e.svt, "SV text");
    if (u != qx::unit::sht18) expect_same_lines(c.sht, c.sht_prefix + e.sht, "SH text");
    if (u != qx::unit::txt18) expect_same_lines(c.dump, e.dump, "dump");
  }

  // A large SV file that may not grow beyond 1.5 MB: the failure shows at the
  // write that meets the limit, and what was written is the start of the file.
  const std::string big_input = generate(dir, {"--size", "12M", "--blocks", "WAVE"}, "big");
  const auto big_e = tp18model::convert(parse_records(qxtest::read_file(big_input)), no_options);
  const std::string expected_sv = serialize(big_e.sv, false);
  ASSERT_GT(expected_sv.size(), 3u << 20);
  const std::uint64_t limit = 3u << 19;
  const std::string prefix_sv = convert(dir, write_input(dir, ""), no_options, false).sv_prefix;
  const Paths p = output_paths(dir);
  const int status = run_with_file_size_limit(limit, [&] {
    qx::Run run;
    return convert_in(run, big_input, p, no_options, false);
  });
  EXPECT_EQ(status, 38);
  const std::string sv = qxtest::read_file(p.path.at(qx::unit::sv18));
  EXPECT_LE(sv.size(), limit);
  EXPECT_EQ(sv, (prefix_sv + expected_sv).substr(0, sv.size()));
  const std::string report = last_lines(qxtest::read_file(p.path.at(qx::unit::lst)), 2);
  EXPECT_TRUE(report == tp18model::data_write_report(qx::unit::sv18, 38) ||
              report == tp18model::header_write_report(qx::unit::sv18, 38))
      << report;
}

TEST(CnvtTp18, AListFileThatCannotBeWrittenStopsTheConversion) {
  TempDir dir;
  // More list lines than the list file holds back before writing them out.
  Tp18File f;
  const int blocks = 8000;
  for (int k = 0; k < blocks; ++k) f.rec1("STAT", 2, 1, 1).rec2(k, 0.5);
  const Conversion c = convert(dir, write_input(dir, f.bytes()), no_options, false, {{qx::unit::lst, "/dev/full"}});
  EXPECT_EQ(c.ier, 38);
  const auto sv = converted_records(c.sv, c.sv_prefix);
  EXPECT_GT(sv.size(), 2u);
  EXPECT_LT(sv.size(), 2u + 2 * blocks);
}
}  // namespace
