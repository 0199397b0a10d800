#include "reader/obd/permanent_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;

TEST(PermanentCodes, CanAndLegacyForms) {
    struct Case {
        const char* message;
        const char* codes;  // "-" when the message does not read
    };
    const std::vector<Case> cases = {
        {"4A 00", ""},
        {"4A 01 04 20", "P0420"},
        {"4A 03 04 20 01 33 C1 00", "P0420 P0133 U0100"},
        {"4A 04 20 01 33 00 00", "P0420 P0133"},  // a legacy frame, padded
        {"4A 00 00 00 00 00 00", ""},
        {"4A 02 04 20", "-"},           // count says two, one sent
        {"4A 01 04 20 01 33", "-"},     // count says one, two sent
        {"4A 04 20 01 33", "-"},
        {"43 01 04 20", "-"},
        {"", "-"},
    };
    for (const Case& c : cases) {
        const auto codes = decodePermanentCodes(bytes(c.message));
        std::string text = codes ? "" : "-";
        if (codes) {
            for (const TroubleCode& code : *codes) text += (text.empty() ? "" : " ") + code.toString();
        }
        EXPECT_EQ(text, c.codes) << c.message;
    }
}

}  // namespace
}  // namespace vx414::obd
