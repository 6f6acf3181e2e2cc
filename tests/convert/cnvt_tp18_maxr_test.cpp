// The maxima blocks of the TP18 conversion: the records and text lines of
// every code against layouts written out by hand, the dump, counts that the
// data record cannot back, and write failures naming their channel.
#include <gtest/gtest.h>

#include "convert/tp18_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp18test;
using qxtest::TempDir;
using tp18model::fi;
using tp18model::fr;
using tp18model::ft;
using tp18model::Record;

const Options maxr_only{0, 0, 0, 0, 0, 1};
Options qx_all() { return Options{1, 1, 1, 1, 1, 1}; }

// The values Tp18File::maxr writes: acl(j, d, a) and the identifiers.
float acl(int j, int d, int a) {
  return static_cast<float>(a) + static_cast<float>(d) / 10 + static_cast<float>(j) / 100;
}
i4 id1(int a) { return 10 + a; }
i4 id2(int a) { return 500 + a; }

Record header(i4 code, i4 nc2, i4 last = 1) {
  return {ft("MAXR"), fi(code), fi(nc2), fi(0), fi(0), fi(0), fi(0), fr(0.0f), fi(last)};
}

// na = 2; `ids` the identifier fields, then per item the given values.
Record items(const std::vector<tp18model::Field>& ids, const std::vector<float>& values) {
  Record r{fi(2)};
  r.insert(r.end(), ids.begin(), ids.end());
  for (float v : values) r.push_back(fr(v));
  return r;
}
const std::vector<tp18model::Field> ia1 = {fi(id1(1)), fi(id1(2))};
const std::vector<tp18model::Field> pairs = {fi(id1(1)), fi(id2(1)), fi(id1(2)), fi(id2(2))};

std::string body(const std::string& file, const std::string& prefix) { return file.substr(prefix.size()); }

