#include "reader/link_failure_cause.h"

#include <cstring>

#include "reader/elm327/elm327_device_library.h"

namespace vx414 {

std::string_view adapterFailureCause(const LinkStatus& status) {
    switch (status.code()) {
    case LinkCode::Ok: return {};
    case LinkCode::NoVehicle: return "The adapter answered, but no car did. Is the ignition on?";
    case LinkCode::NoDevice:
        // The reasons that tell a socket's refusal and a fruitless search apart are the
        // transport's and the library's own fixed texts; every other "no device" is an
        // adapter named on the command line that could not be had.
        if (std::strcmp(status.reason(), elm327::ConnectionRefused) == 0)
            return "The adapter refused the connection.";
        if (std::strcmp(status.reason(), elm327::NoAdapterOnSerialPorts) == 0)
            return "No adapter was found on the serial ports.";
        return "The adapter could not be reached.";
    case LinkCode::Timeout:
    case LinkCode::Io: return "The adapter stopped answering.";
    case LinkCode::Protocol: return "The adapter's answer could not be read.";
    }
    return {};
}

}  // namespace vx414
