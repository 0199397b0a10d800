// The program's command line: what runs, what prints the usage, and what ends with one
// line and status 2, with --link winning over VX414_LINK.
#include <gtest/gtest.h>

#include <vector>

#include "window/logic/command_line.h"

namespace vx414 {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OptionsAndWhichLinkWins) {
    struct Case {
        std::vector<const char*> arguments;
        const char* environment;
        Action action;
        const char* linkOrError;  // Run: the path or host named ("" for none); Fail: part of the line
    };
    const std::vector<Case> cases = {
        {{}, nullptr, Action::Run, ""},
        {{}, "", Action::Run, ""},
        {{}, "/dev/ttyUSB1", Action::Run, "/dev/ttyUSB1"},
        {{}, "elm327://192.168.0.10:35000", Action::Run, "192.168.0.10"},
        {{"--link", "elm327:/dev/rfcomm0"}, "/dev/ttyUSB1", Action::Run, "/dev/rfcomm0"},
        {{"--link=elm327://127.0.0.1:35000"}, nullptr, Action::Run, "127.0.0.1"},
        {{"--link", "/dev/ttyUSB0"}, "bogus://x", Action::Run, "/dev/ttyUSB0"},  // env not looked at
        {{"--link", "/dev/a", "--link", "/dev/b"}, nullptr, Action::Run, "/dev/b"},
        {{"--help"}, nullptr, Action::Help, ""},
        {{"-h", "--bogus"}, nullptr, Action::Help, ""},
        {{"--link", "/dev/a", "--help"}, "bogus://x", Action::Help, ""},
        {{"--version"}, nullptr, Action::Version, "vx414 "},
        {{"--link", "/dev/a", "--version", "--bogus"}, "bogus://x", Action::Version, "vx414 "},
        {{"--bogus"}, nullptr, Action::Fail, "unknown option \"--bogus\""},
        {{"-platform", "xcb"}, nullptr, Action::Fail, "unknown option \"-platform\""},
        {{"extra"}, nullptr, Action::Fail, "unexpected argument \"extra\""},
        {{"--link"}, nullptr, Action::Fail, "--link needs a value"},
        {{"--link", "serial:/dev/ttyUSB0"}, nullptr, Action::Fail, "--link: unknown link scheme \"serial:\""},
        {{"--link", "elm327://host"}, nullptr, Action::Fail, "--link: bad host:port"},
        {{"--link=elm327://host:99999"}, nullptr, Action::Fail, "--link: bad host:port"},
        {{}, "elm327://:35000", Action::Fail, "VX414_LINK: bad host:port"},
        {{}, "wifi://x", Action::Fail, "VX414_LINK: unknown link scheme"},
        {{"--units", "us", "--link", "/dev/a"}, nullptr, Action::Run, "/dev/a"},
        {{"--units=metric"}, nullptr, Action::Run, ""},
        {{"--units", "imperial"}, nullptr, Action::Fail, "--units: unknown units \"imperial\" (metric or us)"},
        {{"--units"}, nullptr, Action::Fail, "--units needs a value"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const char* a : c.arguments) shown += std::string(a) + " ";
        shown += "| env " + std::string(c.environment != nullptr ? c.environment : "(unset)");
        const CommandLine line = parseCommandLine(c.arguments, c.environment);
        ASSERT_EQ(line.action, c.action) << shown << ": " << line.message;
        if (c.action == Action::Run) {
            if (c.linkOrError[0] == '\0') {
                EXPECT_FALSE(line.link.has_value()) << shown;
            } else {
                ASSERT_TRUE(line.link.has_value()) << shown;
                const std::string& named =
                    line.link->kind == LinkName::Kind::Elm327Tcp ? line.link->host : line.link->path;
                EXPECT_EQ(named, c.linkOrError) << shown;
            }
        } else if (c.action == Action::Version) {
            // One line, the program's name and a version number.
            EXPECT_EQ(line.message.rfind(c.linkOrError, 0), 0u) << shown << ": " << line.message;
            EXPECT_GT(line.message.size(), std::string(c.linkOrError).size() + 1) << line.message;
            EXPECT_EQ(line.message.find('\n'), line.message.size() - 1) << line.message;
        } else if (c.action == Action::Fail) {
            EXPECT_NE(line.message.find(c.linkOrError), std::string::npos) << shown << ": " << line.message;
            EXPECT_EQ(line.message.find('\n'), std::string::npos) << shown;
        }
    }
}

TEST(CommandLine, TheUsageNamesEveryFormAndTheSearch) {
    const std::string usage = usageText();
    EXPECT_EQ(parseCommandLine(std::vector<const char*>{"--units", "us"}, nullptr).units, UnitSystem::Us);
    EXPECT_EQ(parseCommandLine(std::vector<const char*>{}, nullptr).units, std::nullopt);
    for (const char* part : {"--link", "--units", "--help", "elm327:/dev/ttyUSB0[?baud=N]", "elm327://HOST:PORT", "VX414_LINK",
                             "/dev/vx414", "/dev/ttyUSB*", "/dev/ttyACM*", "/dev/rfcomm*"}) {
        EXPECT_NE(usage.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace vx414
