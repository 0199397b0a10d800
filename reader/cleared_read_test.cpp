// Keeping the read before a clear: where it goes, and that no keep overwrites another.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>

#include "reader/cleared_read.h"

namespace vx414 {
namespace {

TEST(ClearedRead, FolderFollowsTheBaseDirectoryRules) {
    const struct {
        const char* xdg;
        const char* home;
        const char* folder;
    } cases[] = {
        {"/data", "/home/u", "/data/vx414/cleared"},
        {nullptr, "/home/u", "/home/u/.local/share/vx414/cleared"},
        {"", "/home/u", "/home/u/.local/share/vx414/cleared"},
        {"relative/data", "/home/u", "/home/u/.local/share/vx414/cleared"},
        {nullptr, nullptr, ""},
        {"", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clearedReadsFolder(c.xdg, c.home), c.folder) << (c.xdg ? c.xdg : "(unset)");
}

TEST(ClearedRead, EachKeepIsANewWholeFile) {
    char name[] = "/tmp/vx414-cleared-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const std::filesystem::path scratch(name);
    const std::string folder = (scratch / "share" / "vx414" / "cleared").string();

    ReadReport read{LocalTime{2026, 12, 8, 4, 5, 6, 60}, "audi", {{"Stored", "P0301", "Misfire", "engine"}}, {}};
    read.vehicle.vin = "WAUZZZ8K9BA123456";
    const KeptRead first = keepReadBeforeClearing(folder, read);
    const KeptRead second = keepReadBeforeClearing(folder, read);
    ASSERT_TRUE(first.ok()) << first.error;
    ASSERT_TRUE(second.ok()) << second.error;
    EXPECT_EQ(first.path, folder + "/vx414-cleared-20261208-040506.json");
    EXPECT_EQ(second.path, folder + "/vx414-cleared-20261208-040506-2.json");
    for (const std::string& path : {first.path, second.path}) {
        std::ifstream file(path);
        std::stringstream bytes;
        bytes << file.rdbuf();
        EXPECT_EQ(bytes.str(), reportAsJson(read)) << path;
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);

    // A folder that cannot be made (a file stands in its way) keeps nothing and says so.
    std::ofstream(scratch / "blocked") << "x";
    const KeptRead blocked = keepReadBeforeClearing((scratch / "blocked" / "cleared").string(), read);
    EXPECT_FALSE(blocked.ok());
    EXPECT_EQ(blocked.path, "");
    EXPECT_FALSE(keepReadBeforeClearing("", read).ok());
    std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace vx414
