#include "reader/elm327/elm327_exchange.h"

#include <algorithm>
#include <optional>

#include "reader/elm327/elm327_answer.h"
#include "reader/elm327/elm327_pid_request.h"

namespace vx414::elm327::wire {
namespace {

// An adapter that prompts after AT commands, before its first answer from the car shows
// whether it prompts there too (some clones do not): longer than any pause the chip makes
// between two units' answers, as its own wait for a further unit is at most about 1 s.
constexpr auto LongQuietGap = 1500ms;

// Before the first command of a run, or after a failure, the adapter is listened to this
// long: one still sending an answer an earlier program cut short is heard, and waited out.
constexpr auto FirstListen = 100ms;

// A counted request whose only answer was "response pending" before the prompt: an adapter
// that goes on listening shows the unit's answer within this; else it is asked again.
constexpr auto PendingGrace = 1000ms;

// After STOPPED, the chip answers what was left of the stopping command ("?"): a slow
// adapter's line takes up to a second, and then some.
constexpr auto BusyBound = 2500ms;

}  // namespace

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

namespace {

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

}  // namespace

bool mentions(std::string_view text, std::string_view word) { return compact(text).find(word) != std::string::npos; }

// The answer without the lines that repeat the request (a clone's echo in spite of ATE0).
std::string withoutEcho(std::string_view text, std::string_view request) {
    std::string kept;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (compact(line) != compact(request)) {
            kept += line;
            kept += '\r';
        }
        start = end + 1;
    }
    return kept;
}

namespace {

// How much quiet ends an answer that looks complete and has no prompt; none when only the
// prompt ends it.
std::optional<Clock::duration> quietGap(const AdapterState& adapter, Expect expect) {
    // An AT command's answer has no second part: a prompt or a short quiet ends it.
    if (expect != Expect::Car) return QuietGap;
    if (adapter.carPrompt) return *adapter.carPrompt ? std::nullopt : std::optional<Clock::duration>(QuietGap);
    return adapter.promptSeen ? LongQuietGap : QuietGap;
}

// Reads and drops what is left of an answer cut short, up to its prompt (or, from an
// adapter that ends its answers from the car without one, up to a quiet gap), within
// AdapterTiming::settleBound (the chip sends its prompt at the latest its timeout, 200 ms as
// it starts and 1 s at most, after the last frame it was waiting for; whatever it is still
// sending then is dropped with the input). A command sent before the chip has prompted
// would stop it ("STOPPED") and the rest of the old answer would be taken for the new one's.
LinkStatus settle(Transport& link, Deadline answerBy, const std::stop_token& stop, AdapterState& adapter) {
    const Deadline settled = std::min(answerBy, Clock::now() + adapter.timing.settleBound());
    const bool prompts = adapter.carPrompt.value_or(adapter.promptSeen);
    Clock::time_point lastByte = Clock::now();
    std::string text;
    for (;;) {
        if (stop.stop_requested()) return {LinkCode::Timeout, "stopped"};
        const Clock::time_point now = Clock::now();
        if (now >= settled || (!prompts && now - lastByte >= QuietGap)) break;
        text.clear();
        const LinkStatus status = link.read(text, MaxAnswer, std::min(settled, now + ReadSlice));
        if (!status.isOk()) return status;
        if (text.find('>') != std::string::npos) break;
        if (!text.empty()) lastByte = Clock::now();
    }
    adapter.answerOwed = false;
    return LinkStatus::ok();
}

// Sends one command and reads its answer. An adapter that ends its answers from the car
// with a '>' prompt is read up to the prompt, however long it pauses before it (a second
// unit may answer late); one that does not is read up to a quiet gap after a complete line,
// and which of the two it is, is learnt from its first answer from the car. A prompt with
// nothing before it is left over from an earlier answer and skipped. A unit that said
// "response pending" (7F xx 78) is waited for, prompt or not, until it answers.
Reply exchangeOnce(Transport& link, std::string_view command, Expect expect, Deadline answerBy,
                   const std::stop_token& stop, const Listening& listening) {
    if (listening.adapter.answerOwed) {
        if (const LinkStatus status = settle(link, answerBy, stop, listening.adapter); !status.isOk()) {
            return {status, {}};
        }
    }
    link.discardInput();
    const Deadline writeBy = std::min(answerBy, Clock::now() + CommandWait);
    if (const LinkStatus status = link.write(std::string(command) + "\r", writeBy); !status.isOk()) {
        return {status, {}};
    }
    // Until the answer is read to its end, whatever cuts it short leaves it owed.
    listening.adapter.answerOwed = true;
    const Clock::time_point sentAt = Clock::now();
    Clock::time_point lastArrival = sentAt;
    Clock::duration longestWait{};
    // A counted request (an answer-count digit after it) makes the chip prompt once that many
    // frames came, a "response pending" among them.
    const bool counted = expect == Expect::Car && command.size() > 2 && command.size() % 2 == 1;
    std::optional<Clock::time_point> pendingAtPrompt;
    const auto measured = [&](Reply& answer) {
        AdapterTiming& timing = listening.adapter.timing;
        if (expect != Expect::Car) {
            if (command != "ATZ" && command != "ATWS") timing.commandAnswered(longestWait);
        } else if (!mentions(answer.text, "SEARCHING") && !mentions(answer.text, "BUSINIT")) {
            timing.requestAnswered(Clock::now() - sentAt);
        }
        return answer;
    };
    const auto pending = [&](std::string_view text) {
        return expect == Expect::Car &&
               awaitsAnswer(withoutEcho(text, command), listening.service, listening.protocol);
    };
    const std::optional<Clock::duration> gap = quietGap(listening.adapter, expect);
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
        if (pendingAtPrompt && now - *pendingAtPrompt >= PendingGrace) {
            listening.adapter.answerOwed = false;
            return {failure(ResponsePendingOnly), {}};
        }
        const LinkStatus status = link.read(text, MaxAnswer + 1 - text.size(), std::min(answerBy, now + ReadSlice));
        if (!status.isOk()) return {status, {}};
        if (text.size() > MaxAnswer) return {failure("answer too long"), {}};
        if (text.size() == scanned) {
            if (gap && Clock::now() - lastByte >= *gap && hasAnswer(text, command, expect, true) && !pending(text)) {
                if (expect == Expect::Car) listening.adapter.carPrompt = false;
                listening.adapter.answerOwed = false;
                return measured(reply);
            }
            continue;
        }
        lastByte = Clock::now();
        longestWait = std::max(longestWait, lastByte - lastArrival);
        lastArrival = lastByte;
        while (scanned < text.size()) {
            const char c = text[scanned];
            lineLength = (c == '\r' || c == '\n') ? 0 : lineLength + 1;
            if (lineLength > MaxLine) return {failure("line too long"), {}};
            if (c != '>') {
                ++scanned;
                continue;
            }
            listening.adapter.promptSeen = true;
            const std::string_view before = std::string_view(text).substr(0, scanned);
            if (hasAnswer(before, command, expect, false)) {
                if (pending(before)) {
                    // The adapter gave up waiting; the unit's answer follows, with a prompt.
                    // After a counted request it may have stopped listening instead.
                    if (counted && !pendingAtPrompt) pendingAtPrompt = Clock::now();
                    text[scanned] = '\r';
                    continue;
                }
                text.resize(scanned);
                if (expect == Expect::Car) listening.adapter.carPrompt = true;
                listening.adapter.answerOwed = false;
                return measured(reply);
            }
            text.erase(0, scanned + 1);
            scanned = 0;
            lineLength = 0;
        }
    }
}

