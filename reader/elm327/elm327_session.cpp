#include "reader/elm327/elm327_session.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "reader/elm327/elm327_answer.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;

// ATZ restarts the chip: real ones answer within about a second. A silent adapter fails
// here, within the three seconds a user waits for a failure.
constexpr auto ResetWait = 2000ms;
// Every other AT command is answered at once.
constexpr auto CommandWait = 1000ms;
// Each read waits at most this long, so that a stop is seen soon.
constexpr auto ReadSlice = 50ms;
// A clone that never sends its prompt: an answer that looks complete ends after this
// much quiet.
constexpr auto QuietGap = 300ms;
// The largest answer one unit can give is 4095 bytes, about 12 KiB of formatted lines;
// several units and their noise fit well within this.
constexpr std::size_t MaxAnswer = 64 * 1024;
// No line of an answer or a banner comes near this.
constexpr std::size_t MaxLine = 256;

LinkStatus failure(const char* reason) { return {LinkCode::Protocol, reason}; }

enum class Expect : std::uint8_t {
    Banner,    // ATZ, ATI: any text
    Ok,        // set-up commands: OK
    Protocol,  // ATDPN: a protocol number
    Car,       // an OBD request: the car's answer, after a search if need be
};

std::string compact(std::string_view line) {
    std::string text;
    for (const char c : line) {
        if (c == ' ' || c == '\t' || c == '\0') continue;
        text.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return text;
}

// Lines that say nothing about the answer: blanks, the echo a clone sends in spite of
// ATE0, an "OK" a clone adds, the adapter's progress while it searches for the car.
bool isNoise(std::string_view line, std::string_view command, Expect expect) {
    const std::string text = compact(line);
    if (text.empty() || text == compact(command)) return true;
    if (expect == Expect::Ok) return false;
    if (text == "OK") return true;
    return expect == Expect::Car && (text.starts_with("SEARCHING") || text == "BUSINIT:..." ||
                                     (text.starts_with("BUSINIT") && text.ends_with("OK")));
}

// Whether text holds a line that is not noise; with `ended`, one that has its line end.
bool hasAnswer(std::string_view text, std::string_view command, Expect expect, bool ended) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) return !ended && !isNoise(text.substr(start), command, expect);
        if (!isNoise(text.substr(start, end - start), command, expect)) return true;
        start = end + 1;
    }
    return false;
}

bool mentions(std::string_view text, std::string_view word) { return compact(text).find(word) != std::string::npos; }

struct Reply {
    LinkStatus status;
    std::string text;  // everything before the prompt
};

// Sends one command and reads its answer: up to the '>' prompt, or, from a clone that
// sends none, up to a quiet gap after a complete line. A prompt with nothing before it is
// left over from an earlier answer and skipped.
Reply exchange(Transport& link, std::string_view command, Expect expect, Deadline answerBy, std::stop_token stop) {
    link.discardInput();
    const Deadline writeBy = std::min(answerBy, Clock::now() + CommandWait);
    if (const LinkStatus status = link.write(std::string(command) + "\r", writeBy); !status.isOk()) {
        return {status, {}};
    }
    Reply reply;
    std::string& text = reply.text;
    std::size_t scanned = 0;
    std::size_t lineLength = 0;
    Clock::time_point lastByte = Clock::now();
    for (;;) {
        if (stop.stop_requested()) return {{LinkCode::Timeout, "stopped"}, {}};
        const Clock::time_point now = Clock::now();
        if (now >= answerBy) {
            return {{LinkCode::Timeout, text.empty() ? "adapter silent" : "answer incomplete"}, {}};
        }
        const LinkStatus status = link.read(text, MaxAnswer + 1 - text.size(), std::min(answerBy, now + ReadSlice));
        if (!status.isOk()) return {status, {}};
        if (text.size() > MaxAnswer) return {failure("answer too long"), {}};
        if (text.size() == scanned) {
            if (Clock::now() - lastByte >= QuietGap && hasAnswer(text, command, expect, true)) return reply;
            continue;
        }
        lastByte = Clock::now();
        while (scanned < text.size()) {
            const char c = text[scanned];
            lineLength = (c == '\r' || c == '\n') ? 0 : lineLength + 1;
            if (lineLength > MaxLine) return {failure("line too long"), {}};
            if (c != '>') {
                ++scanned;
                continue;
            }
            if (hasAnswer(std::string_view(text).substr(0, scanned), command, expect, false)) {
                text.resize(scanned);
                return reply;
            }
            text.erase(0, scanned + 1);
            scanned = 0;
            lineLength = 0;
        }
    }
}

// "A6" (found by the search) or "6": 1 to 9, A to C.
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

constexpr const char* RefusedReason = "adapter refused a command";

// One exchange's commands, all bounded by its deadline and its stop token.
class Conversation {
public:
    Conversation(Transport& link, Deadline deadline, std::stop_token stop)
        : link_(link), deadline_(deadline), stop_(std::move(stop)) {}

