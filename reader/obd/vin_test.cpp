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
Messages legacyFrames(std::string_view vin, char padding = '\0') {
    const std::string padded = std::string(3, padding) + std::string(vin);
    Messages frames;
    for (std::uint8_t n = 1; n <= 5; ++n) {
        std::vector<std::uint8_t> frame = {0x49, 0x02, n};
        for (const char c : padded.substr(static_cast<std::size_t>(n - 1) * 4, 4)) frame.push_back(static_cast<std::uint8_t>(c));
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
        {"CAN, without the count", {withText("49 02", honda)}, "1HGCM82633A004352", VinFault::None},
        {"CAN, without the count, padded", {withText("49 02 00 00", honda)}, "1HGCM82633A004352", VinFault::None},
        {"CAN, padded FF in front", {withText("49 02 01 FF FF FF", honda)}, "1HGCM82633A004352", VinFault::None},
        {"CAN, trailing 00", {bytes("49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32 00 00")},
         "1HGCM82633A004352", VinFault::None},
        {"CAN, trailing FF", {bytes("49 02 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32 FF")}, "1HGCM82633A004352",
         VinFault::None},
        {"CAN, 18 characters once stripped", {withText("49 02 01 00", "1HGCM82633A0043521")}, "", VinFault::Length},
        {"legacy, padded FF", legacyFrames(honda, '\xFF'), "1HGCM82633A004352", VinFault::None},
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
        {"CAN, a wrong check digit: kept", {withText("49 02 01", "1HGCM82643A004352")}, "1HGCM82643A004352",
         VinFault::CheckDigit},
        {"CAN, a letter O", {withText("49 02 01", "1HGCM82633AO04352")}, "", VinFault::Character},
        {"CAN, lower case", {withText("49 02 01", "1hgcm82633a004352")}, "", VinFault::Character},
        {"CAN, not ASCII", {bytes("49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 C3")}, "",
         VinFault::Character},
        {"CAN, a zero inside", {bytes("49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 00 33 35 32")}, "",
         VinFault::Character},
        {"legacy, wrong digit: kept", legacyFrames("1HGCM82643A004352"), "1HGCM82643A004352", VinFault::CheckDigit},
        {"a single legacy frame", {bytes("49 02 01 00 00 00 31")}, "", VinFault::Frames},
        {"CAN, something else after 49 02", {withText("49 02 03", honda)}, "", VinFault::Frames},
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
        // Chinese VINs carry one too (GB 16735), and so do North American heavy trucks.
        {"LSVNB4182JN123456", VinFault::None},
        {"LSVNB4183JN123456", VinFault::CheckDigit},
        {"JALC4W167F7000123", VinFault::CheckDigit},
        // Outside North America and China position 9 is the maker's, also on a Taiwanese L WMI.
        {"LFAFP40A0W0012345", VinFault::None},
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

TEST(Vin, ModelYearOnlyWhereItCanBeKnown) {
    constexpr int Unknown = 0, Iso9141 = 3, Kwp = 5, J1850 = 1, Can = 6;
    struct Case {
        const char* what;
        const char* vin;
        int protocol;
        int currentYear;
        int year;
    };
    const std::vector<Case> cases = {
        // A North American first character: position 7 picks the cycle.
        {"US Honda, digit at 7", "1HGCM82633A004352", Unknown, 2026, 2003},
        {"US Ford, letter at 7", "1FTFW1ET9DFC10312", Unknown, 2026, 2013},
        {"US Tesla, letter at 7", "5YJSA1DG9DFP14705", Can, 2026, 2013},
        {"1998 US Ford on J1850", "1FAFP404XWF154291", J1850, 2026, 1998},
        {"1998 US Ford, bus unknown", "1FAFP404XWF154291", Unknown, 2026, 1998},
        {"a digit at 7 means before 2010, which CAN rules out", "1FAFP404XWF154291", Can, 2026, 0},
        {"a car with a digit at 7 and F: 1985, before OBD-II", "1FAFP404XFF154291", Unknown, 2026, 0},
        {"letter at 7, 2027 is next year's model", "1FTFW1EV5VFC10312", Unknown, 2026, 2027},
        {"letter at 7, 2028 is in the future: the older cycle", "1FTFW1EV3WFC10312", Unknown, 2026, 1998},
        {"before OBD-II (a 1989 coach)", "1M8GDM9AXKP042788", Unknown, 2026, 0},
        // Trucks over 10,000 lb may carry a digit at 7 after 2009.
        {"Isuzu NPR, Japan-built for North America", "JALC4W166F7000123", Can, 2026, 2015},
        {"Isuzu NPR, built by Spartan", "54DC4W1BXMS800234", Unknown, 2026, 2021},
        // China (GB 16735): the year in position 10, position 7 free.
        {"SAIC Volkswagen, digit at 7", "LSVNB4182JN123456", Can, 2026, 2018},
        {"FAW-Volkswagen", "LFV3A23C8M3123456", Unknown, 2026, 2021},
        {"Chery", "LVVDB11B6PD123456", Unknown, 2026, 2023},
        {"Chinese, T: 1996 or 2026", "LSVAB2BTXT2123456", Unknown, 2026, 0},
        // A check digit that passes outside North America and China proves nothing.
        {"Japanese-built Toyota with a valid check digit", "JT2BG12K1T0123456", Iso9141, 2026, 0},
        {"German Mercedes-Benz whose position 9 passes by chance", "WDD2040081A120002", Unknown, 2026, 0},
        // North American first character, wrong check digit: still the North American rules.
        {"US Ford, wrong digit", "1FTFW1ET5DFC10312", Unknown, 2026, 2013},
        {"never a year after next year", "2T1BURHE0YC074033", Unknown, 2026, 2000},
        // Elsewhere position 10 only where the maker is known to put the year.
        {"European Porsche on KWP: 1996", "WP0ZZZ99ZTS392124", Kwp, 2026, 1996},
        {"European Porsche on J1850: 1996", "WP0ZZZ99ZTS392124", J1850, 2026, 1996},
        {"European Porsche on CAN: 2026", "WP0ZZZ99ZTS392124", Can, 2026, 2026},
        {"European Porsche, bus unknown: 1996 or 2026", "WP0ZZZ99ZTS392124", Unknown, 2026, 0},
        {"European Porsche in 2024: 2026 is too far", "WP0ZZZ99ZTS392124", Unknown, 2024, 1996},
        {"European Volkswagen", "WVWZZZ1JZ3W386752", Unknown, 2026, 2003},
        {"European Volkswagen, A is 2010", "WVWZZZ1KZAW394821", Can, 2026, 2010},
        {"European Audi", "WAUZZZ8K9BA123456", Unknown, 2026, 2011},
        {"Korean Hyundai", "KMHDH41E88U123456", Unknown, 2026, 2008},
        {"Volkswagen do Brasil", "9BWAA45U6FP123456", Unknown, 2026, 2015},
        {"Opel, the layout of 1998 on", "W0LPE6ED5A8123456", Unknown, 2026, 2010},
        {"Opel's earlier layout: not read", "W0L000055T2123456", Can, 2026, 0},
        {"European Ford: the year is in position 11, in Ford's own code", "WF0SXXGCDS8A12345", Can, 2026, 0},
        {"Renault: position 10 is the maker's", "VF1AAAAA0Y0000000", Unknown, 2026, 0},
        {"German BMW without a check digit", "WBA3A5C51CF256651", Unknown, 2026, 0},
        // Position 10 holds no year code: 0, U, Z.
        {"0 at 10", "WVWZZZ1JZ0W386752", Unknown, 2026, 0},
        {"U at 10", "WVWZZZ1JZUW386752", Unknown, 2026, 0},
        {"Z at 10", "WVWZZZ1JZZW386752", Unknown, 2026, 0},
        {"16 characters", "WVWZZZ1JZ3W38675", Unknown, 2026, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(vinModelYear(c.vin, c.currentYear, c.protocol), c.year) << c.what;
}

}  // namespace
}  // namespace vx414::obd
