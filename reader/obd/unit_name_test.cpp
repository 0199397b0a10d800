#include "reader/obd/unit_name.h"

#include <gtest/gtest.h>

#include <vector>

namespace vx414::obd {

TEST(UnitName, FromTheSendersAddress) {
    struct Case {
        const char* sender;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"7E8", "engine"},         {"7E9", "transmission"},   {"7EA", ""},          {"7E0", ""},
        {"18DAF110", "engine"},    {"18DAF118", "transmission"}, {"18DAF11A", "transmission"},
        {"18DAF128", ""},          {"18DBF110", ""},          {"486B10", "engine"}, {"486B11", "engine"},
        {"416B18", "transmission"}, {"83F117", "engine"},     {"486B28", ""},       {"486BXY", ""},
        {"", ""},                  {"10", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(unitName(c.sender), c.name) << c.sender;
}

}  // namespace vx414::obd
