// The model section: title words, counts of the two variants, the element
// records' slots.
#include "format/model_section.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>


namespace {

using namespace qx::format;

TEST(ModelSection, TheTitleIsHeldFirstCharacterInTheLowestByteOfEachWord) {
  std::array<char, title_chars> title;
  for (std::size_t i = 0; i < title.size(); ++i) title[i] = static_cast<char>(i < 68 ? 'A' + i % 26 : "V401"[i - 68]);
  const auto words = pack_title(title);
  EXPECT_EQ(words[17], 825242710);  // "V401"
  EXPECT_EQ(static_cast<std::uint32_t>(words[0]), 0x44434241u);  // "ABCD"
  EXPECT_EQ(unpack_title(words), std::string(title.data(), title.size()));
}

TEST(ModelSection, CountsOfTheVariants) {
  const Counts nelm = {7, 2, 3, 0, 5, 6, 1, 4, 9, 8};
  const Counts sv = sv_counts(nelm);
  EXPECT_EQ(sv[3], 3);  // rotational springs repeat the springs
  EXPECT_EQ(sh_counts(nelm), (Counts{7, 0, 9, 0, 0, 0, 0, 0, 0, 0}));  // beams + springs + rigid
  const int big = std::numeric_limits<int>::max();
  EXPECT_EQ(sh_counts({0, big, big, 0, 0, 0, 0, 1, 0, 0})[2], big);
  EXPECT_EQ(sh_counts({0, -big, -big, 0, 0, 0, 0, -5, 0, 0})[2], std::numeric_limits<int>::min());
}

// Each element record is sized by the slot whose name its count has, and
// the SH file holds only the solids and the merged springs.
TEST(ModelSection, ElementRecordsAreSizedByTheSlotsOfTheirKinds) {
  const std::pair<std::string_view, std::string_view> slot_of[] = {
      {"SOLID", "NSOLEL"}, {"BEAM", "NBEAEL"}, {"SPRING", "NSPREL"}, {"ROTATE", "NROTEL"}, {"WATER", "NWATEL"},
      {"WATERB", "NWSIEL"}, {"SHELL", "NSTSEL"}, {"RIGID", "NRIGE"}, {"VOID", "MDLM"}, {"JOINT", "NJOINT"}};
  std::string sv_order, sh_order;
  for (const ElementRecord& r : element_records) {
    for (const auto& [kind, count] : slot_of) {
      if (r.name() != kind) continue;
      EXPECT_EQ(qx::trim_right(count_names[static_cast<std::size_t>(r.slot - 1)]), count) << kind;
    }
    if (r.sv) sv_order += std::string(r.name()) + " ";
    if (r.sh) sh_order += std::string(r.name()) + " ";
    EXPECT_EQ(element_record_bytes(r, 2), r.densities ? 4u + 48 : 4u + 40) << r.name();
  }
  EXPECT_EQ(sv_order, "SOLID BEAM SPRING ROTATE WATER WATERB SHELL RIGID JOINT VOID ");
  EXPECT_EQ(sh_order, "SOLID SPRING ");
  EXPECT_EQ(model_counts_bytes, 116u);
  EXPECT_EQ(boundary_list("BDFFR")->count, 1);
  EXPECT_EQ(boundary_list("BDXX"), nullptr);
}

}  // namespace
