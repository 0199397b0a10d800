// Requests to the car by PID, as few as the bus allows: on CAN a service 01 request may name
// up to six PIDs and a service 02 request up to three PID and frame pairs (a request is one
// CAN frame: seven bytes), each unit answering in one message; the older buses take one PID
// a request. The answers come back split into one message per PID, in the form a request
// for that PID alone gets (41 pid data, 42 pid 00 data), so the decoders read both alike.
// Used by the vehicle read after the codes; anything that reads PIDs can use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_service_answer.h"
#include "reader/obd/supported_pids.h"

namespace vx414::elm327 {

// Sends one request to the car ("0101", "020C001") and gives its answer unit by unit.
using ServiceAsker = std::function<ServiceAnswer(std::string_view request)>;

// What each unit (by its sender) says it supports.
using PidSupport = std::map<std::string, obd::SupportedPids>;

// The reason of an answer to a counted request that held nothing but "response pending"
// (7F xx 78) before the adapter's prompt: the adapter counted it as the answer and stopped
// listening, so the unit's real answer, if it came, went unheard.
inline constexpr const char* ResponsePendingOnly = "only response pending";

inline constexpr std::size_t MostPidsAtOnce01 = 6;
inline constexpr std::size_t MostPidsAtOnce02 = 3;

// The data bytes of a PID's value in a service 01 or 02 answer (after the PID and, in 02,
// the frame number), for the PIDs 00 to 20 of SAE J1979; 0 for a PID of another or a
// varying length, which is then always asked alone.
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

// Requests to the car with the number of answer frames to wait for, where it is known: the
// adapter otherwise waits its timeout after the last answer in case another unit answers.
// An adapter that does not know the digit ("?") is asked again without it and not given it
// again; a counted request whose only answer is "response pending" (the adapter prompted
// after it, counting it as the answer) is asked again without the digit. Once the adapter
// or the car is gone, or the read was stopped, nothing more is sent.
class CarRequests {
public:
    explicit CarRequests(ServiceAsker ask) : ask_(std::move(ask)) {}

    // `request` with the number of answer frames to wait for when `frames` is known (not
    // 0) and fits one digit.
    ServiceAnswer operator()(const std::string& request, std::size_t frames = 0);

    // The adapter or the car went, or a stop came: no further request is worth sending.
    bool lost() const { return lost_.has_value(); }
    // Why, when lost(): the answer status that ended the read.
    const LinkStatus& lostStatus() const { return *lost_; }
    // How many requests were sent (a request sent again counts again).
    std::size_t sent() const { return sent_; }

private:
    ServiceAsker ask_;
    bool digits_ = true;
    std::optional<LinkStatus> lost_;
    std::size_t sent_ = 0;
};

// Reads PIDs of service 01 or of service 02's frame 0, several to a request where the bus
// takes it. A unit that refuses such a request or answers it short (a PID it lists
// missing) has the request's PIDs asked again one at a time, and so does every later
// request of this reader: the car is taken not to know the form.
class PidReader {
public:
    // `severalAtOnce`: the bus is CAN. `unitCount`: the units that answered so far (07, 03),
    // 0 when not known.
    PidReader(CarRequests& requests, bool severalAtOnce, std::size_t unitCount)
        : requests_(requests), severalAtOnce_(severalAtOnce), unitCount_(unitCount) {}

    // Each PID's answer from every unit, as a request for it alone would have it, in the
    // order asked. With `support`, a PID no unit lists is not asked (and has no entry), and
    // the frames to wait for are counted from it; without, the units' answer to PID 00 among
    // `pids` (asked first) gives it for the PIDs after. A request that failed gives each of
    // its PIDs that failure.
    std::vector<std::pair<std::uint8_t, ServiceAnswer>> read(std::uint8_t service, std::span<const std::uint8_t> pids,
                                                             const PidSupport* support = nullptr);

    // Whether requests still name several PIDs (no unit has refused or answered short).
    bool severalAtOnce() const { return severalAtOnce_; }

private:
    using Answers = std::vector<std::pair<std::uint8_t, ServiceAnswer>>;
    bool readTogether(std::uint8_t service, std::span<const std::uint8_t> group, const PidSupport* support,
                      Answers& answers);
    void readAlone(std::uint8_t service, std::uint8_t pid, const PidSupport* support, Answers& answers);

    CarRequests& requests_;
    bool severalAtOnce_;
    std::size_t unitCount_;
};

// What each unit's answer to a "supported PIDs" request (01 00, 02 00 00, 09 00) declares.
PidSupport supportBySender(const ServiceAnswer& answer);
// How many units list `pid`.
std::size_t supporting(const PidSupport& support, std::uint8_t pid);

}  // namespace vx414::elm327
