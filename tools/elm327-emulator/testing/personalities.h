// Adapter and car personalities the ELM327 emulator plays, each with what a read of it must
// report: the rows of the tests that drive the program's ELM327 back-end, its command line
// and its window against adapters that cooperate less than the emulator does by default.
//
// The car: CAN with two units (engine 7E8, transmission 7E9) unless a row names another.
// The engine holds the stored code P0420, its light, its frame (ten values) and the pending
// P0300; the transmission the pending P0171, and its light is off. Whatever an adapter
// leaves out, the report has the value read or names the item not read, with its reason.
#pragma once

#include <string_view>
#include <vector>

namespace vx414::elmemu::testing {

struct Personality {
    const char* what;
    std::vector<std::string_view> arguments;  // the emulator's, after the car's codes
    // What the report says: "on", "off" or "not read (REASON)" for the light and readiness;
    // the frame's code and number of values, or "not read (REASON)"; the VIN "read" or
    // "not read (REASON)"; the permanent codes.
    const char* mil = "on";
    const char* frame = "P0420 with 10 values";
    const char* vin = "read";
    const char* permanent = "P0420";
};

inline constexpr const char* Unattributed = "not read (the adapter does not show which unit answered)";

// The emulator's arguments for the car's codes, which every row shares.
inline std::vector<std::string_view> personalityCar() {
    return {"--car", "can11", "--pending", "P0300,P0171", "--stored", "P0420"};
}

inline const std::vector<Personality>& personalities() {
    static const std::vector<Personality> rows = {
        {"cooperating", {}},
        {"several PIDs answered NO DATA", {"--quirk", "multi-nodata"}},
        {"several PIDs refused", {"--quirk", "multi-refuse"}},
        {"several PIDs answered for the first alone", {"--quirk", "multi-short"}},
        {"the engine silent to several PIDs, the transmission not", {"--quirk", "multi-engine-silent"}},
        // The transmission's light is off: it must not stand for the car's.
        {"headers stay off, the transmission first", {"--quirk", "headers-stuck-off", "--quirk", "transmission-first"}},
        {"headers stay off, several PIDs refused", {"--quirk", "headers-stuck-off", "--quirk", "multi-refuse"}},
        // Two units answer the frame's values and nothing tells whose is whose.
        {"headers stay off, a second unit answers the frame's PIDs",
         {"--quirk", "headers-stuck-off", "--quirk", "frame-lister"}, "on", Unattributed},
        {"the count digit ignored", {"--quirk", "count-ignored"}},
        {"a VIN padded to four frames, the transmission's first", {"--quirk", "padded-vin"}},
        {"a unit lists the frame's PIDs without a frame, and answers first", {"--quirk", "frame-lister"}},
        {"one CAN ERROR to 07", {"--quirk", "transient-error=07"}},
        {"one CAN ERROR to 03", {"--quirk", "transient-error=03"}},
        {"one CAN ERROR to 01 01", {"--quirk", "transient-error=0101"}},
        {"one NO DATA to 01 01", {"--quirk", "transient-nodata=0101"}},
        {"one NO DATA to a frame's value", {"--quirk", "transient-nodata=020C"}},
        {"one CAN ERROR to the permanent codes", {"--quirk", "transient-error=0A"}},
        {"one CAN ERROR to the VIN", {"--quirk", "transient-error=0902"}},
        {"one CAN ERROR to live data", {"--quirk", "transient-error=010C"}},
        // One unit; the KWP format byte, which counts each message's length, is no part of
        // the unit's name.
        {"KWP2000", {"--car", "kwp"}},
        {"29-bit CAN, headers stay off", {"--car", "can29", "--quirk", "headers-stuck-off"}},
    };
    return rows;
}

}  // namespace vx414::elmemu::testing
