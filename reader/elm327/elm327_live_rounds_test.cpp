#include "reader/elm327/elm327_live_rounds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vx414::elm327 {
namespace {

using Pids = std::vector<std::uint8_t>;

TEST(LiveRounds, FollowedPidsEveryRoundTheOthersInTurn) {
    struct Case {
        const char* what;
        Pids followed;
        Pids others;
        std::size_t perRequest;
        std::vector<Pids> rounds;
    };
    const std::vector<Case> cases = {
        {"followed alone", {0x0C, 0x05}, {}, 6, {{0x0C, 0x05}, {0x0C, 0x05}}},
        {"others fill the last request",
         {0x0C, 0x05, 0x0D, 0x04},
         {0x06, 0x07, 0x0B, 0x0F},
         6,
         {{0x0C, 0x05, 0x0D, 0x04, 0x06, 0x07}, {0x0C, 0x05, 0x0D, 0x04, 0x0B, 0x0F}, {0x0C, 0x05, 0x0D, 0x04, 0x06, 0x07}}},
        {"a full request leaves the others one of their own",
         {1, 2, 3, 4, 5, 6},
         {7, 8},
         6,
         {{1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"one PID a request: one other a round", {0x0C}, {0x05, 0x0D, 0x0C}, 1, {{0x0C, 0x05}, {0x0C, 0x0D}, {0x0C, 0x05}}},
        {"nothing followed: the list in turn", {}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 6, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 1, 2, 3}}},
    };
    for (const Case& c : cases) {
        LiveRounds rounds(c.followed, c.others, c.perRequest);
        for (std::size_t i = 0; i < c.rounds.size(); ++i) EXPECT_EQ(rounds.next(), c.rounds[i]) << c.what << " round " << i;
    }
    // A car that took one PID a request after all: the others come one a round.
    LiveRounds rounds({0x0C}, {0x05, 0x0D}, 6);
    EXPECT_EQ(rounds.next(), (Pids{0x0C, 0x05, 0x0D}));
    rounds.setPerRequest(1);
    EXPECT_EQ(rounds.next(), (Pids{0x0C, 0x05}));
}

}  // namespace
}  // namespace vx414::elm327
