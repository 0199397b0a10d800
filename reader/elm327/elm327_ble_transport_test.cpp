// The Bluetooth LE transport against vx414-bluez-mock on a private bus: commands cut to
// what the MTU allows, and the adapter search finding a BLE adapter BlueZ knows after the
// serial ports. (The whole read against a pseudo-terminal's, and the faults, are in
// tools/bluez-mock/bluez_mock_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "reader/elm327/elm327_ble_transport.h"
#include "reader/elm327/elm327_device_library.h"
#include "tools/bluez-mock/private_bus.h"
#include "tools/read/testing/child_process.h"

namespace vx414 {
namespace {

using elm327::Clock;
using std::chrono::milliseconds;

constexpr const char* Address = "00:1D:A5:68:98:8B";

// One bus for the whole test program: libdbus reads DBUS_SYSTEM_BUS_ADDRESS once a process.
const testing::PrivateBus& sharedBus() {
    static const testing::PrivateBus bus;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1);
    return bus;
}

// The mock serving on `bus`, where this process's own D-Bus connections go too.
std::unique_ptr<testing::ServingChild> startMock(const testing::PrivateBus& bus, const std::vector<std::string>& arguments) {
    auto mock = std::make_unique<testing::ServingChild>(testing::buildProgram("vx414-bluez-mock"), arguments,
                                                        std::map<std::string, std::string>{
                                                            {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    EXPECT_EQ(mock->firstLine(), "ready");
    return mock;
}

// The mock refuses a write longer than the MTU allows, as a real link does, and answers
// each command: fourteen commands in one write of 69 bytes, fourteen answers.
TEST(BleTransport, WritesAreCutToTheMtu) {
    const testing::PrivateBus& bus = sharedBus();
    ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
    struct Case {
        const char* mtu;
        int writeSize;
    };
    for (const Case c : {Case{"23", 20}, Case{"64", 61}}) {
        SCOPED_TRACE(c.mtu);
        const auto mock = startMock(bus, {"--mtu", c.mtu});
        elm327::BleTransport ble(Address);
        ASSERT_TRUE(ble.open(Clock::now() + milliseconds(2000)).isOk());
        EXPECT_EQ(ble.writeSize(), c.writeSize);
        const std::string commands = "ATE0\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\rATI\r";
        ASSERT_TRUE(ble.write(commands, Clock::now() + milliseconds(2000)).isOk());
        std::string answer;
        const auto deadline = Clock::now() + milliseconds(2000);
        while (std::count(answer.begin(), answer.end(), '>') < 14 && Clock::now() < deadline) {
            ASSERT_TRUE(ble.read(answer, 4096, deadline).isOk());
        }
        std::size_t banners = 0;
        for (std::size_t at = answer.find("ELM327 v1.5"); at != std::string::npos; at = answer.find("ELM327 v1.5", at + 1))
            ++banners;
        EXPECT_EQ(banners, 13u) << answer;
        ble.close();
    }
}

// With nothing named, the search tries the BLE devices BlueZ knows once the serial ports
// gave nothing, and keeps the one that answered; with Bluetooth off it says it searched
// the serial ports alone.
TEST(BleTransport, TheSearchFindsAKnownBleAdapterAfterTheSerialPorts) {
    const testing::PrivateBus& bus = sharedBus();
    ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
    struct Case {
        std::vector<std::string> mock;
        const char* found;  // the port kept; empty: none
        const char* reason;
    };
    const Case cases[] = {
        {{"--pending", "P0300", "--stored", "P0420"}, "elm327:ble:00:1D:A5:68:98:8B", ""},
        // Bluetooth could not be searched: the serial ports alone were.
        {{"--powered-off"}, "", elm327::NoAdapterOnSerialPorts},
    };
    for (const Case& c : cases) {
        const auto mock = startMock(bus, c.mock);
        Elm327DeviceLibrary link(std::vector<std::string>{"/nonexistent/ttyUSB*", elm327::BluetoothLeDevices});
        link.DeviceOpen();
        link.DeviceWriteByte(0x55);
        const auto report = link.DeviceReadReport();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(link.foundPort(), c.found);
        if (*c.found != '\0') {
            EXPECT_TRUE(report->status.isOk()) << report->status.toString();
            ASSERT_EQ(report->pending.size(), 1u);
            EXPECT_EQ(report->pending[0].toString(), "P0300");
            ASSERT_EQ(report->stored.size(), 1u);
            EXPECT_EQ(report->stored[0].toString(), "P0420");
        } else {
            EXPECT_STREQ(report->status.reason(), c.reason);
        }
        link.DeviceWriteByte(0xAA);
        link.DeviceClose();
    }
}

}  // namespace
}  // namespace vx414
