#include "reader/obd/supported_pids.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;

TEST(SupportedPids, EachAnswerFormDeclaresItsBlock) {
    struct Case {
        const char* message;
        std::optional<std::uint8_t> base;
        std::vector<std::uint8_t> supported;
        std::vector<std::uint8_t> unsupported;
    };
    const std::vector<Case> cases = {
        // The usual example: 01, 03 to 07, 0C to 11, 13, 15, 1C, 1F and 20.
        {"41 00 BE 1F A8 13", 0x00, {0x01, 0x03, 0x07, 0x0C, 0x11, 0x13, 0x15, 0x1C, 0x1F, 0x20},
         {0x00, 0x02, 0x08, 0x0B, 0x12, 0x14, 0x1D, 0x21}},
        {"41 20 80 00 00 01", 0x20, {0x21, 0x40}, {0x20, 0x22, 0x3F, 0x41}},
        {"41 E0 00 00 00 01", 0xE0, {}, {0xE1, 0xFF}},
        {"42 00 00 7F F8 00 00", 0x00, {0x02, 0x08, 0x09, 0x0D}, {0x01, 0x0E, 0x20}},
        {"49 00 55 40 00 00", 0x00, {0x02, 0x04, 0x06, 0x08, 0x0A}, {0x01, 0x03, 0x09}},
        {"49 00 01 54 00 00 00", 0x00, {0x02, 0x04, 0x06}, {0x01, 0x08}},
        // Not a supported-PID answer: nothing added.
        {"41 00 BE 1F A8", std::nullopt, {}, {0x01}},
        {"41 05 BE 1F A8 13", std::nullopt, {}, {0x06}},
        {"41 00 BE 1F A8 13 00", std::nullopt, {}, {0x01}},
        {"42 00 01 7F F8 00 00", std::nullopt, {}, {0x02}},  // frame 1
        {"42 00 7F F8 00 00", std::nullopt, {}, {0x02}},
        {"49 00 02 54 00 00 00", std::nullopt, {}, {0x02}},
        {"43 00 BE 1F A8 13", std::nullopt, {}, {0x01}},
        {"", std::nullopt, {}, {0x01}},
    };
    for (const Case& c : cases) {
        SupportedPids pids;
        const auto message = bytes(c.message);
        EXPECT_EQ(addSupportedPids(message, pids), c.base) << c.message;
        for (const std::uint8_t pid : c.supported) EXPECT_TRUE(pids.has(pid)) << c.message << " PID " << int{pid};
        for (const std::uint8_t pid : c.unsupported) EXPECT_FALSE(pids.has(pid)) << c.message << " PID " << int{pid};
        EXPECT_EQ(pids.empty(), c.supported.empty()) << c.message;
    }
}

TEST(SupportedPids, BlocksAreAskedWhileTheLastDeclaresTheNext) {
    // A car declaring blocks 00 to 60 and C0's bit (without A0): 20, 40, 60 follow, then
    // nothing; C0 is the last block there is.
    SupportedPids pids;
    for (const char* message : {"41 00 BE 1F A8 13", "41 20 80 01 80 01", "41 40 7E 98 00 11", "41 60 00 00 00 00",
                                "41 A0 00 00 00 01"}) {
        addSupportedPids(bytes(message), pids);
    }
    const std::vector<std::pair<std::uint8_t, std::optional<std::uint8_t>>> cases = {
        {0x00, 0x20}, {0x20, 0x40}, {0x40, 0x60}, {0x60, std::nullopt},
        {0x80, std::nullopt}, {0xA0, 0xC0}, {0xC0, std::nullopt}, {0x10, std::nullopt},
    };
    for (const auto& [base, next] : cases) EXPECT_EQ(nextSupportedBlock(pids, base), next) << int{base};
    const auto list = pids.list();
    EXPECT_EQ(std::vector<std::uint8_t>(list.begin(), list.begin() + 4), (std::vector<std::uint8_t>{0x01, 0x03, 0x04, 0x05}));
    EXPECT_EQ(list.back(), 0xC0);
}

}  // namespace
}  // namespace vx414::obd
