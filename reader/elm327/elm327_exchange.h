// One command to an ELM327 and its answer, read to its end: the prompt, a quiet gap on a
// clone without one, "response pending" waited out, an answer cut short before it waited
// out, an adapter still busy with an earlier answer (STOPPED) asked again. The session's
// own wire; no knowledge of what the commands mean beyond what ends their answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_transport.h"
#include "reader/link_status.h"

namespace vx414::elm327::wire {

using namespace std::chrono_literals;

// ATZ and ATWS restart the chip: real ones answer within about a second; every other AT
// command is answered at once. How long each is waited for follows the adapter's measured
// pace (AdapterTiming); a silent adapter fails within the three seconds a user waits.
// Writing a command never takes longer than this.
inline constexpr auto CommandWait = 1000ms;
// Each read waits at most this long, so that a stop is seen soon.
inline constexpr auto ReadSlice = 50ms;
// A clone that sends no prompt: an answer that looks complete ends after this much quiet.
inline constexpr auto QuietGap = 300ms;
// The largest answer one unit can give is 4095 bytes, about 12 KiB of formatted lines;
// several units and their noise fit well within this.
inline constexpr std::size_t MaxAnswer = 64 * 1024;
// No line of an answer or a banner comes near this.
inline constexpr std::size_t MaxLine = 256;

inline LinkStatus failure(const char* reason) { return {LinkCode::Protocol, reason}; }

enum class Expect : std::uint8_t {
    Banner,    // ATZ, ATI: any text
    Ok,        // set-up commands: OK
    Protocol,  // ATDPN: a protocol number
    Car,       // an OBD request: the car's answer, after a search if need be
};

// The line without blanks, in upper case.
std::string compact(std::string_view line);

// Lines that say nothing about the answer: blanks, the echo a clone sends in spite of
// ATE0, an "OK" a clone adds, the adapter's progress while it searches for the car.
bool isNoise(std::string_view line, std::string_view command, Expect expect);

// Whether the answer mentions `word` (compared as compact() gives both).
bool mentions(std::string_view text, std::string_view word);

// The answer without the lines that repeat the request (a clone's echo in spite of ATE0).
std::string withoutEcho(std::string_view text, std::string_view request);

struct Reply {
    LinkStatus status;
    std::string text;  // everything before the prompt
};

// What an exchange must know to tell when an answer has ended.
struct Listening {
    AdapterState& adapter;      // what is known of its prompts (learnt here)
    std::uint8_t service = 0;   // of a request to the car, for "response pending"
    int protocol = 0;
    Deadline limit = Deadline::max();  // the conversation's: no wait goes past it
};

// Sends one command and reads its answer (exchangeOnce). An AT command's answer that shows
// the adapter was still busy with an earlier answer (STOPPED: the set-up of a read after
// one cut short) is followed by the chip's "?" for what was left of the command; that is
// waited for, and the command sent again, twice at most, each try with its own wait: the
// adapter is finishing, not failing. The first command of a read is always an AT command;
// a request to the car is never sent into an answer, so its STOPPED fails the read.
Reply exchange(Transport& link, std::string_view command, Expect expect, Deadline answerBy,
               const std::stop_token& stop, const Listening& listening);

// Reads and drops what an adapter sends until it has been quiet for `quiet` (or for
// FirstListen when it said nothing at all), within `bound`. Whether it said anything.
bool hearOut(Transport& link, Deadline bound, Clock::duration quiet, const std::stop_token& stop);

}  // namespace vx414::elm327::wire
