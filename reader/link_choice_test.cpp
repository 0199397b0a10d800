// The adapter chosen in the window, kept between runs, and which link a program uses:
// --link, then $VX414_LINK, then the kept choice, then automatic.
#include "reader/link_choice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "definitions/test_support.h"

namespace vx414 {
namespace {

using Origin = LinkInUse::Origin;

TEST(LinkChoice, WhatTheDialogTakesTyped) {
    struct Case {
        const char* typed;
        const char* link;  // nullptr: refused
    };
    const Case cases[] = {
        {"192.168.0.10:35000", "elm327://192.168.0.10:35000"},
        {"  127.0.0.1:35001 \n", "elm327://127.0.0.1:35001"},
        {"obd-adapter.local:23", "elm327://obd-adapter.local:23"},
        {"[::1]:35000", "elm327://[::1]:35000"},
        {"/dev/rfcomm0", "elm327:/dev/rfcomm0"},
        {"/dev/ttyUSB1?baud=9600", "elm327:/dev/ttyUSB1?baud=9600"},
        {"elm327:ble:00:1d:a5:68:98:8b", "elm327:ble:00:1D:A5:68:98:8B"},
        {"elm327://10.0.0.5:35000", "elm327://10.0.0.5:35000"},
        {"", nullptr},
        {"   ", nullptr},
        {"192.168.0.10", nullptr},            // no port
        {"192.168.0.10:0", nullptr},
        {"192.168.0.10:70000", nullptr},
        {"host name:35000", nullptr},
        {"/dev/ttyUSB0?baud=1234", nullptr},
        {"elm327:ble:AA:BB", nullptr},
        {"bluetooth", nullptr},
    };
    for (const Case& c : cases) {
        const LinkNameParse parsed = parseTypedLink(c.typed);
        if (c.link == nullptr) {
            EXPECT_FALSE(parsed.name) << c.typed;
            EXPECT_FALSE(parsed.error.empty()) << c.typed;
        } else {
            ASSERT_TRUE(parsed.name) << c.typed << ": " << parsed.error;
            EXPECT_EQ(linkNameText(*parsed.name), c.link);
        }
    }
}

TEST(LinkChoice, KeptChoiceAndPrecedence) {
    struct Case {
        const char* what;
        const char* file;  // the kept file's text; nullptr: none; "<nodir>": the folder is missing
        const char* commandLine;
        const char* environment;
        Origin origin;
        const char* text;
        bool error;
    };
    const Case cases[] = {
        {"nothing anywhere", nullptr, nullptr, nullptr, Origin::Automatic, "", false},
        {"folder missing", "<nodir>", nullptr, nullptr, Origin::Automatic, "", false},
        {"kept Wi-Fi", "elm327://127.0.0.1:35001\n", nullptr, nullptr, Origin::Kept, "elm327://127.0.0.1:35001", false},
        {"kept, no newline", "elm327:/dev/rfcomm0", nullptr, nullptr, Origin::Kept, "elm327:/dev/rfcomm0", false},
        {"kept automatic", "automatic\n", nullptr, nullptr, Origin::Automatic, "", false},
        {"damaged: garbage", "\x01\xff\xfe", nullptr, nullptr, Origin::Automatic, "", false},
        {"damaged: cut short", "elm327://127.0.0", nullptr, nullptr, Origin::Automatic, "", false},
        {"damaged: empty", "", nullptr, nullptr, Origin::Automatic, "", false},
        {"damaged: two lines", "elm327:/dev/rfcomm0\nelm327:/dev/rfcomm1\n", nullptr, nullptr, Origin::Automatic, "",
         false},
        {"damaged: not a path", "rfcomm0\n", nullptr, nullptr, Origin::Automatic, "", false},
        {"environment over kept", "elm327://127.0.0.1:35001\n", nullptr, "elm327:/dev/ttyUSB0", Origin::Environment,
         "elm327:/dev/ttyUSB0", false},
        {"empty environment is unset", "elm327://127.0.0.1:35001\n", nullptr, "", Origin::Kept,
         "elm327://127.0.0.1:35001", false},
        {"--link over both", "elm327://127.0.0.1:35001\n", "/dev/ttyUSB3", "elm327:/dev/ttyUSB0", Origin::CommandLine,
         "/dev/ttyUSB3", false},
        {"bad environment is an error", "elm327://127.0.0.1:35001\n", nullptr, "elm327://nohost", Origin::Environment,
         "elm327://nohost", true},
        {"bad --link is an error", nullptr, "foo:bar", nullptr, Origin::CommandLine, "foo:bar", true},
    };
    for (const Case& c : cases) {
        const testing::ScratchFolder scratch;
        std::string folder = (scratch.path() / "vx414").string();
        if (c.file != nullptr && std::string_view(c.file) == "<nodir>") {
            folder = (scratch.path() / "missing" / "vx414").string();
        } else if (c.file != nullptr) {
            std::filesystem::create_directories(folder);
            std::ofstream(std::filesystem::path(folder) / "link") << c.file;
        }
        const std::optional<std::string> commandLine =
            c.commandLine != nullptr ? std::optional<std::string>(c.commandLine) : std::nullopt;
        const LinkInUse use = chooseLinkInUse(commandLine, c.environment, folder);
        EXPECT_EQ(use.origin, c.origin) << c.what;
        EXPECT_EQ(use.text, c.text) << c.what;
        EXPECT_EQ(!use.error.empty(), c.error) << c.what << ": " << use.error;
        EXPECT_EQ(use.name.has_value(), c.origin != Origin::Automatic && !c.error) << c.what;
        if (c.error) {
            EXPECT_EQ(use.error.rfind(c.commandLine != nullptr ? "--link: " : "VX414_LINK: ", 0), 0u) << use.error;
        }
    }
}

// What is kept is found again at the next start, for every kind of link; "automatic" too;
// a folder that cannot be made is a failure, and nothing is kept.
TEST(LinkChoice, KeptChoiceComesBack) {
    const testing::ScratchFolder scratch;
    const std::string folder = (scratch.path() / "config" / "vx414").string();
    for (const char* link : {"elm327://127.0.0.1:35001", "elm327://[fe80::1]:35000", "elm327:/dev/ttyUSB0?baud=38400",
                             "elm327:ble:00:1D:A5:68:98:8B", "/dev/ttyS1"}) {
        ASSERT_TRUE(saveLinkChoice(folder, parseLinkName(link).name)) << link;
        const std::optional<LinkName> back = loadLinkChoice(folder);
        ASSERT_TRUE(back) << link;
        EXPECT_EQ(linkNameText(*back), link);
    }
    ASSERT_TRUE(saveLinkChoice(folder, std::nullopt));
    EXPECT_FALSE(loadLinkChoice(folder));

    std::ofstream(scratch.path() / "file") << "x";
    EXPECT_FALSE(saveLinkChoice((scratch.path() / "file" / "vx414").string(), parseLinkName("/dev/ttyS1").name));
    EXPECT_FALSE(saveLinkChoice("", std::nullopt));
}

}  // namespace
}  // namespace vx414
