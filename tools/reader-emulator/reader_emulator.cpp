#include "tools/reader-emulator/reader_emulator.h"

#include "tools/common/pseudo_terminal.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "reader/report_receiver.h"
#include "reader/trouble_code.h"

namespace vx414::emulator {
namespace {

struct FaultEntry {
    Fault fault;
    std::string_view name;
};

constexpr std::array<FaultEntry, 10> Faults = {{
    {Fault::None, "none"},
    {Fault::Silent, "silent"},
    {Fault::BadChecksum, "bad-checksum"},
    {Fault::BadSeparator, "bad-separator"},
    {Fault::ValueBB, "value-bb"},
    {Fault::CutOff, "cut-off"},
    {Fault::Babble, "babble"},
    {Fault::TooMany, "too-many"},
    {Fault::Slow, "slow"},
    {Fault::Trickle, "trickle"},
}};

// 62 codes: one more than ReportBytes holds.
constexpr std::size_t TooManyCodes = MaxReportCodes + 1;

template <class Number>
bool parseNumber(std::string_view text, Number& value, Number low, Number high) {
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// Deterministic lead-in noise: any byte but the start marker.
std::vector<std::uint8_t> noiseBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t state = 0x414U;
    while (bytes.size() < count) {
        state = state * 1103515245U + 12345U;
        const auto byte = static_cast<std::uint8_t>(state >> 16U);
        if (byte != StartMarker) bytes.push_back(byte);
    }
    return bytes;
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

std::string_view faultName(Fault fault) {
    for (const FaultEntry& entry : Faults) {
        if (entry.fault == fault) return entry.name;
    }
    return "?";
}

std::string usageText() {
    return R"(Usage: vx414-reader-emulator [OPTION]... [--pending|--stored] [CODE]... [--pending|--stored] [CODE]...

Acts as the VX-414 code reader on a new pseudo-terminal. The first line printed is the
terminal's path: point the program at it with VX414_LINK=<path>. On every request byte
0x55 it sends a report of the codes given; every byte it receives is printed as
"received 0x55", "received 0xAA" and so on. It runs until SIGTERM or SIGINT.

Blocks:
  --pending CODE...   a block of pending codes
  --stored CODE...    a block of stored codes
                      The report carries the blocks in the order given, two at most;
                      a missing block is sent empty (first pending, second stored).
                      Codes before any block option go to a pending block.
  CODE                five characters as P0300, C1234, B0001, U0100 (any letter case)

Options:
  --noise N           send N bytes of lead-in noise before the report (default 0)
  --fault MODE        send a faulty report; MODE is one of
                        none           a good report (default)
                        silent         never answer
                        bad-checksum   the first block's checksum is one off
                        bad-separator  the separator reads BB 00 AA
                        value-bb       the first block starts with the code byte 0xBB
                        cut-off        stop half-way through the report
                        babble         after the first head, bytes that are never a
                                       marker, until the end byte 0xAA arrives
                        too-many       add codes until there are 62 (61 fit)
                        slow           trickle the report out in bursts
                        trickle        send the report one byte at a time, a long
                                       gap before each byte after the first
  --burst N           slow: bytes per burst (default 3)
  --pause-ms MS       slow: pause after each burst in milliseconds (default 20)
  --gap-ms MS         trickle: gap before each byte in milliseconds (default 500)
  --faulty N          only the first N requests get the fault, later ones a good
                      report (default: every request)
  --help              show this text

Example:
  vx414-reader-emulator --pending P0300 --stored C1234 U0100
)";
}

ParsedArguments parseArguments(std::span<const std::string_view> arguments) {
    ParsedArguments result;
    Options options;
    std::vector<CodeBlockContent> blocks;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--help" || argument == "-h") {
            result.help = true;
            return result;
        }
        if (argument == "--pending" || argument == "--stored") {
            if (blocks.size() == 2) return fail("a report has two blocks at most");
            blocks.push_back(CodeBlockContent{argument == "--pending", {}});
        } else if (argument == "--fault") {
            if (!hasValue) return fail("--fault needs a mode");
            const std::string_view name = arguments[++i];
            bool known = false;
            for (const FaultEntry& entry : Faults) {
                if (entry.name == name) {
                    options.fault = entry.fault;
                    known = true;
                }
            }
            if (!known) return fail("unknown fault mode: " + std::string(name));
        } else if (argument == "--noise") {
            if (!hasValue || !parseNumber<std::size_t>(arguments[++i], options.noise, 0, 100'000'000)) {
                return fail("--noise needs a number of bytes");
            }
        } else if (argument == "--burst") {
            if (!hasValue || !parseNumber<std::size_t>(arguments[++i], options.burst, 1, 4096)) {
                return fail("--burst needs a number from 1 to 4096");
            }
        } else if (argument == "--pause-ms") {
            if (!hasValue || !parseNumber<int>(arguments[++i], options.pauseMilliseconds, 0, 10'000)) {
                return fail("--pause-ms needs a number from 0 to 10000");
            }
        } else if (argument == "--gap-ms") {
            if (!hasValue || !parseNumber<int>(arguments[++i], options.gapMilliseconds, 0, 10'000)) {
                return fail("--gap-ms needs a number from 0 to 10000");
            }
        } else if (argument == "--faulty") {
            std::size_t count = 0;
            if (!hasValue || !parseNumber<std::size_t>(arguments[++i], count, 0, 1'000'000)) {
                return fail("--faulty needs a number of requests");
            }
            options.faultyRequests = count;
        } else if (argument.starts_with("-")) {
            return fail("unknown option: " + std::string(argument));
        } else {
            const auto bytes = encodeTroubleCode(argument);
            if (!bytes) return fail("not a trouble code: " + std::string(argument));
            if (blocks.empty()) blocks.push_back(CodeBlockContent{true, {}});
            blocks.back().codes.push_back(*bytes);
        }
    }
    if (blocks.size() >= 1) options.content.first = blocks[0];
    if (blocks.size() == 2) {
        options.content.second = blocks[1];
    } else {
        options.content.second = CodeBlockContent{!options.content.first.pending, {}};
    }
    result.options = std::move(options);
    return result;
}

std::vector<std::uint8_t> babbleBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; bytes.size() < count; ++i) {
        const auto byte = static_cast<std::uint8_t>(i * 37U + 1U);
        if (byte != StartMarker && byte != ValueMarker) bytes.push_back(byte);
    }
    return bytes;
}

