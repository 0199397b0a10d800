#include "reader/elm327/elm327_failure_cause.h"

#include <cstring>

#include "reader/elm327/bluez_objects.h"
#include "reader/elm327/elm327_device_library.h"

namespace vx414 {

namespace {

bool is(const LinkStatus& status, const char* reason) { return std::strcmp(status.reason(), reason) == 0; }

}  // namespace

std::string_view adapterFailureCause(const LinkStatus& status) {
    // The Bluetooth LE transport's causes, whatever the code they came with.
    if (is(status, elm327::BluetoothOff)) return "Bluetooth is turned off on this computer.";
    if (is(status, elm327::NoBluetooth))
        return "This computer has no Bluetooth adapter, or its Bluetooth service (bluetoothd) is not running.";
    if (is(status, elm327::BleDeviceNotFound))
        return "No Bluetooth device with that address is known. Is the adapter plugged in, and was it found "
               "with bluetoothctl?";
    if (is(status, elm327::BleConnectionRefused)) return "The adapter refused the Bluetooth connection.";
    if (is(status, elm327::BleOutOfRange)) return "The adapter went out of Bluetooth range, or was switched off.";
    if (is(status, elm327::BleNoService)) return "The Bluetooth device offers no ELM327 service.";
    switch (status.code()) {
    case LinkCode::Ok: return {};
    case LinkCode::NoVehicle: return "The adapter answered, but no car did. Is the ignition on?";
    case LinkCode::NoDevice:
        // The reasons that tell a socket's refusal and a fruitless search apart are the
        // transport's and the library's own fixed texts; every other "no device" is an
        // adapter named on the command line that could not be had.
        if (is(status, elm327::ConnectionRefused))
            return "The adapter refused the connection.";
        if (is(status, elm327::NoAdapterOnSerialPorts))
            return "No adapter was found on the serial ports.";
        if (is(status, elm327::NoAdapterFound))
            return "No adapter was found on the serial ports or among the Bluetooth devices this computer knows.";
        return "The adapter could not be reached.";
    case LinkCode::Timeout:
    case LinkCode::Io: return "The adapter stopped answering.";
    case LinkCode::Protocol: return "The adapter's answer could not be read.";
    }
    return {};
}

}  // namespace vx414
