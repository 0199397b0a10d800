#include "reader/elm327/elm327_session.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "reader/elm327/elm327_answer.h"
#include "reader/elm327/elm327_live_poll.h"
#include "reader/elm327/elm327_pid_request.h"
#include "reader/elm327/elm327_exchange.h"
#include "reader/elm327/elm327_service_answer.h"
#include "reader/elm327/elm327_vehicle_read.h"
#include "reader/obd/vehicle_assembly.h"
#include "reader/obd/wmi_table.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;
using wire::CommandWait;
using wire::compact;
using wire::exchange;
using wire::Expect;
using wire::failure;
using wire::hearOut;
using wire::isNoise;
using wire::Listening;
using wire::MaxAnswer;
using wire::MaxLine;
using wire::mentions;
using wire::QuietGap;
using wire::ReadSlice;
using wire::Reply;
using wire::withoutEcho;

// Hearing out an adapter found still sending: until it has been quiet this long (a slow
// adapter's lines come up to a second apart), within the bound after.
constexpr auto FirstQuiet = 1200ms;
constexpr auto FirstHearing = 5000ms;
// The services after the codes end this long before the exchange's deadline, so that
// however slow they are the codes are handed over in time.
constexpr auto VehicleMargin = 1000ms;

// "A6" (found by the search, or the automatic setting's first try) or "6": 1 to 9, A to C;
// 0 for anything else ("?", "0", "A0": no protocol yet).
int protocolNumber(std::string_view answer, std::string_view command) {
    int found = 0;
    std::size_t start = 0;
    while (start <= answer.size()) {
        std::size_t end = answer.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = answer.size();
        std::string text = compact(answer.substr(start, end - start));
        start = end + 1;
        if (isNoise(text, command, Expect::Protocol)) continue;
        if (found != 0) return 0;
        if (text.size() == 2 && text[0] == 'A') text.erase(0, 1);
        if (text.size() != 1) return 0;
        const char c = text[0];
        if (c >= '1' && c <= '9') found = c - '0';
        else if (c >= 'A' && c <= 'C') found = c - 'A' + 10;
        else return 0;
    }
    return found;
}

char protocolDigit(int protocol) {
    return protocol < 10 ? static_cast<char>('0' + protocol) : static_cast<char>('A' + protocol - 10);
}

std::uint8_t serviceOf(std::string_view request) {
    if (request.size() < 2) return 0;
    const auto digit = [](char c) {
        return static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10) & 0x0FU;
    };
    return static_cast<std::uint8_t>((digit(request[0]) << 4U) | digit(request[1]));
}

bool sameReason(const LinkStatus& status, std::string_view reason) { return status.reason() == reason; }

// The adapter's words for "no car": no vehicle rather than a protocol failure.
LinkStatus carStatus(LinkStatus status) {
    if (sameReason(status, "no car answered") || sameReason(status, "bus initialisation failed")) {
        return {LinkCode::NoVehicle, status.reason()};
    }
    return status;
}

constexpr const char* RefusedReason = "adapter refused a command";
constexpr const char* ResetReason = "adapter reset";

// One exchange's commands, all bounded by its deadline and its stop token.
class Conversation {
public:
    Conversation(Transport& link, Deadline deadline, std::stop_token stop, AdapterState& state)
        : link_(link), hard_(deadline), started_(Clock::now()), stop_(std::move(stop)), state_(state) {}

    // Opens the pipe if need be and sets the adapter up as far as this read needs.
    LinkStatus start() {
        if (!link_.isOpen()) {
            if (const LinkStatus status = link_.open(deadline()); !status.isOk()) return status;
        }
        // The first read of a run, or one after a failure: an adapter still sending an
        // answer an earlier program (or read) cut short is heard out before the first
        // command, so that neither takes the other's lines.
        if (state_.probe || !state_.setUp) {
            hearOut(link_, std::min(deadline(), Clock::now() + FirstHearing), FirstQuiet, stop_);
        }
        if (state_.setUp) {
            // Later reads: an adapter still set up and connected answers ATDPN with the
            // protocol found before. One that answers with another was reset or lost the
            // car, and gets the full set-up; one that does not answer fails the read.
            int now = 0;
            const LinkStatus status = readProtocol(now);
            if (status.isOk() && (now == state_.protocol || state_.protocol == 0)) {
                unverified_ = state_.protocol == 0;
                state_.protocol = now;
                return status;
            }
            if (!status.isOk() && status.code() != LinkCode::Protocol) return status;
        } else if (state_.probe) {
            state_.probe = false;
            bool ready = false;
            if (const LinkStatus status = probe(ready); !status.isOk() || ready) return status;
        }
        return fullSetUp();
    }

