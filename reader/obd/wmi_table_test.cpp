#include "reader/obd/wmi_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "definitions/make_sections.h"
#include "reader/obd/vin.h"

namespace vx414::obd {
namespace {

TEST(WmiTable, TheShippedTableNamesOnlyEntriesOfTheMakeList) {
    std::string error = "not parsed";
    const WmiTable table = WmiTable::parse(builtInWmiText(), &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(table.entries().size(), builtInWmiTable().entries().size());
    std::set<std::string> makes;
    for (const auto& [wmi, make] : table.entries()) {
        EXPECT_NE(findMake(make), nullptr) << wmi << " names " << make;
        EXPECT_NE(make, "generic") << wmi;
        makes.insert(make);
    }
    // The major makers of the list are all there.
    for (const char* make : {"audi", "bmw", "chevrolet", "ford", "honda", "hyundai", "kia", "mazda", "mercedes-benz",
                             "nissan", "opel", "peugeot", "renault", "toyota", "volkswagen", "volvo"}) {
        EXPECT_EQ(makes.count(make), 1U) << make;
    }
}

TEST(WmiTable, MakesOfRealVins) {
    struct Case {
        const char* vin;
        const char* make;
    };
    const std::vector<Case> cases = {
        {"1HGCM82633A004352", "honda"},
        {"JH4KA7561PC008269", "acura"},
        {"5GZCZ43D13S812715", "saturn"},
        {"1G1ZT53826F109149", "chevrolet"},
        {"1G6KD54Y95U123456", "cadillac"},
        {"1GTEC14V8XZ123456", "gmc"},
        {"1GHDX03E9YD123456", "general motors"},  // a 1G WMI without a line of its own
        {"1FAFP4041WF154291", "ford"},
        {"WF0AXXWPMAFA12345", "ford"},
        {"1LNHM81W8XY123456", "lincoln"},
        {"JTDKB20U693479387", "toyota"},  // the two-character JT line
        {"JTHBJ46G072123456", "lexus"},   // a three-character line beats it
        {"4T1BF1FK5CU123456", "toyota"},
        {"WVWZZZ1JZ3W386752", "volkswagen"},
        {"WAUZZZ8E55A123456", "audi"},
        {"TMBJJ7NE5F0123456", "skoda"},
        {"VSSZZZ6JZ9R123456", "seat alhambra"},
        {"WBA3A5C51CF256651", "bmw"},
        {"WMWRC33496TJ12345", "mini"},
        {"WDB2030461A123456", "mercedes-benz"},
        {"WME4513311B123456", "smart smart city"},
        {"W0L0XCF0814000000", "opel"},
        {"VF1BB05CF12345678", "renault"},
        {"VF3LCBHZ6GS123456", "peugeot"},
        {"VF7SXHMZ6GT123456", "citroen"},
        {"ZFA19900001234567", "fiat"},
        {"YV1MS382X52123456", "volvo"},
        {"KMHDH41E88U123456", "hyundai"},
        {"KNAFX4A68F5123456", "kia"},
        {"JN1AZ4EH9DM123456", "nissan"},
        {"JM1BL1S58A1123456", "mazda"},
        {"JF1GE6A65AH123456", "subaru"},
        {"SALLSAA139A123456", "land rover"},
        // The cars the make was once missing or wrong for.
        {"1C4RJFAG5FC625797", "chrysler"},   // Jeep Grand Cherokee: Chrysler group meanings
        {"1C6RR7LT1KS123456", "dodge"},      // Ram 1500
        {"5YFEPRAE1LP123456", "toyota"},     // Corolla, Mississippi
        {"7FARW2H51NE123456", "honda"},      // CR-V, Indiana
        {"3CZRU6H51NM123456", "honda"},      // HR-V, Mexico
        {"3N8CP5CV1LL123456", "nissan"},     // Kicks, Mexico
        {"1V2DR2CA1NC123456", "volkswagen"}, // Atlas, Chattanooga
        {"3VV3B7AX1MM123456", "volkswagen"}, // Tiguan, Mexico
        {"3MW5R1J01P8123456", "bmw"},        // 3 Series, Mexico
        {"5XXG64J21NG123456", "kia"},        // K5, Georgia
        {"ML32AB26J1LH12345", "mitsubishi"},  // Mirage, Thailand
        {"KL7CJKSB1MB123456", "chevrolet"},  // Trax, Korea
        {"LRBFXBSA1LD123456", "buick"},      // Envision, China
        {"KNMAT2MV1HP123456", "nissan"},     // Rogue, Busan: not a Renault
        {"JT2BG12K1T0123456", "toyota"},
        {"WF0SXXGCDS8A12345", "ford"},
        {"1M8GDM9AXKP042788", ""},  // a coach maker: no entry
        {"5YJSA1DG9DFP14705", ""},
        {"J", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(builtInWmiTable().makeFor(c.vin), c.make) << c.vin;
}

// Every line of the shipped table against a VIN of its cars: real-form VINs on the WMIs of
// the public assignment lists (check digits where North American or Chinese rules ask for
// one), under the entry the car's make reads from. A line added without a VIN here fails the
// test, and so does a VIN that does not pass checkVin.
TEST(WmiTable, EveryLineAgainstAVinOfItsCars) {
    struct Make {
        const char* make;
        std::vector<const char*> vins;
    };
    const std::vector<Make> known = {
        {"acura", {"JH4KA7564EA123456", "19UAB12C0EA123456", "2HNAB12C7EA123456", "5J8AB12C0EA123456",
            "5FRYD4H40FB123456", "19VDE1F37EE123456", "2HHFD56577H123456"}},
        {"alfa romeo", {"ZARAB12C5EA123456", "ZASAB12C7EA123456"}},
        {"audi", {"WAUZZZ8K1EA123456", "WA1AB12CXEA123456", "WUAAB12C9EA123456", "TRUAB12C5EA123456"}},
        {"bmw", {"WBAAB12C6EA123456", "WBSAB12C1EA123456", "WBXAB12C9EA123456", "WBYAB12C4EA123456",
            "4USAB12CXEA123456", "5UXAB12C4EA123456", "5UMAB12C8EA123456", "5YMAB12C3EA123456", "3MW5R1J05PA123456",
            "LBVAB12C6EA123456"}},
        {"buick", {"1G4AB12C8EA123456", "2G4AB12C5EA123456", "5GAAB12C0EA123456", "KL4AB12CXEA123456",
            "LRBFXBSA3LA123456"}},
        {"cadillac", {"1G6AB12C9EA123456", "1GYAB12CXEA123456"}},
        {"chevrolet", {"1G1AB12C1EA123456", "1GBAB12C7EA123456", "1GCAB12C2EA123456", "1GNAB12C3EA123456",
            "1Y1AB12C8EA123456", "2G1AB12C9EA123456", "2GCAB12CXEA123456", "2GNAB12C0EA123456", "3G1AB12C6EA123456",
            "3GCAB12C7EA123456", "3GNAB12C8EA123456", "KL1AB12C3EA123456", "KL8AB12C1EA123456", "9BGAB12C0EA123456",
            "KL7CJKSB7MA123456"}},
        {"chrysler", {"1C3AB12C7EA123456", "2C3AB12C4EA123456", "2C4AB12CXEA123456", "2A4AB12C7EA123456",
            "3C4AB12C7EA123456", "1C4RJFAG1FA123456", "2A8AB12C9EA123456"}},
        {"citroen", {"VF7AB12C7EA123456", "VR7AB12C6EA123456", "VS7AB12C1EA123456"}},
        {"dacia logan", {"UU1AB12C4EA123456"}},
        {"daewoo", {"KLAAB12C3EA123456"}},
        {"daihatsu copen", {"JDAAB12C2EA123456"}},
        {"dodge", {"1B3AB12C0EA123456", "1B4AB12C6EA123456", "1B7AB12C2EA123456", "1D3AB12C3EA123456",
            "1D4AB12C9EA123456", "1D7AB12C5EA123456", "2B3AB12C8EA123456", "2B4AB12C3EA123456", "2B7AB12CXEA123456",
            "2D4AB12C6EA123456", "2D8AB12C8EA123456", "3B7AB12C7EA123456", "3D7AB12CXEA123456", "1C6RR7LT6RA123456",
            "3C6AB12C8EA123456", "3C7AB12C3EA123456"}},
        {"fiat", {"ZFAAB12C3EA123456", "ZFBAB12C9EA123456", "3C3AB12C1EA123456"}},
        {"ford", {"1FAAB12C5EA123456", "1FBAB12C0EA123456", "1FCAB12C6EA123456", "1FDAB12C1EA123456",
            "1FMAB12C1EA123456", "1FTAB12C6EA123456", "1ZVAB12C6EA123456", "2FAAB12C2EA123456", "2FMAB12C9EA123456",
            "2FTAB12C3EA123456", "3FAAB12CXEA123456", "3FEAB12C1EA123456", "3FMAB12C6EA123456", "3FTAB12C0EA123456",
            "6FPAB12C4EA123456", "AFAAB12C5EA123456", "MAJAB12C5EA123456", "MNBAB12C6EA123456", "NM0AB12C6EA123456",
            "SFAAB12C2EA123456", "WF0SXXGC4EA123456", "LVSAB12C9EA123456", "VS6AB12C6EA123456"}},
        {"general motors", {"1GHDX03E9EA123456", "2GWALMVA5EA123456", "3GYFK66N6EA123456", "6G1AB12C8EA123456",
            "LSGAB12C7EA123456"}},
        {"geo", {"2CNAB12C5EA123456", "J81AB12C8EA123456"}},
        {"gmc", {"1GDAB12C8EA123456", "1GKAB12C7EA123456", "1GTAB12C2EA123456", "2GKAB12C4EA123456",
            "2GTAB12CXEA123456", "3GKAB12C1EA123456", "3GTAB12C7EA123456"}},
        {"honda", {"1HGCM8263EA123456", "2HGAB12C8EA123456", "2HKAB12C0EA123456", "5FNAB12C6EA123456",
            "5J6AB12CXEA123456", "19XAB12C7EA123456", "JHLAB12C9EA123456", "JHMAB12C4EA123456", "SHHAB12C3EA123456",
            "SHSAB12C0EA123456", "7FARW2H51NA123456", "3CZRU6H50NA123456", "3HGAB12C5EA123456", "LHGAB12C5EA123456",
            "MRHAB12C4EA123456", "5FPYK3F79LB123456", "2HJYK16516H123456", "LVHRW1874K5123456",
            "LUCGE8H52B0123456"}},
        {"hyundai", {"5NMAB12C4EA123456", "5NPAB12C0EA123456", "KM8AB12C8EA123456", "KMHAB12C8EA123456",
            "MALAB12C6EA123456", "NLHAB12C3EA123456", "TMAAB12C7EA123456", "KMTGB4S16PU123456",
            "KMUHCESC6MU123456", "LBELMBKC3JY123456", "5NTJCDAE8NH123456"}},
        {"infiniti", {"5N3AB12C9EA123456", "JNKAB12C4EA123456", "JNRAB12C2EA123456", "3PCAJ5M3XKF123456"}},
        {"isuzu", {"4S2AB12C7EA123456", "JAAAB12C3EA123456", "JACAB12C4EA123456", "JALAB12C4EA123456",
            "4KLC4B1U56J801234", "54DC4W1BXMS800234"}},
        {"iveco daily", {"ZCFAB12C1EA123456"}},
        {"jaguar", {"SAJAB12C0EA123456", "SADAB12C7EA123456"}},
        {"jeep", {"1J4AB12CXEA123456", "1J8AB12C1EA123456", "ZACAB12C2EA123456"}},
        {"kia", {"3KPAB12C7EA123456", "5XYAB12C9EA123456", "KNAAB12C6EA123456", "KNDAB12C2EA123456",
            "U5YAB12C9EA123456", "5XXG64J22NA123456", "LJDKAA244J0123456"}},
        {"lada samara", {"XTAAB12CXEA123456"}},
        {"lancia lybra", {"ZLAAB12C4EA123456"}},
        {"land rover", {"SALAB12C1EA123456"}},
        {"ldv convoy", {"SEYAB12C4EA123456"}},
        {"lexus", {"2T2AB12C9EA123456", "58AAB12C7EA123456", "JT6AB12C3EA123456", "JT8AB12C4EA123456",
            "JTHAB12C4EA123456", "JTJAB12C6EA123456"}},
        {"lincoln", {"1LNAB12C8EA123456", "2LMAB12CXEA123456", "3LNAB12C2EA123456", "5LMAB12C1EA123456"}},
        {"lotus", {"SCCAB12C4EA123456"}},
        {"mazda", {"1YVAB12CXEA123456", "3MZAB12C0EA123456", "4F2AB12C2EA123456", "4F4AB12C3EA123456",
            "JM1AB12C2EA123456", "JM3AB12C3EA123456", "JMZAB12C6EA123456", "3MVAB12C9EA123456", "7MMAB12C2EA123456",
            "LVRHDAEJXJN123456", "3MDDJ2HA9FM123456"}},
        {"smart smart city", {"WMEAB12C0EA123456"}},
        {"mercedes-benz", {"4JGAB12C8EA123456", "55SAB12C3EA123456", "W1KAB12C5EA123456", "W1NAB12C1EA123456",
            "W1VAB12C1EA123456", "WDBAB12C4EA123456", "WDCAB12CXEA123456", "WDDAB12C5EA123456", "WDFAB12C6EA123456",
            "LE4AB12CXEA123456"}},
        {"mercury", {"1MEAB12C4EA123456", "2MEAB12C1EA123456", "4M2AB12CXEA123456"}},
        {"mini", {"WMWAB12C6EA123456", "WMZAB12C2EA123456"}},
        {"mitsubishi", {"4A3AB12C6EA123456", "4A4AB12C1EA123456", "6MMAB12C5EA123456", "JA3AB12C4EA123456",
            "JA4AB12CXEA123456", "JMBAB12C8EA123456", "JMYAB12C0EA123456", "MMBAB12CXEA123456", "ML3AB26J8JA123456"}},
        {"nissan", {"1N4AB12C5EA123456", "1N6AB12C6EA123456", "3N1AB12C3EA123456", "3N6AB12C0EA123456",
            "5N1AB12C8EA123456", "JN1AB12C9EA123456", "JN8AB12C7EA123456", "SJNAB12C2EA123456", "VSKAB12C4EA123456",
            "3N8CP5CV3LA123456", "KNMAT3MV8HA123456", "MNTAB12C1EA123456", "LGBH52E01KY123456"}},
        {"oldsmobile", {"1G3AB12C2EA123456", "2G3AB12CXEA123456"}},
        {"opel", {"W0LAB12C4EA123456", "W0VAB12C5EA123456", "VXKAB12C6EA123456"}},
        {"perodua nippa", {"PM2AB12C1EA123456"}},
        {"peugeot", {"VF3AB12C5EA123456", "VR3AB12C4EA123456"}},
        {"piaggio hi-jet", {"ZAPAB12C4EA123456"}},
        {"plymouth", {"1P3AB12C2EA123456", "1P4AB12C8EA123456", "2P4AB12C5EA123456"}},
        {"pontiac", {"1G2AB12C7EA123456", "1GMAB12C8EA123456", "2G2AB12C4EA123456", "5Y2AB12C2EA123456",
            "6G2AB12C3EA123456"}},
        {"porsche", {"WP0ZZZ993EA123456", "WP1AB12C8EA123456"}},
        {"proton persona compact", {"PL1AB12CXEA123456"}},
        {"renault", {"VF1AB12C4EA123456", "93YAB12C2EA123456"}},
        {"rover", {"SARAB12C4EA123456", "SAXAB12C3EA123456"}},
        {"saab", {"YS3AB12C1EA123456"}},
        {"saturn", {"1G8AB12CXEA123456", "5GZAB12C4EA123456"}},
        {"seat alhambra", {"VSSAB12C4EA123456"}},
        {"skoda", {"TMBAB12C2EA123456"}},
        {"ssangyong rexton", {"KPTAB12CXEA123456"}},
        {"subaru", {"4S3AB12C2EA123456", "4S4AB12C8EA123456", "JF1AB12C5EA123456", "JF2AB12C0EA123456"}},
        {"suzuki", {"2S3AB12C8EA123456", "JS2AB12C5EA123456", "JS3AB12C0EA123456", "JSAAB12CXEA123456",
            "MA3AB12C6EA123456", "TSMAB12C0EA123456"}},
        {"toyota", {"JTDKB20U5EA123456", "2T1AB12C3EA123456", "2T3AB12C4EA123456", "3TMAB12C7EA123456",
            "4T1AB12C8EA123456", "4T3AB12C9EA123456", "4T4AB12C4EA123456", "5TBAB12C0EA123456", "5TDAB12C1EA123456",
            "5TEAB12C7EA123456", "5TFAB12C2EA123456", "AHTAB12C9EA123456", "NMTAB12C2EA123456", "SB1AB12C7EA123456",
            "VNKAB12C3EA123456", "5YFEPRAE2LA123456", "7MUAB12C2EA123456", "MR0AB12C0EA123456",
            "7SVAAABA3PX123456", "3TYCZ5AN1PT123456", "3MYDLBYVXHY123456", "LVGBV7EB8NG123456", "LTVBG8649K0123456",
            "LFMJ34AF4G3123456"}},
        {"vauxhall", {"SEDAB12C2EA123456"}},
        {"volkswagen", {"1VWAB12C6EA123456", "3VWAB12C0EA123456", "9BWAB12C5EA123456", "AAVAB12C5EA123456",
            "WV1AB12C5EA123456", "WV2AB12C0EA123456", "WVGAB12C8EA123456", "WVWZZZ1J6EA123456", "1V2DR2CAXNA123456",
            "3VV3B7AX7MA123456", "LSVAB12C6EA123456", "LFVAB12C1EA123456", "VWVAB12C6EA123456", "8AWAB12C1EA123456"}},
        {"volvo", {"7JRAB12C0EA123456", "YV1AB12CXEA123456", "YV4AB12C6EA123456", "LYVAB12C4EA123456",
            "LVY102MK2JP123456", "LPSED3KA9NL123456"}},
    };
    std::set<std::string> covered;
    for (const Make& m : known) {
        for (const char* vin : m.vins) {
            EXPECT_EQ(builtInWmiTable().makeFor(vin), m.make) << vin;
            EXPECT_EQ(checkVin(vin), VinFault::None) << vin;
            for (const std::size_t length : {std::size_t{3}, std::size_t{2}}) covered.insert(std::string(vin, length));
        }
    }
    for (const auto& [wmi, make] : builtInWmiTable().entries()) EXPECT_EQ(covered.count(wmi), 1U) << wmi << " " << make;
}

TEST(WmiTable, MalformedLinesSayWhere) {
    struct Case {
        const char* text;
        const char* error;
        std::size_t entries;
    };
    const std::vector<Case> cases = {
        {"# comment\n\nWVW\tvolkswagen\r\nWBA\tbmw\n", "", 2},
        {"WVW volkswagen\n", "line 1: no tab", 0},
        {"WVW\tvolkswagen\nW\tbmw\n", "line 2: not a WMI", 1},
        {"WVW\tvolkswagen\nwba\tbmw\n", "line 2: not a WMI", 1},
        {"WVWZ\tvolkswagen\n", "line 1: not a WMI", 0},
        {"WVW\t\n", "line 1: no make", 0},
        {"WVW\tvolkswagen\n# x\nWVW\taudi\n", "line 3: WMI given twice", 1},
    };
    for (const Case& c : cases) {
        std::string error = "untouched";
        const WmiTable table = WmiTable::parse(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(table.entries().size(), c.entries) << c.text;
    }
}

}  // namespace
}  // namespace vx414::obd