std::vector<std::uint8_t> replyBytes(const Options& options) {
    ReportContent content = options.content;
    std::vector<std::uint8_t> report;
    switch (options.fault) {
    case Fault::Silent:
        return {};
    case Fault::BadChecksum: {
        std::vector<std::uint8_t> first = blockValues(content.first);
        ++first.back();
        report.push_back(StartMarker);
        appendValues(report, first);
        report.push_back(ValueMarker);
        report.push_back(StartMarker);
        appendValues(report, blockValues(content.second));
        report.push_back(ValueMarker);
        break;
    }
    case Fault::BadSeparator:
        report.push_back(StartMarker);
        appendValues(report, blockValues(content.first));
        report.insert(report.end(), {ValueMarker, 0x00, StartMarker});
        appendValues(report, blockValues(content.second));
        report.push_back(ValueMarker);
        break;
    case Fault::ValueBB:
    {
        std::vector<CodeBytes> codes{CodeBytes{ValueMarker, 0x00}};
        codes.insert(codes.end(), content.first.codes.begin(), content.first.codes.end());
        content.first.codes = std::move(codes);
        report = encodeReport(content);
    }
        break;
    case Fault::CutOff:
        report = encodeReport(content);
        report.resize(report.size() / 2);
        break;
    case Fault::Babble:
        report.push_back(StartMarker);
        appendValues(report, std::vector<std::uint8_t>{blockValues(content.first).front()});
        break;
    case Fault::TooMany:
        for (std::size_t i = 0; content.first.codes.size() + content.second.codes.size() < TooManyCodes; ++i) {
            content.first.codes.push_back(CodeBytes{static_cast<std::uint8_t>(i & 0x3FU), 0x01});
        }
        report = encodeReport(content);
        break;
    case Fault::None:
    case Fault::Slow:
    case Fault::Trickle:
        report = encodeReport(content);
        break;
    }
    return concat(noiseBytes(options.noise), report);
}

