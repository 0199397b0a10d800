#include "reader/elm327/elm327_device_library.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <glob.h>
#include <mutex>

#include "reader/elm327/ble_discovery.h"
#include "reader/elm327/elm327_ble_transport.h"
#include "reader/elm327/elm327_tcp_transport.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/elm327/elm327_failure_cause.h"
#include "reader/elm327/elm327_vehicle_read.h"
#include "reader/report_receiver.h"

namespace vx414 {

using elm327::Clock;
using elm327::Deadline;

namespace {

// The ports matching the patterns, each pattern's in their natural order (ttyUSB2 before
// ttyUSB10).
std::vector<std::string> portsMatching(const std::vector<std::string>& patterns) {
    std::vector<std::string> ports;
    for (const std::string& pattern : patterns) {
        glob_t found{};
        if (::glob(pattern.c_str(), 0, nullptr, &found) == 0) {
            std::vector<std::string> these(found.gl_pathv, found.gl_pathv + found.gl_pathc);
            std::sort(these.begin(), these.end(), [](const std::string& a, const std::string& b) {
                return a.size() != b.size() ? a.size() < b.size() : a < b;
            });
            ports.insert(ports.end(), these.begin(), these.end());
        }
        ::globfree(&found);
    }
    return ports;
}

Deadline probeDeadline(Deadline whole) { return std::min(whole, Clock::now() + elm327::ProbeBound); }
Deadline finishingDeadline(Deadline whole) { return std::min(whole, Clock::now() + elm327::FinishingBound); }
Deadline openDeadline(Deadline whole) { return std::min(whole, Clock::now() + elm327::OpenBound); }
Deadline bleOpenDeadline(Deadline whole) { return std::min(whole, Clock::now() + elm327::BleOpenBound); }

const LinkStatus Stopped(LinkCode::Timeout, "the read was stopped");

std::unique_ptr<elm327::Conversation> orSession(std::unique_ptr<elm327::Conversation> conversation) {
    if (conversation) return conversation;
    return std::make_unique<elm327::SessionConversation>();
}

}  // namespace

struct Elm327DeviceLibrary::Adapter {
    Adapter(std::optional<LinkName> named, std::vector<std::string> patterns,
            std::unique_ptr<elm327::Conversation> conversation)
        : named_(std::move(named)), patterns_(std::move(patterns)), conversation_(orSession(std::move(conversation))) {
        // A speed the link name gives is used as it is, never searched for.
        speedKnown_ = !named_ || named_->kind != LinkName::Kind::Elm327Tty || named_->baud != 0;
    }
    ~Adapter() { dropPipe(); }

    // One exchange at a time: a worker left running by a stopped read still holds the
    // adapter (inUse_), and the next one waits for it, in slices so that a stop is heard,
    // within its own deadline.
    LinkStatus takeWhenFree(std::unique_lock<std::timed_mutex>& use, Deadline deadline, const std::stop_token& stop) {
        while (!use.try_lock_for(std::chrono::milliseconds(50))) {
            if (stop.stop_requested()) return Stopped;
            if (Clock::now() >= deadline) return {LinkCode::Timeout, "the adapter was still busy"};
        }
        return LinkStatus::ok();
    }