TEST(CnvtTp18Maxima, RecordsOfEveryCodeInBothByteOrders) {
  TempDir dir;
  Tp18File f;
  f.rec1("INFO", 6, 0, 3).rec2(0, 0.0);
  f.maxr(101, 3, 2, 6).maxr(102, 0, 2, 6).maxr(103, 1, 2, 6).maxr(104, 2, 2, 3).maxr(105, 1, 2, 9);
  f.maxr(106, 1, 2, 5).maxr(107, 2, 2, 4, 3).maxr(108, 1, 2, 9).maxr(109, 1, 2, 1).maxr(110, 1, 2, 3);
  f.maxr(111, 1, 2, 4).maxr(112, 1, 2, 4).maxr(113, 1, 2, 2).maxr(50, 1, 2, 6).maxr(9, 1, 2, 6);
  const std::string input = write_input(dir, f.bytes());

  auto p = [](int d, int a) { return std::vector<float>{acl(1, d, a), acl(2, d, a)}; };
  auto cat = [](std::initializer_list<std::vector<float>> parts) {
    std::vector<float> v;
    for (const auto& x : parts) v.insert(v.end(), x.begin(), x.end());
    return v;
  };
  auto v = [](int d, int a) { return acl(1, d, a); };
  std::vector<Record> sv, sh;
  for (i4 code : {101, 102, 104}) {
    const i4 nc2 = code == 101 ? 3 : code == 102 ? 0 : 2;
    sv.push_back(header(code, nc2));
    sv.push_back(items(ia1, cat({p(1, 1), p(3, 1), p(1, 2), p(3, 2)})));
    sh.push_back(header(code, nc2));
    sh.push_back(items(ia1, cat({p(2, 1), {0, 0}, p(2, 2), {0, 0}})));
    if (code == 102) {  // 103 comes between 102 and 104
      sv.push_back(header(103, 1));
      sv.push_back(items(pairs, cat({p(1, 1), p(3, 1), p(1, 2), p(3, 2)})));
      sh.push_back(header(103, 1));
      sh.push_back(items(pairs, cat({p(2, 1), {0, 0}, p(2, 2), {0, 0}})));
    }
  }
  sv.push_back(header(105, 1));
  sv.push_back(items(ia1, {v(1, 1), v(3, 1), v(6, 1), v(1, 2), v(3, 2), v(6, 2)}));
  sh.push_back(header(105, 1));
  sh.push_back(items(ia1, {v(4, 1), v(5, 1), 0, v(4, 2), v(5, 2), 0}));
  sv.push_back(header(106, 1));
  sv.push_back(items(ia1, {v(1, 1), v(2, 1), v(3, 1), v(4, 1), v(1, 2), v(2, 2), v(3, 2), v(4, 2)}));
  sv.push_back(header(107, 2));
  sv.push_back(items(ia1, {v(1, 1), v(2, 1), v(1, 2), v(2, 2)}));
  sv.push_back(header(108, 2, 3));  // the split: lrec as read
  sv.push_back(items(ia1, {v(4, 1), v(4, 2)}));
  sh.push_back(header(107, 2));
  sh.push_back(items(ia1, {0, v(3, 1), 0, v(3, 2)}));
  sv.push_back(header(108, 1));  // header only, SV only
  sv.push_back(header(109, 1));
  sv.push_back(items(ia1, {v(1, 1), v(1, 2)}));
  sv.push_back(header(110, 1));
  sv.push_back(items(ia1, {v(1, 1), v(2, 1), v(3, 1), v(1, 2), v(2, 2), v(3, 2)}));
  sv.push_back(header(112, 1));  // 111 and 112 change places
  sv.push_back(items(ia1, {0, v(1, 1), v(3, 1), 0, v(1, 2), v(3, 2)}));
  sv.push_back(header(111, 1));
  sv.push_back(items(ia1, {0, v(1, 1), v(3, 1), 0, v(1, 2), v(3, 2)}));
  // 113: nothing; 50: headers in both files; 9 is written as 10.
  sv.push_back(header(50, 1));
  sh.push_back(header(50, 1));
  sv.push_back(header(10, 1));
  sh.push_back(header(10, 1));

  for (bool big : {false, true}) {
    const Conversion c = convert(dir, input, Options{}, big);
    ASSERT_EQ(c.ier, 0) << c.list;
    // INFO and its copies lead both files.
    const std::string sv_info = body(c.sv, c.sv_prefix).substr(0, 2 * (36 + 8) + 2 * (24 + 8));
    const std::string sh_info = body(c.sh, c.sh_prefix).substr(0, 36 + 8 + 24 + 8);
    EXPECT_EQ(body(c.sv, c.sv_prefix), sv_info + tp18model::serialize(sv, big));
    EXPECT_EQ(body(c.sh, c.sh_prefix), sh_info + tp18model::serialize(sh, big));
    expect_model(c, f.bytes(), Options{}, big, big ? "big" : "little");
  }
  // Code 101 with two items: 44 bytes in each file, as written out by hand.
  const Conversion c = convert(dir, input, Options{}, false);
  const auto sv101 = tp18model::parse_records(body(c.sv, c.sv_prefix)).records[5];
  ASSERT_EQ(sv101.size(), 44u);
  EXPECT_EQ(sv101.substr(0, 12), std::string("\x02\0\0\0\x0b\0\0\0\x0c\0\0\0", 12));
  const auto sh101 = tp18model::parse_records(body(c.sh, c.sh_prefix)).records[3];
  ASSERT_EQ(sh101.size(), 44u);
  EXPECT_EQ(sh101.substr(20, 8), std::string(8, '\0'));
  EXPECT_EQ(sh101.substr(36, 8), std::string(8, '\0'));

  // The list shows every maxima block by one line of its four fields.
  const auto list = qxtest::split_lines(c.list);
  EXPECT_EQ(list[7], "MAXR     101       3       1");
  EXPECT_EQ(list[19], "MAXR     113       1       1");
}

