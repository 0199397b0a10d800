// The ELM327 emulator's transports: a pseudo-terminal (as a USB or Bluetooth adapter shows
// up) or a TCP port on 127.0.0.1 (as a Wi-Fi adapter), with the adapter behind it.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "tools/elm327-emulator/elm327_adapter.h"

namespace vx414::elmemu {

struct Options {
    AdapterSetup adapter;
    bool tcp = false;
    int port = 0;  // with tcp: 0 lets the system pick a free one
    bool verbose = false;
};

// Every byte received (`sent` false) or sent, in the order it crossed the link.
using TrafficLog = std::function<void(bool sent, std::string_view bytes)>;

class Elm327Emulator {
public:
    explicit Elm327Emulator(const Options& options);
    ~Elm327Emulator();
    Elm327Emulator(const Elm327Emulator&) = delete;
    Elm327Emulator& operator=(const Elm327Emulator&) = delete;

    // The pseudo-terminal's slave path, or "127.0.0.1:PORT"; empty when the transport could
    // not be set up, and error() says why.
    const std::string& address() const { return address_; }
    int port() const { return port_; }
    const std::string& error() const { return error_; }

    // Serves until stop(); a TCP client at a time, the next one accepted when it leaves.
    void run(const TrafficLog& log = {});
    // Async-signal-safe, and safe from another thread.
    void stop() const;

private:
    void openTerminal();
    void openListener(int port);

    Adapter adapter_;
    int baud_;
    bool tcp_;
    int master_ = -1;    // the pseudo-terminal's master end
    int slave_ = -1;     // kept open so that a client's closing its end does not hang the line up
    int listener_ = -1;  // TCP
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::string address_;
    std::string error_;
};

// How long the serving loop waits for the next paced byte that is due in `untilDue`: to the
// microsecond, at most a second (so a missed wake-up never sleeps for good), and none for a
// byte already overdue (ppoll refuses a negative wait, and the loop would end).
timespec pollTimeout(std::chrono::nanoseconds untilDue);

// Text with CR, LF and other unprintable bytes written as \r, \n and \xHH, for the log.
std::string escapeBytes(std::string_view bytes);

}  // namespace vx414::elmemu
