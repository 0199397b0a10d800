// Live polling over a scripted car: what is asked (several PIDs a request on CAN, the
// answer count once the units are known, the fallback to one PID a request), what each
// round decodes to, and how polling ends.
#include "reader/elm327/elm327_live_poll.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "reader/elm327/elm327_live_rounds.h"

namespace vx414::elm327 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A car of units, each with the PIDs it supports and their data bytes.
struct FakeUnit {
    std::string sender;
    std::map<std::uint8_t, Bytes> values;  // 00, 20 … included as their bitmaps
};

enum class Fault { None, RefusesSeveral, AnswersShort, NoDataForSeveral, BusErrorOnce, NoDataFor0D, LostAfterFour };

std::uint8_t hexAt(const std::string& text, std::size_t at) {
    return static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16));
}

class FakeCar {
public:
    FakeCar(std::vector<FakeUnit> units, Fault fault) : units_(std::move(units)), fault_(fault) {}

    ServiceAnswer operator()(std::string_view request) {
        sent.emplace_back(request);
        std::string text(request);
        if (fault_ == Fault::LostAfterFour && sent.size() > 4) return {LinkStatus(LinkCode::Io, "read failed"), false, {}};
        if (fault_ == Fault::BusErrorOnce && sent.size() == 3) {
            return {LinkStatus(LinkCode::Protocol, "adapter reported a bus error"), false, {}};
        }
        // An odd length is the answer-count digit after the PIDs.
        if (text.size() % 2 == 1) text.pop_back();
        Bytes pids;
        for (std::size_t at = 2; at + 1 < text.size(); at += 2) pids.push_back(hexAt(text, at));
        ServiceAnswer answer{LinkStatus::ok(), false, {}};
        if (pids.size() > 1 && fault_ == Fault::NoDataForSeveral) return {LinkStatus::ok(), true, {}};
        for (const FakeUnit& unit : units_) {
            if (pids.size() > 1 && fault_ == Fault::RefusesSeveral) {
                answer.units.push_back({unit.sender, {}, std::uint8_t{0x12}});
                continue;
            }
            Bytes message = {0x41};
            for (const std::uint8_t pid : pids) {
                if (fault_ == Fault::NoDataFor0D && pid == 0x0D && sent.size() > 3) continue;
                const auto value = unit.values.find(pid);
                if (value == unit.values.end()) continue;
                message.push_back(pid);
                message.insert(message.end(), value->second.begin(), value->second.end());
                if (fault_ == Fault::AnswersShort && pids.size() > 1) break;
            }
            if (message.size() > 1) answer.units.push_back({unit.sender, {message}, std::nullopt});
        }
        answer.noData = answer.units.empty();
        return answer;
    }

    std::vector<std::string> sent;

private:
    std::vector<FakeUnit> units_;
    Fault fault_;
};

// Follows `followed` for `rounds` rounds, then stops.
class CountingWatcher final : public LiveWatcher {
public:
    CountingWatcher(Bytes followed, std::size_t rounds, std::stop_source& stop)
        : followed_(std::move(followed)), rounds_(rounds), stop_(stop) {}
    void supported(const std::vector<std::uint8_t>& pids) override { supportedPids = pids; }
    LiveChoice choice() override { return {followed_, {}, std::chrono::milliseconds(0)}; }
    void sample(const obd::LiveSample& sample) override {
        samples.push_back(sample);
        if (samples.size() >= rounds_) stop_.request_stop();
    }
    Bytes supportedPids;
    std::vector<obd::LiveSample> samples;

private:
    Bytes followed_;
    std::size_t rounds_;
    std::stop_source& stop_;
};

// The engine: 04, 05, 0C, 0D, 0F, 11 and block 20 with 2F (fuel level); the transmission:
// 05, 0C, 0D.
std::vector<FakeUnit> canCar() {
    return {{"7E8",
             {{0x00, {0x18, 0x1A, 0x80, 0x01}},
              {0x20, {0x00, 0x02, 0x00, 0x00}},
              {0x04, {0x5A}},
              {0x05, {0x7B}},
              {0x0C, {0x1A, 0xF8}},
              {0x0D, {0x3C}},
              {0x0F, {0x3C}},
              {0x11, {0x24}},
              {0x2F, {0x80}}}},
            {"7E9", {{0x00, {0x08, 0x18, 0x00, 0x00}}, {0x05, {0x7C}}, {0x0C, {0x1B, 0x00}}, {0x0D, {0x3D}}}}};
}

std::string valuesOf(const obd::LiveSample& sample) {
    std::string out;
    for (const obd::LiveValue& value : sample.values) {
        out += (out.empty() ? "" : " ") + std::to_string(value.field->pid) + "=" + std::to_string(static_cast<int>(value.value));
    }
    for (const std::uint8_t pid : sample.unanswered) out += " no " + std::to_string(pid);
    return out;
}

