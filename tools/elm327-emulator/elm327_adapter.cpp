#include "tools/elm327-emulator/elm327_adapter.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vx414::elmemu {
namespace {

constexpr std::array<QuirkEntry, 25> Quirks = {{
    {Quirk::Echo, "echo", "echo stays on whatever ATE0 says"},
    {Quirk::LowerCase, "lowercase", "hex digits in lower case (7e8 10 08 43 ...)"},
    {Quirk::OkNoise, "ok-noise", "a stray OK line before every OBD answer"},
    {Quirk::NoPrompt, "no-prompt", "no '>' prompt after OBD answers"},
    {Quirk::Reset, "reset", "the run's first 03 / 07 answer breaks off with the banner"},
    {Quirk::Garbage, "garbage", "the run's first 03 / 07 answer holds an unparseable line"},
    {Quirk::CanError, "can-error", "every 03 / 07 answer is CAN ERROR"},
    {Quirk::BufferFull, "buffer-full", "every 03 / 07 answer is BUFFER FULL"},
    {Quirk::NoWarmStart, "no-atws", "ATWS answered ?"},
    {Quirk::NoProtocolNumber, "no-dpn", "ATDPN answered ?"},
    {Quirk::NoAutoRetry, "no-spa", "ATSP A<n> answered ?"},
    {Quirk::LateUnit, "late-unit", "the second unit answers 350 ms after the first"},
    {Quirk::ResponsePending, "pending-78", "03 / 07 / 04: the first unit sends 7F xx 78, its answer 1 s later"},
    {Quirk::RefusingUnit, "unit-refuses", "the second unit refuses every service but 01 (7F xx 11)"},
    {Quirk::MultiPidRefused, "multi-refuse", "a request for several PIDs is refused (7F 01 12)"},
    {Quirk::MultiPidShort, "multi-short", "a request for several PIDs is answered for its first alone"},
    {Quirk::MultiPidNoData, "multi-nodata", "a request for several PIDs is answered NO DATA"},
    {Quirk::MultiPidEngineSilent, "multi-engine-silent", "the engine unit does not answer a request for several PIDs"},
    {Quirk::HeadersStuckOff, "headers-stuck-off", "ATH1 answered OK, yet headers stay off"},
    {Quirk::TransmissionFirst, "transmission-first", "the second unit's frames come before the first unit's"},
    {Quirk::CountIgnored, "count-ignored", "the answer count (0101 1) ignored: the wait for more units every time"},
    {Quirk::PaddedVin, "padded-vin", "CAN: the VIN padded with 00 00 00; the second unit gives it too, first"},
    {Quirk::FrameLister, "frame-lister", "the second unit lists frame 0's PIDs, holds none: zeros, first"},
    {Quirk::TransientError, "transient-error", "the N-th request (default 1st) starting with HEX: CAN ERROR", "HEX[@N]"},
    {Quirk::TransientNoData, "transient-nodata", "the N-th request (default 1st) starting with HEX: NO DATA", "HEX[@N]"},
}};

constexpr int LateUnitMilliseconds = 350;
constexpr int PendingMilliseconds = 1000;
constexpr std::uint8_t NegativeResponse = 0x7F;

// The chip's input buffer holds a little more than the longest command; a longer line is
// answered "?".
constexpr std::size_t LongestCommand = 64;
constexpr std::string_view GarbageLine = "#?4%3 Z1 ~&";

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return c - 'A' + 10;
}

// ATSP / ATTP argument: an optional 'A' and one protocol digit.
std::optional<std::pair<int, bool>> protocolArgument(std::string_view text) {
    bool automatic = false;
    if (text.size() == 2 && text[0] == 'A') {
        automatic = true;
        text.remove_prefix(1);
    }
    if (text.size() != 1 || !isHexDigit(text[0])) return std::nullopt;
    const int number = hexDigit(text[0]);
    if (number > HighestProtocol) return std::nullopt;
    return std::pair{number, automatic || number == AutoProtocol};
}

bool allHex(std::string_view text) { return std::all_of(text.begin(), text.end(), isHexDigit); }

// A line that shows one frame from a unit (with or without its header, "0:" numbered or
// not); not the length line of a formatted multi-frame answer ("014"), nor an adapter's
// own words.
bool isFrameLine(std::string_view line) {
    std::size_t digits = 0;
    for (const char c : line) {
        if (isHexDigit(c)) {
            ++digits;
        } else if (c != ' ' && c != ':') {
            return false;
        }
    }
    return digits > 3;
}

