// The device library over an ELM327 adapter: the same four entries the window calls for
// the VX-414 reader, with the exchange run on a worker thread and the whole report handed
// over through DeviceReadReport.
//
// How the window's call sequences map onto the adapter:
//   DeviceOpen, DeviceClose     no I/O; the adapter's pipe stays open between reads, so
//                               the next read needs no full reset of the adapter
//   DeviceWriteByte(0x55)       starts the exchange on the worker: open the pipe (or find
//                               the adapter), then ask for pending and stored codes, all
//                               within ExchangeBound of this call; then, on the same
//                               worker, the rest of the vehicle's picture (readiness,
//                               freeze frame, permanent codes, VIN)
//   DeviceNotifyReportReady     the worker calls it when the codes are there, and again
//                               when the vehicle's picture is: the window takes each then,
//                               and never waits for either
//   DeviceReadReport            hands the codes over; a caller that was not told waits
//                               for the worker, never past that bound
//   DeviceReadVehicle           hands the vehicle's picture over once it is there, after
//                               the codes of the same read were taken
//   DeviceWriteByte(0xAA)       ends the exchange: a worker still at the codes is stopped
//                               and given StopBound to end; one reading the vehicle after
//                               the codes were taken goes on (a new request, clearing or
//                               the library's end stops it); the adapter is left set up
//                               for the next read
//   DeviceReadByte              nothing: the report comes whole
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "reader/device_library.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_transport.h"
#include "reader/elm327/elm327_failure_cause.h"
#include "reader/link_name.h"

namespace vx414 {

namespace elm327 {

// What the library asks of the adapter's conversation; the real one is a Session, tests
// put a scripted one in its place.
class Conversation {
public:
    virtual ~Conversation() = default;
    // The codes alone: the vehicle's units, each with its codes.
    virtual SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop) = 0;
    // The rest of the vehicle's picture, right after a successful readCodes; a conversation
    // that reads codes alone gives the vehicle those codes told.
    virtual VehicleInfo readVehicle(Transport& /*link*/, Deadline /*deadline*/, std::stop_token /*stop*/,
                                    const SessionResult& codes) {
        return codes.vehicle;
    }
    virtual ClearResult clearCodes(Transport& link, Deadline deadline, std::stop_token stop) = 0;
    // The engine's speed before a clear; a conversation that cannot ask says so.
    virtual EngineSpeedRead engineSpeed(Transport& /*link*/, Deadline /*deadline*/, std::stop_token /*stop*/) {
        return {{std::nullopt, "this link cannot ask for it"}, LinkStatus::ok()};
    }
    // Live data until `stop`; a conversation that has none says so.
    virtual LinkStatus pollLive(Transport& /*link*/, std::stop_token /*stop*/, LiveWatcher& /*watcher*/) {
        return {LinkCode::NoDevice, "no live data through this conversation"};
    }
    virtual bool answersAsElm327(Transport& link, Deadline deadline) = 0;
    // The same where no answer at all within `silence` means no adapter (a Bluetooth port
    // is given longer); a conversation that does not tell silence apart asks as above.
    virtual bool answersAsElm327Within(Transport& link, Deadline deadline, Clock::duration /*silence*/) {
        return answersAsElm327(link, deadline);
    }
    virtual void forget() = 0;
    // Whether the adapter's banner named it the project's emulator (a link without a window
    // size to announce it by, as TCP and Bluetooth LE are, has it said there).
    virtual bool announcedEmulator() const { return false; }
};

class SessionConversation final : public Conversation {
public:
    // The codes are handed over before the vehicle's other services are asked.
    SessionConversation() { session_.readVehicle(false); }
    SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop) override {
        return session_.readCodes(link, deadline, std::move(stop));
    }
    VehicleInfo readVehicle(Transport& link, Deadline deadline, std::stop_token stop,
                            const SessionResult& codes) override {
        return session_.readVehicleInfo(link, deadline, std::move(stop), codes);
    }
    ClearResult clearCodes(Transport& link, Deadline deadline, std::stop_token stop) override {
        return session_.clearCodes(link, deadline, std::move(stop));
    }
    EngineSpeedRead engineSpeed(Transport& link, Deadline deadline, std::stop_token stop) override {
        return session_.engineSpeed(link, deadline, std::move(stop));
    }
    bool answersAsElm327(Transport& link, Deadline deadline) override { return Session::answersAsElm327(link, deadline); }
    bool answersAsElm327Within(Transport& link, Deadline deadline, Clock::duration silence) override {
        return Session::answersAsElm327(link, deadline, silence);
    }
    LinkStatus pollLive(Transport& link, std::stop_token stop, LiveWatcher& watcher) override {
        return session_.pollLive(link, std::move(stop), watcher);
    }
    void forget() override { session_.forget(); }
    bool announcedEmulator() const override { return session_.announcedEmulator(); }

private:
    Session session_;
};

