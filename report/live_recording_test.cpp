#include "report/live_recording.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/live_format.h"

namespace vx414 {
namespace {

const obd::PidField* field(std::uint8_t pid, std::size_t index = 0) { return &obd::fieldsOf(pid)[index]; }

obd::LiveSample sampleAt(double seconds, double rpm) {
    return {seconds, {{field(0x0C), rpm}, {field(0x05), 83.0}, {field(0x0B), 101.0}}, {}};
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vx414-live-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path file(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

TEST(LiveFormat, RowsAndLinesInEitherUnitSystem) {
    const std::vector<const obd::PidField*> columns = {field(0x0C), field(0x05), field(0x0B), field(0x51),
                                                      field(0x15, 1)};
    obd::LiveSample sample = sampleAt(1.25, 812.5);
    sample.values.push_back({field(0x51), 1});
    sample.unanswered = {0x15};
    struct Case {
        UnitSystem units;
        const char* header;
        const char* row;
        const char* json;
    };
    const std::vector<Case> cases = {
        {UnitSystem::Metric,
         "time (s),Engine speed (rpm),Coolant temperature (°C),Intake manifold pressure (kPa),Fuel type,"
         "O2 sensor B1S2 short-term trim (%)\n",
         "1.250,812,83,101,Gasoline,\n",
         "{\"time\":1.250,\"values\":{\"Engine speed\":{\"pid\":\"0C\",\"value\":812,\"unit\":\"rpm\"},"
         "\"Coolant temperature\":{\"pid\":\"05\",\"value\":83,\"unit\":\"°C\"},"
         "\"Intake manifold pressure\":{\"pid\":\"0B\",\"value\":101,\"unit\":\"kPa\"},"
         "\"Fuel type\":{\"pid\":\"51\",\"value\":\"Gasoline\",\"unit\":\"\"}},\"no_answer\":[\"15\"]}\n"},
        {UnitSystem::Us,
         "time (s),Engine speed (rpm),Coolant temperature (°F),Intake manifold pressure (psi),Fuel type,"
         "O2 sensor B1S2 short-term trim (%)\n",
         "1.250,812,181,14.6,Gasoline,\n",
         "{\"time\":1.250,\"values\":{\"Engine speed\":{\"pid\":\"0C\",\"value\":812,\"unit\":\"rpm\"},"
         "\"Coolant temperature\":{\"pid\":\"05\",\"value\":181,\"unit\":\"°F\"},"
         "\"Intake manifold pressure\":{\"pid\":\"0B\",\"value\":14.6,\"unit\":\"psi\"},"
         "\"Fuel type\":{\"pid\":\"51\",\"value\":\"Gasoline\",\"unit\":\"\"}},\"no_answer\":[\"15\"]}\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(liveCsvHeader(columns, c.units), c.header);
        EXPECT_EQ(liveCsvRow(sample, columns, c.units), c.row);
        EXPECT_EQ(liveJsonLine(sample, c.units), c.json);
    }
}

TEST(LiveRecording, WrittenOutEachSecondInWholeRows) {
    TempFolder folder;
    const auto path = folder.file("live.csv");
    LiveRecording recording;
    ASSERT_TRUE(recording.open(path.string(), {field(0x0C), field(0x05)}, UnitSystem::Metric));
    // Samples every 0.25 s: the file holds the rows up to the last whole second passed.
    const std::vector<std::pair<double, std::size_t>> steps = {
        {0.00, 0}, {0.25, 0}, {0.75, 0}, {1.00, 4}, {1.50, 4}, {1.75, 4}, {2.00, 7}};
    for (const auto& [seconds, rows] : steps) {
        ASSERT_TRUE(recording.add(sampleAt(seconds, 800)));
        const std::string text = fileText(path);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(rows + 1)) << seconds;
        EXPECT_EQ(text.back(), '\n') << seconds;
    }
    ASSERT_TRUE(recording.close());
    EXPECT_TRUE(fileText(path).starts_with("time (s),Engine speed (rpm),Coolant temperature (°C)\n0.000,800,83\n"));

    // Bad places are refused with the reason, nothing written anywhere else.
    LiveRecording bad;
    EXPECT_FALSE(bad.open(folder.file("missing/live.csv").string(), {field(0x0C)}, UnitSystem::Metric));
    EXPECT_NE(bad.error().find("could not be created: No such file or directory."), std::string::npos) << bad.error();
    EXPECT_FALSE(bad.add(sampleAt(0, 800)));
}

TEST(LiveRecording, AKilledProgramLeavesAWellFormedFile) {
    TempFolder folder;
    const auto path = folder.file("killed.csv");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LiveRecording recording;
        if (!recording.open(path.string(), {field(0x0C), field(0x05), field(0x0B)}, UnitSystem::Metric)) _exit(3);
        for (int i = 0; i <= 34; ++i) recording.add(sampleAt(i * 0.1, 800 + i));
        raise(SIGKILL);  // no close, no destructor: as a crash or a kill would end it
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // The rows up to 3.0 s were written out, each whole; the half second after is lost.
    std::istringstream lines(fileText(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "time (s),Engine speed (rpm),Coolant temperature (°C),Intake manifold pressure (kPa)");
    int rows = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 3) << line;
        EXPECT_EQ(line.substr(line.size() - 7), ",83,101") << line;
        ++rows;
    }
    EXPECT_EQ(rows, 31);
    EXPECT_EQ(fileText(path).back(), '\n');
}

}  // namespace
}  // namespace vx414
