// The whole read and live data through the real session and tty transport, against the
// project's ELM327 emulator playing adapters and cars that cooperate less than it does by
// default: each row names a personality and what the report must then say, item by item.
// Whatever an adapter leaves out, the report has the value read or says the item was not
// read, with its reason; never "off", "ready", "none" or an empty frame that was not
// answered.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "tools/elm327-emulator/elm327_car.h"
#include "tools/elm327-emulator/testing/personalities.h"
#include "tools/elm327-emulator/testing/running_adapter.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;
using elmemu::testing::Personality;
using elmemu::testing::personalities;
using elmemu::testing::personalityCar;
using elmemu::testing::RunningAdapter;

std::string codesText(const std::vector<TroubleCode>& codes) {
    std::string text;
    for (const TroubleCode& code : codes) text += (text.empty() ? "" : " ") + code.toString();
    return text;
}

// The same, in alphabetical order: the units' codes come in the order the units answered.
std::string sortedCodes(std::vector<TroubleCode> codes) {
    std::sort(codes.begin(), codes.end(), [](const TroubleCode& a, const TroubleCode& b) { return a.toString() < b.toString(); });
    return codesText(codes);
}

// "not read (reason)" when the item is listed so, else `read`.
std::string item(const VehicleInfo& info, VehicleItem which, const std::string& read) {
    for (const ItemNotRead& entry : info.notRead) {
        if (entry.item == which) return "not read (" + entry.reason + ")";
    }
    return read;
}

std::string milText(const VehicleInfo& info) {
    return item(info, VehicleItem::Readiness, !info.mil ? "none" : *info.mil ? "on" : "off");
}

// The frame's code and how many values it holds.
std::string frameText(const VehicleInfo& info) {
    if (!info.freezeFrame) return item(info, VehicleItem::FreezeFrame, "none");
    const FreezeFrame& frame = *info.freezeFrame;
    return item(info, VehicleItem::FreezeFrame,
                (frame.code ? frame.code->toString() : "?") + " with " + std::to_string(frame.values.size()) + " values");
}

// Follows engine speed, vehicle speed and coolant for three rounds.
class ThreeRounds final : public LiveWatcher {
public:
    explicit ThreeRounds(std::stop_source& stop) : stop_(stop) {}
    void supported(const std::vector<std::uint8_t>&) override {}
    LiveChoice choice() override { return {{0x0C, 0x0D, 0x05}, {}, 0ms}; }
    void sample(const obd::LiveSample& sample) override {
        std::string text;
        for (const obd::LiveValue& value : sample.values) text += value.field->name.substr(0, 3);
        for (const std::uint8_t pid : sample.unanswered) text += " no " + std::to_string(pid);
        rounds.push_back(text);
        if (rounds.size() == 3) stop_.request_stop();
    }
    std::vector<std::string> rounds;

private:
    std::stop_source& stop_;
};

TEST(Elm327Personalities, WhatTheReportSaysOnEachAdapter) {
    for (const Personality& row : personalities()) {
        SCOPED_TRACE(row.what);
        std::vector<std::string_view> arguments = personalityCar();
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        RunningAdapter adapter(arguments);
        ASSERT_FALSE(adapter.address().empty());
        TtyTransport link(adapter.address(), 38400);
        Session session;
        const SessionResult read = session.readCodes(link, Clock::now() + 20s);
        EXPECT_EQ(read.status.toString(), "ok");
        if (!read.status.isOk()) continue;  // the other rows still run
        const VehicleInfo& v = read.vehicle;
        EXPECT_EQ(sortedCodes(read.pending), "P0171 P0300");
        EXPECT_EQ(codesText(read.stored), "P0420");
        EXPECT_EQ(milText(v), row.mil);
        EXPECT_EQ(frameText(v), row.frame);
        EXPECT_EQ(item(v, VehicleItem::Vin, v.vin.empty() ? "none" : "read"), row.vin);
        EXPECT_EQ(item(v, VehicleItem::Permanent, codesText(v.permanent)), row.permanent);

        std::stop_source stop;
        ThreeRounds watcher(stop);
        EXPECT_TRUE(session.pollLive(link, stop.get_token(), watcher).isOk());
        EXPECT_EQ(watcher.rounds, std::vector<std::string>(3, "EngVehCoo"));
    }
}

}  // namespace
}  // namespace vx414::elm327