    // A request to the car ("07", "0902"): its answer as text, echo removed. The first
    // request after a probe that found the adapter set up checks it: a search, a bus
    // initialisation or a banner in its answer means it was not, and the full set-up
    // follows and the request is sent again.
    Reply askCar(std::string_view request) {
        Reply reply = ask(request, Expect::Car);
        if (unverified_) {
            unverified_ = false;
            const bool searched = reply.status.isOk() && (mentions(reply.text, "SEARCHING") || mentions(reply.text, "BUSINIT"));
            if (searched || sameReason(reply.status, ResetReason)) {
                if (const LinkStatus status = fullSetUp(); !status.isOk()) return {status, {}};
                reply = ask(request, Expect::Car);
            }
        }
        if (reply.status.isOk()) reply.text = withoutEcho(reply.text, request);
        return reply;
    }

    int protocol() const { return state_.protocol; }
    bool stopped() const { return stop_.stop_requested(); }

    // Requests to the car from here on end by `deadline` at the latest (and never past the
    // conversation's upper bound).
    void narrowDeadline(Deadline deadline) { narrowed_ = deadline; }

    // When requests to the car must have ended: the set bound, else as long as the codes'
    // read may take on an adapter of the pace measured.
    Deadline deadline() const {
        return std::min(hard_, narrowed_ ? *narrowed_ : started_ + state_.timing.codesTime());
    }
    const AdapterTiming& timing() const { return state_.timing; }

    // A request to the car and its answer unit by unit, for the services beyond the codes.
    ServiceAnswer askService(std::string_view request) {
        const Reply reply = askCar(request);
        if (!reply.status.isOk()) return {reply.status, false, {}};
        ServiceAnswer answer = parseServiceAnswer(reply.text, serviceOf(request), state_.protocol);
        answer.status = carStatus(answer.status);
        return answer;
    }

private:
    Reply ask(std::string_view command, Expect expect) {
        const bool restart = command == "ATZ" || command == "ATWS";
        const bool identity = command == "ATI";  // answered with the banner, no reset
        const auto wait = restart ? state_.timing.resetWait() : state_.timing.commandWait();
        const Deadline answerBy = expect == Expect::Car ? deadline() : std::min(deadline(), Clock::now() + wait);
        const Listening listening{state_, expect == Expect::Car ? serviceOf(command) : std::uint8_t{0},
                                  state_.protocol, deadline()};
        Reply reply = exchange(link_, command, expect, answerBy, stop_, listening);
        if (!reply.status.isOk()) return reply;
        // A banner inside any other answer: the adapter restarted and lost its set-up.
        if (!restart && !identity && (mentions(reply.text, "ELM327") || mentions(reply.text, "LVRESET"))) {
            return {failure(ResetReason), {}};
        }
        if (expect == Expect::Ok && !mentions(reply.text, "OK")) return {failure(RefusedReason), {}};
        return reply;
    }

