// The library each link name opens, put together from the back-ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "reader/default_device_library.h"
#include "reader/elm327/elm327_device_library.h"
#include "reader/link_name.h"
#include "reader/vx414/tty_device_library.h"

namespace vx414 {
namespace {

// Sets $VX414_LINK for one scope.
struct LinkEnvironment {
    explicit LinkEnvironment(const char* value) {
        if (const char* old = std::getenv(LinkEnvironmentVariable)) saved = old;
        if (value != nullptr) {
            ::setenv(LinkEnvironmentVariable, value, 1);
        } else {
            ::unsetenv(LinkEnvironmentVariable);
        }
    }
    ~LinkEnvironment() {
        if (saved) {
            ::setenv(LinkEnvironmentVariable, saved->c_str(), 1);
        } else {
            ::unsetenv(LinkEnvironmentVariable);
        }
    }
    std::optional<std::string> saved;
};

TEST(LinkName, TheLibraryEachNameGivesAndWhichNameWins) {
    const auto named = [](const char* text) { return parseLinkName(text).name; };
    {
        LinkEnvironment env("elm327://127.0.0.1:35000");
        // --link wins over the environment
        auto reader = makeDeviceLibrary(named("/dev/ttyUSB0"));
        EXPECT_NE(dynamic_cast<TtyDeviceLibrary*>(reader.get()), nullptr);
        EXPECT_EQ(asElm327(*reader), nullptr);  // a VX-414 tty never gets ELM327 commands
        auto tty = makeDeviceLibrary(named("elm327:/dev/ttyUSB0"));
        EXPECT_NE(asElm327(*tty), nullptr);
        // nothing on the command line: the environment's adapter
        auto fromEnvironment = makeDeviceLibrary(std::nullopt);
        EXPECT_NE(dynamic_cast<Elm327DeviceLibrary*>(fromEnvironment.get()), nullptr);
        EXPECT_TRUE(linkNameFromEnvironment().name.has_value());
    }
    {
        LinkEnvironment env("/dev/pts/99");
        auto reader = makeDeviceLibrary(std::nullopt);
        EXPECT_NE(dynamic_cast<TtyDeviceLibrary*>(reader.get()), nullptr);
    }
    {
        LinkEnvironment env("nope://x");
        const LinkNameParse p = linkNameFromEnvironment();
        EXPECT_FALSE(p.name.has_value());
        EXPECT_EQ(p.error.rfind("VX414_LINK: unknown link scheme", 0), 0u) << p.error;
    }
    {
        LinkEnvironment env(nullptr);
        const LinkNameParse p = linkNameFromEnvironment();
        EXPECT_FALSE(p.name.has_value());
        EXPECT_TRUE(p.error.empty());
        auto chosen = makeDeviceLibrary(std::nullopt);
        EXPECT_NE(dynamic_cast<DefaultDeviceLibrary*>(chosen.get()), nullptr);
    }
}

}  // namespace
}  // namespace vx414
