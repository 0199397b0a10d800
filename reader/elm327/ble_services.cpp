#include "reader/elm327/ble_services.h"

#include <array>
#include <cctype>

namespace vx414::elm327 {
namespace {

// Sources, as looked up:
// - FFF0 / FFF1 notify / FFF2 write: the most common clone (sold as "Veepeak", "Mini OBD
//   (iOS)" and unnamed "ELM327 BLE"); RaceChrono's forum thread "Ble device protocol"
//   (racechrono.com/forum/discussion/1662) lists the service and both characteristics as
//   read from such an adapter, and many open-source OBD apps name the same three.
// - FFE0 / FFE1 for both ways: the TI CC254x serial modules (HM-10 firmware), found in the
//   LELink and other adapters; the characteristic has read, write and notify (a service
//   listing of a LELink posted on codewithsundeep.com, discussion 65657669; the Freematics
//   forum, "How to initialize and read OBD-II data over bluetooth?"; ble-serial's table of
//   characteristics, Jakeler/ble-serial ble_serial/bluetooth/constants.py).
// - 18F0 / 2AF0 notify / 2AF1 write: the serial service of a family of BLE bridge chips
//   used by some adapters (and by many thermal printers, whose open-source drivers write
//   to 2AF1 of service 18F0).
// - Nordic UART service 6E400001: 6E400003 notify (TX), 6E400002 write (RX), from Nordic
//   Semiconductor's nRF SDK documentation of the "UART/Serial Port Emulation over BLE"
//   service, and ble-serial's table.
// - E7810A71-73AE-499D-8C15-FAA9AEF0C3F2 with one characteristic BEF8D6C9-9C21-4C9E-B632-
//   BD58C1009F9F for both ways: the service of the BLE adapters of the premium family
//   (OBDLink CX, whose developer notes are ScanTool.net's support article "OBDLink CX
//   adapter notes") and of Vgate's vLinker adapters for iOS ("IOS-Vlink"), as the apps
//   that support them name it.
constexpr std::array Services{
    BleService{"FFF0 (common ELM327 BLE clone)", "0000fff0-0000-1000-8000-00805f9b34fb",
               "0000fff1-0000-1000-8000-00805f9b34fb", "0000fff2-0000-1000-8000-00805f9b34fb"},
    BleService{"FFE0 (HM-10 serial module)", "0000ffe0-0000-1000-8000-00805f9b34fb",
               "0000ffe1-0000-1000-8000-00805f9b34fb", "0000ffe1-0000-1000-8000-00805f9b34fb"},
    BleService{"18F0 (BLE serial bridge)", "000018f0-0000-1000-8000-00805f9b34fb",
               "00002af0-0000-1000-8000-00805f9b34fb", "00002af1-0000-1000-8000-00805f9b34fb"},
    BleService{"Nordic UART", "6e400001-b5a3-f393-e0a9-e50e24dcca9e", "6e400003-b5a3-f393-e0a9-e50e24dcca9e",
               "6e400002-b5a3-f393-e0a9-e50e24dcca9e"},
    BleService{"OBDLink CX / vLinker", "e7810a71-73ae-499d-8c15-faa9aef0c3f2", "bef8d6c9-9c21-4c9e-b632-bd58c1009f9f",
               "bef8d6c9-9c21-4c9e-b632-bd58c1009f9f"},
};

bool sameUuid(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

}  // namespace

std::span<const BleService> bleServices() { return Services; }

const BleService* bleServiceByUuid(std::string_view uuid) {
    for (const BleService& entry : Services) {
        if (sameUuid(entry.service, uuid)) return &entry;
    }
    return nullptr;
}

}  // namespace vx414::elm327