    // ATE0 and ATH1, which every read needs anyway, then ATDPN: an adapter that names a
    // protocol has found the car before (an earlier run set it up) and needs no reset and
    // no search. An adapter that does not answer fails the read here.
    LinkStatus probe(bool& ready) {
        for (const char* command : {"ATE0", "ATH1"}) {
            const Reply r = ask(command, Expect::Ok);
            if (r.status.code() == LinkCode::Timeout || r.status.code() == LinkCode::Io) return r.status;
            if (!r.status.isOk()) return LinkStatus::ok();
        }
        int protocol = 0;
        const LinkStatus status = readProtocol(protocol);
        if (status.code() == LinkCode::Timeout || status.code() == LinkCode::Io) return status;
        if (!status.isOk() || protocol == 0) return LinkStatus::ok();
        state_.protocol = protocol;
        state_.setUp = true;
        unverified_ = true;
        ready = true;
        // Set up already, so no reset's banner says what the adapter is: its identity does.
        const Reply identity = ask("ATI", Expect::Banner);
        if (identity.status.code() == LinkCode::Timeout || identity.status.code() == LinkCode::Io) return identity.status;
        state_.emulator = identity.status.isOk() && mentions(identity.text, compact(Elm327EmulatorMark));
        return LinkStatus::ok();
    }

    // A warm start (ATZ on an adapter that does not know ATWS), the settings, the protocol
    // selection only where it is needed, then a first request, which makes the adapter
    // search for the car, and the protocol it found.
    LinkStatus fullSetUp() {
        state_.setUp = false;
        Reply warm = ask("ATWS", Expect::Banner);
        if (warm.status.isOk() && mentions(warm.text, "?")) warm = ask("ATZ", Expect::Banner);
        if (!warm.status.isOk()) return warm.status;
        state_.emulator = mentions(warm.text, compact(Elm327EmulatorMark));
        // Linefeeds, spaces and adaptive timing as a reset leaves them do not matter to the
        // parser; spaces off only shortens every answer.
        for (const char* command : {"ATE0", "ATS0", "ATH1"}) {
            if (Reply r = ask(command, Expect::Ok); !r.status.isOk()) return r.status;
        }
        if (const LinkStatus status = selectProtocol(); !status.isOk()) return status;
        const Reply search = ask("0100", Expect::Car);
        if (!search.status.isOk()) return search.status;
        if (const LinkStatus status = searchResult(search.text); !status.isOk()) return status;
        int protocol = 0;
        if (const LinkStatus status = readProtocol(protocol); !status.isOk()) return status;
        state_.protocol = protocol;
        state_.setUp = true;
        state_.retryKnown = false;
        return LinkStatus::ok();
    }

    // After a failure the protocol found before is tried first (ATSPA<n>), or the automatic
    // search when the adapter does not know that form; otherwise ATSP0 only when the probe
    // did not show the setting automatic already, since ATSP restarts the bus.
    LinkStatus selectProtocol() {
        if (state_.retryKnown && state_.protocol != 0) {
            const Reply r = ask(std::string("ATSPA") + protocolDigit(state_.protocol), Expect::Ok);
            if (!sameReason(r.status, RefusedReason)) return r.status;
        } else if (automatic_) {
            return LinkStatus::ok();
        }
        return ask("ATSP0", Expect::Ok).status;
    }

    // A protocol number, or 0 when the adapter gives none ("?", "0", "A0"): the parser reads
    // every form without it, so the read goes on.
    LinkStatus readProtocol(int& protocol) {
        const Reply reply = ask("ATDPN", Expect::Protocol);
        if (!reply.status.isOk()) return reply.status;
        protocol = protocolNumber(reply.text, "ATDPN");
        const std::string shown = compact(withoutEcho(reply.text, "ATDPN"));
        automatic_ = shown.starts_with('A') || shown == "0";
        return LinkStatus::ok();
    }

    // The answer to 0100 only has to show that the car was found: 41 00 from some unit.
    static LinkStatus searchResult(std::string_view text) {
        if (const LinkStatus status = adapterFailure(text); !status.isOk()) return carStatus(status);
        return mentions(text, "4100") ? LinkStatus::ok() : LinkStatus{LinkCode::NoVehicle, "no car answered"};
    }

    Transport& link_;
    Deadline hard_;
    Clock::time_point started_;
    std::optional<Deadline> narrowed_;
    std::stop_token stop_;
    AdapterState& state_;
    bool automatic_ = false;   // the probe saw the protocol setting automatic
    bool unverified_ = false;  // set up by the probe's word alone
};

bool transientFault(const LinkStatus& status) {
    return sameReason(status, "adapter reported a bus error") || sameReason(status, "adapter buffer full") ||
           sameReason(status, "adapter stopped");
}

