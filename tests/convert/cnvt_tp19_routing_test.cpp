// The conversion table of TP19 blocks, walked pair by pair through a TP19
// file: every (nc1, nc2) from 40 to 55 and 0 to 7, for a time history and
// for a block of another kind word, must land in the documented variant with
// the documented code, and every other pair must be passed over.
#include <gtest/gtest.h>

#include <sstream>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;

// The documented table: for each nc1, the target of nc2 = 1 to 6, "--" where
// the block is passed over. Rows not listed pass every block over.
constexpr const char* documented_rows[][2] = {
    {"41", "SV1  --   SV2  SH1  SH2  SV3"},  {"42", "--   SV13 SV14 SV11 SV12 SH22"},
    {"43", "SV21 SH22 SV22 --   SV31 --"},   {"44", "--   --   --   --   --   SV41"},
    {"45", "SV1  --   SV2  --   --   SV3"},  {"46", "--   --   SV51 --   SV52 --"},
    {"47", "--   --   SV51 --   SV52 --"},  {"51", "SV4  --   SV5  SH4  SH5  SV6"},
    {"52", "SV4  --   SV5  --   --   SV6"},  {"53", "--   --   SV53 --   SV54 --"},
    {"54", "--   --   SV53 --   SV54 --"},
};

struct Expected {
  std::string to;  // "SV", "SH" or empty
  int code = 0;
};

Expected documented(int nc1, int nc2) {
  for (const auto& row : documented_rows) {
    if (std::stoi(row[0]) != nc1) continue;
    std::istringstream cells(row[1]);
    std::string cell;
    for (int column = 1; cells >> cell; ++column)
      if (column == nc2 && cell != "--") return {cell.substr(0, 2), std::stoi(cell.substr(2))};
  }
  return {};
}

TEST(Tp19ConversionTable, EveryPairLandsWhereTheTableSays) {
  for (Order order : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(order));
    std::vector<InBlock> in;
    InBlock info;
    info.name = "INFO";
    info.nc = {6, 0, 3, 0, 0, 1};
    info.lrec = 1;
    info.dmp = 9.8;
    info.dt = 0.5;
    in.push_back(info);

    std::vector<OutBlock> sv{}, sh{};
    const OutBlock info_out = default_info();  // the same codes and reals
    sv.push_back(info_out);
    sh.push_back(info_out);
    int converted = 0, passed = 0;
    std::string list;
    for (const char* kind : {"WAVE", "STRS"}) {
      for (int nc1 = 40; nc1 <= 55; ++nc1) {
        for (int nc2 = 0; nc2 <= 7; ++nc2) {
          const int i = static_cast<int>(in.size());
          InBlock b;
          b.name = kind;
          b.nc = {nc1, nc2, 1 + i % 3, 100 + i % 50, 200 + i % 70, 9};
          b.dmp = 0.01 * i;
          b.dt = 0.25 * i;
          b.nsize2 = 2;
          b.yt = {static_cast<float>(i), 1, 2, 3};
          b.data = {{static_cast<float>(i), -0.5f * static_cast<float>(i)}};
          in.push_back(b);

          char line[128];
          std::snprintf(line, sizeof line, "%-4s%8d%8d%8d%8d%8d%8d", kind, nc1, nc2, b.nc[2], b.nc[3], b.nc[4], 9);
          list += line;
          list += '\n';

          const Expected e = documented(nc1, nc2);
          if (e.to.empty()) {
            ++passed;
            continue;
          }
          ++converted;
          OutBlock o;
          o.name = kind;
          o.nc = {41, 0, 0, b.nc[3], b.nc[4], e.code};
          o.dap = static_cast<float>(b.dmp);
          o.lrec = b.lrec;
          o.nsize2 = 2;
          o.dtt = std::string_view(kind) == "WAVE" ? static_cast<float>(b.dt) : 0.0f;
          o.yt = b.yt;
          o.data = b.data[0];
          (e.to == "SV" ? sv : sh).push_back(o);
        }
      }
    }
    EXPECT_EQ(converted, 2 * 34);
    EXPECT_EQ(passed, 2 * (16 * 8 - 34));

    Harness h(tp19_file(in), in_order(order));
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.sv(), h.model[qx::unit::sv19] + out_blocks(sv, order));
    EXPECT_EQ(h.sh(), h.model[qx::unit::sh19] + out_blocks(sh, order));

    // Every block but the information block has its list lines, passed
    // over or not; the first line begins with the kind word and codes.
    std::vector<std::string> lines = qxtest::split_lines(h.lst());
    std::string firsts;
    std::size_t list_lines = 0;
    for (const auto& l : lines) {
      if (l.size() == 75) firsts += l.substr(0, 52) + "\n";
      if (l.size() == 75 || l.size() == 83) ++list_lines;
    }
    EXPECT_EQ(firsts, list);
    EXPECT_EQ(list_lines, 2 * (in.size() - 1));
  }
}

}  // namespace
