// Requests to the car by PID, as few as the bus allows and no fewer than the answers need.
// On CAN a service 01 request may name up to six PIDs and a service 02 request up to three
// PID and frame pairs (a request is one CAN frame: seven bytes), each unit answering in one
// message; the older buses take one PID a request. The answers come back split into one
// message per PID, in the form a request for that PID alone gets (41 pid data, 42 pid 00
// data), so the decoders read both alike.
//
// Both shortcuts, several PIDs a request and the answer-count digit, are only ever used to
// go faster: what an answer taken through them leaves out is asked again the plain way in
// the same call, so that nothing is concluded from an answer that may have been cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_service_answer.h"
#include "reader/obd/supported_pids.h"

namespace vx414::elm327 {

// Sends one request to the car ("0101", "020C001") and gives its answer unit by unit.
// `frames`: how many frames the answer is expected to take at most, 0 when not known (the
// wait may be sized by it).
using ServiceAsker = std::function<ServiceAnswer(std::string_view request, std::size_t frames)>;

// What each unit (by its sender) says it supports.
using PidSupport = std::map<std::string, obd::SupportedPids>;

// The reason of an answer to a counted request that held nothing but "response pending"
// (7F xx 78) before the adapter's prompt: the adapter counted it as the answer and stopped
// listening, so the unit's real answer, if it came, went unheard.
inline constexpr const char* ResponsePendingOnly = "only response pending";

inline constexpr std::size_t MostPidsAtOnce01 = 6;
inline constexpr std::size_t MostPidsAtOnce02 = 3;

// A unit (or the adapter) that did not answer a request for several PIDs in full is asked
// one PID a request; after this many further reads it is given the longer form again, as
// one bad answer may have been the bus's fault rather than the unit's.
inline constexpr std::size_t CombinedRetryAfter = 50;

// The data bytes of a PID's value in a service 01 or 02 answer (after the PID and, in 02,
// the frame number): for the PIDs 00 to 20 of SAE J1979, the later supported-PID blocks,
// and the live values of obd::pidFields beyond; 0 for a PID of another or a varying length,
// which is then always asked alone.
std::size_t pidDataLength(std::uint8_t pid);

// One unit's answer to a request for several PIDs of service 01 or 02 (frame 0), split into
// one message per PID in the form a request for that PID alone gets. Nothing when it does
// not read so: another service, a PID not asked or twice, a frame other than 0, a length
// past the end or bytes left over.
std::optional<std::vector<std::vector<std::uint8_t>>> splitPidAnswer(std::span<const std::uint8_t> message,
                                                                     std::uint8_t service,
                                                                     std::span<const std::uint8_t> pids);

// How many CAN frames a message of `bytes` takes (a single frame holds seven).
std::size_t canFrames(std::size_t bytes);

// What is known of a request's answer before it is sent.
struct RequestPlan {
    // The frames the answer takes when every unit expected answers in full; 0 when not
    // known. It sizes the wait.
    std::size_t frames = 0;
    // Whether `frames` is exact: every unit's answer a single frame of known length. Only
    // then (and with headers shown) does the request carry the answer-count digit.
    bool exact = false;
    // The units expected to answer, by sender; empty when not known.
    std::vector<std::string> units;
    // Some unit lists what is asked: a lone NO DATA is no answer, and it is asked once more.
    bool listed = false;
};

// Requests the units have answered in full before, each with the frames and the units of
// its answer: asking it again may wait for just those frames. Kept for as long as the same
// car is read (the session clears it when the units that answer the codes change).
struct AnswerProofs {
    struct Proof {
        std::size_t frames = 0;
        std::vector<std::string> units;
    };
    std::map<std::string, Proof> byRequest;
};

// Requests to the car. The number of answer frames to wait for is added where counting
// cannot cut an answer: its length known, its units known and told apart by their headers
// (CarRequests stops counting for good once an answer comes without them). An answer the
// count may have cut (a unit expected missing, a multi-frame message left incomplete,
// "response pending" alone) is asked again without it; an adapter that does not know the
// digit ("?") is asked again without it and not given it for a while, and never again
// once it said so twice. A request of known length answered in full is remembered
// (AnswerProofs): asked again, it waits for the frames and units that answered it, not for
// units that never do. One CAN ERROR, BUFFER FULL, <DATA ERROR or STOPPED, and a lone
// NO DATA where a unit lists what was asked, is asked once more before it stands. Once the
// adapter or the car is gone, or the read was stopped, nothing more is sent.
class CarRequests {
public:
    // `proofs`: where answers in full are remembered, for longer than this object lives;
    // its own when not given.
    explicit CarRequests(ServiceAsker ask, bool can = true, AnswerProofs* proofs = nullptr)
        : ask_(std::move(ask)), can_(can), proofs_(proofs != nullptr ? *proofs : ownProofs_) {}