Fault faultFor(const Options& options, std::size_t request) {
    if (options.faultyRequests && request > *options.faultyRequests) return Fault::None;
    return options.fault;
}

ReaderEmulator::ReaderEmulator(Options options) : options_(std::move(options)) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = "cannot create a pipe";
        return;
    }
    const tools::PseudoTerminal terminal = tools::openRawPseudoTerminal(EmulatorKind::Reader);
    master_ = terminal.master;
    slave_ = terminal.slave;
    slavePath_ = terminal.path;
    error_ = terminal.error;
}

ReaderEmulator::~ReaderEmulator() {
    for (const int fd : {master_, slave_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) ::close(fd);
    }
}

void ReaderEmulator::stop() const {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
}

void ReaderEmulator::run(const std::function<void(std::uint8_t)>& onReceived) {
    using Clock = std::chrono::steady_clock;
    if (slavePath_.empty()) return;
    std::vector<std::uint8_t> out;
    std::size_t sent = 0;
    bool babbling = false;
    Clock::time_point nextBurst = Clock::now();
    // The pacing of the reply being sent: slow and trickle send bursts with pauses.
    bool slow = false;
    std::size_t burst = options_.burst;
    auto pause = std::chrono::milliseconds(options_.pauseMilliseconds);
    std::size_t requests = 0;

    for (;;) {
        if (babbling && sent == out.size()) {
            out = babbleBytes(4096);
            sent = 0;
        }
        const bool haveOutput = sent < out.size();
        // At most a second per wait, so the loop never sleeps for good on a missed wake-up.
        int timeout = 1000;
        bool burstDue = true;
        if (haveOutput && slow) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextBurst - Clock::now()).count();
            if (wait > 0) {
                burstDue = false;
                timeout = static_cast<int>(wait);
            }
        }
        std::array<pollfd, 2> fds{{{stopPipe_[0], POLLIN, 0},
                                   {master_, static_cast<short>(POLLIN | (haveOutput && burstDue ? POLLOUT : 0)), 0}}};
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
        if ((fds[0].revents & POLLIN) != 0) return;

        if ((fds[1].revents & POLLIN) != 0) {
            std::array<std::uint8_t, 256> buffer{};
            const ssize_t got = ::read(master_, buffer.data(), buffer.size());
            for (ssize_t i = 0; i < got; ++i) {
                const std::uint8_t byte = buffer[static_cast<std::size_t>(i)];
                if (onReceived) onReceived(byte);
                if (byte == RequestByte) {
                    Options reply = options_;
                    reply.fault = faultFor(options_, ++requests);
                    out = replyBytes(reply);
                    sent = 0;
                    babbling = reply.fault == Fault::Babble;
                    slow = reply.fault == Fault::Slow || reply.fault == Fault::Trickle;
                    burst = reply.fault == Fault::Trickle ? 1 : options_.burst;
                    pause = std::chrono::milliseconds(reply.fault == Fault::Trickle ? options_.gapMilliseconds
                                                                                    : options_.pauseMilliseconds);
                    nextBurst = Clock::now();
                } else if (byte == EndByte) {
                    // The exchange is over: whatever is still unsent is dropped.
                    out.clear();
                    sent = 0;
                    babbling = false;
                }
            }
        }
        if ((fds[1].revents & POLLOUT) != 0 && sent < out.size()) {
            std::size_t length = out.size() - sent;
            if (slow && length > burst) length = burst;
            const ssize_t put = ::write(master_, out.data() + sent, length);
            if (put > 0) sent += static_cast<std::size_t>(put);
            if (slow) nextBurst = Clock::now() + pause;
        }
    }
}

}  // namespace vx414::emulator