    LinkReport exchange(const std::stop_token& stop, Deadline deadline, elm327::SessionResult& codes);
    elm327::ClearResult clear(Deadline deadline);
    EngineSpeed engineSpeed(Deadline deadline);
    LinkStatus live(const std::stop_token& stop, LiveWatcher& watcher);
    // Opens the pipe, or finds the adapter, and takes what its far end announced.
    LinkStatus connect(Deadline deadline, const std::stop_token& stop) {
        const LinkStatus connected = openPipe(deadline, stop);
        announced_ = connected.isOk() && pipe_ ? pipe_->announced() : EmulatorKind::None;
        learnAnnouncement();
        if (connected.isOk() && pipe_) {
            const std::lock_guard lock(portMutex_);
            heldLink_ = heldLinkName();
        }
        return connected;
    }
    // What the conversation learnt of the far end from its banner, where the pipe told nothing.
    void learnAnnouncement() {
        if (announced_ == EmulatorKind::None && conversation_->announcedEmulator()) announced_ = EmulatorKind::Elm327;
    }
    LinkStatus openPipe(Deadline deadline, const std::stop_token& stop);
    LinkStatus findAdapter(Deadline deadline, const std::stop_token& stop);
    // `looked` tells whether BlueZ could be asked at all (a machine without Bluetooth has
    // only its serial ports searched, and is told so).
    LinkStatus findBleAdapter(Deadline deadline, const std::stop_token& stop, bool& looked);
    LinkStatus findSpeed(Deadline deadline, const std::stop_token& stop);
    void dropPipe();
    std::string heldLinkName() const;
    std::string foundPort() const {
        const std::lock_guard lock(portMutex_);
        return foundPort_;
    }
    std::string heldLink() const {
        const std::lock_guard lock(portMutex_);
        return heldLink_;
    }

