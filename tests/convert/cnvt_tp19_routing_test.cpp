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

// The cell of (nc1, nc2), "" when the block is passed over.
std::string documented(int nc1, int nc2) {
  for (const auto& row : documented_rows) {
    if (std::stoi(row[0]) != nc1) continue;
    std::istringstream cells(row[1]);
    std::string cell;
    for (int column = 1; cells >> cell; ++column)
      if (column == nc2 && cell != "--") return cell;
  }
  return "";
}

TEST(Tp19ConversionTable, EveryPairLandsWhereTheTableSays) {
  for (Order order : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(order));
    std::vector<InBlock> in{info_block()};
    std::vector<OutBlock> sv{default_info()}, sh{default_info()};  // the same codes and reals
    std::string list;
    for (const char* kind : {"WAVE", "STRS"}) {
      for (int nc1 = 40; nc1 <= 55; ++nc1) {
        for (int nc2 = 0; nc2 <= 7; ++nc2) {
          const int i = static_cast<int>(in.size());
          InBlock b = block(kind, nc1, nc2, {{static_cast<float>(i), -0.5f * static_cast<float>(i)}});
          b.nc = {nc1, nc2, 1 + i % 3, 100 + i % 50, 200 + i % 70, 9};
          b.dmp = 0.01 * i;
          b.dt = 0.25 * i;
          b.yt = {static_cast<float>(i), 1, 2, 3};
          in.push_back(b);
          list += list_lines(b);  // passed over or not
          const std::string cell = documented(nc1, nc2);
          if (cell.empty()) continue;
          (cell.substr(0, 2) == "SV" ? sv : sh).push_back(converted(b, std::stoi(cell.substr(2)), b.data[0]));
        }
      }
    }
    Harness h(tp19_file(in), Settings{order, 0, 0, 0, 0, {}});
    ASSERT_EQ(h.convert(), 0);
    EXPECT_EQ(h.blocks(unit::sv19), out_blocks(sv, order));
    EXPECT_EQ(h.blocks(unit::sh19), out_blocks(sh, order));
    EXPECT_EQ(h.lst(), start_lines() + list + end_lines());
  }
}

}  // namespace
