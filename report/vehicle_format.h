#pragma once
// What an OBD-II adapter told about the car, in words: the texts the command line, the
// clipboard and the printed report share. No Qt.

#include <string>
#include <string_view>

#include "reader/vehicle_info.h"

namespace vx414 {

struct ReadReport;

// "complete", "incomplete", "not supported": the words the JSON and every view use.
std::string_view monitorStateText(MonitorState state);

// Whether the link told anything beyond the codes (the VX-414 reader never does).
bool hasVehicleDetails(const VehicleInfo& vehicle);

// The unit that sent `code` as a code of `kind` ("Pending", "Stored", "Permanent"): its
// name, or its address when the address says nothing; units joined by ", " when more than
// one sent the code; "" when none is known.
std::string unitOfCode(const VehicleInfo& vehicle, std::string_view kind, std::string_view code);

// Puts the vehicle into the report and gives each code of the report its unit.
void attachVehicle(ReadReport& report, const VehicleInfo& vehicle);

// A freeze-frame value for people: at most two decimals, no trailing zeros ("1726.5",
// "-3.91", "88"), the decimal separator always a point, whatever the locale (a window
// in a decimal-comma locale would otherwise show "83,").
std::string quantityText(double value);

// The items of the vehicle part by the names the JSON uses ("readiness", "freeze_frame",
// "permanent", "vin") and for people ("Readiness", "Freeze frame", "Permanent codes", "VIN").
std::string_view vehicleItemName(VehicleItem item);
std::string_view vehicleItemTitle(VehicleItem item);
// The item's entry among those not read, or nullptr when it was read or is not supported.
const ItemNotRead* notReadEntry(const VehicleInfo& vehicle, VehicleItem item);
// "not read (no answer in time)", or "not read" without a reason.
std::string notReadText(const ItemNotRead& entry);

// Said under every inspection verdict: it is a guide.
inline constexpr std::string_view InspectionGuideNote =
    "A guide to US emissions (I/M) inspections: local programs differ.";

// "1HGCM82643A004352 (check digit does not match: read it off the windscreen)", the VIN
// alone when it has no warning, its not-read text when it was not read, "" otherwise.
std::string vinText(const VehicleInfo& vehicle);

// "on" or "off", with the number of stored codes the car counts when it counts any.
std::string milText(const VehicleInfo& vehicle);

// The sections for people, each line ended by LF, UTF-8: the vehicle's lines (VIN, model
// year, MIL, permanent codes when they were not read), the readiness monitors with the
// inspection verdict, the freeze frame with its units. An item not read says so with its
// reason; sections the read does not tell are left out; "" when it tells nothing.
std::string vehicleAsText(const VehicleInfo& vehicle);
// "2019", "1999 (given, not read)" for a year the user stated, "unknown".
std::string modelYearText(const VehicleInfo& vehicle);
// Its two parts: the vehicle's lines, and the sections after them, each section led by an
// empty line (a report puts the codes between the two).
std::string vehicleLinesText(const VehicleInfo& vehicle);
std::string vehicleSectionsText(const VehicleInfo& vehicle);

// The same sections as tab-separated lines for a spreadsheet, the sections apart by an
// empty line.
std::string vehicleAsTabText(const VehicleInfo& vehicle);

}  // namespace vx414
