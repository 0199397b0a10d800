// The reader emulator: a pseudo-terminal whose far end behaves like the code reader, for
// trying the program without a reader and for the end-to-end tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/report_encoder.h"

namespace vx414::emulator {

enum class Fault {
    None,
    Silent,        // never answers
    BadChecksum,   // the first block's checksum is one off
    BadSeparator,  // the separator reads BB 00 AA
    ValueBB,       // the first block starts with the code byte 0xBB, which the frame cannot carry
    CutOff,        // the report stops half-way
    Babble,        // after the first head, bytes that are never a marker, until the end byte
    TooMany,       // codes added until there are 62, one more than the report can hold
    Slow,          // the report trickles out a few bytes at a time with pauses
    Trickle,       // the report one byte at a time, each a long gap after the one before
};

struct Options {
    ReportContent content;
    Fault fault = Fault::None;
    std::size_t noise = 0;       // bytes of lead-in before the start marker
    std::size_t burst = 3;       // slow: bytes per burst
    int pauseMilliseconds = 20;  // slow: pause after each burst
    // trickle: the gap before each byte after the first. Half a second is less than any
    // one wait of the program's reader link lasts, so only a bound on the whole report
    // ends the read before every byte has come.
    int gapMilliseconds = 500;
    // How many requests get the fault; later ones get a good report. Empty: every one.
    std::optional<std::size_t> faultyRequests;
};

struct ParsedArguments {
    std::optional<Options> options;  // empty on --help or an error
    bool help = false;
    std::string error;
};

ParsedArguments parseArguments(std::span<const std::string_view> arguments);
std::string usageText();
std::string_view faultName(Fault fault);

// What the emulator sends for one request: the report with its lead-in noise and its fault.
// Babble's endless tail is not included (see babbleBytes), nor the pacing of slow and
// trickle.
std::vector<std::uint8_t> replyBytes(const Options& options);
// The fault for the request counted from 1: options.fault, or none once faultyRequests
// have had it.
Fault faultFor(const Options& options, std::size_t request);
// Bytes that are never 0xAA or 0xBB, `count` of them.
std::vector<std::uint8_t> babbleBytes(std::size_t count);

// Opens a pseudo-terminal and serves requests on it: on every 0x55 it sends replyBytes();
// an 0xAA (the end byte) stops whatever it is still sending.
class ReaderEmulator {
public:
    explicit ReaderEmulator(Options options);
    ~ReaderEmulator();
    ReaderEmulator(const ReaderEmulator&) = delete;
    ReaderEmulator& operator=(const ReaderEmulator&) = delete;

    // Empty when the pseudo-terminal could not be set up; error() says why.
    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Serves until stop(); every byte received is passed to onReceived.
    void run(const std::function<void(std::uint8_t)>& onReceived);
    // Async-signal-safe, and safe from another thread.
    void stop() const;

private:
    Options options_;
    int master_ = -1;
    int slave_ = -1;  // kept open so that the program's closing the link does not hang the line up
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;
    std::string error_;
};

}  // namespace vx414::emulator
