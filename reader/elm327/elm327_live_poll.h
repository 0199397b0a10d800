// Live data from the car: which of the values this program reads the units support (01 00
// and each later block declared), then rounds of requests for the PIDs followed, several to
// a request on CAN with the fallback to one (PidReader), each round decoded into values.
// Runs on the caller's thread (the device library's worker, vx414-read); a stop ends it
// within the session's read slice.
#pragma once

#include <cstdint>
#include <stop_token>
#include <vector>

#include "reader/live_watcher.h"
#include "reader/elm327/elm327_pid_request.h"
#include "reader/link_status.h"
#include "reader/obd/live_pids.h"

namespace vx414::elm327 {

// The units' support of service 01, from 01 00 and each later block a unit declares.
PidSupport readLiveSupport(PidReader& reader);
// The value PIDs any unit supports, in order.
std::vector<std::uint8_t> supportedValuePids(const PidSupport& support);
// One round's values from the answers PidReader gave: for each PID the engine unit's value
// when it gave one, else the first unit's; a PID no unit gave a value for is unanswered.
obd::LiveSample decodeRound(const std::vector<std::pair<std::uint8_t, ServiceAnswer>>& answers, double seconds);

// Discovery, then rounds until `stop` or the adapter or car is lost. Ok when stopped (or
// when the car supports none of the values: then with the reason "no live values"); else
// why the adapter or the car was lost.
LinkStatus pollLiveRounds(CarRequests& requests, bool can, std::stop_token stop, LiveWatcher& watcher);

}  // namespace vx414::elm327
