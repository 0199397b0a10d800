// Naming the link: every form --link and VX414_LINK take, and the one-line errors.
#include <gtest/gtest.h>

#include <cstdlib>

#include "reader/link_name.h"

namespace vx414 {
namespace {

using Kind = LinkName::Kind;

TEST(LinkName, FormsThatName) {
    struct Case {
        const char* text;
        Kind kind;
        const char* pathOrHost;
        int baudOrPort;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", Kind::ReaderTty, "/dev/ttyUSB0", 0},
        {"/dev/pts/7", Kind::ReaderTty, "/dev/pts/7", 0},
        {"ttyS0", Kind::ReaderTty, "ttyS0", 0},  // a relative path, as before
        {"./dir:with:colons", Kind::ReaderTty, "./dir:with:colons", 0},
        {"/dev/serial/by-id/usb-FTDI:x", Kind::ReaderTty, "/dev/serial/by-id/usb-FTDI:x", 0},
        {"elm327:/dev/ttyUSB0", Kind::Elm327Tty, "/dev/ttyUSB0", 0},
        {"elm327:/dev/rfcomm0?baud=9600", Kind::Elm327Tty, "/dev/rfcomm0", 9600},
        {"elm327:/dev/ttyACM1?baud=115200", Kind::Elm327Tty, "/dev/ttyACM1", 115200},
        {"elm327://192.168.0.10:35000", Kind::Elm327Tcp, "192.168.0.10", 35000},
        {"elm327://127.0.0.1:1", Kind::Elm327Tcp, "127.0.0.1", 1},
        {"elm327://obd-adapter.local:65535", Kind::Elm327Tcp, "obd-adapter.local", 65535},
        {"elm327://[::1]:35000", Kind::Elm327Tcp, "::1", 35000},
        {"elm327:ble:AA:BB:CC:DD:EE:FF", Kind::Elm327Ble, "AA:BB:CC:DD:EE:FF", 0},
        {"elm327:ble:00:1a:7d:da:71:0b", Kind::Elm327Ble, "00:1A:7D:DA:71:0B", 0},  // BlueZ's spelling
    };
    for (const Case& c : cases) {
        const LinkNameParse p = parseLinkName(c.text);
        ASSERT_TRUE(p.name.has_value()) << c.text << ": " << p.error;
        EXPECT_TRUE(p.error.empty()) << c.text;
        EXPECT_EQ(p.name->kind, c.kind) << c.text;
        if (c.kind == Kind::Elm327Ble) {
            EXPECT_EQ(p.name->address, c.pathOrHost) << c.text;
        } else if (c.kind == Kind::Elm327Tcp) {
            EXPECT_EQ(p.name->host, c.pathOrHost) << c.text;
            EXPECT_EQ(p.name->port, c.baudOrPort) << c.text;
        } else {
            EXPECT_EQ(p.name->path, c.pathOrHost) << c.text;
            EXPECT_EQ(p.name->baud, c.baudOrPort) << c.text;
        }
    }
}

TEST(LinkName, FormsThatFailWithOneLine) {
    struct Case {
        const char* text;
        const char* errorPart;
    };
    const Case cases[] = {
        {"", "empty"},
        {"bluetooth:/dev/rfcomm0", "unknown link scheme \"bluetooth:\""},
        {"tcp://192.168.0.10:35000", "unknown link scheme \"tcp:\""},
        {"ELM327://192.168.0.10:35000", "unknown link scheme"},
        {"elm327://192.168.0.10", "bad host:port"},
        {"elm327://192.168.0.10:", "bad host:port"},
        {"elm327://:35000", "bad host:port"},
        {"elm327://192.168.0.10:0", "bad host:port"},
        {"elm327://192.168.0.10:65536", "bad host:port"},
        {"elm327://192.168.0.10:35x", "bad host:port"},
        {"elm327://192.168.0.10:-1", "bad host:port"},
        {"elm327://host name:35000", "bad host:port"},
        {"elm327://a/b:35000", "bad host:port"},
        {"elm327://[::1]35000", "bad host:port"},
        {"elm327://[::1:35000", "bad host:port"},
        {"elm327:", "no tty path"},
        {"elm327:?baud=9600", "no tty path"},
        {"elm327:/dev/ttyUSB0?baud=12345", "bad baud rate"},
        {"elm327:/dev/ttyUSB0?baud=", "bad baud rate"},
        {"elm327:/dev/ttyUSB0?baud=9600x", "bad baud rate"},
        {"elm327:/dev/ttyUSB0?speed=9600", "unknown option"},
        {"elm327:ble:", "bad Bluetooth address"},
        {"elm327:ble:AA:BB:CC:DD:EE", "bad Bluetooth address"},
        {"elm327:ble:AA:BB:CC:DD:EE:FF:00", "bad Bluetooth address"},
        {"elm327:ble:AA-BB-CC-DD-EE-FF", "bad Bluetooth address"},
        {"elm327:ble:AG:BB:CC:DD:EE:FF", "bad Bluetooth address"},
        {"elm327:ble:AAB:B:CC:DD:EE:FF", "bad Bluetooth address"},
    };
    for (const Case& c : cases) {
        const LinkNameParse p = parseLinkName(c.text);
        EXPECT_FALSE(p.name.has_value()) << c.text;
        EXPECT_NE(p.error.find(c.errorPart), std::string::npos) << c.text << " gave: " << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << c.text;
    }
}

}  // namespace
}  // namespace vx414
