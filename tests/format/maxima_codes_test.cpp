// The maxima codes: the component count of a 108 block read from its record,
// and the blocks of the converted files as the table makes them, against the
// documented layouts of the converted records.
#include "format/maxima_codes.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace qx::format;

// A reader of a 108 block takes whole components past the identifiers, at
// most nine, and nothing without items.
TEST(MaximaCodes, A108BlockTakesTheWholeComponentsItsRecordHoldsUpToNine) {
  struct Case {
    std::int64_t na;
    std::uint64_t length;
    int nd;
  };
  const Case cases[] = {
      {2, maxima_record_bytes(2, 7), 7},
      {2, maxima_record_bytes(2, 7) + 15, 7},  // part of a component more
      {3, maxima_record_bytes(3, 9), 9},
      {3, maxima_record_bytes(3, 12), 9},      // more than any code has
      {1, maxima_record_bytes(1, 0), 0},
      {4, maxima_record_bytes(4, 0) - 4, 0},   // not even the identifiers
      {0, 400, 0},
      {-5, 400, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(maxima_components_from_record(c.na, c.length), c.nd) << "na " << c.na << ", " << c.length << " bytes";
  EXPECT_FALSE(maxima_components(108));
  EXPECT_FALSE(maxima_components(113));
  EXPECT_EQ(maxima_components(50), 6);
  EXPECT_EQ(maxima_components(111), 4);
  EXPECT_EQ(maxima_components(105), 9);
}

// The values of an item of a converted record, component by component
// ('0' a filler), twice for a pair.
std::string values(const std::array<std::int8_t, 8>& v, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + v[i]);
  return s;
}

// The converted maxima blocks by the code written, as the documentation of
// the converted records lists them: identifiers, values of SV and SH.
TEST(MaximaCodes, ConvertedBlocksHaveTheDocumentedLayouts) {
  struct Expected {
    int code, ids;
    std::string sv, sh;
    bool optional;
  };
  const Expected expected[] = {
      {101, 1, "1133", "2200", false}, {102, 1, "1133", "2200", false}, {103, 2, "1133", "2200", false},
      {104, 1, "1133", "2200", false}, {105, 1, "136", "450", false},   {106, 1, "1234", "", false},
      {107, 1, "12", "03", false},     {108, 1, "4", "", true},         {109, 1, "1", "", false},
      {110, 1, "123", "", false},      {111, 1, "013", "", false},      {112, 1, "013", "", false},
  };
  for (const Expected& e : expected) {
    const ConvertedMaxima* b = converted_maxima(e.code);
    ASSERT_NE(b, nullptr) << e.code;
    EXPECT_EQ(b->ids, e.ids) << e.code;
    EXPECT_EQ(b->reals, static_cast<int>(e.sv.size())) << e.code;
    EXPECT_EQ(values(b->sv, b->sv_values), e.sv) << e.code;
    EXPECT_EQ(values(b->sh, b->sh_values), e.sh) << e.code;
    EXPECT_EQ(b->data_optional, e.optional) << e.code;
  }
  for (int code : {50, 100, 113, 9}) EXPECT_EQ(converted_maxima(code), nullptr) << code;
}

TEST(MaximaCodes, CodesAreWrittenRenumberedAndRoutedByTheirWrittenCode) {
  EXPECT_EQ(written_maxima_code(111), 112);
  EXPECT_EQ(written_maxima_code(112), 111);
  EXPECT_EQ(written_maxima_code(9), 10);
  EXPECT_EQ(written_maxima_code(107), 107);
  for (int code : {50, 101, 105, 107}) EXPECT_TRUE(maxima_goes_to_sh(code)) << code;
  for (int code : {106, 108, 109, 110, 111, 112}) EXPECT_FALSE(maxima_goes_to_sh(code)) << code;
  // 107 splits in two in the SV file: its second record follows a 108 header.
  const MaximaCode& c107 = maxima_code(107);
  ASSERT_EQ(c107.written().size(), 4u);
  EXPECT_EQ(c107.written()[1].piece, Piece::extra_header);
  EXPECT_TRUE(maxima_code(108).written().empty());
  EXPECT_EQ(maxima_code(42).nd, 6);
}

}  // namespace
