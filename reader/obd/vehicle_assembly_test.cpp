#include "reader/obd/vehicle_assembly.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;
using testing::withText;

TroubleCode code(const char* text) {
    const auto pair = encodeTroubleCode(text);
    return decodeTroubleCode((*pair)[0], (*pair)[1]);
}

ServiceAnswer answer(std::vector<UnitMessages> units) { return {LinkStatus::ok(), false, std::move(units)}; }

// A CAN car with an engine (7E8) and a transmission (7E9) unit that answer every service.
VehicleAnswers goodCar() {
    VehicleAnswers a;
    a.codes = {{"7E8", {code("P0300")}, {code("P0420"), code("P0133")}}, {"7E9", {}, {code("U0100")}}};
    a.monitorStatus = answer({{"7E8", {bytes("41 01 82 07 65 04")}, {}}, {"7E9", {bytes("41 01 01 04 00 00")}, {}}});
    a.freezeFrame = {
        answer({{"7E8", {bytes("42 02 00 04 20")}, {}}, {"7E9", {bytes("42 02 00 00 00")}, {}}}),
        answer({{"7E8", {bytes("42 05 00 7B")}, {}}}),
        answer({{"7E8", {bytes("42 0C 00 1A F8")}, {}}, {"7E9", {bytes("42 0C 00 0F A0")}, {}}}),
        answer({{"7E8", {bytes("42 0D 00 3C")}, {}}}),
    };
    a.permanentCodes = answer({{"7E8", {bytes("4A 01 04 20")}, {}}, {"7E9", {bytes("4A 00")}, {}}});
    a.vin = answer({{"7E8", {withText("49 02 01", "1HGCM82633A004352")}, {}}});
    return a;
}

std::string codesText(const std::vector<TroubleCode>& codes) {
    std::string text;
    for (const TroubleCode& c : codes) text += (text.empty() ? "" : " ") + c.toString();
    return text;
}

// "7E8 engine: 07 P0300; 03 P0420 P0133; 0A P0420 | 7E9 transmission: …"
std::string unitsText(const VehicleInfo& info) {
    std::string text;
    for (const UnitCodes& u : info.units) {
        if (!text.empty()) text += " | ";
        text += u.address + " " + u.name + ": 07 " + codesText(u.pending) + "; 03 " + codesText(u.stored) + "; 0A " +
                codesText(u.permanent);
    }
    return text;
}

std::string freezeText(const VehicleInfo& info) {
    if (!info.freezeFrame) return "none";
    std::string text = info.freezeFrame->code ? info.freezeFrame->code->toString() : "?";
    for (const FreezeValue& v : info.freezeFrame->values) text += ", " + v.name + " " + std::to_string(v.value) + " " + v.unit;
    return text;
}

constexpr const char* AllCodes =
    "7E8 engine: 07 P0300; 03 P0420 P0133; 0A P0420 | 7E9 transmission: 07 ; 03 U0100; 0A ";

TEST(VehicleAssembly, TheWholePictureFromEveryService) {
    const VehicleInfo info = assembleVehicleInfo(goodCar(), builtInWmiTable(), 2026);
    EXPECT_EQ(info.vin, "1HGCM82633A004352");
    EXPECT_EQ(info.make, "honda");
    EXPECT_EQ(info.modelYear, 2003);
    EXPECT_EQ(info.mil, true);
    EXPECT_EQ(info.storedCount, 3);
    EXPECT_FALSE(info.compressionIgnition);
    EXPECT_EQ(info.readiness.size(), 11U);
    EXPECT_EQ(info.inspection, "Fails the inspection (the check-engine light is on)");
    EXPECT_EQ(info.inspectionVerdict, InspectionVerdict::Fails);
    EXPECT_EQ(info.incompleteMonitors, std::vector<std::string>{"Evaporative system"});
    EXPECT_EQ(info.vinWarning, "");
    EXPECT_EQ(freezeText(info), "P0420, Coolant temperature 83.000000 °C, Engine speed 1726.000000 rpm, "
                                "Vehicle speed 60.000000 km/h");
    EXPECT_EQ(unitsText(info), AllCodes);
    EXPECT_EQ(codesText(info.permanent), "P0420");
}

