// Listing the kept reads through the folder's index: what the files say wins over the
// index, files the index knows are not read again, and the folder's faults are named.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "report/cleared_index.h"
#include "report/cleared_listing.h"

namespace vx414 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOlder = "vx414-cleared-20261201-080000.json";
constexpr const char* kNewer = "vx414-cleared-20261207-224901.json";
constexpr const char* kNewest = "vx414-cleared-20261209-100000.json";

std::string fileText(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void keep(const fs::path& folder, const char* name, const std::string& vin) {
    ReadReport read{LocalTime{2026, 12, 7, 22, 49, 1, 60}, "audi", {{"Stored", "P0301", "Misfire", "engine"}}, {}};
    read.vehicle.vin = vin;
    std::ofstream(folder / name) << reportAsJson(read);
}

// "name VIN" or "name error-without-the-folder" a row, in the listed order.
std::vector<std::string> rows(const fs::path& folder, const KeptReadList& list) {
    std::vector<std::string> out;
    for (const KeptReadEntry& entry : list.reads) {
        std::string name = fs::path(entry.path).filename().string();
        std::string what = entry.ok() ? entry.vin : entry.error;
        if (const auto at = what.find(folder.string() + "/"); at != std::string::npos)
            what.erase(at, folder.string().size() + 1);
        out.push_back(name + " " + what);
    }
    return out;
}

TEST(KeptReadList, TheIndexIsUsedOnlyWhereItAgreesWithTheFiles) {
    const std::string header = "vx414 kept reads index 1\n";
    const struct {
        const char* name;
        std::function<void(const fs::path&)> change;  // made after a first listing wrote the index
        std::vector<std::string> listed;
        bool indexAgrees = true;  // false: the files say otherwise, and a listing without the index shows it
    } cases[] = {
        {"a file the index knows is not read again",
         [](const fs::path& f) {
             // Same size and time, other bytes: only a listing that parses it sees the change.
             const auto time = fs::last_write_time(f / kOlder);
             std::string text = fileText(f / kOlder);
             text.replace(text.find("WBA00000000000001"), 17, "WBA99999999999999");
             std::ofstream(f / kOlder) << text;
             fs::last_write_time(f / kOlder, time);
         },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001"}, false},
        {"a new file is read", [](const fs::path& f) { keep(f, kNewest, "VF1AAAAA555555555"); },
         {std::string(kNewest) + " VF1AAAAA555555555", std::string(kNewer) + " WAUZZZ8K9BA123456",
          std::string(kOlder) + " WBA00000000000001"}},
        {"a changed file is read again", [](const fs::path& f) { keep(f, kOlder, "WBA0000000000000X2"); },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA0000000000000X2"}},
        {"a removed file goes", [](const fs::path& f) { fs::remove(f / kOlder); },
         {std::string(kNewer) + " WAUZZZ8K9BA123456"}},
        {"a damaged index is made again",
         [&](const fs::path& f) {
             std::string text = fileText(f / kKeptIndexName);
             std::ofstream(f / kKeptIndexName) << text.substr(0, text.size() - 9);
         },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001"}},
        {"a foreign index is made again",
         [](const fs::path& f) { std::ofstream(f / kKeptIndexName) << "name\tvin\n" << kOlder << "\tFOREIGN\n"; },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001"}},
        {"an index that disagrees with a file's size is not believed",
         [&](const fs::path& f) {
             std::ofstream(f / kKeptIndexName)
                 << header << kOlder << "\t7\t0\t2026-12-01 08:00:00 UTC+01:00\tFAKEVIN\taudi\tno codes\t\t\n";
         },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001"}},
        {"a keep or an index cut short is no read",
         [](const fs::path& f) {
             std::ofstream(f / ".vx414-cleared-20261209-100000.json.part") << "{\"version\": 2";
             std::ofstream(f / ".index.tsv.4242-0.part") << "vx414 kept";
         },
         {std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001"}},
        {"an unreadable file and a damaged one say why",
         [](const fs::path& f) {
             fs::create_directory(f / kNewest);
             std::ofstream(f / "vx414-cleared-20261130-000000.json") << "{\"version\": 2, \"time\": 7}";
         },
         {std::string(kNewest) + " cannot read " + kNewest + ": Is a directory",
          std::string(kNewer) + " WAUZZZ8K9BA123456", std::string(kOlder) + " WBA00000000000001",
          "vx414-cleared-20261130-000000.json vx414-cleared-20261130-000000.json: not a vx414 read at byte 24: "
          "\"time\" is not a text"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char name[] = "/tmp/vx414-listing-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        const fs::path folder(name);
        keep(folder, kOlder, "WBA00000000000001");
        keep(folder, kNewer, "WAUZZZ8K9BA123456");
        ASSERT_EQ(listKeptReads(folder.string()).reads.size(), 2U);
        ASSERT_TRUE(keptIndexLines(fileText(folder / kKeptIndexName)));
        c.change(folder);
        const KeptReadList list = listKeptReads(folder.string());
        EXPECT_EQ(list.error, "");
        EXPECT_EQ(list.indexError, "");
        EXPECT_EQ(rows(folder, list), c.listed);
        // The index now holds what a listing without it would find, damaged reads included.
        const auto lines = keptIndexLines(fileText(folder / kKeptIndexName));
        ASSERT_TRUE(lines);
        if (!c.indexAgrees) {
            fs::remove_all(folder);
            continue;
        }
        fs::remove(folder / kKeptIndexName);
        EXPECT_EQ(rows(folder, listKeptReads(folder.string())), c.listed);
        EXPECT_EQ(keptIndexLines(fileText(folder / kKeptIndexName)), lines);
        fs::remove_all(folder);
    }
}

TEST(KeptReadList, AFolderThatCannotBeListedSaysWhy) {
    char name[] = "/tmp/vx414-listing-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const fs::path scratch(name);
    std::ofstream(scratch / "file") << "x";
    fs::create_directory(scratch / "kept");
    keep(scratch / "kept", kOlder, "WBA00000000000001");
    fs::create_directory(scratch / "kept" / kKeptIndexName);  // the index cannot be written
    const struct {
        std::string folder;
        std::size_t reads;
        std::string error;
        std::string indexError;
    } cases[] = {
        {(scratch / "file").string(), 0, (scratch / "file").string() + " is not a folder", ""},
        {(scratch / "none").string(), 0, "", ""},
        {"", 0, "no folder for kept reads (neither XDG_DATA_HOME nor HOME is set)", ""},
        {(scratch / "kept").string(), 1, "", "cannot write " + (scratch / "kept" / kKeptIndexName).string() + ": Is a directory"},
    };
    for (const auto& c : cases) {
        const KeptReadList list = listKeptReads(c.folder);
        EXPECT_EQ(list.reads.size(), c.reads) << c.folder;
        EXPECT_EQ(list.error, c.error);
        EXPECT_EQ(list.indexError, c.indexError);
    }
    // The failed index write leaves no temporary file behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch / "kept"), fs::directory_iterator()), 2);
    fs::remove_all(scratch);
}

TEST(KeptIndex, FieldsComeBackAsWrittenAndABrokenIndexIsNone) {
    const std::vector<KeptIndexLine> lines = {
        {"vx414-cleared-20261201-080000.json", 1819, 1765000000123456789, "2026-12-01 08:00:00 UTC+01:00",
         "WBA\t1\n2\\3\r", "audi\x1b[31m", "P0301 (Stored)", "emulator", ""},
        {"vx414-cleared-20261130-000000.json", 7, -1, "", "", "", "", "", "bad JSON at byte 7: \\t"},
    };
    EXPECT_EQ(keptIndexLines(keptIndexText(lines)), lines);
    const std::string header = "vx414 kept reads index 1\n";
    const std::string good = "a.json\t1\t2\tt\tv\tm\tc\ts\te\n";
    for (const std::string& broken : {std::string(), "vx414 kept reads index 2\n" + good, header + "a.json\t1\t2\n",
                                      header + good.substr(0, good.size() - 1), header + "a.json\tx\t2\tt\tv\tm\tc\ts\te\n",
                                      header + "a.json\t1\t2\tt\tv\\q\tm\tc\ts\te\n",
                                      header + "a.json\t1\t2\tt\tv\tm\tc\ts\te\textra\n"})
        EXPECT_EQ(keptIndexLines(broken), std::nullopt) << broken;
}

}  // namespace
}  // namespace vx414