// The codes of 07 and 03, merged and unit by unit.
LinkStatus readTroubleCodes(Conversation& talk, SessionResult& result) {
    for (const Service service : {Service::PendingCodes, Service::StoredCodes}) {
        const bool pending = service == Service::PendingCodes;
        const char* request = pending ? "07" : "03";
        Reply reply = talk.askCar(request);
        CodesAnswer answer;
        if (reply.status.isOk()) answer = parseCodesAnswer(reply.text, service, talk.protocol());
        // One bus error, full buffer or STOPPED is the moment's, not the car's: asked once more.
        if (reply.status.isOk() && transientFault(answer.status)) {
            reply = talk.askCar(request);
            if (reply.status.isOk()) answer = parseCodesAnswer(reply.text, service, talk.protocol());
        }
        if (!reply.status.isOk()) return reply.status;
        if (!answer.status.isOk()) return carStatus(answer.status);
        (pending ? result.pending : result.stored) = mergeCodes(answer.ecus);
        for (const EcuCodes& ecu : answer.ecus) {
            auto unit = std::find_if(result.vehicle.units.begin(), result.vehicle.units.end(),
                                     [&](const UnitCodes& u) { return u.address == ecu.sender; });
            if (unit == result.vehicle.units.end()) {
                result.vehicle.units.push_back({});
                unit = result.vehicle.units.end() - 1;
                unit->address = ecu.sender;
            }
            (pending ? unit->pending : unit->stored) = ecu.codes;
        }
    }
    return LinkStatus::ok();
}

// After a failure the next read sets the adapter up from the start, trying the protocol
// found before first.
void failed(AdapterState& state) {
    state.setUp = false;
    state.retryKnown = state.protocol != 0;
    state.proofs = {};
    state.forms = {};
}

int currentYear() {
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    return static_cast<int>(std::chrono::year_month_day(today).year());
}

// The requests the services after the codes make on a car of two units whose frame holds
// ten values, for sizing their time: on CAN 02 goes two values to a request where they fit.
std::size_t plannedRequests(int protocol) { return protocol >= 6 ? 13 : 18; }

// Every item of the vehicle part, not read for `reason`.
std::vector<ItemNotRead> noneRead(const std::string& reason) {
    std::vector<ItemNotRead> items;
    for (const VehicleItem item : {VehicleItem::Readiness, VehicleItem::FreezeFrame, VehicleItem::Permanent, VehicleItem::Vin}) {
        items.push_back({item, reason});
    }
    return items;
}

// Readiness, freeze frame, permanent codes and the VIN, after the codes, ending by
// `deadline`: nothing they answer fails the read or touches a code. An adapter lost on the
// way gets the full set-up at the next read.
std::size_t readVehicleServices(Conversation& talk, SessionResult& result, AdapterState& state, Deadline deadline) {
    std::vector<obd::UnitCodeLists> codes;
    std::vector<std::string> senders;
    for (const UnitCodes& unit : result.vehicle.units) {
        codes.push_back({unit.address, unit.pending, unit.stored});
        senders.push_back(unit.address);
    }
    if (senders != state.proofUnits) {
        state.proofs = {};
        state.forms = {};
        state.proofUnits = senders;
    }
    VehicleRead read;
    if (Clock::now() < deadline) {
        talk.narrowDeadline(deadline);
        read = readVehicleAnswers([&talk](std::string_view request, std::size_t) { return talk.askService(request); },
                                  senders, talk.protocol(), &state.proofs, &state.forms);
    } else {
        // With no time left for them the services are not asked at all.
        read.answers.notRead = noneRead(notReadReason({LinkCode::Timeout, "no time left"}));
    }
    read.answers.codes = std::move(codes);
    result.vehicle = obd::assembleVehicleInfo(read.answers, obd::builtInWmiTable(), currentYear());
    // A stop (a new read, the program's end) loses nothing: the answer it cut short is
    // waited out before the next command, and the adapter stays set up.
    if (read.adapterLost && !talk.stopped()) failed(state);
    return read.requests;
}

}  // namespace