TEST(VehicleAssembly, AServiceThatGivesNothingCostsOnlyItsOwnPart) {
    const ServiceAnswer noData{LinkStatus::ok(), true, {}};
    const ServiceAnswer failed{LinkStatus(LinkCode::Protocol, "garbage"), false,
                               {{"7E8", {bytes("41 01 82 07 65 04")}, {}}}};
    auto refusedBy7E8 = [](std::uint8_t code) { return answer({{"7E8", {}, code}}); };
    const auto badVin = [](const char* vin) { return answer({{"7E8", {withText("49 02 01", vin)}, {}}}); };

    struct Case {
        const char* what;
        std::function<void(VehicleAnswers&)> change;
        const char* vin;         // "" when gone
        bool readiness;          // readiness and the verdict kept
        const char* freeze;      // freezeText
        const char* permanent;
    };
    const char* Vin = "1HGCM82633A004352";
    const char* Freeze = "P0420, Coolant temperature 83.000000 °C, Engine speed 1726.000000 rpm, "
                         "Vehicle speed 60.000000 km/h";
    const std::vector<Case> cases = {
        {"01 01 NO DATA", [&](VehicleAnswers& a) { a.monitorStatus = noData; }, Vin, false, Freeze, "P0420"},
        {"01 01 refused", [&](VehicleAnswers& a) { a.monitorStatus = refusedBy7E8(0x12); }, Vin, false, Freeze, "P0420"},
        {"01 01 failed", [&](VehicleAnswers& a) { a.monitorStatus = failed; }, Vin, false, Freeze, "P0420"},
        {"01 01 not asked", [&](VehicleAnswers& a) { a.monitorStatus.reset(); }, Vin, false, Freeze, "P0420"},
        {"02 NO DATA", [&](VehicleAnswers& a) { a.freezeFrame.assign(4, noData); }, Vin, true, "none", "P0420"},
        {"02 02 refused", [&](VehicleAnswers& a) { a.freezeFrame[0] = refusedBy7E8(0x11); }, Vin, true, "none", "P0420"},
        {"02 02 says no frame", [&](VehicleAnswers& a) { a.freezeFrame[0] = answer({{"7E8", {bytes("42 02 00 00 00")}, {}}}); },
         Vin, true, "none", "P0420"},
        {"02 0C failed", [&](VehicleAnswers& a) { a.freezeFrame[2] = failed; }, Vin, true,
         "P0420, Coolant temperature 83.000000 °C, Vehicle speed 60.000000 km/h", "P0420"},
        {"0A NO DATA", [&](VehicleAnswers& a) { a.permanentCodes = noData; }, Vin, true, Freeze, ""},
        {"0A refused", [&](VehicleAnswers& a) { a.permanentCodes = refusedBy7E8(0x11); }, Vin, true, Freeze, ""},
        {"0A malformed", [&](VehicleAnswers& a) { a.permanentCodes = answer({{"7E8", {bytes("4A 02 04 20")}, {}}}); }, Vin,
         true, Freeze, ""},
        {"09 02 NO DATA", [&](VehicleAnswers& a) { a.vin = noData; }, "", true, Freeze, "P0420"},
        {"09 02 refused", [&](VehicleAnswers& a) { a.vin = refusedBy7E8(0x31); }, "", true, Freeze, "P0420"},
        {"09 02 short", [&](VehicleAnswers& a) { a.vin = badVin("1HGCM82633A00435"); }, "", true, Freeze, "P0420"},
        // Kept, with its warning (the next test).
        {"09 02 wrong digit", [&](VehicleAnswers& a) { a.vin = badVin("1HGCM82643A004352"); }, "1HGCM82643A004352", true,
         Freeze, "P0420"},
        {"09 02 not ASCII", [&](VehicleAnswers& a) { a.vin = badVin("1HGCM82633A00435\xC3"); }, "", true, Freeze, "P0420"},
    };
    for (const Case& c : cases) {
        VehicleAnswers answers = goodCar();
        c.change(answers);
        const VehicleInfo info = assembleVehicleInfo(answers, builtInWmiTable(), 2026);
        EXPECT_EQ(info.vin, c.vin) << c.what;
        EXPECT_EQ(info.make, *c.vin ? "honda" : "") << c.what;
        EXPECT_EQ(info.modelYear, *c.vin ? 2003 : 0) << c.what;
        EXPECT_EQ(info.readiness.empty(), !c.readiness) << c.what;
        EXPECT_EQ(info.inspection.empty(), !c.readiness) << c.what;
        EXPECT_EQ(info.mil.has_value(), c.readiness) << c.what;
        EXPECT_EQ(freezeText(info), c.freeze) << c.what;
        EXPECT_EQ(codesText(info.permanent), c.permanent) << c.what;
        // The codes of 07 and 03 are never touched.
        std::string expectedUnits = AllCodes;
        if (*c.permanent == '\0') expectedUnits.replace(expectedUnits.find("0A P0420"), 8, "0A ");
        EXPECT_EQ(unitsText(info), expectedUnits) << c.what;
    }
}

