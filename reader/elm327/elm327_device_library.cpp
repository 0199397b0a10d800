#include "reader/elm327/elm327_device_library.h"

#include <algorithm>
#include <glob.h>

#include "reader/elm327/elm327_tcp_transport.h"
#include "reader/elm327/elm327_tty_transport.h"
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
Deadline openDeadline(Deadline whole) { return std::min(whole, Clock::now() + elm327::OpenBound); }

const LinkStatus Stopped(LinkCode::Timeout, "the read was stopped");

std::unique_ptr<elm327::Conversation> orSession(std::unique_ptr<elm327::Conversation> conversation) {
    if (conversation) return conversation;
    return std::make_unique<elm327::SessionConversation>();
}

}  // namespace

Elm327DeviceLibrary::Elm327DeviceLibrary(LinkName named, std::unique_ptr<elm327::Conversation> conversation)
    : named_(std::move(named)), conversation_(orSession(std::move(conversation))) {
    // A speed the link name gives is used as it is, never searched for.
    speedKnown_ = named_->kind != LinkName::Kind::Elm327Tty || named_->baud != 0;
}

Elm327DeviceLibrary::Elm327DeviceLibrary(std::vector<std::string> patterns,
                                         std::unique_ptr<elm327::Conversation> conversation)
    : patterns_(std::move(patterns)), conversation_(orSession(std::move(conversation))) {}

Elm327DeviceLibrary::~Elm327DeviceLibrary() {
    stopExchange();
    dropPipe();
}

// No I/O: the pipe is opened, or the adapter looked for, when the request byte starts a read.
void Elm327DeviceLibrary::DeviceOpen() {}

void Elm327DeviceLibrary::DeviceClose() {
    // The window closes the link after it has taken the report (or at exit, after the end
    // byte); a worker that still runs then has nobody to hand its report to.
    stopExchange();
}

LinkByte Elm327DeviceLibrary::DeviceReadByte() { return std::nullopt; }

void Elm327DeviceLibrary::DeviceWriteByte(std::uint8_t byte) {
    if (byte == RequestByte) {
        startExchange();
    } else if (byte == EndByte) {
        // The exchange is over: a report nobody took is dropped with its worker.
        stopExchange();
        const std::lock_guard lock(mutex_);
        requested_ = false;
    }
}

std::optional<LinkReport> Elm327DeviceLibrary::DeviceReadReport() {
    std::unique_lock lock(mutex_);
    if (!requested_) return LinkReport{LinkStatus(LinkCode::NoDevice, "no request was made"), {}, {}};
    // The worker keeps the deadline itself; the short grace lets it hand over a report it
    // finished at the very deadline instead of having it thrown away.
    finished_.wait_until(lock, deadline_ + std::chrono::milliseconds(200), [this] { return done_; });
    if (!done_) {
        lock.unlock();
        stopExchange();
        lock.lock();
        if (!done_) {
            requested_ = false;
            return LinkReport{LinkStatus(LinkCode::Timeout, "the adapter did not finish in time"), {}, {}};
        }
    }
    requested_ = false;
    LinkReport report = std::move(report_);
    report_ = {};
    lock.unlock();
    if (worker_.joinable()) worker_.join();  // it has finished: the join returns at once
    return report;
}

bool Elm327DeviceLibrary::busy() const {
    const std::lock_guard lock(mutex_);
    return requested_ && !done_;
}

std::string Elm327DeviceLibrary::foundPort() const {
    const std::lock_guard lock(mutex_);
    return foundPort_;
}

void Elm327DeviceLibrary::startExchange() {
    stopExchange();
    const Deadline deadline = Clock::now() + elm327::ExchangeBound;
    {
        const std::lock_guard lock(mutex_);
        requested_ = true;
        done_ = false;
        report_ = {};
        deadline_ = deadline;
    }
    worker_ = std::jthread([this, deadline](std::stop_token stop) {
        LinkReport report = exchange(stop, deadline);
        {
            const std::lock_guard lock(mutex_);
            report_ = std::move(report);
            done_ = true;
        }
        finished_.notify_all();
    });
}

void Elm327DeviceLibrary::stopExchange() {
    if (!worker_.joinable()) return;
    // Every wait of the exchange is bounded by its deadline and ends soon after a stop
    // request, so this join is bounded too.
    worker_.request_stop();
    worker_.join();
}

