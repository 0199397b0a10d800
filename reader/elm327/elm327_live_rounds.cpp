#include "reader/elm327/elm327_live_rounds.h"

#include <algorithm>

namespace vx414::elm327 {

LiveRounds::LiveRounds(std::vector<std::uint8_t> followed, const std::vector<std::uint8_t>& others,
                       std::size_t perRequest)
    : followed_(std::move(followed)), perRequest_(perRequest == 0 ? 1 : perRequest) {
    for (const std::uint8_t pid : others) {
        const bool known = std::find(followed_.begin(), followed_.end(), pid) != followed_.end() ||
                           std::find(others_.begin(), others_.end(), pid) != others_.end();
        if (!known) others_.push_back(pid);
    }
}

std::vector<std::uint8_t> LiveRounds::next() {
    std::vector<std::uint8_t> round = followed_;
    if (others_.empty()) return round;
    // The others fill the followed PIDs' last request, or take one request of their own
    // when it is full (or there are none followed).
    const std::size_t room = followed_.size() % perRequest_;
    const std::size_t share = std::min(others_.size(), room == 0 ? perRequest_ : perRequest_ - room);
    for (std::size_t i = 0; i < share; ++i) {
        round.push_back(others_[cursor_]);
        cursor_ = (cursor_ + 1) % others_.size();
    }
    return round;
}

}  // namespace vx414::elm327
