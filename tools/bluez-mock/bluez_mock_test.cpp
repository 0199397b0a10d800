// Bluetooth LE end to end: vx414-read through the real BLE transport, a private D-Bus bus
// and vx414-bluez-mock (BlueZ with the ELM327 emulator's cars behind its characteristics),
// against the same car on a pseudo-terminal; and the faults a Bluetooth link has, each
// ending in its cause within its bound.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tools/bluez-mock/private_bus.h"
#include "tools/elm327-emulator/elm327_arguments.h"
#include "tools/elm327-emulator/elm327_emulator.h"
#include "tools/read/testing/child_process.h"

namespace vx414 {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* Address = "00:1D:A5:68:98:8B";

// The same car on a pseudo-terminal, served on a thread of its own.
class TerminalAdapter {
public:
    explicit TerminalAdapter(const std::vector<std::string>& arguments)
        : emulator_(optionsOf(arguments)), thread_([this] { emulator_.run(); }) {}
    ~TerminalAdapter() {
        emulator_.stop();
        thread_.join();
    }
    TerminalAdapter(const TerminalAdapter&) = delete;
    TerminalAdapter& operator=(const TerminalAdapter&) = delete;
    std::string link() const { return "elm327:" + emulator_.address(); }

private:
    static elmemu::Options optionsOf(const std::vector<std::string>& arguments) {
        const std::vector<std::string_view> views(arguments.begin(), arguments.end());
        const auto parsed = elmemu::parseArguments(views);
        EXPECT_TRUE(parsed.options) << parsed.error;
        return parsed.options.value_or(elmemu::Options{});
    }
    elmemu::Elm327Emulator emulator_;
    std::thread thread_;
};

struct Read {
    testing::ChildResult result;
    milliseconds took{};
};

Read readProgram(const std::string& link, const std::string& busAddress, const std::vector<std::string>& more = {}) {
    static const testing::ScratchFolder dataHome;
    testing::ChildOptions options;
    options.environment["VX414_LINK"] = std::nullopt;
    options.environment["XDG_DATA_HOME"] = dataHome.path().string();
    options.environment["DBUS_SYSTEM_BUS_ADDRESS"] = busAddress;
    std::vector<std::string> arguments{"--link", link};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const auto start = Clock::now();
    Read read;
    read.result = testing::runChild(testing::buildProgram("vx414-read"), arguments, options);
    read.took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    return read;
}

// The JSON without its time stamp, which differs between two reads.
// The read without its time, nor its source: the emulator on a pseudo-terminal announces
// itself, the mock's Bluetooth link has no way to.
std::string withoutTime(const std::string& json) {
    std::string out = json;
    for (const char* member : {"\"time\":", "\"source\":"}) {
        const std::size_t at = out.find(member);
        if (at != std::string::npos) out = out.substr(0, at) + out.substr(out.find('\n', at));
    }
    return out;
}

std::unique_ptr<testing::ServingChild> startMock(const testing::PrivateBus& bus, std::vector<std::string> arguments) {
    auto mock = std::make_unique<testing::ServingChild>(testing::buildProgram("vx414-bluez-mock"), arguments,
                                                        std::map<std::string, std::string>{
                                                            {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    EXPECT_EQ(mock->firstLine(), "ready");
    return mock;
}

TEST(BluetoothLe, EveryServiceReadsWhatATerminalReads) {
    const testing::PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
    struct Case {
        const char* service;
        std::vector<std::string> car;
        std::vector<std::string> link;  // the Bluetooth link's own conditions
    };
    const std::vector<std::string> twoUnits = {"--car", "can11", "--codes", "many"};
    const Case cases[] = {
        {"fff0", twoUnits, {}},
        {"ffe0", twoUnits, {}},
        {"18f0", {"--car", "can29"}, {}},
        {"6e400001", {"--car", "iso9141"}, {}},  // the VIN in five frames
        {"e7810a71", {"--car", "j1850pwm"}, {"--mtu", "185"}},
        // Notifications that come 0.3 to 1 s late, in turn.
        {"fff0", twoUnits, {"--late-every", "20", "--late", "300-1000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.service) + " " + c.car[1] + (c.link.empty() ? "" : " " + c.link[0]));
        const TerminalAdapter terminal(c.car);
        const Read expected = readProgram(terminal.link(), bus.address(), {"--format", "json"});
        ASSERT_EQ(expected.result.status, 0) << expected.result.err;

        std::vector<std::string> arguments{"--service", c.service};
        arguments.insert(arguments.end(), c.link.begin(), c.link.end());
        arguments.insert(arguments.end(), c.car.begin(), c.car.end());
        const auto mock = startMock(bus, arguments);
        const Read ble = readProgram(std::string("elm327:ble:") + Address, bus.address(), {"--format", "json"});
        ASSERT_EQ(ble.result.status, 0) << ble.result.err;
        EXPECT_EQ(withoutTime(ble.result.out), withoutTime(expected.result.out));
        EXPECT_NE(ble.result.out.find("\"vin\""), std::string::npos) << ble.result.out;
    }
}

TEST(BluetoothLe, FaultsEndInTheirCauseWithinTheirBound) {
    const testing::PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
    struct Case {
        const char* what;
        bool bluez;  // whether BlueZ (the mock) is on the bus
        std::vector<std::string> mock;
        const char* address;
        const char* cause;
        milliseconds bound;
    };
    const Case cases[] = {
        {"no BlueZ", false, {}, Address, "has no Bluetooth adapter, or its Bluetooth service", milliseconds(1000)},
        {"no adapter", true, {"--no-adapter"}, Address, "has no Bluetooth adapter", milliseconds(1000)},
        {"Bluetooth off", true, {"--powered-off"}, Address, "Bluetooth is turned off", milliseconds(1000)},
        {"device not found", true, {}, "00:1D:A5:00:00:01", "No Bluetooth device with that address", milliseconds(1000)},
        {"refused", true, {"--refuse"}, Address, "refused the Bluetooth connection", milliseconds(1000)},
        // The open's own bound (4 s) and the exit.
        {"never answers", true, {"--unreachable"}, Address, "went out of Bluetooth range", milliseconds(5000)},
        // In the middle of the answer to the first request after the set-up.
        {"disconnects mid-answer", true, {"--disconnect-after", "90"}, Address, "went out of Bluetooth range",
         milliseconds(1500)},
        // A lost notification takes the prompt or part of a line with it: the read fails
        // within the exchange's bound, never with a code missing.
        {"lost notifications", true, {"--drop-every", "4"}, Address, "The adapter stopped answering", milliseconds(11000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<testing::ServingChild> mock;
        if (c.bluez) mock = startMock(bus, c.mock);
        const Read read = readProgram(std::string("elm327:ble:") + c.address, bus.address());
        EXPECT_EQ(read.result.status, 1) << read.result.out << read.result.err;
        EXPECT_NE(read.result.err.find(c.cause), std::string::npos) << read.result.err;
        EXPECT_LT(read.took, c.bound);
    }
}

// --list-adapters names the device BlueZ knows, with its name and signal, and says it
// answered; with Bluetooth off it says that instead. Nothing is paired.
TEST(BluetoothLe, ListAdaptersShowsTheDevicesBlueZKnows) {
    const testing::PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << "no dbus-daemon";
    struct Case {
        std::vector<std::string> mock;
        const char* line;
        bool answered;  // exit status 0; otherwise whatever the serial ports and Wi-Fi gave
    };
    const Case cases[] = {
        {{}, "  elm327:ble:00:1D:A5:68:98:8B  \"OBDII\"  -58 dBm  answered as an ELM327\n", true},
        {{"--powered-off"}, "Bluetooth LE devices BlueZ knows:\n  Bluetooth is turned off on this computer.\n", false},
    };
    for (const Case& c : cases) {
        const auto mock = startMock(bus, c.mock);
        testing::ChildOptions options;
        options.environment["DBUS_SYSTEM_BUS_ADDRESS"] = bus.address();
        // The Wi-Fi address tried is a closed port of this computer's: a test reaches no network.
        options.environment["VX414_WIFI_ADAPTER"] = "127.0.0.1:9";
        const testing::ChildResult result = testing::runChild(testing::buildProgram("vx414-read"), {"--list-adapters"}, options);
        EXPECT_NE(result.out.find("elm327://127.0.0.1:9"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find(c.line), std::string::npos) << result.out;
        if (c.answered) {
            EXPECT_EQ(result.status, 0) << result.out;
        }
    }
}

}  // namespace
}  // namespace vx414
