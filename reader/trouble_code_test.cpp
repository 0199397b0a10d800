#include "reader/trouble_code.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(TroubleCode, DecodesTheJ2012Table) {
    struct Case {
        std::uint8_t b1, b2;
        const char* text;
    };
    const Case cases[] = {
        {0x03, 0x00, "P0300"}, {0x0A, 0x80, "P0A80"}, {0x00, 0x00, "P0000"}, {0x3F, 0xFF, "P3FFF"},
        {0x40, 0x00, "C0000"}, {0x52, 0x34, "C1234"}, {0x7F, 0x0F, "C3F0F"}, {0x80, 0x01, "B0001"},
        {0xBF, 0xA0, "B3FA0"}, {0xC1, 0x00, "U0100"}, {0xFF, 0xFF, "U3FFF"}, {0xC0, 0xBB, "U00BB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeTroubleCode(c.b1, c.b2).text(), c.text) << int{c.b1} << " " << int{c.b2};
    }
}

TEST(TroubleCode, EncodingIsTheInverseForEveryPair) {
    for (unsigned b1 = 0; b1 < 256; ++b1) {
        for (unsigned b2 = 0; b2 < 256; ++b2) {
            const TroubleCode code = decodeTroubleCode(static_cast<std::uint8_t>(b1), static_cast<std::uint8_t>(b2));
            const auto bytes = encodeTroubleCode(code.text());
            ASSERT_TRUE(bytes.has_value()) << code;
            ASSERT_EQ((*bytes)[0], b1) << code;
            ASSERT_EQ((*bytes)[1], b2) << code;
        }
    }
}

TEST(TroubleCode, EncodingAcceptsLowerCaseAndRejectsWhatIsNoCode) {
    EXPECT_EQ(encodeTroubleCode("p0a80"), (std::array<std::uint8_t, 2>{0x0A, 0x80}));
    EXPECT_EQ(encodeTroubleCode("u3fff"), (std::array<std::uint8_t, 2>{0xFF, 0xFF}));
    for (const char* bad : {"", "P030", "P03000", "X0300", "P4000", "P03G0", " P030", "0300P"}) {
        EXPECT_FALSE(encodeTroubleCode(bad).has_value()) << '"' << bad << '"';
    }
}

}  // namespace
}  // namespace vx414
