// The ELM327 session against an adapter that answers with arbitrary text: no crash, every
// exchange ends within its deadline, a failure carries no codes, and a success only codes
// that are codes.
//
// Input: byte 0 holds flags (bit 0: a '>' prompt after every answer; bit 1: a second read
// after the first; bit 2: a clear after the reads); the rest is the adapter's answers, one
// per command in the order the commands are sent, separated by 0x01 bytes. Commands past
// the last answer get silence.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_session.h"
#include "reader/elm327/testing/scripted_transport.h"

namespace {

using namespace std::chrono_literals;
using namespace vx414::elm327;

void check(bool condition) {
    if (!condition) std::abort();
}

// Short: commands the script leaves silent, and answers without a prompt, cost their
// whole wait.
constexpr auto ReadBound = 40ms;
// The session overruns its deadline by one read slice and the time to parse at most; the
// rest is room for a machine busy with other work. A wait not bounded by the deadline
// would take the session's own waits (1 s and more) or for ever.
constexpr auto Slack = 900ms;

void checkCodes(const SessionResult& result) {
    if (!result.status.isOk()) {
        check(result.pending.empty() && result.stored.empty() && result.vehicle.units.empty());
        check(result.status.reason()[0] != '\0');
        return;
    }
    for (const auto* codes : {&result.pending, &result.stored}) {
        for (const vx414::TroubleCode& code : *codes) check(vx414::encodeTroubleCode(code.text()).has_value());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool prompt = (data[0] & 1U) != 0;
    const bool secondRead = (data[0] & 2U) != 0;
    const bool clear = (data[0] & 4U) != 0;
    auto answers = std::make_shared<std::vector<std::string>>(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0x01) {
            answers->emplace_back();
        } else {
            answers->back() += static_cast<char>(data[i]);
        }
    }
    auto next = std::make_shared<std::size_t>(0);
    ScriptedTransport link([answers, next, prompt](const std::string& command) {
        // The longest: a freeze-frame request for three PIDs with its answer count.
        check(!command.empty() && command.size() <= 15);
        if (*next >= answers->size()) return ScriptedTransport::Reply{};
        std::string text = (*answers)[(*next)++];
        if (prompt) text += "\r>";
        return ScriptedTransport::Reply{{0ms, text}};
    });

    Session session;
    for (int read = 0; read < (secondRead ? 2 : 1); ++read) {
        const Clock::time_point start = Clock::now();
        const SessionResult result = session.readCodes(link, start + ReadBound);
        check(Clock::now() - start < ReadBound + Slack);
        checkCodes(result);
        check(session.protocol() >= 0 && session.protocol() <= 12);
    }
    if (clear) {
        const Clock::time_point start = Clock::now();
        const ClearResult result = session.clearCodes(link, start + ReadBound);
        check(Clock::now() - start < ReadBound + Slack);
        check(result.status.isOk() == !result.confirmed.empty());
    }
    // Set-up (each AT command tried three times at most when the adapter says STOPPED), a
    // retry after a search and two services a read, and the clear: never more.
    check(link.commands().size() <= 200);
    return 0;
}