    std::optional<LinkName> named_;
    std::vector<std::string> patterns_;
    std::unique_ptr<elm327::Conversation> conversation_;
    std::unique_ptr<elm327::Transport> pipe_;
    bool speedKnown_ = false;
    bool searchSpeedOnAnyTty_ = false;
    std::timed_mutex inUse_;
    mutable std::mutex portMutex_;
    std::string foundPort_;
    std::string heldLink_;  // the open pipe's link name, as listAdapters spells it; empty when closed
    // Written by the worker, read by the caller's thread.
    std::atomic<EmulatorKind> announced_{EmulatorKind::None};
};

struct Elm327DeviceLibrary::Handover {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;   // the codes' report is there
    bool ended = false;  // the worker is done with the adapter: nothing more will come
    LinkReport report;
    std::optional<VehicleInfo> vehicle;  // the rest of the picture, when it was read whole
    Deadline deadline;         // of the codes
    Deadline vehicleDeadline;  // of the rest, once the codes are handed over
};

struct Elm327DeviceLibrary::Notifier {
    void notify() {
        const std::lock_guard lock(mutex);
        if (ready) ready();
    }
    std::mutex mutex;
    std::function<void()> ready;
};

Elm327DeviceLibrary::Elm327DeviceLibrary(LinkName named, std::unique_ptr<elm327::Conversation> conversation)
    : adapter_(std::make_shared<Adapter>(std::move(named), std::vector<std::string>{}, std::move(conversation))),
      notifier_(std::make_shared<Notifier>()) {}

Elm327DeviceLibrary::Elm327DeviceLibrary(std::vector<std::string> patterns,
                                         std::unique_ptr<elm327::Conversation> conversation)
    : adapter_(std::make_shared<Adapter>(std::nullopt, std::move(patterns), std::move(conversation))),
      notifier_(std::make_shared<Notifier>()) {}

// Bounded: the worker is given StopBound; the pipe closes with the adapter's last owner.
Elm327DeviceLibrary::~Elm327DeviceLibrary() { stopExchange(); }

// No I/O: the pipe is opened, or the adapter looked for, when the request byte starts a read.
void Elm327DeviceLibrary::DeviceOpen() {}

void Elm327DeviceLibrary::DeviceClose() {
    // The window closes the link after it has taken the codes, or at exit after the end
    // byte. A worker still at the codes then has nobody to hand them to; one reading the
    // vehicle after the codes were taken hands it over later, and goes on.
    if (handover_) stopExchange();
}

LinkByte Elm327DeviceLibrary::DeviceReadByte() { return std::nullopt; }

void Elm327DeviceLibrary::DeviceWriteByte(std::uint8_t byte) {
    if (byte == RequestByte) {
        startExchange();
    } else if (byte == EndByte) {
        // The exchange is over: a report nobody took is dropped with its worker. The end
        // byte the window sends once it has the codes does not cut the vehicle part short.
        if (handover_) stopExchange();
        handover_.reset();
    }
}

std::optional<LinkReport> Elm327DeviceLibrary::DeviceReadReport() {
    if (!handover_) return LinkReport{LinkStatus(LinkCode::NoDevice, "no request was made"), {}, {}};
    const std::shared_ptr<Handover> handover = std::move(handover_);
    std::unique_lock lock(handover->mutex);
    // A caller that was told the report is there finds it done. Any other waits: the worker
    // keeps the deadline itself, and the short grace lets it hand over a report it finished
    // at the very deadline instead of having it thrown away.
    handover->finished.wait_until(lock, handover->deadline + std::chrono::milliseconds(200),
                                  [&handover] { return handover->done; });
    if (!handover->done) {
        lock.unlock();
        stopExchange();
        lock.lock();
        if (!handover->done) return LinkReport{LinkStatus(LinkCode::Timeout, "the adapter did not finish in time"), {}, {}};
    }
    LinkReport report = std::move(handover->report);
    lock.unlock();
    // A good report's read goes on with the vehicle (joined at the next request or the end).
    if (report.status.isOk()) vehicle_ = handover;
    return report;
}

std::optional<VehicleInfo> Elm327DeviceLibrary::DeviceReadVehicle() {
    if (!vehicle_) return std::nullopt;
    std::unique_lock lock(vehicle_->mutex);
    if (!vehicle_->vehicle) return std::nullopt;
    std::optional<VehicleInfo> vehicle = std::move(vehicle_->vehicle);
    lock.unlock();
    vehicle_.reset();
    return vehicle;
}

void Elm327DeviceLibrary::DeviceNotifyReportReady(std::function<void()> ready) {
    const std::lock_guard lock(notifier_->mutex);
    notifier_->ready = std::move(ready);
}

ReportState Elm327DeviceLibrary::DeviceReportState() const {
    if (!handover_) return ReportState::None;
    const std::lock_guard lock(handover_->mutex);
    return handover_->done ? ReportState::Ready : ReportState::Gathering;
}

bool Elm327DeviceLibrary::busy() const { return DeviceReportState() == ReportState::Gathering; }

std::optional<VehicleInfo> Elm327DeviceLibrary::awaitVehicle() {
    if (!vehicle_) return std::nullopt;
    {
        // The worker keeps the read's deadline itself; the grace is DeviceReadReport's.
        std::unique_lock lock(vehicle_->mutex);
        vehicle_->finished.wait_until(lock, vehicle_->vehicleDeadline + std::chrono::milliseconds(200),
                                      [this] { return vehicle_->ended; });
    }
    return DeviceReadVehicle();
}

bool Elm327DeviceLibrary::readingVehicle() const {
    if (!vehicle_) return false;
    const std::lock_guard lock(vehicle_->mutex);
    return !vehicle_->ended || vehicle_->vehicle.has_value();
}

std::string Elm327DeviceLibrary::DeviceFailureCause(const LinkStatus& status) const {
    return std::string(adapterFailureCause(status));
}

std::string Elm327DeviceLibrary::foundPort() const { return adapter_->foundPort(); }

std::string Elm327DeviceLibrary::DeviceAdapterInUse() const { return adapter_->heldLink(); }

std::string Elm327DeviceLibrary::DeviceLinkName() const { return emulatorLinkName(adapter_->announced_); }

void Elm327DeviceLibrary::searchSpeedOnAnyTty() { adapter_->searchSpeedOnAnyTty_ = true; }

void Elm327DeviceLibrary::startExchange() {
    stopExchange();
    vehicle_.reset();  // a superseded read's vehicle is nobody's
    auto handover = std::make_shared<Handover>();
    handover->deadline = Clock::now() + elm327::ExchangeBound;
    handover->vehicleDeadline = handover->deadline + elm327::VehicleBound;
    handover_ = handover;
    running_ = handover;
    // The worker owns what it uses: a worker left running past StopBound outlives nothing.
    worker_ = std::jthread([adapter = adapter_, notifier = notifier_, handover](std::stop_token stop) {
        std::unique_lock use(adapter->inUse_, std::defer_lock);
        const LinkStatus free = adapter->takeWhenFree(use, handover->deadline, stop);
        elm327::SessionResult codes;
        LinkReport report = free.isOk() ? adapter->exchange(stop, handover->deadline, codes) : LinkReport{free, {}, {}};
        const bool more = report.status.isOk() && !stop.stop_requested();
        if (!more && use.owns_lock()) use.unlock();  // free before the report is told, for the next read
        {
            const std::lock_guard lock(handover->mutex);
            handover->report = std::move(report);
            handover->done = true;
            handover->ended = !more;
            handover->vehicleDeadline = Clock::now() + elm327::VehicleBound;
        }
        handover->finished.notify_all();
        // A stopped read's report is nobody's: its caller has moved on.
        if (!stop.stop_requested()) notifier->notify();
        if (!more) return;

        // The codes are out; the rest of the picture follows over the same adapter, still
        // held, within the same deadline.
        VehicleInfo vehicle =
            adapter->conversation_->readVehicle(*adapter->pipe_, handover->vehicleDeadline, stop, codes);
        use.unlock();
        const bool stopped = stop.stop_requested();
        {
            const std::lock_guard lock(handover->mutex);
            if (!stopped) handover->vehicle = std::move(vehicle);
            handover->ended = true;
        }
        handover->finished.notify_all();
        if (!stopped) notifier->notify();
    });
}

void Elm327DeviceLibrary::stopExchange() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    const std::shared_ptr<Handover> handover = std::move(running_);
    bool ended = true;
    if (handover) {
        std::unique_lock lock(handover->mutex);
        ended = handover->finished.wait_for(lock, elm327::StopBound, [&handover] { return handover->ended; });
    }
    // Once it has ended the worker does nothing more than tell, which a stop has silenced:
    // the join returns at once.
    if (ended) {
        worker_.join();
    } else {
        worker_.detach();
    }
}