// An adapter that shows no headers puts every unit's answer under one blank sender. What
// combines as J1979 combines it is read; what cannot be placed is not read, with the reason.
TEST(VehicleAssembly, AnswersWithoutHeaders) {
    const auto blank = [](std::vector<const char*> messages) {
        UnitMessages unit{"", {}, {}};
        for (const char* message : messages) unit.messages.push_back(bytes(message));
        return answer({unit});
    };
    const char* Vin = "1HGCM82633A004352";
    struct Case {
        const char* what;
        std::function<void(VehicleAnswers&)> change;
        const char* inspection;
        const char* freeze;
        const char* vin;
        const char* notRead;
    };
    const char* Fails = "Fails the inspection (the check-engine light is on)";
    const char* Unattributed = "the adapter does not show which unit answered";
    const std::vector<Case> cases = {
        // The transmission's "light off, all complete" first: the engine's light still counts.
        {"readiness: the light on when any unit says so",
         [&](VehicleAnswers& a) { a.monitorStatus = blank({"41 01 00 07 65 00", "41 01 82 07 65 04"}); }, Fails,
         "P0420", Vin, ""},
        {"readiness: complete only when every unit says so",
         [&](VehicleAnswers& a) { a.monitorStatus = blank({"41 01 00 07 65 00", "41 01 00 07 65 05"}); },
         "Not ready for the inspection (incomplete: Catalyst, Evaporative system): drive the car until they complete, "
         "then test",
         "P0420", Vin, ""},
        {"readiness: spark and diesel reports, which is the engine's unknown",
         [&](VehicleAnswers& a) { a.monitorStatus = blank({"41 01 00 0F 65 00", "41 01 82 07 65 04"}); }, "", "P0420",
         Vin, "readiness"},
        {"freeze frame of the one unit that answered", [&](VehicleAnswers& a) {
             a.freezeFrame = {blank({"42 02 00 04 20"}), blank({"42 05 00 7B"})};
         }, Fails, "P0420, Coolant temperature 83.000000 °C", Vin, ""},
        {"freeze frame values from two units", [&](VehicleAnswers& a) {
             a.freezeFrame = {blank({"42 02 00 00 00", "42 02 00 04 20"}), blank({"42 05 00 00", "42 05 00 7B"})};
         }, Fails, "none", Vin, "freeze_frame"},
        {"one unit's VIN in one message", [&](VehicleAnswers& a) {
             a.vin = blank({"49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32"});
         }, Fails, "P0420", Vin, ""},
        {"the same VIN from two units, one padded", [&](VehicleAnswers& a) {
             a.vin = blank({"49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32 00 00 00",
                            "49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32"});
         }, Fails, "P0420", Vin, ""},
        {"two units, two VINs", [&](VehicleAnswers& a) {
             a.vin = blank({"49 02 01 57 46 30 53 58 58 47 43 44 53 38 41 31 32 33 34 35",
                            "49 02 01 31 48 47 43 4D 38 32 36 33 33 41 30 30 34 33 35 32"});
         }, Fails, "P0420", "", "vin"},
    };
    for (const Case& c : cases) {
        VehicleAnswers answers = goodCar();
        c.change(answers);
        const VehicleInfo info = assembleVehicleInfo(answers, builtInWmiTable(), 2026);
        EXPECT_EQ(info.inspection, c.inspection) << c.what;
        EXPECT_EQ(freezeText(info).substr(0, std::string(c.freeze).size()), c.freeze) << c.what;
        EXPECT_EQ(info.vin, c.vin) << c.what;
        std::string notRead;
        for (const ItemNotRead& item : info.notRead) {
            constexpr const char* Names[] = {"readiness", "freeze_frame", "permanent", "vin"};
            notRead += Names[static_cast<int>(item.item)];
            EXPECT_EQ(item.reason, Unattributed) << c.what;
        }
        EXPECT_EQ(notRead, c.notRead) << c.what;
    }
}

