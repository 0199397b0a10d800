// The GATT services through which Bluetooth Low Energy ELM327 adapters carry their text:
// one service, a characteristic the adapter notifies its answers on and one the commands
// are written to (the same one on some). Written once, with where each comes from, in
// ble_services.cpp.
#pragma once

#include <span>
#include <string_view>

namespace vx414::elm327 {

struct BleService {
    std::string_view name;     // for --list-adapters and the logs
    std::string_view service;  // 128-bit UUIDs, lower case, as BlueZ spells them
    std::string_view notify;   // the adapter's answers
    std::string_view write;    // our commands; may be the notify characteristic itself
};

// In the order the transport looks for them on a device that offers several.
std::span<const BleService> bleServices();

// The entry whose service UUID this is (any case); nullptr for a service no adapter uses.
const BleService* bleServiceByUuid(std::string_view uuid);

// What a single write may carry: the ATT MTU less its 3-byte header, 20 bytes when the
// MTU is not known (BlueZ before 5.62 does not tell it) or is below the minimum of 23.
inline constexpr int MinimumAttMtu = 23;
constexpr int bleWriteSize(int mtu) { return (mtu < MinimumAttMtu ? MinimumAttMtu : mtu) - 3; }

}  // namespace vx414::elm327