TEST(CnvtTp18Maxima, TextTwinsAndDumpUnderTheOption) {
  TempDir dir;
  Tp18File f;
  f.maxr(104, 1, 2, 3).maxr(107, 0, 5, 4, 2).maxr(103, 1, 1, 6).maxr(108, 1, 1, 7).maxr(101, 1, 0, 6);
  const std::string input = write_input(dir, f.bytes());
  const Conversion c = convert(dir, input, maxr_only, false);
  ASSERT_EQ(c.ier, 0) << c.list;
  const std::string default_info =
      "INFO       6       0       3       0       0       1    9.80000E+00       1\n"
      "       0    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00    0.00000E+00\n";
  EXPECT_EQ(body(c.svt, c.svt_prefix),
            default_info +
                "MAXR     104       1       0       0       0       0    0.00000E+00       1\n"
                "       2\n"
                "      11    1.11000E+00    1.12000E+00    1.31000E+00    1.32000E+00\n"
                "      12    2.11000E+00    2.12000E+00    2.31000E+00    2.32000E+00\n"
                "MAXR     107       0       0       0       0       0    0.00000E+00       1\n"
                "       5\n"
                "      11    1.11000E+00    1.21000E+00\n"
                "      12    2.11000E+00    2.21000E+00\n"
                "      13    3.11000E+00    3.21000E+00\n"
                "      14    4.11000E+00    4.21000E+00\n"
                "      15    5.11000E+00    5.21000E+00\n"
                "MAXR     108       0       0       0       0       0    0.00000E+00       2\n"
                "       5\n"
                "      11    1.41000E+00\n"
                "      12    2.41000E+00\n"
                "      13    3.41000E+00\n"
                "      14    4.41000E+00\n"
                "      15    5.41000E+00\n"
                "MAXR     103       1       0       0       0       0    0.00000E+00       1\n"
                "       1\n"
                "      11     501    1.11000E+00    1.12000E+00    1.31000E+00    1.32000E+00\n"
                "MAXR     108       1       0       0       0       0    0.00000E+00       1\n"
                "MAXR     101       1       0       0       0       0    0.00000E+00       1\n"
                "       0\n"
                "\n");
  EXPECT_EQ(body(c.sht, c.sht_prefix),
            default_info +
                "MAXR     104       1       0       0       0       0    0.00000E+00       1\n"
                "       2\n"
                "      11    1.21000E+00    1.22000E+00    0.00000E+00    0.00000E+00\n"
                "      12    2.21000E+00    2.22000E+00    0.00000E+00    0.00000E+00\n"
                "MAXR     107       0       0       0       0       0    0.00000E+00       1\n"
                "       5\n"
                "  0.0000E+00  1.3100E+00  0.0000E+00  2.3100E+00  0.0000E+00  3.3100E+00  0.0000E+00  4.3100E+00\n"
                "  0.0000E+00  5.3100E+00\n"
                "MAXR     103       1       0       0       0       0    0.00000E+00       1\n"
                "       1\n"
                "      11     501    1.21000E+00    1.22000E+00    0.00000E+00    0.00000E+00\n"
                "MAXR     101       1       0       0       0       0    0.00000E+00       1\n"
                "       0\n"
                "\n");
  const auto dump = qxtest::split_lines(c.dump);
  ASSERT_EQ(dump.size(), 5u + 8 + 4 + 4 + 3);
  EXPECT_EQ(dump[0], "na=      2, ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)");
  EXPECT_EQ(dump[1], "     11     12");
  EXPECT_EQ(dump[2], "    501    502");
  EXPECT_EQ(dump[3], "  1.1100E+00  1.1200E+00  1.2100E+00  1.2200E+00  1.3100E+00  1.3200E+00");
  EXPECT_EQ(dump[5], "na=      5, ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)");
  EXPECT_EQ(dump[6], "     11     12     13     14     15");
  EXPECT_EQ(dump[12].size(), 8u * 12);
  // 108 read from the file: the components its record holds (seven here).
  EXPECT_EQ(dump[17], "na=      1, ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)");
  EXPECT_EQ(dump[20].size(), 14u * 12);
  EXPECT_EQ(dump[20].substr(13 * 12), "  1.7200E+00");
  // na = 0: empty identifier lines and no item lines.
  EXPECT_EQ(dump[21], "na=      0, ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)");
  EXPECT_EQ(dump[22], "");
  EXPECT_EQ(dump[23], "");
  expect_model(c, f.bytes(), maxr_only, false, "maxr text");

  // Without -maxr no text of a maxima block, not even the dump.
  const Conversion w = convert(dir, input, Options{0, 0, 1, 0, 0, 0}, false);
  EXPECT_EQ(body(w.svt, w.svt_prefix), default_info);
  EXPECT_EQ(body(w.sht, w.sht_prefix), default_info);
  EXPECT_EQ(w.dump, "");
}

