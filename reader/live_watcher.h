// What live data polling tells its caller and asks of it (the window, vx414-read), apart
// from how it talks to the adapter.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "reader/obd/live_pids.h"

namespace vx414 {

struct LiveChoice {
    std::vector<std::uint8_t> followed;  // asked every round, first
    std::vector<std::uint8_t> others;    // asked one request's worth a round, in turn
    std::chrono::milliseconds interval{0};  // the least time from one round's start to the next
};

// What live polling tells its caller and asks of it, on the polling thread.
class LiveWatcher {
public:
    virtual ~LiveWatcher() = default;
    // The value PIDs (those of obd::pidFields) some unit supports, in order, once known.
    virtual void supported(const std::vector<std::uint8_t>& pids) = 0;
    // What the next round asks; read before every round, so the caller can change it.
    virtual LiveChoice choice() = 0;
    virtual void sample(const obd::LiveSample& sample) = 0;
};

// The reason of an Ok status when no unit supports any value this program reads.
inline constexpr const char* NoLiveValues = "no live values";

}  // namespace vx414