LinkReport Elm327DeviceLibrary::exchange(std::stop_token stop, Deadline deadline) {
    if (const LinkStatus connected = connect(deadline, stop); !connected.isOk()) {
        dropPipe();
        return {connected, {}, {}};
    }
    if (stop.stop_requested()) return {Stopped, {}, {}};
    elm327::SessionResult result = conversation_->readCodes(*pipe_, deadline, stop);
    if (!result.status.isOk()) {
        // An adapter that failed may have reset, lost its line or been pulled: the next
        // read opens the pipe afresh (and the session sets the adapter up from the start).
        dropPipe();
        return {result.status, {}, {}};
    }
    return {LinkStatus::ok(), std::move(result.pending), std::move(result.stored), std::move(result.vehicle)};
}

LinkStatus Elm327DeviceLibrary::connect(Deadline deadline, const std::stop_token& stop) {
    if (pipe_ && pipe_->isOpen()) return LinkStatus::ok();
    if (!named_) {
        // The port found before is kept for the rest of the run; only when it can no
        // longer be opened (unplugged, renumbered) is the search run again.
        if (!foundPort_.empty()) {
            pipe_ = std::make_unique<elm327::TtyTransport>(foundPort_, elm327::DefaultBaud);
            if (pipe_->open(openDeadline(deadline)).isOk()) return LinkStatus::ok();
            pipe_.reset();
            const std::lock_guard lock(mutex_);
            foundPort_.clear();
        }
        return findAdapter(deadline, stop);
    }
    if (named_->kind == LinkName::Kind::Elm327Tcp) {
        pipe_ = std::make_unique<elm327::TcpTransport>(named_->host, named_->port);
        return pipe_->open(openDeadline(deadline));
    }
    auto tty = std::make_unique<elm327::TtyTransport>(named_->path, named_->baud != 0 ? named_->baud : elm327::DefaultBaud);
    const LinkStatus opened = tty->open(openDeadline(deadline));
    pipe_ = std::move(tty);
    if (!opened.isOk()) return opened;
    return speedKnown_ ? LinkStatus::ok() : findSpeed(deadline, stop);
}

// The speed is tried in the usual order, ProbeBound each, until the adapter answers; the
// one that worked is kept for the rest of the run.
LinkStatus Elm327DeviceLibrary::findSpeed(Deadline deadline, const std::stop_token& stop) {
    auto& tty = static_cast<elm327::TtyTransport&>(*pipe_);
    for (const int baud : elm327::UsualBauds) {
        if (Clock::now() >= deadline) break;
        if (stop.stop_requested()) return Stopped;
        tty.setBaud(baud);
        if (conversation_->answersAsElm327(tty, probeDeadline(deadline))) {
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
// kept.
LinkStatus Elm327DeviceLibrary::findAdapter(Deadline deadline, const std::stop_token& stop) {
    for (const std::string& port : portsMatching(patterns_)) {
        if (Clock::now() >= deadline) return {LinkCode::Timeout, "no ELM327 found in time"};
        if (stop.stop_requested()) return Stopped;
        auto tty = std::make_unique<elm327::TtyTransport>(port, elm327::DefaultBaud);
        if (!tty->open(probeDeadline(deadline)).isOk()) continue;
        if (!conversation_->answersAsElm327(*tty, probeDeadline(deadline))) continue;
        conversation_->forget();
        pipe_ = std::move(tty);
        const std::lock_guard lock(mutex_);
        foundPort_ = port;
        return LinkStatus::ok();
    }
    return {LinkCode::NoDevice, "no ELM327 on the serial ports"};
}

// The conversation is not told: it sets the adapter up from the start after a failure
// of its own accord, and keeps the protocol it found to try first.
void Elm327DeviceLibrary::dropPipe() {
    if (pipe_) pipe_->close();
    pipe_.reset();
}

elm327::ClearResult Elm327DeviceLibrary::clearCodes() {
    stopExchange();
    const Deadline deadline = Clock::now() + elm327::ExchangeBound;
    if (const LinkStatus connected = connect(deadline, {}); !connected.isOk()) {
        dropPipe();
        return {connected, {}, {}};
    }
    elm327::ClearResult cleared = conversation_->clearCodes(*pipe_, deadline, {});
    if (!cleared.status.isOk()) dropPipe();
    return cleared;
}

}  // namespace vx414
