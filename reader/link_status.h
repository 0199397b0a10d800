// The one status type of the reader link: what went wrong on the byte pipe or in a report.
#pragma once

#include <cstdint>
#include <string>

namespace vx414 {

enum class LinkCode : std::uint8_t {
    Ok,
    NoDevice,  // no reader where the link looks for one
    Io,        // the tty refused a read or a write
    Timeout,   // the reader stopped sending within a bounded wait
    Protocol,  // the reader sent bytes that do not make a report
    NoVehicle, // an OBD-II adapter answered but no car did (ignition off, not plugged in)
};

// A status with a short fixed reason and, for report failures, the index in ReportBytes
// the receiver had reached (-1 when none applies). The caller shows every failure alike;
// the reason is for tests, logs and the one place that turns it into text.
class LinkStatus {
public:
    constexpr LinkStatus() = default;
    constexpr LinkStatus(LinkCode code, const char* reason, int index = -1)
        : code_(code), reason_(reason), index_(index) {}

    static constexpr LinkStatus ok() { return {}; }

    constexpr bool isOk() const { return code_ == LinkCode::Ok; }
    constexpr LinkCode code() const { return code_; }
    constexpr const char* reason() const { return reason_; }
    constexpr int index() const { return index_; }

    // "timeout at index 7: no value marker" and the like.
    std::string toString() const;

private:
    LinkCode code_ = LinkCode::Ok;
    const char* reason_ = "";
    int index_ = -1;
};

const char* linkCodeName(LinkCode code);

// The reasons of the "no device" failures the user is told apart, as the back-ends give
// them: a socket's refusal, and a search that found nothing (on the serial ports alone, or
// on them and among the Bluetooth LE devices).
inline constexpr const char* ConnectionRefused = "connection refused";
inline constexpr const char* NoAdapterOnSerialPorts = "no ELM327 on the serial ports";
inline constexpr const char* NoAdapterFound = "no ELM327 on the serial ports or Bluetooth LE";

}  // namespace vx414