// The codes' read, from the request byte to the report: ten seconds on an adapter that
// answers at the usual pace (the session keeps it), and this at most on a slow one.
inline constexpr std::chrono::seconds ExchangeBound{20};
// The rest of the vehicle's picture after the codes were handed over: as long as the
// adapter's measured pace needs (the session sizes it), and never longer than this.
inline constexpr std::chrono::seconds VehicleBound{30};
// An adapter still finishing an answer an earlier program cut short, when it is asked
// whether it is an ELM327 (silence still ends the try within ProbeBound).
inline constexpr std::chrono::seconds FinishingBound{3};
// One port's probe while looking for the adapter, and one speed's try on a tty whose
// speed the link name does not give.
inline constexpr std::chrono::milliseconds ProbeBound{500};
// The same on a Bluetooth port, whose adapter may keep each line a second on the way: its
// answer to the identification (an echo and a line) can take two.
inline constexpr std::chrono::milliseconds BluetoothProbeBound{2500};
// Opening the pipe: a Wi-Fi adapter on the local network connects within milliseconds;
// one that is out of reach (its SYN never answered) fails within the three seconds a
// user waits for a failure, and an exit during that wait is not held up for long.
inline constexpr std::chrono::seconds OpenBound{2};
// Opening a Bluetooth LE adapter: BlueZ connects a device in about a second and then
// discovers its services; one out of reach fails once this has passed.
inline constexpr std::chrono::seconds BleOpenBound{4};
// How long the caller's thread (the window's, at EXIT, a window close or a second LINK USB)
// gives a stopped worker to end. A stopped session ends within its 50 ms read slice; a
// worker caught in a transport's open or a port's probe (up to OpenBound) is left to end on
// its own, holding what it uses, and the next read waits on its own thread for it.
inline constexpr std::chrono::milliseconds StopBound{100};
// The reasons of two "no device" failures that the user is told apart: a socket's refusal
// (the TCP transport's) and a search of the serial ports that found nothing.
inline constexpr const char* ConnectionRefused = vx414::ConnectionRefused;
inline constexpr const char* NoAdapterOnSerialPorts = vx414::NoAdapterOnSerialPorts;
// ... and one that also tried the Bluetooth LE devices BlueZ knows.
inline constexpr const char* NoAdapterFound = vx414::NoAdapterFound;
// Where an adapter is looked for when nothing names one, in this order: USB-serial
// adapters, USB CDC-ACM adapters, Bluetooth ports bound with rfcomm.
inline const std::vector<std::string> SerialPortPatterns = {"/dev/ttyUSB*", "/dev/ttyACM*", "/dev/rfcomm*"};
// In the search's list, the Bluetooth LE devices BlueZ knows (paired or seen lately) that
// offer one of the ELM327 services.
inline constexpr const char* BluetoothLeDevices = "bluetooth-le";
// The whole search with nothing named: the serial ports, then Bluetooth LE.
inline const std::vector<std::string> AdapterSearch = {"/dev/ttyUSB*", "/dev/ttyACM*", "/dev/rfcomm*", BluetoothLeDevices};
// The Bluetooth LE part of the search, from its start: a device already connected answers
// within a second; one more to connect takes up to BleOpenBound.
inline constexpr std::chrono::seconds BleSearchBound{5};
// foundPort() of an adapter found over Bluetooth LE: this and its address.
inline constexpr const char* BleLinkPrefix = "elm327:ble:";

}  // namespace elm327

class Elm327DeviceLibrary final : public DeviceLibrary {
public:
    // An adapter at a named place (kind Elm327Tty, Elm327Tcp or Elm327Ble).
    explicit Elm327DeviceLibrary(LinkName named, std::unique_ptr<elm327::Conversation> conversation = nullptr);
    // An adapter looked for on the serial ports matching `patterns` (and among the Bluetooth
    // LE devices where they hold BluetoothLeDevices) at the first read, and kept for the
    // rest of the run.
    explicit Elm327DeviceLibrary(std::vector<std::string> patterns = elm327::AdapterSearch,
                                 std::unique_ptr<elm327::Conversation> conversation = nullptr);
    ~Elm327DeviceLibrary() override;
    Elm327DeviceLibrary(const Elm327DeviceLibrary&) = delete;
    Elm327DeviceLibrary& operator=(const Elm327DeviceLibrary&) = delete;

