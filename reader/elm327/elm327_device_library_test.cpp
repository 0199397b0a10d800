// The ELM327 device library under the window's call sequences, with a scripted adapter
// conversation over real pipes (pseudo-terminals, a loopback socket): the request returns
// at once, the report waits for the worker, a stop ends it at once, the pipe and the
// adapter's set-up are kept between good reads and dropped after a failure, the serial
// ports are searched once, the speed is found once.
#include <gtest/gtest.h>

#include "reader/elm327/elm327_adapter_listing.h"

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "reader/default_device_library.h"
#include "reader/elm327/elm327_device_library.h"
#include "reader/elm327/elm327_tcp_transport.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/report_receiver.h"
#include "tools/elm327-emulator/testing/running_adapter.h"

namespace vx414 {
namespace {

using namespace std::chrono_literals;
using elm327::Clock;

TroubleCode code(std::string_view text) {
    const auto bytes = encodeTroubleCode(text);
    return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

class ScriptedAdapter final : public elm327::Conversation {
public:
    elm327::SessionResult readCodes(elm327::Transport& link, elm327::Deadline deadline, std::stop_token stop) override {
        ++reads;
        lastPipe = &link;
        pipeWasOpen = link.isOpen();
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        const auto until = std::min(deadline, Clock::now() + takes);
        wake.wait_until(lock, stop, until, [] { return false; });
        if (stop.stop_requested()) return {LinkStatus(LinkCode::Timeout, "stopped"), {}, {}, {}};
        if (failNext.exchange(false)) return {LinkStatus(LinkCode::Io, "adapter reset"), {}, {}, {}};
        return {LinkStatus::ok(), {code("P0300")}, {code("C1234"), code("U0100")}, {}};
    }
    VehicleInfo readVehicle(elm327::Transport&, elm327::Deadline deadline, std::stop_token stop,
                            const elm327::SessionResult& codes) override {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, std::min(deadline, Clock::now() + vehicleTakes), [] { return false; });
        if (stop.stop_requested()) {
            ++*vehiclesStopped;
            return {};
        }
        VehicleInfo vehicle = codes.vehicle;
        vehicle.vin = "VIN of read " + std::to_string(reads);
        return vehicle;
    }
    elm327::ClearResult clearCodes(elm327::Transport&, elm327::Deadline, std::stop_token) override {
        ++clears;
        return {LinkStatus::ok(), {"7E8"}, {}};
    }
    bool answersAsElm327(elm327::Transport& link, elm327::Deadline) override {
        ++probes;
        auto* tty = dynamic_cast<elm327::TtyTransport*>(&link);
        const std::lock_guard lock(probedMutex);
        probed.push_back(tty != nullptr ? tty->path() + "@" + std::to_string(tty->baud()) : "?");
        return tty != nullptr && tty->path() == answeringPath && (answeringBaud == 0 || tty->baud() == answeringBaud);
    }
    void forget() override { ++forgets; }

    std::chrono::milliseconds takes{0};
    std::chrono::milliseconds vehicleTakes{0};
    // Outlives the adapter, which the library owns and deletes at its end.
    std::shared_ptr<std::atomic<int>> vehiclesStopped = std::make_shared<std::atomic<int>>(0);
    std::atomic<bool> failNext{false};
    std::atomic<int> reads{0}, clears{0}, probes{0}, forgets{0};
    std::atomic<elm327::Transport*> lastPipe{nullptr};
    std::atomic<bool> pipeWasOpen{false};
    std::string answeringPath;
    int answeringBaud = 0;
    std::mutex probedMutex;
    std::vector<std::string> probed;
};

struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::grantpt(master);
        ::unlockpt(master);
        path = ::ptsname(master);
    }
    ~Pty() { ::close(master); }
    int master = -1;
    std::string path;
};

LinkName ttyName(const std::string& path, int baud = 38400) {
    LinkName name;
    name.kind = LinkName::Kind::Elm327Tty;
    name.path = path;
    name.baud = baud;
    return name;
}