// Every unit but `first` answers `service` with 7F <service> 11 (service not supported).
void refuseOthers(std::vector<EcuMessage>& messages, std::uint32_t first, std::uint8_t service) {
    std::vector<EcuMessage> kept;
    for (EcuMessage& message : messages) {
        if (message.header != first) {
            const bool seen = std::any_of(kept.begin(), kept.end(), [&](const EcuMessage& m) {
                return (m.header & 0xFFU) == (message.header & 0xFFU) && m.data.front() == NegativeResponse;
            });
            if (seen) continue;
            message.data = {NegativeResponse, service, 0x11};
            // A KWP header counts its data bytes.
            if ((message.header >> 16U & 0xC0U) == 0x80U) message.header = (message.header & 0xC0FFFFU) | (3U << 16U);
        }
        kept.push_back(std::move(message));
    }
    messages = std::move(kept);
}

}  // namespace

std::span<const QuirkEntry> quirkEntries() { return Quirks; }

std::optional<Quirk> quirkByName(std::string_view name) {
    for (const QuirkEntry& entry : Quirks) {
        if (entry.name == name) return entry.quirk;
    }
    return std::nullopt;
}

std::string quirkForm(const QuirkEntry& entry) {
    return std::string(entry.name) + (entry.value.empty() ? "" : "=" + std::string(entry.value));
}

bool addQuirk(AdapterSetup& setup, std::string_view text) {
    const std::size_t equals = text.find('=');
    const auto quirk = quirkByName(text.substr(0, equals));
    if (!quirk) return false;
    const bool valued = *quirk == Quirk::TransientError || *quirk == Quirk::TransientNoData;
    if (!valued) {
        if (equals != std::string_view::npos) return false;
        setup.quirks.push_back(*quirk);
        return true;
    }
    if (equals == std::string_view::npos) return false;
    const auto kind = *quirk == Quirk::TransientError ? TransientAnswer::Kind::CanError : TransientAnswer::Kind::NoData;
    auto answer = parseTransientAnswer(kind, text.substr(equals + 1));
    if (!answer) return false;
    setup.transientAnswers.push_back(std::move(*answer));
    return true;
}

namespace {

// The car as the quirks that belong to its units make it.
CarSetup quirkyCar(const AdapterSetup& setup) {
    CarSetup car = setup.car;
    auto given = [&setup](Quirk quirk) {
        return std::find(setup.quirks.begin(), setup.quirks.end(), quirk) != setup.quirks.end();
    };
    car.paddedVin = car.paddedVin || given(Quirk::PaddedVin);
    car.frameLister = car.frameLister || given(Quirk::FrameLister);
    return car;
}

}  // namespace

Adapter::Adapter(const AdapterSetup& setup)
    : car_(quirkyCar(setup)),
      quirks_(setup.quirks),
      delay_(std::max(0, setup.delayMilliseconds)),
      search_(setup.searchMilliseconds >= 0 ? setup.searchMilliseconds : defaultSearchMilliseconds(setup.car.kind)),
      resetTime_(std::max(0, setup.resetMilliseconds)),
      warmTime_(setup.warmStartMilliseconds >= 0 ? setup.warmStartMilliseconds : resetTime_ / 3),
      answerTimeout_(std::max(0, setup.answerTimeoutMilliseconds)),
      lineDelayMin_(std::max(0, setup.lineDelayMinMilliseconds)),
      lineDelayMax_(std::max(lineDelayMin_, setup.lineDelayMaxMilliseconds)),
      transients_(setup.transientAnswers) {}

void Adapter::delayLines(Reply& reply) {
    if (lineDelayMax_ == 0) return;
    std::uniform_int_distribution<int> draw(lineDelayMin_, lineDelayMax_);
    std::vector<Step> spread;
    for (Step& step : reply.steps) {
        int wait = step.delayMilliseconds;
        std::size_t start = 0;
        while (start < step.text.size()) {
            std::size_t end = step.text.find('\r', start);
            if (end == std::string::npos) {
                // The prompt, or a line still being written ("BUS INIT: "), follows at once.
                spread.push_back({wait, step.text.substr(start)});
                wait = 0;
                break;
            }
            if (end + 1 < step.text.size() && step.text[end + 1] == '\n') ++end;
            const std::string line = step.text.substr(start, end + 1 - start);
            // A blank line goes with the next one.
            const bool blank = line.find_first_not_of("\r\n") == std::string::npos;
            spread.push_back({wait + (blank ? 0 : draw(lineDelays_)), line});
            wait = 0;
            start = end + 1;
        }
        if (start >= step.text.size() && wait != 0) spread.push_back({wait, {}});
    }
    reply.steps = std::move(spread);
}

