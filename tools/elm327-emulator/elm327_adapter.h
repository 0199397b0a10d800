// The adapter side of the ELM327 emulator: the AT command interpreter and the way the chip
// shows what the car answered (echo, line feeds, spaces, headers, CAN formatting), plus the
// quirks of cheap clones. A pure state machine fed one received byte at a time; timing is
// expressed as delays between the pieces of a reply and left to the transport.
#pragma once

#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/emulator_announcement.h"
#include "tools/elm327-emulator/elm327_car.h"
#include "tools/elm327-emulator/elm327_display.h"
#include "tools/elm327-emulator/elm327_transient.h"

namespace vx414::elmemu {

enum class Quirk {
    Echo,        // echo stays on whatever ATE0 says
    LowerCase,   // hex digits in lower case
    OkNoise,     // a stray "OK" line before every answer to an OBD request
    NoPrompt,    // no '>' after answers to OBD requests
    Reset,       // the first answer to 03 or 07 breaks off with the power-up banner
    Garbage,     // the first answer to 03 or 07 holds an unparseable line
    CanError,    // every answer to 03 or 07 is "CAN ERROR"
    BufferFull,  // every answer to 03 or 07 is "BUFFER FULL"
    NoWarmStart,     // ATWS answered "?" (an old clone)
    NoProtocolNumber,  // ATDPN answered "?"
    NoAutoRetry,     // ATSP A<n> answered "?"
    LateUnit,        // the second unit answers 350 ms after the first
    ResponsePending, // the first unit answers 03, 07 and 04 with 7F xx 78, the answer a second later
    RefusingUnit,    // the second unit refuses every service but 01 (7F xx 11)
    MultiPidRefused, // a request for several PIDs is refused (7F 01 12 / 7F 02 12) by every unit
    MultiPidShort,   // a request for several PIDs is answered for its first PID alone
    MultiPidNoData,  // a request for several PIDs is answered "NO DATA"
    MultiPidEngineSilent,  // the first unit does not answer a request for several PIDs
    HeadersStuckOff,       // ATH1 answered "OK", headers stay off
    TransmissionFirst,     // the second unit's frames come before the first unit's
    CountIgnored,          // the answer count after a request is not heeded: always the wait
    PaddedVin,       // the VIN padded with three 00 bytes; the second unit gives it too, first
    FrameLister,     // the second unit lists frame 0's PIDs, holds no frame, answers zeros, first
    TransientError,  // the N-th request starting so answered "CAN ERROR" (AdapterSetup::transientAnswers)
    TransientNoData, // the same, answered "NO DATA"
};

struct QuirkEntry {
    Quirk quirk;
    std::string_view name;
    std::string_view summary;
    std::string_view value = {};  // the form of the value after "NAME=", for those that take one
};
std::span<const QuirkEntry> quirkEntries();
std::optional<Quirk> quirkByName(std::string_view name);
// As the command line shows it: "echo", "transient-error=HEX[@N]".
std::string quirkForm(const QuirkEntry& entry);

// The chip's name and version, and then what a pseudo-terminal's window size says elsewhere:
// that this is the emulator, which a TCP or Bluetooth LE link has no other way to tell.
inline constexpr std::string_view Banner = "ELM327 v1.5 (vx414 emulator)";
static_assert(Banner.ends_with(Elm327EmulatorMark));

struct AdapterSetup {
    CarSetup car;
    std::vector<Quirk> quirks;
    int delayMilliseconds = 0;    // before every answer
    int searchMilliseconds = -1;  // the protocol search or bus initialisation; -1 the car's own
    int resetMilliseconds = 150;  // ATZ
    int warmStartMilliseconds = -1;  // ATWS; -1 a third of ATZ's
    // The adapter's wait for further units after the last answer to an OBD request (and for
    // any answer before "NO DATA"), as ATST sets it; 0 none.
    int answerTimeoutMilliseconds = 0;
    // The bytes sent are paced as on a serial line at this speed (ten bits a byte); 0 unpaced.
    int baud = 0;
    // Every line of every reply (the echo too) comes this long late, drawn afresh for each
    // line from the range, as through a Bluetooth adapter's radio link; 0 and 0 not late.
    int lineDelayMinMilliseconds = 0;
    int lineDelayMaxMilliseconds = 0;
    // Requests answered once with an error instead (the quirks transient-error and
    // transient-nodata).
    std::vector<TransientAnswer> transientAnswers;
};

// Adds the quirk "NAME" or "NAME=VALUE" to the setup; false when no quirk has that name, or
// its value is missing, not expected or bad.
bool addQuirk(AdapterSetup& setup, std::string_view text);

// A Bluetooth adapter as users' logs show the slow ones: each line 0.3 to 1.0 s late.
inline constexpr int SlowLineMinMilliseconds = 300;
inline constexpr int SlowLineMaxMilliseconds = 1000;

// The adapter's own waits as a real chip imposes them, for benchmarks: ATZ 800 ms, ATWS
// 100 ms, 200 ms for units that do not answer, 38,400 baud.
void useRealTiming(AdapterSetup& setup);

// One piece of a reply, sent `delayMilliseconds` after the previous one.
struct Step {
    int delayMilliseconds = 0;
    std::string text;
};

struct Reply {
    std::vector<Step> steps;
    // A real chip stops a search or a slow answer to a request when a character arrives
    // ("STOPPED"); during a reset it hears nothing.
    bool interruptible = true;
};

class Adapter {
public:
    explicit Adapter(const AdapterSetup& setup);

