// What an OBD-II adapter tells about the car beyond its trouble codes: the VIN and the make
// it names, the check-engine light, the readiness monitors, freeze frame 0, permanent codes
// and which control unit sent each code. Plain data, no Qt: the ELM327 session fills it,
// the window, the exports and the command line show it. The VX-414 reader's report holds
// codes alone, so its reads leave it empty.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "reader/trouble_code.h"

namespace vx414 {

enum class MonitorState { Complete, Incomplete, NotSupported };

// One readiness (I/M) monitor of service 01 PID 01, by its usual English name
// ("Misfire", "Catalyst", "Evaporative system" …).
struct MonitorStatus {
    std::string monitor;
    MonitorState state = MonitorState::NotSupported;
};

// One value held by freeze frame 0, in SI units ("rpm", "km/h", "°C", "%", "kPa").
struct FreezeValue {
    std::string name;   // "Engine speed", "Coolant temperature" …
    double value = 0;
    std::string unit;
};

struct FreezeFrame {
    std::optional<TroubleCode> code;  // PID 02: the code that stored the frame
    std::vector<FreezeValue> values;
};

// The codes one control unit sent, by service.
struct UnitCodes {
    std::string address;  // the unit's header as the adapter shows it ("7E8", "18DAF110", "486B10")
    std::string name;     // "engine", "transmission" … or empty when the address says nothing
    std::vector<TroubleCode> pending;    // service 07
    std::vector<TroubleCode> stored;     // service 03
    std::vector<TroubleCode> permanent;  // service 0A
};

// The items of the vehicle part of a read, for saying which of them could not be learned.
enum class VehicleItem { Readiness, FreezeFrame, Permanent, Vin };

// An item the read asked for and got no usable answer to (no answer in time, the read was
// stopped, the adapter went). An item the car does not support has no entry: it is known
// to be absent, which is not the same as unknown.
struct ItemNotRead {
    VehicleItem item = VehicleItem::Readiness;
    std::string reason;  // in words, for the user: "no answer in time", "the read was stopped" …
};

// How a US emissions inspection would take the car's readiness and check-engine light.
enum class InspectionVerdict { Ready, NotReady, Fails };

struct VehicleInfo {
    std::string vin;          // as read (17 characters) when it passed its checks, else empty
    std::string vinWarning;   // why a VIN kept as read may be misread ("check digit …"), else empty
    std::string make;         // the make list's entry the VIN's maker maps to, else empty
    int modelYear = 0;        // from the VIN (or given by the user), 0 when unknown
    bool modelYearGiven = false;  // the user stated the year: it was not read
    std::optional<bool> mil;  // the check-engine light (01 01), when a unit answered
    int storedCount = 0;      // the number of stored codes 01 01 reports
    bool compressionIgnition = false;
    std::vector<MonitorStatus> readiness;  // empty when no unit answered 01 01
    std::string inspection;   // the inspection verdict in words, empty without readiness
    std::optional<InspectionVerdict> inspectionVerdict;  // empty without readiness
    std::vector<std::string> incompleteMonitors;  // counted monitors not yet complete, by name
    std::optional<FreezeFrame> freezeFrame;
    std::vector<UnitCodes> units;  // in the order the units first answered
    std::vector<TroubleCode> permanent;  // service 0A, each code once
    std::vector<ItemNotRead> notRead;    // items asked for and not learned, in the order above
};

}  // namespace vx414