TEST(Elm327LivePoll, AskedFewTimesAndDecodedPerRound) {
    struct Case {
        const char* what;
        bool can;
        Fault fault;
        Bytes followed;
        std::vector<std::string> requests;  // every request sent, in order
        std::vector<std::string> rounds;    // valuesOf each sample
        LinkCode ended;
    };
    const std::vector<Case> cases = {
        // Three frames and two: not counted until the units have answered it in full once.
        {"CAN: six PIDs in one request, counted once answered whole",
         true, Fault::None, {0x0C, 0x0D, 0x05, 0x04, 0x0F, 0x11},
         {"0100", "01201", "010C0D05040F11", "010C0D05040F115"},
         {"12=1726 13=60 5=83 4=35 15=20 17=14", "12=1726 13=60 5=83 4=35 15=20 17=14"}, LinkCode::Ok},
        {"a PID of the second block, and one no unit supports (not asked)",
         true, Fault::None, {0x2F, 0x0A, 0x0C},
         {"0100", "01201", "012F0C2", "012F0C2"}, {"47=50 12=1726", "47=50 12=1726"}, LinkCode::Ok},
        {"a unit refuses several PIDs: asked alone in the same round, and from then on",
         true, Fault::RefusesSeveral, {0x0C, 0x05},
         {"0100", "01201", "010C052", "010C2", "01052", "010C2", "01052"}, {"12=1726 5=83", "12=1726 5=83"},
         LinkCode::Ok},
        {"a unit answers short: what it left out asked alone, then one a request",
         true, Fault::AnswersShort, {0x0C, 0x05},
         {"0100", "01201", "010C052", "01052", "010C2", "01052"}, {"12=1726 5=83", "12=1726 5=83"},
         LinkCode::Ok},
        {"NO DATA to several PIDs: the same, no round without its values",
         true, Fault::NoDataForSeveral, {0x0C, 0x05},
         {"0100", "01201", "010C052", "010C2", "01052", "010C2", "01052"}, {"12=1726 5=83", "12=1726 5=83"},
         LinkCode::Ok},
        {"one bus error is asked again and is no verdict on the form",
         true, Fault::BusErrorOnce, {0x0C, 0x05},
         {"0100", "01201", "010C052", "010C05", "010C052"}, {"12=1726 5=83", "12=1726 5=83"}, LinkCode::Ok},
        {"the older buses: one PID a request",
         false, Fault::None, {0x0C, 0x05},
         {"0100", "01201", "010C2", "01052", "010C2", "01052"}, {"12=1726 5=83", "12=1726 5=83"}, LinkCode::Ok},
        // Left out of a request for several: asked alone, its NO DATA once more; the next
        // round tries the longer form again, as the units answered it before.
        {"NO DATA mid-run: the round says so and polling goes on",
         true, Fault::NoDataFor0D, {0x0D, 0x05},
         {"0100", "01201", "010D052", "010D052", "010D2", "010D", "010D052", "010D2", "010D"},
         {"13=60 5=83", "5=83 no 13", "5=83 no 13"}, LinkCode::Ok},
        {"the adapter goes: the rounds before stay, polling ends with the cause",
         true, Fault::LostAfterFour, {0x0C},
         {"0100", "01201", "010C2", "010C2", "010C2"}, {"12=1726", "12=1726"}, LinkCode::Io},
    };
    for (const Case& c : cases) {
        FakeCar car(canCar(), c.fault);
        CarRequests requests([&car](std::string_view request, std::size_t) { return car(request); });
        std::stop_source stop;
        // A lost adapter ends polling before the watcher would stop it.
        CountingWatcher watcher(c.followed, c.rounds.size() + (c.ended == LinkCode::Ok ? 0 : 1), stop);
        const LinkStatus ended = pollLiveRounds(requests, c.can, stop.get_token(), watcher);
        EXPECT_EQ(ended.code(), c.ended) << c.what << ": " << ended.toString();
        EXPECT_EQ(car.sent, c.requests) << c.what;
        std::vector<std::string> rounds;
        for (const obd::LiveSample& sample : watcher.samples) rounds.push_back(valuesOf(sample));
        EXPECT_EQ(rounds, c.rounds) << c.what;
        EXPECT_EQ(watcher.supportedPids, (Bytes{0x04, 0x05, 0x0C, 0x0D, 0x0F, 0x11, 0x2F})) << c.what;
    }
}

TEST(Elm327LivePoll, ACarWithoutLiveValuesEndsAtOnce) {
    FakeCar car({{"7E8", {{0x00, {0x80, 0x00, 0x00, 0x00}}}}}, Fault::None);  // PID 01 alone
    CarRequests requests([&car](std::string_view request, std::size_t) { return car(request); });
    std::stop_source stop;
    CountingWatcher watcher({0x0C}, 1, stop);
    const LinkStatus ended = pollLiveRounds(requests, true, stop.get_token(), watcher);
    EXPECT_TRUE(ended.isOk());
    EXPECT_STREQ(ended.reason(), NoLiveValues);
    EXPECT_TRUE(watcher.samples.empty());
    EXPECT_EQ(car.sent, std::vector<std::string>{"0100"});
}

}  // namespace
}  // namespace vx414::elm327
