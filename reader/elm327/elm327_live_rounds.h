// Which PIDs each round of live data asks for. The PIDs the user follows (ticked in the
// window, named on the command line) are asked every round, before any other; the other
// PIDs a list shows can wait, and come one request's worth a round, in turn, so that every
// one is refreshed now and then without slowing the followed ones down much. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx414::elm327 {

class LiveRounds {
public:
    // `followed` in the order the user chose them; `others` the rest of the list (a PID in
    // both is followed); `perRequest` the PIDs one request names (6 on CAN, else 1).
    LiveRounds(std::vector<std::uint8_t> followed, const std::vector<std::uint8_t>& others, std::size_t perRequest);

    // The next round: the followed PIDs, then the next of the others.
    std::vector<std::uint8_t> next();

    // The bus took fewer PIDs a request than hoped (a unit refused the longer form): the
    // others' share shrinks with it.
    void setPerRequest(std::size_t perRequest) { perRequest_ = perRequest == 0 ? 1 : perRequest; }

private:
    std::vector<std::uint8_t> followed_;
    std::vector<std::uint8_t> others_;
    std::size_t perRequest_;
    std::size_t cursor_ = 0;
};

}  // namespace vx414::elm327