SessionResult Session::readCodes(Transport& link, Deadline deadline, std::stop_token stop) {
    SessionResult result;
    Conversation talk(link, deadline, std::move(stop), state_);
    result.status = talk.start();
    if (result.status.isOk()) result.status = readTroubleCodes(talk, result);
    if (result.status.isOk() && readVehicle_) {
        vehicleRequests_ = readVehicleServices(talk, result, state_, std::min(talk.deadline(), deadline) - VehicleMargin);
    }
    if (!result.status.isOk()) {
        failed(state_);
        result.pending.clear();
        result.stored.clear();
        result.vehicle = {};
    } else if (state_.protocol == 0) {
        // No log to tell: the note travels as the status's reason.
        result.status = {LinkCode::Ok, "protocol number unknown"};
    }
    return result;
}

VehicleInfo Session::readVehicleInfo(Transport& link, Deadline deadline, std::stop_token stop,
                                     const SessionResult& codes) {
    SessionResult result = codes;
    // An adapter the codes' read did not leave set up gets no request: its codes stand alone.
    if (!codes.status.isOk() || !state_.setUp) {
        result.vehicle.notRead = noneRead("the adapter was not ready");
        return std::move(result.vehicle);
    }
    Conversation talk(link, deadline, std::move(stop), state_);
    // As long as the requests take on this adapter, measured on the codes' own: a slow
    // Bluetooth adapter gets the time it needs, within `deadline`.
    const Deadline budget = Clock::now() + state_.timing.forRequests(plannedRequests(state_.protocol), VehicleFloor);
    vehicleRequests_ = readVehicleServices(talk, result, state_, std::min(deadline, budget));
    return std::move(result.vehicle);
}

LinkStatus Session::pollLive(Transport& link, std::stop_token stop, LiveWatcher& watcher) {
    // Polling has no end of its own (a week is its outer bound): the set-up keeps the
    // codes' bounds, and each request after it is given as long as the adapter's pace needs,
    // two seconds at least.
    static constexpr auto LiveBound = std::chrono::hours(24 * 7);
    static constexpr auto LiveRequestFloor = std::chrono::milliseconds(2000);
    Conversation talk(link, Clock::now() + LiveBound, stop, state_);
    LinkStatus status = talk.start();
    if (!status.isOk()) {
        if (stop.stop_requested()) return LinkStatus::ok();
        failed(state_);
        return status;
    }
    // A request's wait grows with the frames its answer takes: on a slow adapter each line
    // of it may come as late as its slowest AT answer did.
    CarRequests requests(
        [&talk, this](std::string_view request, std::size_t frames) {
            const Clock::duration lines = state_.timing.lineWait() * static_cast<long>(std::max<std::size_t>(frames, 1));
            talk.narrowDeadline(Clock::now() + state_.timing.forRequests(1, LiveRequestFloor) + lines);
            return talk.askService(request);
        },
        state_.protocol == 0 || state_.protocol >= 6);
    status = pollLiveRounds(requests, state_.protocol >= 6, stop, watcher);
    if (!status.isOk() && !stop.stop_requested()) failed(state_);
    return status;
}

ClearResult Session::clearCodes(Transport& link, Deadline deadline, std::stop_token stop) {
    ClearResult result;
    Conversation talk(link, deadline, std::move(stop), state_);
    result.status = talk.start();
    if (result.status.isOk()) {
        const Reply reply = talk.askCar("04");
        if (reply.status.isOk()) {
            result = parseClearAnswer(reply.text, state_.protocol);
            result.status = carStatus(result.status);
        } else {
            result.status = reply.status;
        }
    }
    if (!result.status.isOk() && result.confirmed.empty() && result.refused.empty()) failed(state_);
    return result;
}

