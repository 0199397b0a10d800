// How fast an adapter answers, measured on its own answers, and the waits that follow from
// it. A chip on a wire answers an AT command within a few milliseconds; a Bluetooth
// adapter can keep every line 0.3 to 1 s on the way. The waits that suit the one fail the
// other, so they are sized by what was measured, each within a fixed upper bound.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

class AdapterTiming {
public:
    // An AT command's answer: the longest the adapter kept us waiting for a byte of it,
    // from the command on. Its own waits are not in it (a reset's are left out by the caller).
    void commandAnswered(Clock::duration longestWait) {
        lineWait_ = measured_ ? std::max(lineWait_, longestWait) : longestWait;
        measured_ = true;
    }
    // A request to the car, from the command to the answer's end (its search, if it made
    // one, left out by the caller).
    void requestAnswered(Clock::duration whole) { requestTime_ = std::max(requestTime_, whole); }

    // The adapter keeps its lines longer on the way than a chip on a wire ever does.
    bool slow() const { return lineWait_ > SlowLine; }

    // An AT command's answer: 1 s; 3 s on a slow adapter; 2.5 s before any was measured, so
    // that a slow adapter's first answer (its echo and its OK, each late) is not taken for
    // silence, while a silent adapter still fails within the three seconds a user waits.
    Clock::duration commandWait() const {
        if (!measured_) return std::chrono::milliseconds(2500);
        return slow() ? std::chrono::milliseconds(3000) : std::chrono::milliseconds(1000);
    }
    // A reset (ATZ, ATWS): the chip's own second, plus two late lines on a slow adapter.
    Clock::duration resetWait() const {
        return std::chrono::milliseconds(2000) + (slow() ? 2 * lineWait_ : Clock::duration::zero());
    }
    // An answer cut short, waited out before the next command: the chip prompts within its
    // 1 s timeout; a slow adapter's last lines may still be on the way.
    Clock::duration settleBound() const {
        return std::chrono::milliseconds(1000) + (slow() ? 3 * lineWait_ : Clock::duration::zero());
    }
    // The codes' read: 10 s, as users wait for it; 20 s on a slow adapter, whose set-up
    // alone can take ten.
    Clock::duration codesTime() const { return slow() ? std::chrono::seconds(20) : std::chrono::seconds(10); }
    // What `requests` requests to the car may take: each up to twice the longest measured,
    // and never less than `floor`.
    Clock::duration forRequests(std::size_t requests, Clock::duration floor) const {
        return std::max(floor, 2 * requestTime_ * static_cast<long>(requests));
    }

    Clock::duration lineWait() const { return lineWait_; }
    Clock::duration requestTime() const { return requestTime_; }

private:
    static constexpr std::chrono::milliseconds SlowLine{200};
    Clock::duration lineWait_{};
    Clock::duration requestTime_{};
    bool measured_ = false;
};

}  // namespace vx414::elm327
