#include "reader/obd/vin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;
using testing::withText;
using Messages = std::vector<std::vector<std::uint8_t>>;

// The five legacy frames of a 17-character VIN: three bytes of padding, then four
// characters a frame.
Messages legacyFrames(std::string_view vin) {
    const std::string padded = std::string(3, '\0') + std::string(vin);
    Messages frames;
    for (std::uint8_t n = 1; n <= 5; ++n) {
        std::vector<std::uint8_t> frame = {0x49, 0x02, n};
        const std::string part = padded.substr(static_cast<std::size_t>(n - 1) * 4, 4);
        frame.insert(frame.end(), part.begin(), part.end());
        frames.push_back(frame);
    }
    return frames;
}

const char* faultName(VinFault fault) {
    switch (fault) {
    case VinFault::None: return "none";
    case VinFault::Frames: return "frames";
    case VinFault::Length: return "length";
    case VinFault::Character: return "character";
    case VinFault::CheckDigit: return "check digit";
    }
    return "?";
}

TEST(Vin, AssembledFromCanAndLegacyAnswers) {
    const std::string honda = "1HGCM82633A004352";
    Messages shuffled = legacyFrames(honda);
    std::swap(shuffled[0], shuffled[3]);
    Messages missing = legacyFrames(honda);
    missing.pop_back();
    Messages repeated = legacyFrames(honda);
    repeated[4][2] = 0x04;
    Messages longFrame = legacyFrames(honda);
    longFrame[2].push_back('7');
    Messages otherInfo = legacyFrames(honda);
    otherInfo[1][1] = 0x04;

    struct Case {
        const char* what;
        Messages messages;
        const char* vin;
        VinFault fault;
    };
    const std::vector<Case> cases = {
        {"CAN, one message", {withText("49 02 01", honda)}, "1HGCM82633A004352", VinFault::None},
        {"CAN, padded in front", {withText("49 02 01 00 00 00", honda)}, "1HGCM82633A004352", VinFault::None},
        {"CAN, European", {withText("49 02 01", "WP0ZZZ99ZTS392124")}, "WP0ZZZ99ZTS392124", VinFault::None},
        {"legacy, five frames", legacyFrames(honda), "1HGCM82633A004352", VinFault::None},
        {"legacy, out of order", shuffled, "1HGCM82633A004352", VinFault::None},
        {"legacy, a frame missing", missing, "", VinFault::Frames},
        {"legacy, a frame twice", repeated, "", VinFault::Frames},
        {"legacy, a frame too long", longFrame, "", VinFault::Frames},
        {"legacy, another info type among them", otherInfo, "", VinFault::Frames},
        {"CAN, message number 2", {withText("49 02 02", honda)}, "", VinFault::Frames},
        {"the calibration ID", {withText("49 04 01", honda)}, "", VinFault::Frames},
        {"no message", {}, "", VinFault::Frames},
        {"CAN, short", {withText("49 02 01", "1HGCM82633A00435")}, "", VinFault::Length},
        {"CAN, long", {withText("49 02 01", "1HGCM82633A0043521")}, "", VinFault::Length},
        {"CAN, a wrong check digit", {withText("49 02 01", "1HGCM82643A004352")}, "", VinFault::CheckDigit},
        {"CAN, a letter O", {withText("49 02 01", "1HGCM82633AO04352")}, "", VinFault::Character},
        {"CAN, lower case", {withText("49 02 01", "1hgcm82633a004352")}, "", VinFault::Character},
        {"CAN, not ASCII", {bytes("49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 C3")}, "",
         VinFault::Character},
        {"CAN, a zero inside", {bytes("49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 00 33 35 32")}, "",
         VinFault::Character},
        {"legacy, wrong digit", legacyFrames("1HGCM82643A004352"), "", VinFault::CheckDigit},
    };
    for (const Case& c : cases) {
        const VinRead read = assembleVin(c.messages);
        EXPECT_EQ(read.vin, c.vin) << c.what;
        EXPECT_STREQ(faultName(read.fault), faultName(c.fault)) << c.what;
    }
}

TEST(Vin, CheckDigitWhereItApplies) {
    struct Case {
        const char* vin;
        VinFault fault;
    };
    const std::vector<Case> cases = {
        // Published VINs whose ninth character is their check digit.
        {"1HGCM82633A004352", VinFault::None},
        {"1M8GDM9AXKP042788", VinFault::None},  // the digit X
        {"5GZCZ43D13S812715", VinFault::None},
        {"1G1ZT53826F109149", VinFault::None},
        {"1M8GDM9A0KP042788", VinFault::CheckDigit},
        {"5GZCZ43D23S812715", VinFault::CheckDigit},
        {"1G1ZT53826F109148", VinFault::CheckDigit},  // any character counts
        // Outside North America position 9 is the maker's.
        {"JH4KA7561PC008269", VinFault::None},
        {"JH4KA7562PC008269", VinFault::None},
        {"WVWZZZ1JZ3W386752", VinFault::None},
        {"", VinFault::Length},
        {"WVWZZZ1JZ3W38675", VinFault::Length},
        {"WVWZZZ1JZ3W38675Q", VinFault::Character},
        {"WVWZZZ1JZ3W3867I2", VinFault::Character},
        {"WVWZZZ1JZ3W3867-2", VinFault::Character},
    };
    for (const Case& c : cases) EXPECT_STREQ(faultName(checkVin(c.vin)), faultName(c.fault)) << c.vin;
}

TEST(Vin, ModelYearFromPositionTen) {
    struct Case {
        const char* vin;
        int currentYear;
        int year;
    };
    const std::vector<Case> cases = {
        // North America: position 7 a digit, 1980 to 2009; a letter, 2010 to 2039.
        {"1HGCM82633A004352", 2026, 2003},
        {"1M8GDM9AXKP042788", 2026, 1989},
        {"1G1ZT53826F109149", 2026, 2006},
        {"1FTFW1ET5DFC10312", 2026, 2013},
        {"1FTFW1ET5AFC10312", 2026, 2010},
        {"2T1BURHE0YC074033", 2026, 2030},  // the cycle is fixed: no clock needed
        // Elsewhere: the latest year not past next year's models.
        {"WVWZZZ1JZ3W386752", 2026, 2003},
        {"WBA3A5C51CF256651", 2026, 2012},
        {"WP0ZZZ99ZTS392124", 2025, 2026},
        {"WP0ZZZ99ZTS392124", 2024, 1996},
        {"JH4KA7561PC008269", 2026, 2023},
        {"JH4KA7561PC008269", 2021, 1993},
        {"VF1AAAAA0Y0000000", 2026, 2000},
        {"VF1AAAAA090000000", 2026, 2009},
        // Position 10 holds no year code: 0, U, Z.
        {"WVWZZZ1JZ0W386752", 2026, 0},
        {"WVWZZZ1JZUW386752", 2026, 0},
        {"WVWZZZ1JZZW386752", 2026, 0},
        {"WVWZZZ1JZ3W38675", 2026, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(vinModelYear(c.vin, c.currentYear), c.year) << c.vin << " " << c.currentYear;
}

}  // namespace
}  // namespace vx414::obd
