// The emulated engine's live values (service 01) as they move: the coolant warming up from
// 20 °C, a minute's round of idling, pulling away, cruising and slowing down for engine and
// vehicle speed, load, throttle and air flow, and fuel trims and oxygen sensors that wander.
// A pure function of the seconds since the engine started, so that a test that fixes the
// clock sees the same values every run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace vx414::elmemu {

// The PID and its data bytes, as they follow 41 in an answer, for a service 01 PID above
// 01 that a unit supporting `support00` (its 01 00 bitmap) gives: the values above and the
// supported-PID blocks 20, 40 and 60. The engine unit (`engineUnit`) gives PIDs 21 to 5E
// beyond the first block; the other units nothing there. Nothing for a PID the unit does
// not support. With the engine not `running` (ignition on, engine off) engine speed and
// vehicle speed are 0; the rest keep their course.
std::optional<std::vector<std::uint8_t>> liveAnswer(std::span<const std::uint8_t, 4> support00, bool engineUnit,
                                                    std::uint8_t pid, double seconds, bool running);

// Seconds since the engine started: `clock` when given (tests fix it), else the steady
// clock since this was made.
class EngineClock {
public:
    explicit EngineClock(std::function<double()> clock = {});
    double seconds() const;

private:
    std::function<double()> clock_;
};

}  // namespace vx414::elmemu
