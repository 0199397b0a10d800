#include "tools/elm327-emulator/elm327_engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vx414::elmemu {
namespace {

// The PIDs beyond the first block that the engine unit gives: its oxygen sensor before the
// catalyst is a wide-range one (34; the one after it is narrow-band, 15), the catalyst's
// temperature, module voltage, throttle and pedal, fuel type, oil, fuel rate …
constexpr std::array<std::uint8_t, 20> LaterPids = {0x21, 0x2E, 0x2F, 0x30, 0x31, 0x33, 0x34, 0x3C, 0x40, 0x42,
                                                    0x43, 0x44, 0x45, 0x46, 0x47, 0x49, 0x4A, 0x4C, 0x51, 0x5C};
constexpr std::uint8_t FuelRatePid = 0x5E;

bool laterPid(std::uint8_t pid) {
    return pid == FuelRatePid || std::find(LaterPids.begin(), LaterPids.end(), pid) != LaterPids.end();
}

std::array<std::uint8_t, 4> laterBlock(std::uint8_t base) {
    std::array<std::uint8_t, 4> bits{};
    for (unsigned pid = base + 1U; pid <= base + 32U; ++pid) {
        if (!laterPid(static_cast<std::uint8_t>(pid))) continue;
        const unsigned bit = pid - base - 1U;
        bits[bit / 8] = static_cast<std::uint8_t>(bits[bit / 8] | (0x80U >> (bit % 8)));
    }
    return bits;
}

bool inBitmap(std::span<const std::uint8_t, 4> bits, std::uint8_t pid) {
    const unsigned bit = pid - 1U;
    return pid >= 1 && pid <= 0x20 && (bits[bit / 8] & (0x80U >> (bit % 8))) != 0;
}

std::uint8_t byteOf(double raw) { return static_cast<std::uint8_t>(std::clamp(std::lround(raw), 0L, 255L)); }
std::vector<std::uint8_t> one(double raw) { return {byteOf(raw)}; }
std::vector<std::uint8_t> two(double raw) {
    const auto value = static_cast<unsigned>(std::clamp(std::lround(raw), 0L, 65535L));
    return {static_cast<std::uint8_t>(value >> 8U), static_cast<std::uint8_t>(value & 0xFFU)};
}
std::vector<std::uint8_t> percent(double value) { return one(value * 255.0 / 100.0); }
std::vector<std::uint8_t> celsius(double value) { return one(value + 40.0); }
std::vector<std::uint8_t> trim(double value) { return one(value * 128.0 / 100.0 + 128.0); }

double smoothstep(double f) {
    f = std::clamp(f, 0.0, 1.0);
    return f * f * (3.0 - 2.0 * f);
}

// The engine at one moment, in the units J1979 scales.
struct EngineState {
    double coolant, oil, intake, catalyst;  // °C
    double rpm, speed, throttle, load;       // rpm, km/h, %, %
    double shortTrim, longTrim, shortTrim2;  // %
    double lambda;
};

EngineState stateAt(double t) {
    EngineState s{};
    s.coolant = 90.0 - 70.0 * std::exp(-t / 240.0);
    s.oil = 95.0 - 75.0 * std::exp(-t / 480.0);
    s.intake = 25.0 + 10.0 * (1.0 - std::exp(-t / 600.0));
    s.catalyst = 20.0 + 630.0 * (1.0 - std::exp(-t / 90.0));
    const double cold = std::clamp((90.0 - s.coolant) / 70.0, 0.0, 1.0);
    const double idle = 800.0 + 400.0 * cold + 15.0 * std::sin(2.3 * t);
    // A round of a minute: idle 0–15 s, pull away 15–25 s, cruise 25–45 s, slow down
    // 45–55 s, idle again.
    const double p = std::fmod(t, 60.0);
    if (p < 15.0 || p >= 55.0) {
        s.rpm = idle;
        s.speed = 0;
        s.throttle = 14.0 + 0.3 * std::sin(1.7 * t);
    } else if (p < 25.0) {
        const double f = smoothstep((p - 15.0) / 10.0);
        s.rpm = idle + (2100.0 - idle) * f + 900.0 * std::sin(f * 3.14159);
        s.speed = 70.0 * f;
        s.throttle = 14.0 + 30.0 * std::sin(f * 3.14159) + 6.0 * f;
    } else if (p < 45.0) {
        s.rpm = 2100.0 + 60.0 * std::sin(0.5 * t);
        s.speed = 70.0 + 3.0 * std::sin(0.5 * t);
        s.throttle = 20.0 + 2.0 * std::sin(0.5 * t);
    } else {
        const double f = smoothstep((p - 45.0) / 10.0);
        s.rpm = 2100.0 + (idle - 2100.0) * f;
        s.speed = 70.0 * (1.0 - f);
        s.throttle = 14.0;
    }
    s.load = 12.0 + 0.9 * s.throttle + 0.002 * (s.rpm - 800.0);
    s.shortTrim = 3.0 * std::sin(0.9 * t) + 1.5 * std::sin(2.7 * t + 1.0);
    s.shortTrim2 = 2.5 * std::sin(0.8 * t + 2.0) + 1.5 * std::sin(2.9 * t);
    s.longTrim = -4.7 + 1.2 * std::sin(t / 45.0);
    s.lambda = 1.0 + 0.02 * std::sin(3.0 * t) - 0.08 * cold;
    return s;
}

std::optional<std::vector<std::uint8_t>> valueData(std::uint8_t pid, double t, bool running) {
    EngineState s = stateAt(t);
    if (!running) {
        s.rpm = 0;
        s.speed = 0;
    }
    const double airFlow = s.rpm * s.load / 100.0 * 0.012;  // g/s
    switch (pid) {
    case 0x03: return std::vector<std::uint8_t>{static_cast<std::uint8_t>(s.coolant < 40.0 ? 0x01 : 0x02), 0x00};
    case 0x04: return percent(s.load);
    case 0x05: return celsius(s.coolant);
    case 0x06: return trim(s.shortTrim);
    case 0x07: return trim(s.longTrim);
    case 0x08: return trim(s.shortTrim2);
    case 0x09: return trim(s.longTrim + 1.6);
    case 0x0B: return one(25.0 + 0.8 * s.load);
    case 0x0C: return two(s.rpm * 4.0);
    case 0x0D: return one(s.speed);
    case 0x0E: return one((8.0 + 0.012 * (s.rpm - 800.0) - 0.1 * (s.load - 20.0) + 64.0) * 2.0);
    case 0x0F: return celsius(s.intake);
    case 0x10: return two(airFlow * 100.0);
    case 0x11: return percent(s.throttle);
    case 0x13: return one(0x03);  // bank 1 sensors 1 and 2
    case 0x15: return std::vector<std::uint8_t>{byteOf((0.68 + 0.04 * std::sin(0.3 * t)) * 200.0), 0xFF};
    case 0x1C: return one(0x01);  // OBD-II as CARB defines it
    case 0x1F: return two(t);
    case 0x21: return two(42);
    case 0x2E: return percent(s.coolant < 60.0 ? 0.0 : 25.0 + 10.0 * std::sin(0.1 * t));
    case 0x2F: return percent(std::max(5.0, 62.0 - t / 600.0));
    case 0x30: return one(12);
    case 0x31: return two(1234);
    case 0x33: return one(101);
    case 0x34: {
        auto data = two(s.lambda * 32768.0);
        const auto current = two(((s.lambda - 1.0) * 40.0 + 128.0) * 256.0);
        data.insert(data.end(), current.begin(), current.end());
        return data;
    }
    case 0x3C: return two((s.catalyst + 40.0) * 10.0);
    case 0x42: return two((14.2 + 0.1 * std::sin(0.2 * t)) * 1000.0);
    case 0x43: return two(s.load * 255.0 / 100.0);
    case 0x44: return two((1.0 - 0.08 * std::clamp((90.0 - s.coolant) / 70.0, 0.0, 1.0)) * 32768.0);
    case 0x45: return percent(std::max(0.0, s.throttle - 10.0));
    case 0x46: return celsius(18);
    case 0x47: return percent(s.throttle + 4.0);
    case 0x49: return percent(std::min(100.0, 15.0 + 1.2 * (s.throttle - 14.0)));
    case 0x4A: return percent(std::min(100.0, 7.5 + 0.6 * (s.throttle - 14.0)));
    case 0x4C: return percent(s.throttle);
    case 0x51: return one(0x01);  // gasoline
    case 0x5C: return celsius(s.oil);
    case FuelRatePid: return two(airFlow / 14.7 / 745.0 * 3600.0 * 20.0);
    default: return std::nullopt;
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> liveAnswer(std::span<const std::uint8_t, 4> support00, bool engineUnit,
                                                    std::uint8_t pid, double seconds, bool running) {
    std::optional<std::vector<std::uint8_t>> data;
    if (pid == 0x20 || pid == 0x40 || pid == 0x60) {
        // A unit asked for a block the one before does not declare does not answer.
        const bool declared = pid == 0x20 ? inBitmap(support00, 0x20) : engineUnit && laterPid(pid);
        if (!declared) return std::nullopt;
        const auto bits = engineUnit ? laterBlock(pid) : std::array<std::uint8_t, 4>{};
        data = std::vector<std::uint8_t>(bits.begin(), bits.end());
    } else if (pid <= 0x20 ? inBitmap(support00, pid) : engineUnit && laterPid(pid)) {
        data = valueData(pid, seconds, running);
    }
    if (!data) return std::nullopt;
    data->insert(data->begin(), pid);
    return data;
}

EngineClock::EngineClock(std::function<double()> clock) : clock_(std::move(clock)) {
    if (clock_) return;
    const auto start = std::chrono::steady_clock::now();
    clock_ = [start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
}

double EngineClock::seconds() const { return clock_(); }

}  // namespace vx414::elmemu