    ServiceAnswer operator()(const std::string& request, const RequestPlan& plan = {});

    // A request answered in full without the count (a request for several PIDs every unit
    // answered whole): its frames and units, so that asking it again may count them.
    void prove(const std::string& request, const ServiceAnswer& answer);
    void forget(const std::string& request) { proofs_.byRequest.erase(request); }

    // The adapter does not show which unit sent an answer (a clone that ignores ATH1): no
    // count digit from now on.
    void headersHidden() { headers_ = false; }
    bool headersShown() const { return headers_; }

    // The adapter or the car went, or a stop came: no further request is worth sending.
    bool lost() const { return lost_.has_value(); }
    // Why, when lost(): the answer status that ended the read.
    const LinkStatus& lostStatus() const { return *lost_; }
    // How many requests were sent (a request sent again counts again).
    std::size_t sent() const { return sent_; }

    // The frames an answer holds: one per message on the older buses, each message's
    // frames on CAN, one per refusal.
    std::size_t framesIn(const ServiceAnswer& answer) const;

private:
    ServiceAnswer send(const std::string& request, std::size_t frames);
    bool digitsAllowed() const;

    ServiceAsker ask_;
    bool can_;
    AnswerProofs ownProofs_;
    AnswerProofs& proofs_;
    bool headers_ = true;
    int digitRefusals_ = 0;
    std::size_t digitsAgainAt_ = 0;
    std::optional<LinkStatus> lost_;
    std::size_t sent_ = 0;
};

// What the units have shown of requests for several PIDs: when (counted in PidReader reads)
// a unit last left out of one what it then answered alone, and when the adapter last
// refused the form. Kept for as long as the same car is read.
struct CombinedForms {
    std::size_t reads = 0;
    std::map<std::string, std::size_t> refused;
    std::optional<std::size_t> adapterRefused;
};

// Reads PIDs of service 01 or of service 02's frame 0, several to a request where the bus
// takes it and the units have not shown they do not. A request for several PIDs whose
// answer leaves out a PID some unit lists (NO DATA, "?", a refusal, a short answer, a unit
// that stayed silent) has each PID left out asked alone at once; a unit that then answers
// alone what it left out is asked one PID a request from then on (CombinedRetryAfter reads).
class PidReader {
public:
    // `severalAtOnce`: the bus is CAN. `units`: the units that answered so far (07, 03), by
    // sender; empty when not known. `forms`: what earlier reads of the car showed; this
    // reader's own when not given.
    PidReader(CarRequests& requests, bool severalAtOnce, std::vector<std::string> units,
              CombinedForms* forms = nullptr)
        : requests_(requests),
          severalAtOnce_(severalAtOnce),
          units_(std::move(units)),
          forms_(forms != nullptr ? *forms : ownForms_) {}

    // Each PID's answer from every unit, as a request for it alone would have it, in the
    // order asked. With `support`, a PID no unit lists is not asked (and has no entry);
    // without, every PID is asked of the units given at construction.
    // A request that failed gives each of its PIDs that failure.
    std::vector<std::pair<std::uint8_t, ServiceAnswer>> read(std::uint8_t service, std::span<const std::uint8_t> pids,
                                                             const PidSupport* support = nullptr);

    // Whether requests may name several PIDs (the bus takes them, and the adapter has not
    // refused the form lately).
    bool severalAtOnce() const;

private:
    using Answers = std::vector<std::pair<std::uint8_t, ServiceAnswer>>;
    void readTogether(std::uint8_t service, std::span<const std::uint8_t> group, const PidSupport* support,
                      Answers& answers);
    ServiceAnswer askAlone(std::uint8_t service, std::uint8_t pid, const PidSupport* support);
    std::vector<std::string> expectedUnits(std::span<const std::uint8_t> pids, const PidSupport* support) const;
    bool combinedUsable(std::span<const std::uint8_t> group, const PidSupport* support) const;
    bool recent(std::size_t when) const { return forms_.reads - when < CombinedRetryAfter; }

    CarRequests& requests_;
    bool severalAtOnce_;
    std::vector<std::string> units_;
    CombinedForms ownForms_;
    CombinedForms& forms_;
};

// What each unit's answer to a "supported PIDs" request (01 00, 02 00 00, 09 00) declares.
PidSupport supportBySender(const ServiceAnswer& answer);
// How many units list `pid`.
std::size_t supporting(const PidSupport& support, std::uint8_t pid);

}  // namespace vx414::elm327