TEST(VehicleAssembly, UnitsOnTheOlderBusesAndADiesel) {
    VehicleAnswers a;
    a.codes = {{"486B10", {}, {code("P0401")}}, {"486B18", {}, {}}};
    // The transmission answers first; the engine's diesel report still names the monitors.
    a.monitorStatus = answer({{"486B18", {bytes("41 01 00 0C 00 00")}, {}}, {"486B10", {bytes("41 01 81 0F EB 40")}, {}}});
    a.permanentCodes = answer({{"486B10", {bytes("4A 04 01 00 00 00 00"), bytes("4A 01 33 00 00 00 00")}, {}},
                               {"486B11", {bytes("4A 04 01 00 00 00 00")}, {}}});
    std::vector<std::vector<std::uint8_t>> frames;
    const std::string padded = std::string(3, '\0') + "WVWZZZ1JZ3W386752";
    for (std::uint8_t n = 1; n <= 5; ++n) {
        frames.push_back({0x49, 0x02, n});
        frames.back().insert(frames.back().end(), padded.begin() + (n - 1) * 4, padded.begin() + n * 4);
    }
    a.vin = answer({{"486B10", frames, {}}});
    const VehicleInfo info = assembleVehicleInfo(a, builtInWmiTable(), 2026);
    EXPECT_EQ(info.vin, "WVWZZZ1JZ3W386752");
    EXPECT_EQ(info.make, "volkswagen");
    EXPECT_EQ(info.modelYear, 2003);
    EXPECT_TRUE(info.compressionIgnition);
    EXPECT_EQ(info.storedCount, 1);
    EXPECT_EQ(info.readiness.size(), 9U);
    EXPECT_EQ(info.inspection, "Fails the inspection (the check-engine light is on)");
    EXPECT_EQ(unitsText(info), "486B10 engine: 07 ; 03 P0401; 0A P0401 P0133 | 486B18 transmission: 07 ; 03 ; 0A  | "
                               "486B11 engine: 07 ; 03 ; 0A P0401");
    EXPECT_EQ(codesText(info.permanent), "P0401 P0133");
}

TEST(VehicleAssembly, TheVinKeptItsWarningAndTheYearTheBusAllows) {
    constexpr const char* Warning = "check digit does not match: read it off the windscreen";
    struct Case {
        const char* what;
        std::vector<UnitMessages> units;
        int protocol;
        const char* vin;
        const char* warning;
        const char* make;
        int year;
    };
    const std::vector<Case> cases = {
        {"a 1996 Toyota of Kentucky on ISO 9141: T is 1996, not 2026",
         {{"486B10", {withText("49 02 01", "4T1BG12K7TU123456")}, {}}}, 3, "4T1BG12K7TU123456", "", "toyota", 1996},
        {"a Toyota of Japan: position 10 is the maker's, even with a check digit that passes",
         {{"486B10", {withText("49 02 01", "JT2BG12K1T0123456")}, {}}}, 3, "JT2BG12K1T0123456", "", "toyota", 0},
        {"a 1996 Porsche on KWP: T is 1996, not 2026", {{"7E8", {withText("49 02 01", "WP0ZZZ99ZTS392124")}, {}}}, 4,
         "WP0ZZZ99ZTS392124", "", "porsche", 1996},
        {"a Porsche with the same code on CAN is a 2026", {{"7E8", {withText("49 02 01", "WP0ZZZ99ZTS392124")}, {}}}, 6,
         "WP0ZZZ99ZTS392124", "", "porsche", 2026},
        {"a European Ford: no year in position 10", {{"7E8", {withText("49 02 01", "WF0SXXGCDS8A12345")}, {}}}, 6,
         "WF0SXXGCDS8A12345", "", "ford", 0},
        {"a wrong check digit: kept, make and year still read",
         {{"7E8", {withText("49 02 01", "1FTFW1ET5DFC10312")}, {}}}, 6, "1FTFW1ET5DFC10312", Warning, "ford", 2013},
        {"a good VIN from another unit wins over a doubtful one",
         {{"7E8", {withText("49 02 01", "1FTFW1ET5DFC10312")}, {}}, {"7E9", {withText("49 02", "1FTFW1ET9DFC10312")}, {}}},
         6, "1FTFW1ET9DFC10312", "", "ford", 2013},
    };
    for (const Case& c : cases) {
        VehicleAnswers answers;
        answers.protocol = c.protocol;
        answers.vin = answer(c.units);
        const VehicleInfo info = assembleVehicleInfo(answers, builtInWmiTable(), 2026);
        EXPECT_EQ(info.vin, c.vin) << c.what;
        EXPECT_EQ(info.vinWarning, c.warning) << c.what;
        EXPECT_EQ(info.make, c.make) << c.what;
        EXPECT_EQ(info.modelYear, c.year) << c.what;
    }
}

}  // namespace
}  // namespace vx414::obd
