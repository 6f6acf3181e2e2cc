// The block kinds and the TP18 drop rules, against the documented examples.
#include "format/block_kinds.hpp"

#include <gtest/gtest.h>

namespace {

using namespace qx::format;

TEST(BlockKinds, TP18BlocksAreDroppedByTheirCodesWithTheirRecords) {
  struct Case {
    const char* word;
    int nc1, nc2, nc3;
    int dropped;  // records passed over, 0 for a block converted
  };
  const Case cases[] = {
      {"WAVE", 13, 1, 1, 2}, {"WAVE", 34, 3, 3, 2}, {"WAVE", 33, 3, 3, 0}, {"WAVE", 12, 3, 3, 0},
      {"WAVE", 4, 5, 1, 1},  {"WAVE", 10, 5, 1, 1}, {"SPEC", 11, 5, 1, 2}, {"AMPL", 1, 2, 1, 2},
      {"AMPL", 1, 2, 3, 2},  {"AMPL", 1, 1, 2, 2},  {"AMPL", 1, 3, 2, 2},  {"AMPL", 1, 2, 2, 0},
      {"AMPL", 1, 1, 3, 0},  {"AMPL", 1, 4, 2, 0},  {"FOUR", 1, 2, 1, 0},  {"INFO", 6, 0, 3, 0},
  };
  for (const Case& c : cases) {
    const auto records = tp18_dropped_records(c.word, c.nc1, c.nc2, c.nc3);
    EXPECT_EQ(records.value_or(0), c.dropped) << c.word << " " << c.nc1 << "," << c.nc2 << "," << c.nc3;
  }
}

TEST(BlockKinds, KindWordsAreComparedWholeAndOthersHaveNoData) {
  EXPECT_TRUE(block_kind("INFO").info);
  for (const char* other : {"wave", "WAV", "WAVES", "STAT", "", "MAXR"}) {
    const BlockKind& k = block_kind(other);
    EXPECT_EQ(k.tp18_records, 0) << other;
    EXPECT_EQ(k.tp19_records, 1) << other;
    EXPECT_FALSE(k.info) << other;
  }
  EXPECT_EQ(written_quantity(9), 10);
  EXPECT_EQ(written_quantity(10), 10);
}

}  // namespace