void useRealTiming(AdapterSetup& setup) {
    setup.resetMilliseconds = 800;
    setup.warmStartMilliseconds = 100;
    setup.answerTimeoutMilliseconds = 200;
    setup.baud = 38400;
}

DisplaySettings Adapter::displaySettings() const {
    return {headers_, spaces_, canFormatting_, has(Quirk::LowerCase)};
}

bool Adapter::has(Quirk quirk) const { return std::find(quirks_.begin(), quirks_.end(), quirk) != quirks_.end(); }

std::string Adapter::closing(bool prompt) const { return lineEnd() + (prompt ? ">" : ""); }

std::string Adapter::stop() {
    found_ = foundBefore_;
    busOpen_ = busOpenBefore_;
    return "STOPPED" + lineEnd() + closing();
}

void Adapter::restoreDefaults() {
    echo_ = true;
    linefeeds_ = false;
    spaces_ = true;
    headers_ = false;
    canFormatting_ = true;
}

void Adapter::reset() {
    restoreDefaults();
    current_ = saved_;
    found_ = AutoProtocol;
    busOpen_ = false;
    lastCommand_.clear();
}

std::optional<Reply> Adapter::receive(char byte) {
    if (car_.kind() == CarKind::Silent) return std::nullopt;
    if (byte == '\r') {
        std::string raw = std::move(line_);
        line_.clear();
        const bool tooLong = lineTooLong_;
        lineTooLong_ = false;
        if (tooLong) {
            Reply reply;
            reply.steps.push_back({delay_, "?" + lineEnd() + closing()});
            return reply;
        }
        Reply reply = command(raw);
        delayLines(reply);
        return reply;
    }
    // Line feeds, NULs and other control characters are ignored, as the chip does.
    if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) return std::nullopt;
    if (line_.size() < LongestCommand) {
        line_ += byte;
    } else {
        lineTooLong_ = true;
    }
    return std::nullopt;
}