// Whether an answer holds the chip's "STOPPED": a character reached it while it was still
// sending an earlier answer (one an earlier program or read cut short), so that the
// command was lost, the rest of it read as a command of its own.
bool wasBusy(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        // Cut into a line under way, the chip's word may follow its part.
        if (compact(text.substr(start, end - start)).ends_with("STOPPED")) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

// Reads and drops what an adapter sends until it has been quiet for `quiet` (or for
// FirstListen when it said nothing at all), within `bound`. Whether it said anything.
bool hearOut(Transport& link, Deadline bound, Clock::duration quiet, const std::stop_token& stop) {
    Clock::time_point lastByte = Clock::now();
    bool heard = false;
    std::string text;
    for (;;) {
        if (stop.stop_requested()) return heard;
        const Clock::time_point now = Clock::now();
        if (now >= bound || now - lastByte >= (heard ? quiet : Clock::duration(FirstListen))) return heard;
        text.clear();
        if (!link.read(text, MaxAnswer, std::min(bound, now + ReadSlice)).isOk()) return heard;
        if (!text.empty()) {
            heard = true;
            lastByte = Clock::now();
        }
    }
}

namespace {

// Reads and drops what an adapter sends up to its next prompt (and what follows at once),
// within `bound`.
void awaitPrompt(Transport& link, Deadline bound, const std::stop_token& stop) {
    std::string text;
    while (!stop.stop_requested() && Clock::now() < bound) {
        text.clear();
        if (!link.read(text, MaxAnswer, std::min(bound, Clock::now() + ReadSlice)).isOk()) return;
        if (text.find('>') != std::string::npos) break;
    }
    hearOut(link, std::min(bound, Clock::now() + QuietGap), ReadSlice, stop);
}

}  // namespace

// Sends one command and reads its answer (exchangeOnce). An AT command's answer that shows
// the adapter was still busy with an earlier answer (STOPPED: the set-up of a read after
// one cut short) is followed by the chip's "?" for what was left of the command; that is
// waited for, and the command sent again, twice at most, each try with its own wait: the
// adapter is finishing, not failing. The first command of a read is always an AT command;
// a request to the car is never sent into an answer, so its STOPPED fails the read.
Reply exchange(Transport& link, std::string_view command, Expect expect, Deadline answerBy,
               const std::stop_token& stop, const Listening& listening) {
    const Clock::duration wait = answerBy - Clock::now();
    Reply reply;
    for (int attempt = 0; attempt < 3; ++attempt) {
        reply = exchangeOnce(link, command, expect, answerBy, stop, listening);
        if (!reply.status.isOk() || expect == Expect::Car || !wasBusy(reply.text)) return reply;
        awaitPrompt(link, std::min(listening.limit, Clock::now() + BusyBound), stop);
        answerBy = std::min(listening.limit, std::max(answerBy, Clock::now() + wait));
    }
    return {failure("adapter busy"), {}};
}


}  // namespace vx414::elm327::wire