LinkReport Elm327DeviceLibrary::Adapter::exchange(const std::stop_token& stop, Deadline deadline,
                                                  elm327::SessionResult& codes) {
    if (const LinkStatus connected = connect(deadline, stop); !connected.isOk()) {
        dropPipe();
        return {connected, {}, {}};
    }
    if (stop.stop_requested()) return {Stopped, {}, {}};
    codes = conversation_->readCodes(*pipe_, deadline, stop);
    learnAnnouncement();
    if (!codes.status.isOk()) {
        // An adapter that failed may have reset, lost its line or been pulled: the next
        // read opens the pipe afresh (and the session sets the adapter up from the start).
        dropPipe();
        return {codes.status, {}, {}};
    }
    return {LinkStatus::ok(), codes.pending, codes.stored, codes.vehicle};
}

LinkStatus Elm327DeviceLibrary::Adapter::openPipe(Deadline deadline, const std::stop_token& stop) {
    if (pipe_ && pipe_->isOpen()) return LinkStatus::ok();
    if (!named_) {
        // The port found before is kept for the rest of the run; only when it can no
        // longer be opened (unplugged, renumbered) is the search run again.
        if (!foundPort_.empty()) {
            if (foundPort_.starts_with(elm327::BleLinkPrefix)) {
                pipe_ = std::make_unique<elm327::BleTransport>(foundPort_.substr(std::string_view(elm327::BleLinkPrefix).size()));
                if (pipe_->open(bleOpenDeadline(deadline)).isOk()) return LinkStatus::ok();
            } else {
                pipe_ = std::make_unique<elm327::TtyTransport>(foundPort_, elm327::DefaultBaud);
                if (pipe_->open(openDeadline(deadline)).isOk()) return LinkStatus::ok();
            }
            pipe_.reset();
            const std::lock_guard lock(portMutex_);
            foundPort_.clear();
        }
        return findAdapter(deadline, stop);
    }
    if (named_->kind == LinkName::Kind::Elm327Tcp) {
        pipe_ = std::make_unique<elm327::TcpTransport>(named_->host, named_->port);
        return pipe_->open(openDeadline(deadline));
    }
    if (named_->kind == LinkName::Kind::Elm327Ble) {
        pipe_ = std::make_unique<elm327::BleTransport>(named_->address);
        return pipe_->open(bleOpenDeadline(deadline));
    }
    auto tty = std::make_unique<elm327::TtyTransport>(named_->path, named_->baud != 0 ? named_->baud : elm327::DefaultBaud);
    const LinkStatus opened = tty->open(openDeadline(deadline));
    pipe_ = std::move(tty);
    if (!opened.isOk()) return opened;
    // A pseudo-terminal or a Bluetooth port takes any speed: nothing to search.
    if (!speedKnown_ && !searchSpeedOnAnyTty_ && !static_cast<elm327::TtyTransport&>(*pipe_).speedMatters()) {
        speedKnown_ = true;
    }
    return speedKnown_ ? LinkStatus::ok() : findSpeed(deadline, stop);
}

