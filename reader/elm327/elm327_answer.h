// What an ELM327 adapter answers to a trouble-code request, read from its text. A pure
// function of the text: no clocks, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/clear_result.h"
#include "reader/link_status.h"
#include "reader/trouble_code.h"

namespace vx414::elm327 {

enum class Service : std::uint8_t {
    StoredCodes = 0x03,
    ClearCodes = 0x04,
    PendingCodes = 0x07,
};

// The codes one control unit sent, in the order sent; padding codes 0000 dropped.
struct EcuCodes {
    std::string sender;  // its header as the adapter showed it ("7E8", "18DAF110", "486B10"),
                         // without blanks; empty when headers were off
    std::vector<TroubleCode> codes;
    // The unit's refusal 7F <service> <code> (11: it does not support the service); it has
    // no codes then.
    std::optional<std::uint8_t> refusal;
};

struct CodesAnswer {
    LinkStatus status;         // Ok, or Protocol with a short fixed reason
    bool noData = false;       // "NO DATA": the car answered with no codes
    std::vector<EcuCodes> ecus;  // in the order the units first answered
};

// Parses the whole answer to one request of `service` (03 or 07): everything the adapter
// sent after the command, up to and including the '>' prompt if it came. `protocol` is
// the adapter's protocol number as ATDPN reports it without a leading 'A' (1 to 9, 10 to
// 12 for A to C), or 0 when not known yet. Any line that is not part of a well-formed
// answer fails it: never a wrong code. A unit that refuses the service has no codes and
// the others keep theirs; when every unit refused, the answer fails.
CodesAnswer parseCodesAnswer(std::string_view answer, Service service, int protocol);

// What the car said to service 04, unit by unit.
using ClearResult = vx414::ClearResult;

// The answer to service 04: Ok when at least one unit confirmed (44); "NO DATA", refusals
// alone or anything malformed fail.
ClearResult parseClearAnswer(std::string_view answer, int protocol);

// The first of the adapter's own failure messages in any answer ("UNABLE TO CONNECT",
// "CAN ERROR", "BUS INIT: ...ERROR", a restart banner and the like), as parseCodesAnswer
// reports it; Ok when there is none.
LinkStatus adapterFailure(std::string_view answer);

// Whether a unit said "response pending" (7F <service> 78) in `answer` and has not
// answered since: the adapter has more to send.
bool awaitsAnswer(std::string_view answer, std::uint8_t service, int protocol);

// Each code once, in the order the units answered (the first unit's codes first).
std::vector<TroubleCode> mergeCodes(const std::vector<EcuCodes>& ecus);

}  // namespace vx414::elm327