// The start of a read as the window makes it; returns how long the calls took.
Clock::duration startRead(DeviceLibrary& link) {
    const auto start = Clock::now();
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(RequestByte);
    return Clock::now() - start;
}

void endRead(DeviceLibrary& link) {
    link.DeviceWriteByte(EndByte);
    link.DeviceClose();
}

TEST(Elm327DeviceLibrary, TheWindowsSequencesAndAPipeKeptBetweenReads) {
    Pty pty;
    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    a.takes = 300ms;
    Elm327DeviceLibrary link(ttyName(pty.path), std::move(adapter));
    link.DeviceOpen();  // start-up
    link.DeviceClose();
    // Asked before the read starts: once it has, its worker may open the pipe at any moment.
    EXPECT_EQ(link.DeviceAdapterInUse(), "") << "nothing is held before a read has opened it";

    EXPECT_LT(startRead(link), 50ms) << "the request must not wait for the adapter";
    EXPECT_TRUE(link.busy());
    EXPECT_EQ(link.DeviceReadByte(), std::nullopt);
    const auto waited = Clock::now();
    const std::optional<LinkReport> report = link.DeviceReadReport();
    EXPECT_GE(Clock::now() - waited, 200ms);
    ASSERT_TRUE(report.has_value());
    ASSERT_TRUE(report->status.isOk()) << report->status.toString();
    EXPECT_EQ(report->pending, std::vector<TroubleCode>{code("P0300")});
    EXPECT_EQ(report->stored, (std::vector<TroubleCode>{code("C1234"), code("U0100")}));
    EXPECT_TRUE(a.pipeWasOpen);
    endRead(link);
    elm327::Transport* const firstPipe = a.lastPipe;

    a.takes = 0ms;
    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    EXPECT_EQ(a.reads, 2);
    EXPECT_EQ(a.lastPipe, firstPipe) << "the pipe stays open between good reads";
    EXPECT_EQ(link.DeviceAdapterInUse(), "elm327:" + pty.path) << "so whoever lists adapters leaves it be";
    EXPECT_EQ(a.forgets, 0) << "a good read keeps the adapter's set-up";
    EXPECT_EQ(a.probes, 0) << "a speed the name gives is not searched for";

    // A report asked for without a request is a failure, not a wait.
    EXPECT_FALSE(link.DeviceReadReport()->status.isOk());
}

TEST(Elm327DeviceLibrary, AFailureDropsThePipeAndTheNextReadWorks) {
    Pty pty;
    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    a.failNext = true;
    Elm327DeviceLibrary link(ttyName(pty.path), std::move(adapter));
    startRead(link);
    const std::optional<LinkReport> failed = link.DeviceReadReport();
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->status.code(), LinkCode::Io);
    EXPECT_TRUE(failed->pending.empty());
    EXPECT_EQ(link.DeviceAdapterInUse(), "") << "a dropped pipe holds nothing";
    // the window's failure path
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceWriteByte(EndByte);
    // The same adapter: the protocol it found stays remembered for the next set-up.
    EXPECT_EQ(a.forgets, 0);

    startRead(link);
    const std::optional<LinkReport> next = link.DeviceReadReport();
    EXPECT_TRUE(next->status.isOk()) << next->status.toString();
    EXPECT_TRUE(a.pipeWasOpen);
    endRead(link);
}