// The speed is tried in the usual order, ProbeBound each, until the adapter answers; the
// one that worked is kept for the rest of the run.
LinkStatus Elm327DeviceLibrary::Adapter::findSpeed(Deadline deadline, const std::stop_token& stop) {
    auto& tty = static_cast<elm327::TtyTransport&>(*pipe_);
    for (const int baud : elm327::UsualBauds) {
        if (Clock::now() >= deadline) break;
        if (stop.stop_requested()) return Stopped;
        tty.setBaud(baud);
        // An adapter still finishing an earlier answer is waited out at this speed first.
        if (conversation_->answersAsElm327Within(tty, finishingDeadline(deadline), elm327::ProbeBound)) {
            named_->baud = baud;
            speedKnown_ = true;
            conversation_->forget();
            return LinkStatus::ok();
        }
    }
    return {LinkCode::Timeout, "no ELM327 answered at the usual speeds"};
}

// Each matching port in turn: one another program holds is skipped, each probe takes at
// most ProbeBound at the factory speed, and the first port that answers as an ELM327 is
// kept. Then, where the patterns say so, the Bluetooth LE devices BlueZ knows.
LinkStatus Elm327DeviceLibrary::Adapter::findAdapter(Deadline deadline, const std::stop_token& stop) {
    bool triedBluetooth = false;
    const auto nothing = [&]() -> LinkStatus {
        return {LinkCode::NoDevice, triedBluetooth ? elm327::NoAdapterFound : elm327::NoAdapterOnSerialPorts};
    };
    for (const std::string& pattern : patterns_) {
        if (pattern == elm327::BluetoothLeDevices) {
            if (const LinkStatus found = findBleAdapter(deadline, stop, triedBluetooth); found.isOk()) return found;
            if (stop.stop_requested()) return Stopped;
            continue;
        }
        for (const std::string& port : portsMatching({pattern})) {
            if (Clock::now() >= deadline) return nothing();
            if (stop.stop_requested()) return Stopped;
            auto tty = std::make_unique<elm327::TtyTransport>(port, elm327::DefaultBaud);
            if (!tty->open(probeDeadline(deadline)).isOk()) continue;
            // A Bluetooth adapter may be slow to say anything at all.
            const auto silence = tty->speedMatters() ? elm327::ProbeBound : elm327::BluetoothProbeBound;
            if (!conversation_->answersAsElm327Within(*tty, finishingDeadline(deadline), silence)) continue;
            conversation_->forget();
            pipe_ = std::move(tty);
            const std::lock_guard lock(portMutex_);
            foundPort_ = port;
            return LinkStatus::ok();
        }
    }
    return nothing();
}