    void DeviceOpen() override;
    void DeviceClose() override;
    LinkByte DeviceReadByte() override;
    void DeviceWriteByte(std::uint8_t byte) override;
    std::optional<LinkReport> DeviceReadReport() override;
    void DeviceNotifyReportReady(std::function<void()> ready) override;
    ReportState DeviceReportState() const override;
    std::optional<VehicleInfo> DeviceReadVehicle() override;
    bool DeviceCanClear() override { return true; }
    bool DeviceGivesLiveData() override { return true; }
    LinkStatus DevicePollLive(std::stop_token stop, LiveWatcher& watcher) override { return pollLive(std::move(stop), watcher); }
    void DeviceStartLive(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) override {
        startLive(std::move(watcher), std::move(ended));
    }
    void DeviceStopLive() override { stopLive(); }
    ClearResult DeviceClearCodes() override { return clearCodes(); }
    EngineSpeed DeviceEngineSpeed() override { return engineSpeed(); }
    std::string DeviceFailureCause(const LinkStatus& status) const override;
    std::optional<VehicleInfo> DeviceAwaitVehicle() override { return awaitVehicle(); }
    // Known once a read has opened the pipe: the pipe opens on the worker, after the
    // request byte, not at DeviceOpen.
    std::string DeviceLinkName() const override;
    std::string DeviceAdapterInUse() const override;
    void DeviceEndReading() override;

    // Service 04 (clear the codes and the check-engine light), for the command line. Waits
    // for its answer on the caller's thread, within ExchangeBound.
    elm327::ClearResult clearCodes();
    // The engine's speed (01 0C), asked before a clear to warn of a running engine; as
    // clearCodes, on the caller's thread within ExchangeBound.
    EngineSpeed engineSpeed();

    // For a caller that shows the read once (the command line): waits for the vehicle part
    // of the read whose codes were taken, at most until that read's deadline, and hands it
    // over; std::nullopt when there is none (no codes taken, a failed or stopped read).
    std::optional<VehicleInfo> awaitVehicle();

    // Live data on the caller's thread (the command line): the adapter is opened or found as
    // for a read, then polled until `stop` or until it or the car is lost. A running read is
    // stopped first.
    LinkStatus pollLive(std::stop_token stop, LiveWatcher& watcher);
    // The same on the worker, for the window: returns at once; `ended` is called on the
    // worker once polling ends (Ok when stopped). A read, a clear, stopLive or the library's
    // end stops it within StopBound.
    void startLive(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended);
    // Stops the polling startLive began, if it still runs (a read started since is left be).
    void stopLive();

    // Whether an exchange is running on the worker (tests).
    bool busy() const;
    // Whether the vehicle part of the read whose codes were taken is still to be handed over:
    // being read, or read and not yet taken (tests, benchmarks).
    bool readingVehicle() const;
    // The port the adapter was found on when it was looked for (elm327:ble:ADDRESS for a
    // Bluetooth LE one); empty before (tests, logs).
    std::string foundPort() const;
    // Tests stand a pseudo-terminal in for a serial line: its speed is then searched as a
    // serial adapter's is. Otherwise a pseudo-terminal, a Bluetooth port or TCP never is.
    void searchSpeedOnAnyTty();

private:
    struct Adapter;   // the pipe, the conversation and the port found: what a worker uses
    struct Handover;  // one read's report, from its worker to the caller
    struct Notifier;  // whom the worker tells that its report is there

    void startExchange();
    // Asks the worker to stop and gives it StopBound to end; one that does not is detached
    // (it keeps the shared state it uses alive and ends within its read's deadline).
    void stopExchange();

    std::shared_ptr<Adapter> adapter_;
    std::shared_ptr<Notifier> notifier_;
    std::shared_ptr<Handover> handover_;  // the read asked for; none before the first or after its end
    std::shared_ptr<Handover> vehicle_;   // the read whose codes were taken, until its vehicle is
    std::shared_ptr<Handover> running_;   // the worker's read, until it is joined or left
    std::shared_ptr<Handover> live_;      // the worker's live polling, while it is the worker's work
    std::jthread worker_;
};

// The ELM327 library behind `link`, or nullptr when the link is the VX-414 reader right
// now (the command line uses it to offer clearing codes).
Elm327DeviceLibrary* asElm327(DeviceLibrary& link);

}  // namespace vx414