    Reply ask(std::string_view command, Expect expect) {
        const auto wait = command == "ATZ" ? ResetWait : CommandWait;
        const Deadline answerBy = expect == Expect::Car ? deadline_ : std::min(deadline_, Clock::now() + wait);
        Reply reply = exchange(link_, command, expect, answerBy, stop_);
        if (!reply.status.isOk()) return reply;
        // A banner inside any other answer: the adapter restarted and lost its set-up.
        if (command != "ATZ" && (mentions(reply.text, "ELM327") || mentions(reply.text, "LVRESET"))) {
            return {failure("adapter reset"), {}};
        }
        if (expect == Expect::Ok && !mentions(reply.text, "OK")) return {failure(RefusedReason), {}};
        return reply;
    }

    // ATZ and the settings robust clients use; then a first request, which makes the
    // adapter search for the car's protocol, and the protocol it found.
    LinkStatus fullSetUp(int knownProtocol, int& protocol) {
        if (Reply r = ask("ATZ", Expect::Banner); !r.status.isOk()) return r.status;
        for (const char* command : {"ATE0", "ATL0", "ATS0", "ATH1"}) {
            if (Reply r = ask(command, Expect::Ok); !r.status.isOk()) return r.status;
        }
        // Adaptive timing only shortens waits: a clone without it is still usable.
        if (Reply r = ask("ATAT1", Expect::Ok); !r.status.isOk() && r.status.reason() != RefusedReason) {
            return r.status;
        }
        // After a failure the protocol found before is tried first, then the others.
        const std::string select =
            knownProtocol == 0 ? std::string("ATSP0") : std::string("ATSPA") + protocolDigit(knownProtocol);
        if (Reply r = ask(select, Expect::Ok); !r.status.isOk()) return r.status;
        const Reply search = ask("0100", Expect::Car);
        if (!search.status.isOk()) return search.status;
        if (const LinkStatus status = searchResult(search.text); !status.isOk()) return status;
        return readProtocol(protocol);
    }

    LinkStatus readProtocol(int& protocol) {
        const Reply reply = ask("ATDPN", Expect::Protocol);
        if (!reply.status.isOk()) return reply.status;
        protocol = protocolNumber(reply.text, "ATDPN");
        return protocol == 0 ? failure("no protocol number") : LinkStatus::ok();
    }

private:
    // The answer to 0100 only has to show that the car was found: 41 00 from some unit.
    static LinkStatus searchResult(std::string_view text) {
        if (const LinkStatus status = adapterFailure(text); !status.isOk()) return status;
        return mentions(text, "4100") ? LinkStatus::ok() : failure("no car answered");
    }

    Transport& link_;
    Deadline deadline_;
    std::stop_token stop_;
};

// Later reads start with ATDPN alone: an adapter still set up and connected answers with
// the protocol found before. One that answers with another was reset or lost the car,
// and gets the full set-up; one that does not answer fails the read at once.
LinkStatus setUpAdapter(Conversation& talk, int& protocol, bool& setUp) {
    if (setUp) {
        int now = 0;
        const LinkStatus status = talk.readProtocol(now);
        if (status.isOk() && now == protocol) return status;
        if (status.code() != LinkCode::Protocol) return status;
    }
    setUp = false;
    int found = 0;
    if (const LinkStatus status = talk.fullSetUp(protocol, found); !status.isOk()) return status;
    protocol = found;
    setUp = true;
    return LinkStatus::ok();
}

LinkStatus openLink(Transport& link, Deadline deadline) {
    return link.isOpen() ? LinkStatus::ok() : link.open(deadline);
}

}  // namespace

SessionResult Session::readCodes(Transport& link, Deadline deadline, std::stop_token stop) {
    SessionResult result;
    result.status = openLink(link, deadline);
    Conversation talk(link, deadline, std::move(stop));
    if (result.status.isOk()) result.status = setUpAdapter(talk, protocol_, setUp_);
    for (const Service service : {Service::PendingCodes, Service::StoredCodes}) {
        if (!result.status.isOk()) break;
        const Reply reply = talk.ask(service == Service::PendingCodes ? "07" : "03", Expect::Car);
        const CodesAnswer answer =
            reply.status.isOk() ? parseCodesAnswer(reply.text, service, protocol_) : CodesAnswer{reply.status, false, {}};
        result.status = answer.status;
        (service == Service::PendingCodes ? result.pending : result.stored) = mergeCodes(answer.ecus);
    }
    if (!result.status.isOk()) {
        setUp_ = false;
        result.pending.clear();
        result.stored.clear();
    }
    return result;
}

LinkStatus Session::clearCodes(Transport& link, Deadline deadline, std::stop_token stop) {
    LinkStatus status = openLink(link, deadline);
    Conversation talk(link, deadline, std::move(stop));
    if (status.isOk()) status = setUpAdapter(talk, protocol_, setUp_);
    if (status.isOk()) {
        const Reply reply = talk.ask("04", Expect::Car);
        status = reply.status.isOk() ? parseClearAnswer(reply.text, protocol_) : reply.status;
    }
    if (!status.isOk()) setUp_ = false;
    return status;
}

bool Session::answersAsElm327(Transport& link, Deadline deadline) {
    const Reply reply = exchange(link, "ATI", Expect::Banner, deadline, {});
    return reply.status.isOk() && mentions(reply.text, "ELM327");
}

}  // namespace vx414::elm327