// The devices BlueZ knows that offer an ELM327 service, the connected ones and the
// strongest signals first, within BleSearchBound of the start; nothing is scanned for,
// paired or trusted.
LinkStatus Elm327DeviceLibrary::Adapter::findBleAdapter(Deadline deadline, const std::stop_token& stop, bool& looked) {
    const Deadline end = std::min(deadline, Clock::now() + elm327::BleSearchBound);
    const elm327::BleDiscovery known = elm327::knownBleAdapters(end);
    looked = known.status.isOk();

    for (const elm327::BleCandidate& device : known.devices) {
        if (Clock::now() >= end) break;
        if (stop.stop_requested()) return Stopped;
        auto ble = std::make_unique<elm327::BleTransport>(device.address);
        if (!ble->open(std::min(end, bleOpenDeadline(deadline))).isOk()) continue;
        // A Bluetooth adapter may be slow to say anything at all, as on rfcomm.
        if (!conversation_->answersAsElm327Within(*ble, std::min(end, finishingDeadline(deadline)),
                                                  elm327::BluetoothProbeBound))
            continue;
        conversation_->forget();
        pipe_ = std::move(ble);
        const std::lock_guard lock(portMutex_);
        foundPort_ = elm327::BleLinkPrefix + device.address;
        return LinkStatus::ok();
    }
    return {LinkCode::NoDevice, elm327::NoAdapterFound};
}

// The conversation is not told: it sets the adapter up from the start after a failure
// of its own accord, and keeps the protocol it found to try first.
void Elm327DeviceLibrary::Adapter::dropPipe() {
    if (pipe_) pipe_->close();
    pipe_.reset();
    const std::lock_guard lock(portMutex_);
    heldLink_.clear();
}

// Called with portMutex_ held. A serial port without its speed: the listing names ports so.
std::string Elm327DeviceLibrary::Adapter::heldLinkName() const {
    if (!named_) return foundPort_.starts_with(elm327::BleLinkPrefix) ? foundPort_ : "elm327:" + foundPort_;
    switch (named_->kind) {
    case LinkName::Kind::Elm327Tcp: return "elm327://" + named_->host + ":" + std::to_string(named_->port);
    case LinkName::Kind::Elm327Ble: return elm327::BleLinkPrefix + named_->address;
    default: return "elm327:" + named_->path;
    }
}

elm327::ClearResult Elm327DeviceLibrary::Adapter::clear(Deadline deadline) {
    if (const LinkStatus connected = connect(deadline, {}); !connected.isOk()) {
        dropPipe();
        return {connected, {}, {}};
    }
    elm327::ClearResult cleared = conversation_->clearCodes(*pipe_, deadline, {});
    if (!cleared.status.isOk()) dropPipe();
    return cleared;
}

EngineSpeed Elm327DeviceLibrary::Adapter::engineSpeed(Deadline deadline) {
    if (const LinkStatus connected = connect(deadline, {}); !connected.isOk()) {
        dropPipe();
        return {std::nullopt, elm327::notReadReason(connected)};
    }
    const elm327::EngineSpeedRead read = conversation_->engineSpeed(*pipe_, deadline, {});
    if (!read.status.isOk()) dropPipe();
    return read.speed;
}

void Elm327DeviceLibrary::DeviceEndReading() {
    stopExchange();
    handover_.reset();
    vehicle_.reset();
}

elm327::ClearResult Elm327DeviceLibrary::clearCodes() {
    // The window has ended the read on its own thread already (DeviceEndReading), and reads
    // what is left of it there while this runs on the clear's worker: nothing is written
    // here then. The command line, on one thread, has it ended here.
    if (worker_.joinable() || handover_ || vehicle_) DeviceEndReading();
    const Deadline deadline = Clock::now() + elm327::ExchangeBound;
    std::unique_lock use(adapter_->inUse_, std::defer_lock);
    const LinkStatus free = adapter_->takeWhenFree(use, deadline, {});
    if (!free.isOk()) return {free, {}, {}};
    return adapter_->clear(deadline);
}

