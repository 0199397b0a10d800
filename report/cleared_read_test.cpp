// Keeping the read before a clear: where it goes, and that no keep overwrites another.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>

#include "report/cleared_listing.h"

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

TEST(ClearedRead, PreviousReadsComeNewestFirstAndOnlyTheKeptOnes) {
    char name[] = "/tmp/vx414-previous-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const std::filesystem::path folder(name);
    const ReadReport read{LocalTime{2026, 12, 8, 4, 5, 6, 0}, "audi", {{"Stored", "P0301", "Misfire", ""}}, {}};
    // Written in an order unlike the one expected; eleven keeps within one second.
    const struct {
        const char* file;
        bool listed;
    } files[] = {
        {"vx414-cleared-20261208-040506-2.json", true},
        {"vx414-cleared-20261208-040506.json", true},
        {"vx414-cleared-20261208-040506-10.json", true},
        {"vx414-cleared-20261209-000000.json", true},
        {"vx414-cleared-20261207-235959.json", true},
        {".vx414-cleared-20261208-040507.json.part", false},  // a keep cut short
        {"vx414-cleared-2026120-040506.json", false},
        {"vx414-cleared-20261208-040506-.json", false},
        {"notes.json", false},
    };
    for (const auto& f : files) std::ofstream(folder / f.file) << reportAsJson(read);
    std::vector<std::string> listed;
    for (const KeptReadEntry& previous : listKeptReads(folder.string()).reads) {
        EXPECT_TRUE(previous.ok()) << previous.error;
        listed.push_back(std::filesystem::path(previous.path).filename().string());
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"vx414-cleared-20261209-000000.json",
                                                "vx414-cleared-20261208-040506-10.json",
                                                "vx414-cleared-20261208-040506-2.json",
                                                "vx414-cleared-20261208-040506.json",
                                                "vx414-cleared-20261207-235959.json"}));

    // A file far larger than any read is refused unread; a missing one says so.
    const std::filesystem::path huge = folder / "vx414-cleared-20261210-000000.json";
    std::ofstream(huge) << std::string(2U << 20, ' ');
    const PreviousRead refused = openPreviousRead(huge.string());
    EXPECT_FALSE(refused.read);
    EXPECT_EQ(refused.error, huge.string() + " is too large to be a kept read (2097152 bytes)");
    const PreviousRead missing = openPreviousRead((folder / "gone.json").string());
    EXPECT_FALSE(missing.read);
    EXPECT_TRUE(missing.error.starts_with("cannot read " + (folder / "gone.json").string() + ": ")) << missing.error;
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vx414
