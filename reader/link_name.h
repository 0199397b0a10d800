// Naming the link: where the program finds its reader or adapter.
//   /dev/ttyUSB0                 the VX-414 reader on a tty (its byte protocol)
//   elm327:/dev/ttyUSB0?baud=N   an ELM327 adapter on a tty (baud optional)
//   elm327://HOST:PORT           an ELM327 adapter over TCP (Wi-Fi adapters)
//   elm327:ble:AA:BB:CC:DD:EE:FF an ELM327 adapter over Bluetooth Low Energy (BlueZ)
// Named by --link, else by $VX414_LINK; with neither, /dev/vx414 when it exists, else an
// ELM327 found on the serial ports.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/device_library.h"

namespace vx414 {

// The environment variable that names the link, and the VX-414 reader's own device,
// where the link looks when nothing is named.
inline constexpr const char* LinkEnvironmentVariable = "VX414_LINK";
inline constexpr const char* DefaultLinkPath = "/dev/vx414";

// The speeds an adapter's tty may be named with (elm327:PATH?baud=N): the ones a serial
// port can be set to.
inline constexpr int LinkBauds[] = {9600, 19200, 38400, 57600, 115200, 230400, 500000};

struct LinkName {
    enum class Kind : std::uint8_t { ReaderTty, Elm327Tty, Elm327Tcp, Elm327Ble };
    Kind kind = Kind::ReaderTty;
    std::string path;         // ReaderTty, Elm327Tty
    int baud = 0;             // Elm327Tty: 0 = try the usual speeds
    std::string host;         // Elm327Tcp
    std::uint16_t port = 0;   // Elm327Tcp
    std::string address = {}; // Elm327Ble: the device's address, upper case (AA:BB:CC:DD:EE:FF)
};

struct LinkNameParse {
    std::optional<LinkName> name;  // empty on error
    std::string error;             // one line for the user, when name is empty
};

LinkNameParse parseLinkName(std::string_view text);

// $VX414_LINK parsed: no name and no error when it is unset or empty.
LinkNameParse linkNameFromEnvironment();

// Usage lines for --help and the manual: the forms a link name takes.
inline constexpr const char* LinkNameForms =
    "  /dev/ttyUSB0                  the VX-414 reader on a tty\n"
    "  elm327:/dev/ttyUSB0[?baud=N]  an ELM327 adapter on a tty (USB or Bluetooth rfcomm);\n"
    "                                without baud, 38400, then 9600 and 115200 are tried\n"
    "  elm327://HOST:PORT            an ELM327 adapter over TCP (Wi-Fi: 192.168.0.10:35000)\n"
    "  elm327:ble:AA:BB:CC:DD:EE:FF  an ELM327 adapter over Bluetooth Low Energy, paired\n"
    "                                or seen by BlueZ\n";

// The link the program uses: `named` (from --link) when given, else $VX414_LINK, else
// /dev/vx414 or an ELM327 found on the serial ports at the first read. This and openLink
// are made where the back-ends are put together (default_device_library.cpp).
std::unique_ptr<DeviceLibrary> makeDeviceLibrary(const std::optional<LinkName>& named);

// Where the automatic choice looks: the VX-414 reader's path, then an ELM327 adapter on the
// serial ports and among the Bluetooth LE devices BlueZ knows. Tests steer it away from
// this computer's own devices.
struct LinkSearch {
    std::optional<std::string> readerPath;               // nothing: /dev/vx414
    std::optional<std::vector<std::string>> serialPorts;  // nothing: /dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*
    bool bluetoothLe = true;
};

// The library for `name`, without looking at $VX414_LINK; nothing named: automatic, as
// `search` says.
std::unique_ptr<DeviceLibrary> openLink(const std::optional<LinkName>& name, const LinkSearch& search = {});

}  // namespace vx414