TEST(Elm327DeviceLibrary, ARunningExchangeStopsAtOnceWhereverTheWindowEndsIt) {
    Pty pty;
    struct Case {
        const char* what;
        std::function<void(Elm327DeviceLibrary&)> end;
    };
    const Case cases[] = {
        {"the end byte (EXIT during the wait)", [](Elm327DeviceLibrary& l) { l.DeviceWriteByte(EndByte); }},
        {"a close", [](Elm327DeviceLibrary& l) { l.DeviceClose(); }},
        {"a new request", [](Elm327DeviceLibrary& l) { l.DeviceWriteByte(RequestByte); }},
    };
    for (const Case& c : cases) {
        auto adapter = std::make_unique<ScriptedAdapter>();
        adapter->takes = 20s;
        Elm327DeviceLibrary link(ttyName(pty.path), std::move(adapter));
        startRead(link);
        std::this_thread::sleep_for(50ms);
        const auto start = Clock::now();
        c.end(link);
        EXPECT_LT(Clock::now() - start, 500ms) << c.what;
        link.DeviceWriteByte(EndByte);
        EXPECT_FALSE(link.busy()) << c.what;
    }
    // Destroyed while an exchange runs: no thread left behind, no long wait.
    const auto start = Clock::now();
    {
        auto adapter = std::make_unique<ScriptedAdapter>();
        adapter->takes = 20s;
        Elm327DeviceLibrary link(ttyName(pty.path), std::move(adapter));
        startRead(link);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_LT(Clock::now() - start, 600ms);
}

TEST(Elm327DeviceLibrary, TheCodesComeFirstAndTheVehicleFollowsUnlessANewReadOrClearingSupersedesIt) {
    Pty pty;
    enum class After { WindowsEnd, CommandLinesWait, NewRequest, Clearing, WindowsClearing, LibraryEnds };
    const struct {
        const char* what;
        After after;
        bool vehicleComes;
    } cases[] = {
        {"the window's end byte and close", After::WindowsEnd, true},
        {"the command line's wait after its end byte", After::CommandLinesWait, true},
        {"a new request", After::NewRequest, false},
        {"clearing the codes", After::Clearing, false},
        // The window ends the read on its thread, then clears on a worker of its own.
        {"the window's clearing", After::WindowsClearing, false},
        {"the library's end", After::LibraryEnds, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto adapter = std::make_unique<ScriptedAdapter>();
        ScriptedAdapter& a = *adapter;
        a.takes = 50ms;
        a.vehicleTakes = 800ms;
        const std::shared_ptr<std::atomic<int>> vehiclesStopped = a.vehiclesStopped;
        auto link = std::make_unique<Elm327DeviceLibrary>(ttyName(pty.path), std::move(adapter));
        std::mutex mutex;
        std::condition_variable told;
        int tellings = 0;
        link->DeviceNotifyReportReady([&] {
            const std::lock_guard lock(mutex);
            ++tellings;
            told.notify_all();
        });
        const auto waitForTelling = [&](int n, std::chrono::milliseconds bound) {
            std::unique_lock lock(mutex);
            return told.wait_for(lock, bound, [&] { return tellings >= n; });
        };

        const auto start = Clock::now();
        startRead(*link);
        ASSERT_TRUE(waitForTelling(1, 2s));
        EXPECT_LT(Clock::now() - start, 500ms) << "the codes wait for the vehicle";
        EXPECT_EQ(link->DeviceReportState(), ReportState::Ready);
        EXPECT_EQ(link->DeviceReadVehicle(), std::nullopt) << "a vehicle before its codes were taken";
        const std::optional<LinkReport> report = link->DeviceReadReport();
        ASSERT_TRUE(report.has_value() && report->status.isOk());
        EXPECT_EQ(report->pending, std::vector<TroubleCode>{code("P0300")});
        EXPECT_TRUE(link->readingVehicle());
        EXPECT_EQ(link->DeviceReadVehicle(), std::nullopt) << "a vehicle still being read";

        const auto acted = Clock::now();
        std::optional<VehicleInfo> vehicle;
        switch (c.after) {
        case After::WindowsEnd:
            endRead(*link);
            ASSERT_TRUE(waitForTelling(2, 2s));
            vehicle = link->DeviceReadVehicle();
            break;
        case After::CommandLinesWait:
            endRead(*link);
            vehicle = link->awaitVehicle();
            break;
        case After::NewRequest:
            link->DeviceWriteByte(RequestByte);
            break;
        case After::Clearing:
            EXPECT_TRUE(link->clearCodes().status.isOk());
            break;
        case After::WindowsClearing:
            link->DeviceEndReading();
            EXPECT_FALSE(link->readingVehicle());
            EXPECT_TRUE(std::async(std::launch::async, [&link] { return link->DeviceClearCodes(); }).get().status.isOk());
            break;
        case After::LibraryEnds:
            link.reset();
            break;
        }
        if (c.vehicleComes) {
            ASSERT_TRUE(vehicle.has_value());
            EXPECT_EQ(vehicle->vin, "VIN of read 1");
            EXPECT_GE(Clock::now() - acted, 500ms) << "the vehicle part was cut short";
            EXPECT_EQ(*vehiclesStopped, 0);
            EXPECT_FALSE(link->readingVehicle());
            EXPECT_EQ(link->DeviceReadVehicle(), std::nullopt) << "handed over twice";
            continue;
        }
        EXPECT_LT(Clock::now() - acted, 500ms);
        EXPECT_EQ(*vehiclesStopped, 1);
        if (!link) continue;
        if (c.after == After::NewRequest) {
            // The new read's codes, then its own vehicle: never the superseded one's.
            ASSERT_TRUE(link->DeviceReadReport()->status.isOk());
            const std::optional<VehicleInfo> next = link->awaitVehicle();
            ASSERT_TRUE(next.has_value());
            EXPECT_EQ(next->vin, "VIN of read 2");
            endRead(*link);
        }
        EXPECT_EQ(link->DeviceReadVehicle(), std::nullopt);
        if (c.after == After::NewRequest) {
            EXPECT_TRUE(waitForTelling(3, 2s));
        }
        std::this_thread::sleep_for(50ms);
        const std::lock_guard lock(mutex);
        EXPECT_EQ(tellings, c.after == After::NewRequest ? 3 : 1) << "a superseded vehicle was told";
    }
}

TEST(Elm327DeviceLibrary, AdaptersThatCannotBeHadFailFast) {
    Pty held;
    const int other = ::open(held.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    std::uint16_t freePort = 0;
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
        freePort = ntohs(address.sin_port);
        ::close(s);
    }
    LinkName refused;
    refused.kind = LinkName::Kind::Elm327Tcp;
    refused.host = "127.0.0.1";
    refused.port = freePort;
    struct Case {
        const char* what;
        LinkName name;
    };
    const Case cases[] = {
        {"no such tty", ttyName("/dev/nonexistent-adapter")},
        {"a tty another program holds", ttyName(held.path)},
        {"a refused connection", refused},
    };
    for (const Case& c : cases) {
        auto adapter = std::make_unique<ScriptedAdapter>();
        ScriptedAdapter& a = *adapter;
        Elm327DeviceLibrary link(c.name, std::move(adapter));
        const auto start = Clock::now();
        startRead(link);
        const std::optional<LinkReport> report = link.DeviceReadReport();
        EXPECT_LT(Clock::now() - start, 500ms) << c.what;
        ASSERT_TRUE(report.has_value()) << c.what;
        EXPECT_EQ(report->status.code(), LinkCode::NoDevice) << c.what;
        EXPECT_EQ(a.reads, 0) << c.what;
        endRead(link);
    }
    ::close(other);
}

TEST(Elm327DeviceLibrary, TheSerialPortsAreSearchedOnceSkippingHeldAndSilentOnes) {
    Pty held;
    Pty silent;
    Pty answering;
    const int other = ::open(held.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    a.answeringPath = answering.path;
    Elm327DeviceLibrary link(std::vector<std::string>{held.path, silent.path, "/dev/nonexistent-ttyUSB*", answering.path},
                             std::move(adapter));
    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    EXPECT_EQ(link.foundPort(), answering.path);
    EXPECT_EQ(link.DeviceAdapterInUse(), "elm327:" + answering.path);
    EXPECT_EQ(a.probed, (std::vector<std::string>{silent.path + "@38400", answering.path + "@38400"}));

    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    EXPECT_EQ(a.probes, 2) << "the adapter found is kept";

    // After a failure the found port is opened again, not searched for.
    a.failNext = true;
    startRead(link);
    EXPECT_FALSE(link.DeviceReadReport()->status.isOk());
    link.DeviceWriteByte(EndByte);
    startRead(link);
    EXPECT_TRUE(link.DeviceReadReport()->status.isOk());
    EXPECT_EQ(a.probes, 2);
    ::close(other);

    // Nothing answers anywhere: a failure, at once when there are no ports at all.
    Elm327DeviceLibrary none(std::vector<std::string>{"/dev/nonexistent-ttyUSB*"}, std::make_unique<ScriptedAdapter>());
    const auto start = Clock::now();
    startRead(none);
    EXPECT_EQ(none.DeviceReadReport()->status.code(), LinkCode::NoDevice);
    EXPECT_LT(Clock::now() - start, 200ms);
}

TEST(Elm327DeviceLibrary, ATtySpeedNotNamedIsFoundOnceInTheUsualOrder) {
    Pty pty;
    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    a.answeringPath = pty.path;
    a.answeringBaud = 115200;
    Elm327DeviceLibrary link(ttyName(pty.path, 0), std::move(adapter));
    link.searchSpeedOnAnyTty();
    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    EXPECT_EQ(a.probed, (std::vector<std::string>{pty.path + "@38400", pty.path + "@9600", pty.path + "@115200"}));
    a.failNext = true;  // even after a failure the speed found is kept
    startRead(link);
    EXPECT_FALSE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    startRead(link);
    EXPECT_TRUE(link.DeviceReadReport()->status.isOk());
    EXPECT_EQ(a.probes, 3);

    // A pseudo-terminal (as a Bluetooth port) takes any speed: none is searched.
    Pty free;  // the first one is held by the library above
    auto anySpeed = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& b = *anySpeed;
    Elm327DeviceLibrary plain(ttyName(free.path, 0), std::move(anySpeed));
    startRead(plain);
    EXPECT_TRUE(plain.DeviceReadReport()->status.isOk());
    endRead(plain);
    EXPECT_EQ(b.probes, 0);

    // No speed answers: the failure comes after the three probes, well within 3 s.
    auto deaf = std::make_unique<ScriptedAdapter>();
    Elm327DeviceLibrary silent(ttyName(pty.path, 0), std::move(deaf));
    silent.searchSpeedOnAnyTty();
    const auto start = Clock::now();
    startRead(silent);
    EXPECT_FALSE(silent.DeviceReadReport()->status.isOk());
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(Elm327DeviceLibrary, OverTcpAndClearingCodes) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::listen(listener, 2);
    socklen_t size = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    LinkName name;
    name.kind = LinkName::Kind::Elm327Tcp;
    name.host = "127.0.0.1";
    name.port = ntohs(address.sin_port);

    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    Elm327DeviceLibrary link(name, std::move(adapter));
    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport()->status.isOk());
    endRead(link);
    EXPECT_NE(dynamic_cast<elm327::TcpTransport*>(a.lastPipe.load()), nullptr);
    EXPECT_TRUE(link.clearCodes().status.isOk());
    EXPECT_EQ(a.clears, 1);
    EXPECT_EQ(asElm327(link), &link);
    ::close(listener);
}

// The engine's speed asked before a clear, through the real session and the emulator's
// car (two units on CAN, one on ISO 9141-2): a running engine turns at idle or faster,
// one stopped with the ignition on gives exactly 0; the clear that follows goes through.
TEST(Elm327DeviceLibrary, TheEngineSpeedBeforeAClearFromTheEmulatedCar) {
    const struct {
        std::vector<std::string_view> arguments;
        bool running;
    } cases[] = {
        {{"--car", "can11"}, true},
        {{"--car", "can11", "--engine-off"}, false},
        {{"--car", "iso9141", "--search-ms", "50", "--engine-off"}, false},
    };
    for (const auto& c : cases) {
        const std::string what = c.arguments.back().data();
        elmemu::testing::RunningAdapter emulator(c.arguments);
        ASSERT_FALSE(emulator.address().empty()) << what;
        Elm327DeviceLibrary adapter(ttyName(emulator.address()));
        DeviceLibrary& link = adapter;
        const EngineSpeed speed = link.DeviceEngineSpeed();
        ASSERT_TRUE(speed.rpm.has_value()) << what << ": " << speed.notRead;
        EXPECT_EQ(speed.notRead, "") << what;
        if (c.running) {
            EXPECT_GE(*speed.rpm, 700.0) << what;
        } else {
            EXPECT_EQ(*speed.rpm, 0.0) << what;
        }
        EXPECT_TRUE(link.DeviceClearCodes().status.isOk()) << what;
    }
}

TEST(DefaultDeviceLibrary, TheReaderWhenItsPathExistsElseTheAdapter) {
    char folder[] = "/tmp/vx414-default-link-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string readerPath = std::string(folder) + "/vx414";
    Pty adapterPty;
    auto adapter = std::make_unique<ScriptedAdapter>();
    ScriptedAdapter& a = *adapter;
    a.answeringPath = adapterPty.path;
    DefaultDeviceLibrary link(readerPath, std::make_unique<Elm327DeviceLibrary>(
                                              std::vector<std::string>{adapterPty.path}, std::move(adapter)));
    const auto readerBytes = [&] {
        std::ifstream in(readerPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    // No reader: the adapter is found and read.
    EXPECT_NE(asElm327(link), nullptr);
    startRead(link);
    ASSERT_TRUE(link.DeviceReadReport().has_value());
    endRead(link);
    EXPECT_EQ(a.reads, 1);

    // The reader appears: the next read goes to it, byte by byte, and the adapter hears nothing.
    { std::ofstream(readerPath).put('\0'); }
    ::truncate(readerPath.c_str(), 0);
    EXPECT_EQ(asElm327(link), nullptr);
    startRead(link);
    EXPECT_EQ(link.DeviceReadReport(), std::nullopt);
    endRead(link);
    EXPECT_EQ(readerBytes(), std::string("\x55\xAA", 2));
    EXPECT_EQ(a.reads, 1);
    EXPECT_EQ(a.probes, 1);

    // It goes away again: back to the adapter found before.
    std::remove(readerPath.c_str());
    startRead(link);
    const auto report = link.DeviceReadReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_TRUE(report->status.isOk());
    endRead(link);
    EXPECT_EQ(a.reads, 2);
    ::rmdir(folder);
}

// "Choose adapter…" counts the adapter in use as answering, even where the listing's own
// search does not look (a named pseudo-terminal, another Wi-Fi address).
TEST(AdapterListing, TheAdapterInUseIsListedAsAnsweringOnce) {
    const auto listing = [] {
        AdapterListing l;
        l.adapters.push_back({ListedAdapter::Kind::SerialPort, "elm327:/dev/ttyUSB0", "", std::nullopt, false, "no ELM327 answer"});
        l.adapters.push_back({ListedAdapter::Kind::BluetoothLe, "elm327:ble:AA:BB:CC:DD:EE:FF", "OBDII", -60, true,
                              "in use by this window: not tried again"});
        return l;
    };
    struct Case {
        const char* inUse;
        std::size_t entries;
        const char* last;  // the last entry's link, kind and note
    };
    const Case cases[] = {
        {"", 2, "elm327:ble:AA:BB:CC:DD:EE:FF"},
        {"elm327:ble:aa:bb:cc:dd:ee:ff", 2, "elm327:ble:AA:BB:CC:DD:EE:FF"},  // listed already, in either case
        {"elm327:/dev/pts/7", 3, "elm327:/dev/pts/7 serial in use by this window: not tried again"},
        {"elm327://10.0.0.5:35000", 3, "elm327://10.0.0.5:35000 wifi in use by this window: not tried again"},
    };
    for (const Case& c : cases) {
        AdapterListing l = listing();
        elm327::addAdapterInUse(l, c.inUse);
        ASSERT_EQ(l.adapters.size(), c.entries) << c.inUse;
        const ListedAdapter& last = l.adapters.back();
        std::string text = last.link;
        if (c.entries == 3) {
            text += last.kind == ListedAdapter::Kind::WiFi ? " wifi " : last.kind == ListedAdapter::Kind::SerialPort ? " serial " : " ble ";
            text += last.note;
            EXPECT_TRUE(last.answered) << c.inUse;
        }
        EXPECT_EQ(text, c.last) << c.inUse;
    }
}

}  // namespace
}  // namespace vx414