EngineSpeed Elm327DeviceLibrary::engineSpeed() {
    // As for a clear, which follows it: the read still at work is ended first.
    if (worker_.joinable() || handover_ || vehicle_) DeviceEndReading();
    const Deadline deadline = Clock::now() + elm327::ExchangeBound;
    std::unique_lock use(adapter_->inUse_, std::defer_lock);
    const LinkStatus free = adapter_->takeWhenFree(use, deadline, {});
    if (!free.isOk()) return {std::nullopt, elm327::notReadReason(free)};
    return adapter_->engineSpeed(deadline);
}

}  // namespace vx414

namespace vx414 {

namespace {

// Passes the poll on to the watcher, and has the far end's banner, seen by the set-up before
// the first word to the watcher, taken first: the window marks the values from then on.
class AnnouncingWatcher final : public LiveWatcher {
public:
    AnnouncingWatcher(LiveWatcher& watcher, std::function<void()> learn) : watcher_(watcher), learn_(std::move(learn)) {}
    void supported(const std::vector<std::uint8_t>& pids) override {
        learn_();
        watcher_.supported(pids);
    }
    LiveChoice choice() override { return watcher_.choice(); }
    void sample(const obd::LiveSample& sample) override { watcher_.sample(sample); }

private:
    LiveWatcher& watcher_;
    std::function<void()> learn_;
};

}  // namespace

LinkStatus Elm327DeviceLibrary::Adapter::live(const std::stop_token& stop, LiveWatcher& watcher) {
    if (const LinkStatus connected = connect(Clock::now() + elm327::ExchangeBound, stop); !connected.isOk()) {
        dropPipe();
        return connected;
    }
    if (stop.stop_requested()) return LinkStatus::ok();
    AnnouncingWatcher announcing(watcher, [this] { learnAnnouncement(); });
    const LinkStatus ended = conversation_->pollLive(*pipe_, stop, announcing);
    if (!ended.isOk() && !stop.stop_requested()) dropPipe();
    return stop.stop_requested() ? LinkStatus::ok() : ended;
}

LinkStatus Elm327DeviceLibrary::pollLive(std::stop_token stop, LiveWatcher& watcher) {
    stopExchange();
    handover_.reset();
    vehicle_.reset();
    std::unique_lock use(adapter_->inUse_, std::defer_lock);
    const LinkStatus free = adapter_->takeWhenFree(use, Clock::now() + elm327::ExchangeBound, stop);
    if (stop.stop_requested()) return LinkStatus::ok();
    if (!free.isOk()) return free;
    return adapter_->live(stop, watcher);
}

void Elm327DeviceLibrary::startLive(std::shared_ptr<LiveWatcher> watcher,
                                    std::function<void(const LinkStatus&)> ended) {
    stopExchange();
    handover_.reset();
    vehicle_.reset();
    auto handover = std::make_shared<Handover>();
    running_ = handover;
    live_ = handover;
    worker_ = std::jthread([adapter = adapter_, handover, watcher = std::move(watcher),
                            ended = std::move(ended)](std::stop_token stop) {
        LinkStatus status = LinkStatus::ok();
        {
            std::unique_lock use(adapter->inUse_, std::defer_lock);
            const LinkStatus free = adapter->takeWhenFree(use, Clock::now() + elm327::ExchangeBound, stop);
            if (!free.isOk()) {
                status = stop.stop_requested() ? LinkStatus::ok() : free;
            } else {
                status = adapter->live(stop, *watcher);
            }
        }
        {
            const std::lock_guard lock(handover->mutex);
            handover->ended = true;
        }
        handover->finished.notify_all();
        ended(status);
    });
}

void Elm327DeviceLibrary::stopLive() {
    if (live_ && live_ == running_) stopExchange();
    live_.reset();
}

}  // namespace vx414
