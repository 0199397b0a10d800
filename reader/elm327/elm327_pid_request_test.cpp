// Answers to a request for several PIDs, split back into one message per PID: the forms a
// CAN unit sends, and the ones that must not split (they are asked again one PID a time).
#include "reader/elm327/elm327_pid_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vx414::elm327 {
namespace {

std::vector<std::uint8_t> bytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string text(const std::optional<std::vector<std::vector<std::uint8_t>>>& parts) {
    if (!parts) return "does not split";
    std::string out;
    for (const auto& part : *parts) {
        if (!out.empty()) out += " | ";
        for (std::size_t i = 0; i < part.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", part[i]);
            out += byte;
        }
    }
    return out;
}

TEST(Elm327PidRequest, SplitsAnswersForSeveralPids) {
    struct Case {
        const char* what;
        std::uint8_t service;
        std::vector<std::uint8_t> asked;
        const char* message;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"support and readiness", 0x01, {0x00, 0x01}, "41 00 BE 3F A8 13 01 83 07 65 00",
         "41 00 BE 3F A8 13 | 41 01 83 07 65 00"},
        {"in another order than asked", 0x01, {0x00, 0x01}, "41 01 83 07 65 00 00 BE 3F A8 13",
         "41 01 83 07 65 00 | 41 00 BE 3F A8 13"},
        {"a PID the unit does not support left out", 0x01, {0x04, 0x05, 0x0C}, "41 05 7B 0C 1A F8",
         "41 05 7B | 41 0C 1A F8"},
        {"six PIDs", 0x01, {0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x11}, "41 04 5A 05 7B 0B 21 0C 0C 80 0D 00 11 24",
         "41 04 5A | 41 05 7B | 41 0B 21 | 41 0C 0C 80 | 41 0D 00 | 41 11 24"},
        {"frame 0: support and the code", 0x02, {0x00, 0x02}, "42 00 00 5E 3B 80 00 02 00 04 20",
         "42 00 00 5E 3B 80 00 | 42 02 00 04 20"},
        {"frame 0: three values", 0x02, {0x05, 0x0C, 0x0D}, "42 05 00 7B 0C 00 1A F8 0D 00 3C",
         "42 05 00 7B | 42 0C 00 1A F8 | 42 0D 00 3C"},
        {"another frame", 0x02, {0x05}, "42 05 01 7B", "does not split"},
        {"a PID not asked", 0x01, {0x04}, "41 04 5A 05 7B", "does not split"},
        {"a PID twice", 0x01, {0x04, 0x05}, "41 04 5A 04 5A", "does not split"},
        {"cut short", 0x01, {0x00, 0x01}, "41 00 BE 3F A8 13 01 83 07", "does not split"},
        {"a byte left over", 0x01, {0x05}, "41 05 7B 00", "does not split"},
        {"a PID of unknown length", 0x01, {0x4F}, "41 4F 00 00 00 00", "does not split"},
        {"bank 3 trims (two bytes)", 0x01, {0x06}, "41 06 80 80", "does not split"},
        {"another service", 0x01, {0x00}, "42 00 00 5E 3B 80 00", "does not split"},
        {"a refusal", 0x01, {0x00, 0x01}, "7F 01 12", "does not split"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(splitPidAnswer(bytes(c.message), c.service, c.asked)), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace vx414::elm327
