#include "tools/elm327-emulator/elm327_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/elm327-emulator/elm327_car.h"

namespace vx414::elmemu {
namespace {

// The engine unit's answer to 01 pid at `seconds` after the start, without 41 and the PID;
// empty when it does not answer.
std::vector<std::uint8_t> engineData(double seconds, std::uint8_t pid, CarKind kind = CarKind::Can11) {
    CarSetup setup;
    setup.kind = kind;
    setup.engineClock = [seconds] { return seconds; };
    Car car(setup);
    const std::uint8_t request[] = {0x01, pid};
    for (const EcuMessage& message : car.answer(request)) {
        if (message.header != 0x7E8 && message.header != 0x486B10) continue;
        if (message.data.size() < 2 || message.data[0] != 0x41 || message.data[1] != pid) return {};
        return {message.data.begin() + 2, message.data.end()};
    }
    return {};
}

int wordOf(const std::vector<std::uint8_t>& data) { return data.size() < 2 ? -1 : data[0] * 256 + data[1]; }

TEST(Elm327Engine, TheEngineWarmsUpAndGoesThroughItsRound) {
    struct Case {
        const char* what;
        double seconds;
        std::uint8_t pid;
        double low;
        double high;
        double (*value)(const std::vector<std::uint8_t>&);
    };
    auto celsius = [](const std::vector<std::uint8_t>& d) { return d.empty() ? -999.0 : d[0] - 40.0; };
    auto rpm = [](const std::vector<std::uint8_t>& d) { return wordOf(d) / 4.0; };
    auto byte = [](const std::vector<std::uint8_t>& d) { return d.empty() ? -999.0 : static_cast<double>(d[0]); };
    auto trim = [](const std::vector<std::uint8_t>& d) { return d.empty() ? -999.0 : (d[0] - 128.0) * 100 / 128; };
    const std::vector<Case> cases = {
        {"cold start", 0, 0x05, 20, 20, celsius},
        {"warming", 120, 0x05, 40, 70, celsius},
        {"warm", 1200, 0x05, 89, 90, celsius},
        {"oil slower than coolant", 120, 0x5C, 20, 40, celsius},
        {"fast idle when cold", 5, 0x0C, 1150, 1250, rpm},
        {"idle when warm", 1205, 0x0C, 780, 820, rpm},
        {"standing at idle", 1205, 0x0D, 0, 0, byte},
        {"pulling away", 1220, 0x0C, 1800, 3000, rpm},
        {"cruising", 1235, 0x0D, 67, 73, byte},
        {"cruising", 1235, 0x0C, 2000, 2200, rpm},
        {"slowing down", 1250, 0x0D, 10, 60, byte},
        {"short-term trim within ±5 %", 1201, 0x06, -5, 5, trim},
        {"long-term trim near −4.7 %", 1201, 0x07, -6.5, -3, trim},
        {"run time", 1234, 0x1F, 1234, 1234, [](const std::vector<std::uint8_t>& d) { return double(wordOf(d)); }},
    };
    for (const Case& c : cases) {
        const double value = c.value(engineData(c.seconds, c.pid));
        EXPECT_GE(value, c.low) << c.what;
        EXPECT_LE(value, c.high) << c.what;
    }
    // The values move from one second to the next, and the same moment gives the same bytes.
    for (const std::uint8_t pid : {std::uint8_t{0x06}, std::uint8_t{0x0C}, std::uint8_t{0x34}}) {
        EXPECT_NE(engineData(1201, pid), engineData(1202, pid)) << int{pid};
        EXPECT_EQ(engineData(1201.5, pid), engineData(1201.5, pid)) << int{pid};
    }
}

TEST(Elm327Engine, UnitsAnswerTheBlocksAndPidsTheyDeclare) {
    struct Case {
        CarKind kind;
        std::vector<std::uint8_t> request;
        std::vector<std::vector<std::uint8_t>> answers;  // each unit's data, in order
    };
    const std::vector<Case> cases = {
        // The engine declares 21 to 40 and 42 to 5E; the transmission declares block 20,
        // with nothing in it, and not block 40.
        {CarKind::Can11, {0x01, 0x20}, {{0x41, 0x20, 0x80, 0x07, 0xB0, 0x11}, {0x41, 0x20, 0x00, 0x00, 0x00, 0x00}}},
        {CarKind::Can11, {0x01, 0x40}, {{0x41, 0x40, 0x7E, 0xD0, 0x80, 0x14}}},
        {CarKind::Can11, {0x01, 0x60}, {}},
        {CarKind::Iso9141, {0x01, 0x40}, {{0x41, 0x40, 0x7E, 0xD0, 0x80, 0x14}}},
        // Both units give engine speed; PID 0A (fuel pressure) is nobody's.
        {CarKind::Can11, {0x01, 0x0A}, {}},
        {CarKind::Can11, {0x01, 0x51}, {{0x41, 0x51, 0x01}}},
        {CarKind::Can11, {0x01, 0x46}, {{0x41, 0x46, 58}}},
        {CarKind::Can11, {0x01, 0x33}, {{0x41, 0x33, 101}}},
        {CarKind::Can11, {0x01, 0x15}, {{0x41, 0x15, 0x88, 0xFF}}},
    };
    for (const Case& c : cases) {
        CarSetup setup;
        setup.kind = c.kind;
        setup.engineClock = [] { return 0.0; };
        Car car(setup);
        std::vector<std::vector<std::uint8_t>> answers;
        for (const EcuMessage& message : car.answer(c.request)) answers.push_back(message.data);
        EXPECT_EQ(answers, c.answers) << int{c.request[1]};
    }
    CarSetup setup;
    setup.engineClock = [] { return 600.0; };
    Car car(setup);
    const std::uint8_t speed[] = {0x01, 0x0C};
    EXPECT_EQ(car.answer(speed).size(), 2U);
}

}  // namespace
}  // namespace vx414::elmemu
