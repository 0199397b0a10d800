// What adapters this computer can reach right now, for `vx414-read --list-adapters`: the
// serial ports the search looks at, the Bluetooth LE devices BlueZ knows that offer an
// ELM327 service, and the usual Wi-Fi adapter's address; each tried briefly, to say whether
// it answered as an ELM327. Nothing is paired, trusted or scanned for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vx414 {

struct ListedAdapter {
    enum class Kind { SerialPort, BluetoothLe, WiFi };
    Kind kind = Kind::SerialPort;
    std::string link;         // the name that reaches it: elm327:/dev/ttyUSB0, elm327:ble:AA:..., elm327://HOST:PORT
    std::string name;         // a Bluetooth device's name; empty otherwise or when it has none
    std::optional<int> rssi;  // a Bluetooth device's signal in dBm, when BlueZ saw it lately
    bool answered = false;    // it answered ATI as an ELM327
    std::string note;         // why it was not tried, or what failed ("held by another program")
};

struct AdapterListing {
    std::vector<ListedAdapter> adapters;
    std::string bluetooth;  // empty, or why no Bluetooth device could be listed
};

// The address nearly every Wi-Fi ELM327 adapter ships with.
inline constexpr const char* UsualWiFiHost = "192.168.0.10";
inline constexpr unsigned UsualWiFiPort = 35000;

// Every adapter a back-end can list, with the Wi-Fi address $VX414_WIFI_ADAPTER names
// (HOST:PORT, an adapter set up on another address), else the usual one: what
// vx414-read --list-adapters and the window's "Choose adapter…" list.
AdapterListing listAdaptersAsSetUp(const std::string& inUse = {});

}  // namespace vx414
