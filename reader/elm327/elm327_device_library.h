// The device library over an ELM327 adapter: the same four entries the window calls for
// the VX-414 reader, with the exchange run on a worker thread and the whole report handed
// over through DeviceReadReport.
//
// How the window's call sequences map onto the adapter:
//   DeviceOpen, DeviceClose     no I/O; the adapter's pipe stays open between reads, so
//                               the next read needs no full reset of the adapter
//   DeviceWriteByte(0x55)       starts the exchange on the worker: open the pipe (or find
//                               the adapter), then ask for pending and stored codes, all
//                               within ExchangeBound of this call
//   DeviceReadReport            (Timer1's tick, a second later) waits for the worker, never
//                               past that bound, and returns the report
//   DeviceWriteByte(0xAA)       ends the exchange: a worker still running is stopped and
//                               joined; the adapter is left set up for the next read
//   DeviceReadByte              nothing: the report comes whole
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "reader/device_library.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_transport.h"
#include "reader/link_name.h"

namespace vx414 {

namespace elm327 {

// What the library asks of the adapter's conversation; the real one is a Session, tests
// put a scripted one in its place.
class Conversation {
public:
    virtual ~Conversation() = default;
    virtual SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop) = 0;
    virtual ClearResult clearCodes(Transport& link, Deadline deadline, std::stop_token stop) = 0;
    virtual bool answersAsElm327(Transport& link, Deadline deadline) = 0;
    virtual void forget() = 0;
};

class SessionConversation final : public Conversation {
public:
    SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop) override {
        return session_.readCodes(link, deadline, std::move(stop));
    }
    ClearResult clearCodes(Transport& link, Deadline deadline, std::stop_token stop) override {
        return session_.clearCodes(link, deadline, std::move(stop));
    }
    bool answersAsElm327(Transport& link, Deadline deadline) override { return Session::answersAsElm327(link, deadline); }
    void forget() override { session_.forget(); }

private:
    Session session_;
};

// The whole read, from the request byte to the report: ten seconds at most.
inline constexpr std::chrono::seconds ExchangeBound{10};
// One port's probe while looking for the adapter, and one speed's try on a tty whose
// speed the link name does not give.
inline constexpr std::chrono::milliseconds ProbeBound{500};
// Opening the pipe: a Wi-Fi adapter on the local network connects within milliseconds;
// one that is out of reach (its SYN never answered) fails within the three seconds a
// user waits for a failure, and an exit during that wait is not held up for long.
inline constexpr std::chrono::seconds OpenBound{2};
// Where an adapter is looked for when nothing names one, in this order: USB-serial
// adapters, USB CDC-ACM adapters, Bluetooth ports bound with rfcomm.
inline const std::vector<std::string> SerialPortPatterns = {"/dev/ttyUSB*", "/dev/ttyACM*", "/dev/rfcomm*"};

}  // namespace elm327

class Elm327DeviceLibrary final : public DeviceLibrary {
public:
    // An adapter at a named place (kind Elm327Tty or Elm327Tcp).
    explicit Elm327DeviceLibrary(LinkName named, std::unique_ptr<elm327::Conversation> conversation = nullptr);
    // An adapter looked for on the serial ports matching `patterns` at the first read, and
    // kept for the rest of the run.
    explicit Elm327DeviceLibrary(std::vector<std::string> patterns = elm327::SerialPortPatterns,
                                 std::unique_ptr<elm327::Conversation> conversation = nullptr);
    ~Elm327DeviceLibrary() override;
    Elm327DeviceLibrary(const Elm327DeviceLibrary&) = delete;
    Elm327DeviceLibrary& operator=(const Elm327DeviceLibrary&) = delete;

    void DeviceOpen() override;
    void DeviceClose() override;
    LinkByte DeviceReadByte() override;
    void DeviceWriteByte(std::uint8_t byte) override;
    std::optional<LinkReport> DeviceReadReport() override;

    // Service 04 (clear the codes and the check-engine light), for the command line. Waits
    // for its answer on the caller's thread, within ExchangeBound.
    elm327::ClearResult clearCodes();

    // Whether an exchange is running on the worker (tests).
    bool busy() const;
    // The port the adapter was found on when it was looked for; empty before (tests, logs).
    std::string foundPort() const;

private:
    LinkReport exchange(std::stop_token stop, elm327::Deadline deadline);
    LinkStatus connect(elm327::Deadline deadline, const std::stop_token& stop);
    LinkStatus findAdapter(elm327::Deadline deadline, const std::stop_token& stop);
    LinkStatus findSpeed(elm327::Deadline deadline, const std::stop_token& stop);
    void dropPipe();
    void startExchange();
    void stopExchange();

    std::optional<LinkName> named_;
    std::vector<std::string> patterns_;
    std::unique_ptr<elm327::Conversation> conversation_;

    // Used by the worker while it runs, and by the caller's thread only once it is joined.
    std::unique_ptr<elm327::Transport> pipe_;
    std::string foundPort_;
    bool speedKnown_ = false;

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    bool requested_ = false;
    LinkReport report_;
    elm327::Deadline deadline_{};
    std::jthread worker_;
};

// The ELM327 library behind `link`, or nullptr when the link is the VX-414 reader right
// now (the command line uses it to offer clearing codes).
Elm327DeviceLibrary* asElm327(DeviceLibrary& link);

}  // namespace vx414
