// One ELM327 adapter's conversation: setting it up and asking the car for its codes, over
// any Transport. Runs on a worker thread of the device library; bounded by a deadline and
// stoppable at any wait.
#pragma once

#include <optional>
#include <stop_token>
#include <vector>

#include "reader/elm327/elm327_adapter_timing.h"
#include "reader/elm327/elm327_answer.h"
#include "reader/elm327/elm327_pid_request.h"
#include "reader/live_watcher.h"
#include "reader/elm327/elm327_transport.h"
#include "reader/link_status.h"
#include "reader/trouble_code.h"
#include "reader/vehicle_info.h"

namespace vx414::elm327 {

// The least time the services after the codes are given, as on an adapter at the usual
// pace: the chip's waits on the older buses (17 requests) fit well within it.
inline constexpr std::chrono::seconds VehicleFloor{8};

struct SessionResult {
    // Ok, possibly with a note as its reason ("protocol number unknown"); else why the read
    // failed, and then no codes.
    LinkStatus status;
    std::vector<TroubleCode> pending;  // service 07, each code once
    std::vector<TroubleCode> stored;   // service 03, each code once
    VehicleInfo vehicle;               // units: each unit's codes
};

// What the session knows of its adapter between reads.
struct AdapterState {
    int protocol = 0;         // as ATDPN shows it (1 to 12), 0 while unknown
    bool setUp = false;       // set up by us, and the last read went well
    bool emulator = false;    // its reset's banner named it the project's emulator
    bool promptSeen = false;  // it has ended an answer with '>' at least once
    // Whether it ends its answers from the car with '>' (some clones do not); unknown
    // before its first.
    std::optional<bool> carPrompt;
    bool probe = true;        // the next set-up may find it set up already (first read)
    bool retryKnown = false;  // a read failed after the protocol was found: try it first
    // A command was cut short (a stop, its deadline) before its answer ended: the adapter
    // may still be sending the rest, and the next command waits for it to end first.
    bool answerOwed = false;
    AdapterTiming timing;  // how fast it answers, from its answers so far
    // Requests of the services after the codes the car has answered in full, and the units
    // that answered the codes when they were learnt (another set of units: another car).
    AnswerProofs proofs;
    CombinedForms forms;  // and which units take several PIDs a request
    std::vector<std::string> proofUnits;
};

// The engine's speed as a session reads it (01 0C). `status` is the link's or the
// adapter's failure when that is why it was not read, after which the adapter is set up
// from the start at the next exchange; Ok whenever the car answered, whatever it said.
struct EngineSpeedRead {
    EngineSpeed speed;
    LinkStatus status;
};

class Session {
public:
    // One exchange over an open transport: sets the adapter up (a probe and, when that does
    // not show it set up, a warm start the first time; a full set-up after a failure; only
    // ATDPN on later reads), then asks for pending codes (07) and stored codes (03). Ends by
    // `deadline`, or soon after `stop` is requested.
    // `deadline` is the upper bound; an adapter that answers at the usual pace is given
    // 10 s from the call (AdapterTiming::codesTime).
    SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop = {});

    // Service 04 after the same set-up: Ok when at least one unit confirmed (44); which
    // confirmed and which refused.
    ClearResult clearCodes(Transport& link, Deadline deadline, std::stop_token stop = {});

    // The engine's speed (01 0C) after the same set-up, asked before a clear: the highest
    // any unit gave (an engine unit and a hybrid or transmission unit may both answer); not
    // read, with the reason in words, when no unit gave it.
    EngineSpeedRead engineSpeed(Transport& link, Deadline deadline, std::stop_token stop = {});

    // Whether an ELM327 answers on this open transport (used to find the adapter among the
    // serial ports and its speed). Nothing at all within `silence` is a no; an adapter still
    // finishing an answer an earlier read cut short (STOPPED, hex lines, a prompt) is heard
    // out and asked again at the same speed, within `deadline`.
    static bool answersAsElm327(Transport& link, Deadline deadline,
                                Clock::duration silence = std::chrono::milliseconds(500));

    // Live data over the adapter, set up as for a read: which values the car supports, then
    // rounds of requests for what `watcher` chooses, until `stop` or until the adapter or
    // the car is lost. Ok when stopped; the failure otherwise (the next read then sets the
    // adapter up from the start). Each request is bounded by the adapter's measured pace.
    LinkStatus pollLive(Transport& link, std::stop_token stop, LiveWatcher& watcher);

    // The adapter's measured pace (tests, benchmarks).
    const AdapterTiming& timing() const { return state_.timing; }
    // Requests sent to the car by the last vehicle read (benchmarks, figures).
    std::size_t vehicleRequests() const { return vehicleRequests_; }

    // The protocol number the adapter found (1 to 12), 0 while unknown.
    int protocol() const { return state_.protocol; }
    // Whether the adapter's banner, at its last set-up from the start, said it is the
    // project's emulator (see reader/emulator_announcement.h).
    bool announcedEmulator() const { return state_.emulator; }

    // Forgets the adapter: the next exchange starts as the first one did.
    void forget() { state_ = {}; }

    // Whether readCodes asks, after the codes, for readiness, freeze frame 0, permanent codes
    // and the VIN (the default); off, a read is the codes alone, as the benchmarks of the
    // codes' own exchange measure it, or as the device library asks for them so that the
    // codes are handed over before the rest is read (readVehicleInfo).
    void readVehicle(bool on) { readVehicle_ = on; }

    // The services readCodes asks after the codes when vehicle reading is on, as a call of
    // their own right after a successful readCodes with it off: the same requests, in the
    // same order, over the adapter as that read left it. `codes` is that read's result; the
    // vehicle returned holds its codes unit by unit, whatever the services answer, and says
    // which items were not read and why. The time it takes is sized by how fast the adapter
    // answered the codes (at least VehicleFloor), never past `deadline`; it ends soon after
    // `stop`.
    VehicleInfo readVehicleInfo(Transport& link, Deadline deadline, std::stop_token stop, const SessionResult& codes);

private:
    AdapterState state_;
    bool readVehicle_ = true;
    std::size_t vehicleRequests_ = 0;
};

}  // namespace vx414::elm327