TEST(CnvtTp18Maxima, CountsTheRecordCannotBackAreReadErrorsWithoutAllocation) {
  TempDir dir;
  struct Case {
    std::string what;
    Tp18File file;
    int status;
  };
  std::vector<Case> cases;
  {
    Case k{"item count of two thousand million", {}, 67};
    k.file.maxr_header(104, 1).record(Payload().i(2000000000).i(1).i(2).reals(std::vector<float>(12, 1.0f)));
    cases.push_back(k);
  }
  {
    Case k{"three items in a record of two", {}, 67};
    Tp18File two;
    two.maxr(101, 1, 2, 6);
    std::string rec = tp18model::parse_records(two.bytes()).records[1];
    rec[0] = 3;
    k.file.maxr_header(101, 1).record(Payload().t(rec));
    cases.push_back(k);
  }
  {
    Case k{"no data record", {}, -1};
    k.file.maxr_header(110, 1);
    cases.push_back(k);
  }
  {
    Case k{"a data record shorter than its count", {}, 67};
    k.file.maxr_header(110, 1).record(Payload().t("ab"));
    cases.push_back(k);
  }
  {
    Case k{"a code above 112 without its data record", {}, -1};
    k.file.maxr(101, 1, 1, 6).maxr_header(113, 1);
    cases.push_back(k);
  }
  for (const Case& k : cases) {
    const std::string input = write_input(dir, k.file.bytes());
    const Conversion c = convert(dir, input, maxr_only, false);
    EXPECT_EQ(c.ier, k.status) << k.what;
    EXPECT_EQ(qxtest::split_lines(c.list).back(),
              "                    *** FILE NAME = TP18  IOSTAT = " + tp18model::I(k.status, 5) + " ***")
        << k.what;
    expect_model(c, k.file.bytes(), maxr_only, false, k.what);
  }
  // The headers are written before the report; no values are.
  const Conversion c = convert(dir, write_input(dir, cases[0].file.bytes()), maxr_only, false);
  EXPECT_EQ(tp18model::parse_records(body(c.sv, c.sv_prefix)).records.size(), 3u);
  EXPECT_EQ(tp18model::parse_records(body(c.sh, c.sh_prefix)).records.size(), 3u);
  EXPECT_EQ(c.dump, "");
#if !defined(__SANITIZE_ADDRESS__)
  const std::string input = write_input(dir, cases[0].file.bytes());
  const int status = run_with_memory_limit(64 << 20, [&] {
    qx::Run run;
    return convert_in(run, input, output_paths(dir), maxr_only, false);
  });
  EXPECT_EQ(status, 67);
#endif

  // A negative count is an empty list, written as read.
  Tp18File neg;
  neg.maxr_header(101, 1).record(Payload().i(-3));
  const Conversion n = convert(dir, write_input(dir, neg.bytes()), maxr_only, false);
  EXPECT_EQ(n.ier, 0);
  const auto recs = tp18model::parse_records(body(n.sv, n.sv_prefix)).records;
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[3], std::string("\xfd\xff\xff\xff", 4));
  EXPECT_EQ(body(n.sht, n.sht_prefix).substr(n.sht.size() - n.sht_prefix.size() - 10), "      -3\n\n");
}

TEST(CnvtTp18Maxima, GeneratedCaseWithAHostileItemCount) {
  TempDir dir;
  const std::string input = generate(dir, {"--hostile-na", "--size", "30k"});
  const std::string bytes = qxtest::read_file(input);
  const Conversion c = convert(dir, input, qx_all(), false);
  EXPECT_EQ(c.ier, 67);
  EXPECT_NE(c.list.find("MAXR     101"), std::string::npos);
  EXPECT_EQ(qxtest::split_lines(c.list).back(), "                    *** FILE NAME = TP18  IOSTAT =    67 ***");
  expect_model(c, bytes, qx_all(), false, "hostile na");
#if !defined(__SANITIZE_ADDRESS__)
  const int status = run_with_memory_limit(64 << 20, [&] {
    qx::Run run;
    return convert_in(run, input, output_paths(dir), qx_all(), false);
  });
  EXPECT_EQ(status, 67);
#endif
}

TEST(CnvtTp18Maxima, WriteFailureNamesTheChannelThatFailed) {
  TempDir dir;
  // A record larger than the output buffer fails at its own write.
  const int na = 100000;
  Tp18File f;
  f.block("WAVE", 1, 1, 1, 0.01, {1, 2, 3}, 1).maxr(101, 1, na, 6);
  const std::string input = write_input(dir, f.bytes());
  const std::size_t sh_model = convert(dir, write_input(dir, "", "probe.TP18"), maxr_only, false).sh_prefix.size();
  for (int u : {qx::unit::sh18, qx::unit::svt18, qx::unit::sht18}) {
    // The disk fills up right behind the model section (text twins hold none).
    Conversion c;
    {
      qxtest::WriteBudget full(output_paths(dir).path.at(u), u == qx::unit::sh18 ? sh_model : 0);
      c = convert(dir, input, maxr_only, false);
    }
    EXPECT_EQ(c.ier, 38);
    const auto lines = qxtest::split_lines(c.list);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2] + "\n" + lines.back() + "\n", tp18model::data_write_report(u, 38));
  }
}

}  // namespace