    // One byte from the client; a reply when it ended a command (CR).
    std::optional<Reply> receive(char byte);
    // A character interrupted the reply under way: a search or bus initialisation it held
    // is undone. Returns what the chip sends then ("STOPPED").
    std::string stop();
    // The client went away: a half-typed command is forgotten, the settings are kept.
    void hangUp() { line_.clear(); }

private:
    struct ProtocolSetting {
        int number = AutoProtocol;
        bool automatic = true;
    };

    Reply command(const std::string& raw);
    Reply atCommand(std::string_view command, Reply reply);
    Reply obdRequest(std::span<const std::uint8_t> request, Reply reply);
    DisplaySettings displaySettings() const;
    std::string lineEnd() const { return linefeeds_ ? "\r\n" : "\r"; }
    std::string closing(bool prompt = true) const;
    std::string describeProtocol(bool numeric) const;
    void restoreDefaults();
    void reset();
    bool has(Quirk quirk) const;
    // Spreads a reply's lines out in time, each by a draw from the line delay range.
    void delayLines(Reply& reply);
    std::vector<EcuMessage> carAnswer(std::span<const std::uint8_t> request);
    // Whether the second unit's frames come before the first unit's in the answer to `request`.
    bool secondUnitFirst(std::span<const std::uint8_t> request) const;

    Car car_;
    std::vector<Quirk> quirks_;
    int delay_;
    int search_;
    int resetTime_;
    int warmTime_;
    int answerTimeout_;
    int lineDelayMin_;
    int lineDelayMax_;
    std::minstd_rand lineDelays_{414};  // the same run of delays every time, for comparable figures
    int expectedAnswers_ = 0;  // the request's number of answers to wait for; 0 when not given
    TransientAnswers transients_;
    std::optional<TransientAnswer::Kind> transient_;  // the error the request is answered with instead

    std::string line_;
    bool lineTooLong_ = false;
    std::string lastCommand_;
    bool echo_ = true;
    bool linefeeds_ = false;
    bool spaces_ = true;
    bool headers_ = false;
    bool canFormatting_ = true;
    ProtocolSetting saved_;    // ATSP; kept over a reset
    ProtocolSetting current_;  // ATSP or ATTP
    int found_ = AutoProtocol;  // the protocol talking to the car, 0 while none
    bool busOpen_ = false;      // K-line: initialised
    int foundBefore_ = AutoProtocol;  // as they were before the last command, for stop()
    bool busOpenBefore_ = false;
    bool resetFired_ = false;
    bool garbageFired_ = false;
};

}  // namespace vx414::elmemu
