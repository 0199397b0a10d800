// The Bluetooth LE devices BlueZ already knows (paired, or seen in a recent scan) that
// offer one of the ELM327 services: what the adapter search tries after the serial ports
// and what --list-adapters shows. Nothing is scanned for, paired or trusted here.
#pragma once

#include <string>
#include <vector>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

struct BleCandidate {
    std::string address;  // AA:BB:CC:DD:EE:FF
    std::string name;     // as BlueZ shows it; empty when it has none
    int rssi = 0;         // the signal in dBm when seen lately
    bool hasRssi = false;
    std::string service;  // the table entry's name
    bool connected = false;
};

struct BleDiscovery {
    LinkStatus status;  // NoDevice with the cause when BlueZ, an adapter or the power is missing
    std::vector<BleCandidate> devices;  // connected ones first, then by signal, strongest first
};

// One look at BlueZ's objects, bounded by `deadline`.
BleDiscovery knownBleAdapters(Deadline deadline);

}  // namespace vx414::elm327
