#include "definitions/make_sections.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(MakeSections, AddressesBecomePositions) {
  EXPECT_EQ(positionOfAddress(DataAddressBase), 1);
  EXPECT_EQ(positionOfAddress(GlossaryAddress), 29);
  EXPECT_EQ(positionOfAddress(0x100069F0), 54241);
  EXPECT_EQ(positionOfAddress(0x104DF400), 10217473);
}

TEST(MakeSections, CartypeselectMatchesWithoutCase) {
  const struct {
    std::string_view vehicle;
    std::uint32_t start, end;
  } cases[] = {
      {"generic", 0x100069F0, 0x10034220},   {"GENERIC", 0x100069F0, 0x10034220},
      {"Ford", 0x1015A4DA, 0x101862C0},      {"land rover", 0x10248E7F, 0x1025C4C0},
      {"MMC", 0x102C2A06, 0x102D2CF0},       {"Smart Smart City", 0x102C2A06, 0x102D2CF0},
      {"cabrio", 0x102C2A06, 0x102D2CF0},    {"fortwo", 0x102C2A06, 0x102D2CF0},
      {"volvo", 0x104CDA9F, 0x104DF400},     {"tesla", 0x100069F0, 0x10034220},
      {"", 0x100069F0, 0x10034220},          {"landrover", 0x100069F0, 0x10034220},
  };
  for (const auto& c : cases) {
    const SectionBounds bounds = cartypeselect(c.vehicle);
    EXPECT_EQ(bounds.MakeStart, positionOfAddress(c.start)) << c.vehicle;
    EXPECT_EQ(bounds.MakeEnd, positionOfAddress(c.end)) << c.vehicle;
  }
}

TEST(MakeSections, SectionsFollowOneAnotherInListOrder) {
  EXPECT_EQ(kMakeSections.front().name, "generic");
  EXPECT_EQ(kMakeSections.back().name, "volvo");
  const std::vector<MakeSection> sections = distinctSections();
  ASSERT_EQ(sections.size(), 64u);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_LT(sections[i].start, sections[i].end) << sections[i].name;
    if (i + 1 < sections.size()) {
      EXPECT_LT(sections[i].end, sections[i + 1].start) << sections[i].name;
    }
  }
}

}  // namespace
}  // namespace vx414
