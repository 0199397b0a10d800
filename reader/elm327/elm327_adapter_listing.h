// The ELM327 adapters this computer can reach right now, each tried briefly: the serial
// ports the search looks at, the Bluetooth LE devices BlueZ knows that offer an ELM327
// service, and a Wi-Fi adapter's address. The seam's listing (reader/adapter_listing.h)
// is made of it.
#pragma once

#include <string>

#include "reader/adapter_listing.h"

namespace vx414::elm327 {

// Bounded: half a second a serial port, five seconds for the Bluetooth devices together,
// a second for the Wi-Fi address, `wifiHost`:`wifiPort` (an adapter set up on another
// address, or a test's own adapter on this computer).
// `inUse`: the adapter this program holds open (DeviceAdapterInUse), listed as in use and
// not tried, since a probe would talk into its conversation.
AdapterListing listAdapters(const std::string& wifiHost = UsualWiFiHost, unsigned wifiPort = UsualWiFiPort,
                            const std::string& inUse = {});

// The adapter in use, when none of the listing's entries is it (a port the search does not
// look at, a named pseudo-terminal, another Wi-Fi address): added at the end, as answered,
// since it is answering this program's reads.
void addAdapterInUse(AdapterListing& listing, const std::string& inUse);

}  // namespace vx414::elm327
