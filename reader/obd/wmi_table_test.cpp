#include "reader/obd/wmi_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "definitions/make_sections.h"

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
        {"1M8GDM9AXKP042788", ""},  // a coach maker: no entry
        {"5YJSA1DG9DFP14705", ""},
        {"J", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(builtInWmiTable().makeFor(c.vin), c.make) << c.vin;
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