namespace {

// The engine's speed in the units' messages, 41 0C A B: (256 A + B) / 4 rpm, the highest
// of those that read. A unit whose message is short or another PID's leaves the others'.
EngineSpeed engineSpeedIn(const ServiceAnswer& answer) {
    if (answer.noData) return {std::nullopt, "the car does not give it"};
    EngineSpeed speed;
    bool unreadable = false;
    for (const UnitMessages& unit : answer.units) {
        for (const std::vector<std::uint8_t>& message : unit.messages) {
            if (message.size() < 4 || message[0] != 0x41 || message[1] != 0x0C) {
                unreadable = true;
                continue;
            }
            const double rpm = (message[2] * 256.0 + message[3]) / 4.0;
            speed.rpm = std::max(speed.rpm.value_or(rpm), rpm);
        }
    }
    // A stopped engine is said only when every answer was whole: the unit whose answer was
    // cut may be the one whose engine turns.
    if (unreadable && speed.rpm == 0.0) speed.rpm.reset();
    if (!speed.rpm) speed.notRead = unreadable ? "the answer could not be read" : "the car refused it";
    return speed;
}

}  // namespace

EngineSpeedRead Session::engineSpeed(Transport& link, Deadline deadline, std::stop_token stop) {
    EngineSpeedRead result;
    Conversation talk(link, deadline, std::move(stop), state_);
    result.status = talk.start();
    ServiceAnswer answer;
    if (result.status.isOk()) {
        Reply reply = talk.askCar("010C");
        if (reply.status.isOk()) answer = parseServiceAnswer(reply.text, 0x01, state_.protocol);
        // As for the codes: one bus error, full buffer or STOPPED is asked once more.
        if (reply.status.isOk() && transientFault(answer.status)) {
            reply = talk.askCar("010C");
            if (reply.status.isOk()) answer = parseServiceAnswer(reply.text, 0x01, state_.protocol);
        }
        result.status = reply.status.isOk() ? carStatus(answer.status) : reply.status;
    }
    if (!result.status.isOk()) {
        failed(state_);
        result.speed = {std::nullopt, notReadReason(result.status)};
        return result;
    }
    result.speed = engineSpeedIn(answer);
    return result;
}

namespace {

// Text an adapter could have sent at this speed: printable characters and line ends. At a
// wrong speed its bytes come out as anything.
bool readable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '\r' || c == '\n' || (byte >= 0x20 && byte < 0x7F);
    });
}

// What an ELM327 still finishing an earlier answer sends before it takes a command: the
// rest of that answer (lines of hex, NO DATA), STOPPED, "?" for the rest of the command
// that stopped it.
bool finishing(std::string_view text) {
    if (!readable(text)) return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n>", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string line = compact(text.substr(start, end - start));
        start = end + 1;
        const bool hex = line.size() >= 2 && std::all_of(line.begin(), line.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == ':';
        });
        if (hex || line == "STOPPED" || line == "?" || line == "NODATA") return true;
    }
    return false;
}

}  // namespace

bool Session::answersAsElm327(Transport& link, Deadline deadline, Clock::duration silence) {
    const Deadline silentBy = std::min(deadline, Clock::now() + silence);
    for (int attempt = 0; attempt < 3; ++attempt) {
        link.discardInput();
        if (!link.write("ATI\r", std::min(deadline, Clock::now() + CommandWait)).isOk()) return false;
        std::string text;
        Clock::time_point lastByte = Clock::now();
        for (;;) {
            const Clock::time_point now = Clock::now();
            const bool stillFinishing = finishing(text);
            if (now >= deadline || (now >= silentBy && !stillFinishing)) return false;
            const std::size_t before = text.size();
            if (!link.read(text, MaxLine, std::min(deadline, now + ReadSlice)).isOk()) return false;
            if (text.size() > MaxAnswer) return false;
            if (text.size() != before) lastByte = Clock::now();
            const std::string shown = compact(text);  // a clone may answer in lower case
            const std::size_t banner = shown.find("ELM327");
            if (banner != std::string::npos && shown.find_first_of("\r>", banner) != std::string::npos) return true;
            // An adapter still finishing an earlier answer has prompted and gone quiet: it
            // is asked again at the same speed.
            if (stillFinishing && text.find('>') != std::string::npos && Clock::now() - lastByte >= QuietGap) break;
        }
        if (Clock::now() >= deadline) return false;
    }
    return false;
}

}  // namespace vx414::elm327