Reply Adapter::command(const std::string& raw) {
    foundBefore_ = found_;
    busOpenBefore_ = busOpen_;
    Reply reply;
    if (echo_ || has(Quirk::Echo)) reply.steps.push_back({0, raw + lineEnd()});
    std::string command;
    for (const char c : raw) {
        if (c != ' ') command += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    // A bare CR repeats the last command.
    if (command.empty()) command = lastCommand_;
    if (command.empty()) {
        reply.steps.push_back({delay_, closing()});
        return reply;
    }
    lastCommand_ = command;
    if (command.starts_with("AT")) {
        // Only a request to the car can be stopped.
        reply.interruptible = false;
        return atCommand(std::string_view(command).substr(2), std::move(reply));
    }

    // An odd digit at the end is the number of answers to wait for: once that many frames
    // have come, the prompt follows at once instead of after the wait for further units.
    std::string_view digits = command;
    if (digits.size() % 2 == 1 && digits.size() > 2) digits.remove_suffix(1);
    const bool counted = digits.size() < command.size() && isHexDigit(command.back()) && !has(Quirk::CountIgnored);
    expectedAnswers_ = counted ? hexDigit(command.back()) : 0;
    if (digits.size() < 2 || digits.size() % 2 != 0 || !allHex(digits)) {
        reply.steps.push_back({delay_, "?" + lineEnd() + closing()});
        return reply;
    }
    transient_ = transients_.take(digits);
    std::vector<std::uint8_t> request;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        request.push_back(static_cast<std::uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
    }
    return obdRequest(request, std::move(reply));
}

std::string Adapter::describeProtocol(bool numeric) const {
    const int shown = found_ != AutoProtocol ? found_ : current_.number;
    const bool automatic = current_.automatic;
    if (numeric) return (automatic ? "A" : "") + std::string(1, "0123456789ABC"[shown]);
    if (shown == AutoProtocol) return "AUTO";
    return (automatic ? "AUTO, " : "") + std::string(protocolName(shown));
}

Reply Adapter::atCommand(std::string_view command, Reply reply) {
    auto answer = [&reply, this](std::string_view text) {
        reply.steps.push_back({delay_, std::string(text) + lineEnd() + closing()});
        return reply;
    };
    auto set = [&answer](bool& setting, bool value) {
        setting = value;
        return answer("OK");
    };
    if (command == "WS" && has(Quirk::NoWarmStart)) return answer("?");
    if (command == "DPN" && has(Quirk::NoProtocolNumber)) return answer("?");
    if (command.starts_with("SPA") && has(Quirk::NoAutoRetry)) return answer("?");
    if (command == "Z" || command == "WS") {
        reset();
        const int wait = command == "Z" ? resetTime_ : warmTime_;
        reply.steps.push_back({delay_ + wait, lineEnd() + lineEnd() + std::string(Banner) + lineEnd() + closing()});
        return reply;
    }
    if (command == "D") {
        restoreDefaults();
        return answer("OK");
    }
    if (command == "I") return answer(Banner);
    if (command == "@1") return answer("OBDII to RS232 Interpreter");
    if (command == "E0" || command == "E1") return set(echo_, command == "E1");
    if (command == "L0" || command == "L1") return set(linefeeds_, command == "L1");
    if (command == "S0" || command == "S1") return set(spaces_, command == "S1");
    if (command == "H0" || command == "H1") return set(headers_, command == "H1" && !has(Quirk::HeadersStuckOff));
    if (command == "CAF0" || command == "CAF1") return set(canFormatting_, command == "CAF1");
    // Accepted and without effect here: adaptive timing, memory, long messages, flow control.
    for (const std::string_view accepted : {"AT0", "AT1", "AT2", "M0", "M1", "AL", "NL", "CFC0", "CFC1"}) {
        if (command == accepted) return answer("OK");
    }
    if (command == "DP") return answer(describeProtocol(false));
    if (command == "DPN") return answer(describeProtocol(true));
    if (command == "RV") return answer("12.6V");
    if (command == "PC") {
        busOpen_ = false;
        return answer("OK");
    }
    if (command.starts_with("SP") || command.starts_with("TP")) {
        const auto argument = protocolArgument(command.substr(2));
        if (!argument) return answer("?");
        current_ = {argument->first, argument->second};
        if (command.starts_with("SP")) saved_ = current_;
        found_ = AutoProtocol;
        busOpen_ = false;
        return answer("OK");
    }
    const std::string_view argument = command.substr(std::min<std::size_t>(2, command.size()));
    if (command.starts_with("ST") && argument.size() == 2 && allHex(argument)) return answer("OK");
    if (command.starts_with("SH") && (argument.size() == 3 || argument.size() == 6 || argument.size() == 8) &&
        allHex(argument)) {
        return answer("OK");
    }
    return answer("?");
}

// A request for several PIDs (01 with more than one, 02 with more than one pair) as units
// that do not take that form answer it: none at all, refused, answered for the first PID
// alone, or the engine unit silent.
std::vector<EcuMessage> Adapter::carAnswer(std::span<const std::uint8_t> request) {
    const bool several = (request[0] == 0x01 && request.size() > 2) || (request[0] == 0x02 && request.size() > 3);
    if (!several || !isCan(found_)) return car_.answer(request);
    if (has(Quirk::MultiPidNoData)) return {};
    const bool firstAlone = has(Quirk::MultiPidRefused) || has(Quirk::MultiPidShort);
    std::vector<EcuMessage> messages = car_.answer(firstAlone ? request.first(request[0] == 0x01 ? 2 : 3) : request);
    if (has(Quirk::MultiPidRefused)) {
        for (EcuMessage& message : messages) message.data = {NegativeResponse, request[0], 0x12};
    }
    if (has(Quirk::MultiPidEngineSilent)) {
        std::erase_if(messages, [this](const EcuMessage& message) { return car_.fromFirstUnit(message); });
    }
    return messages;
}

bool Adapter::secondUnitFirst(std::span<const std::uint8_t> request) const {
    if (has(Quirk::TransmissionFirst)) return true;
    if (has(Quirk::FrameLister) && request[0] == 0x02) return true;
    return has(Quirk::PaddedVin) && request[0] == 0x09 && request.size() >= 2 && request[1] == 0x02;
}

Reply Adapter::obdRequest(std::span<const std::uint8_t> request, Reply reply) {
    int pending = delay_;
    auto emit = [&reply, &pending](int wait, std::string text) {
        reply.steps.push_back({pending + wait, std::move(text)});
        pending = 0;
    };
    const int carProtocol = car_.protocol();
    int searchWait = 0;
    if (found_ == AutoProtocol) {
        const int wanted = current_.number;
        if (wanted != AutoProtocol && wanted == carProtocol) {
            found_ = carProtocol;
        } else if (current_.automatic) {
            emit(0, "SEARCHING..." + lineEnd());
            if (carProtocol == AutoProtocol) {
                emit(search_, "UNABLE TO CONNECT" + lineEnd() + closing());
                return reply;
            }
            found_ = carProtocol;
            if (!isKLine(carProtocol)) searchWait = search_;
        } else if (isKLine(wanted)) {
            emit(0, "BUS INIT: ");
            for (int dot = 0; dot < 3; ++dot) emit(search_ / 3, ".");
            emit(0, "ERROR" + lineEnd() + closing());
            return reply;
        } else {
            emit(search_, (isCan(wanted) ? "CAN ERROR" : "NO DATA") + lineEnd() + closing());
            return reply;
        }
    }
    if (isKLine(found_) && !busOpen_) {
        emit(0, "BUS INIT: ");
        for (int dot = 0; dot < 3; ++dot) emit(search_ / 3, ".");
        emit(0, "OK" + lineEnd());
        busOpen_ = true;
    }

    const bool codes = request[0] == 0x03 || request[0] == 0x07;
    // The answer in parts, each after its own pause: the first unit, a late one, the rest.
    std::vector<std::pair<int, std::vector<std::string>>> parts;
    if (transient_ == TransientAnswer::Kind::CanError) {
        parts.push_back({0, {"CAN ERROR"}});
    } else if (transient_ == TransientAnswer::Kind::NoData) {
        parts.push_back({answerTimeout_, {"NO DATA"}});
    } else if (codes && has(Quirk::CanError)) {
        parts.push_back({0, {"CAN ERROR"}});
    } else if (codes && has(Quirk::BufferFull)) {
        parts.push_back({0, {"BUFFER FULL"}});
    } else {
        std::vector<EcuMessage> messages = carAnswer(request);
        if (messages.empty()) {
            parts.push_back({answerTimeout_, {"NO DATA"}});
        } else {
            const std::uint32_t first = messages.front().header;
            if (has(Quirk::RefusingUnit) && request[0] != 0x01) refuseOthers(messages, first, request[0]);
            if (secondUnitFirst(request)) {
                std::stable_partition(messages.begin(), messages.end(),
                                      [this](const EcuMessage& message) { return !car_.fromFirstUnit(message); });
            }
            // Units answer interleaved, as on the bus, unless one of them is slow.
            std::vector<EcuMessage> firstUnit;
            std::vector<EcuMessage> others;
            const bool apart = has(Quirk::LateUnit) || has(Quirk::ResponsePending);
            for (EcuMessage& message : messages) {
                (message.header == first || !apart ? firstUnit : others).push_back(std::move(message));
            }
            const bool slowAnswer = has(Quirk::ResponsePending) && (codes || request[0] == 0x04);
            if (slowAnswer) {
                EcuMessage waitMessage = firstUnit.front();
                waitMessage.data = {NegativeResponse, request[0], 0x78};
                if ((waitMessage.header >> 16U & 0xC0U) == 0x80U) waitMessage.header = (waitMessage.header & 0xC0FFFFU) | (3U << 16U);
                parts.push_back({0, displayLines(displaySettings(), found_, {waitMessage})});
            }
            parts.push_back({slowAnswer ? PendingMilliseconds : 0, displayLines(displaySettings(), found_, firstUnit)});
            if (!others.empty()) {
                parts.push_back({has(Quirk::LateUnit) ? LateUnitMilliseconds : 0,
                                 displayLines(displaySettings(), found_, others)});
            }
        }
        if (codes && has(Quirk::Garbage) && !garbageFired_) {
            garbageFired_ = true;
            parts.front().second.insert(parts.front().second.begin() + 1, std::string(GarbageLine));
        }
    }
    if (has(Quirk::OkNoise)) parts.front().second.insert(parts.front().second.begin(), "OK");

    if (codes && has(Quirk::Reset) && !resetFired_) {
        resetFired_ = true;
        std::string text = parts.front().second.front() + lineEnd();
        reset();
        text += lineEnd() + lineEnd() + std::string(Banner) + lineEnd() + closing();
        emit(searchWait, std::move(text));
        return reply;
    }
    // With the answer count the chip stops listening once that many frames have come (a
    // "response pending" among them), and prompts at once: frames after those are lost.
    int wait = searchWait;
    int shown = 0;
    bool allCame = false;
    for (auto& [pause, lines] : parts) {
        if (allCame) break;
        std::string text;
        for (const std::string& line : lines) {
            text += line + lineEnd();
            if (isFrameLine(line) && ++shown == expectedAnswers_) {
                allCame = true;
                break;
            }
        }
        emit(wait + pause, std::move(text));
        wait = 0;
    }
    // After the last answer the chip waits its timeout for more units, then prompts; a
    // "NO DATA" comes after that wait already.
    const bool noData = parts.size() == 1 && parts.front().second.back() == "NO DATA";
    emit(noData || allCame ? 0 : answerTimeout_, closing(!has(Quirk::NoPrompt)));
    return reply;
}

}  // namespace vx414::elmemu
