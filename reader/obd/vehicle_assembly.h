// The one place that turns what the units answered into the vehicle's picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reader/obd/unit_messages.h"
#include "reader/obd/wmi_table.h"
#include "reader/vehicle_info.h"

namespace vx414::obd {

// One unit's trouble codes from 07 and 03, as the codes' own read gave them.
struct UnitCodeLists {
    std::string sender;
    std::vector<TroubleCode> pending;
    std::vector<TroubleCode> stored;
};

// Everything a read asked beyond the codes; a service not asked (or not supported by any
// unit) is left empty. Answers that failed, NO DATA and refusals are all taken as "nothing
// known": none of them loses a code.
struct VehicleAnswers {
    int protocol = 0;  // the OBD protocol as ATDPN numbers it (1-2 J1850, 3 ISO 9141, 4-5 KWP, 6-C CAN), 0 unknown
    std::vector<UnitCodeLists> codes;                      // 07 and 03, per unit
    std::optional<ServiceAnswer> monitorStatus;            // 01 01
    std::vector<ServiceAnswer> freezeFrame;        // 02 pid 00, for each PID asked (02 02 among them)
    std::optional<ServiceAnswer> permanentCodes;   // 0A
    std::optional<ServiceAnswer> vin;              // 09 02
    // Items asked and not learned (no answer in time, the read stopped, the adapter gone),
    // as the read found them; the assembly adds those whose answer does not read.
    std::vector<ItemNotRead> notRead;
};

// `currentYear` places a VIN's model year in its 30-year cycle where the VIN does not.
VehicleInfo assembleVehicleInfo(const VehicleAnswers& answers, const WmiTable& wmi, int currentYear);

}  // namespace vx414::obd
