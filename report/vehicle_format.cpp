#include "report/vehicle_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

#include "report/format_primitives.h"
#include "report/report_format.h"

namespace vx414 {
namespace {

const std::vector<TroubleCode>* codesOfKind(const UnitCodes& unit, std::string_view kind) {
    if (kind == "Pending") return &unit.pending;
    if (kind == "Stored") return &unit.stored;
    if (kind == "Permanent") return &unit.permanent;
    return nullptr;
}

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string frameHeading(const FreezeFrame& frame) {
    return frame.code ? "Freeze frame (" + frame.code->toString() + ")" : std::string("Freeze frame");
}

void appendTabLine(std::string& out, std::initializer_list<std::string_view> fields) {
    format::appendRecord(out, fields, '\t', "\n");
}

}  // namespace

std::string_view monitorStateText(MonitorState state) {
    switch (state) {
    case MonitorState::Complete: return "complete";
    case MonitorState::Incomplete: return "incomplete";
    case MonitorState::NotSupported: break;
    }
    return "not supported";
}

bool hasVehicleDetails(const VehicleInfo& vehicle) {
    return !vehicle.vin.empty() || !vehicle.make.empty() || vehicle.modelYear > 0 || vehicle.mil.has_value() ||
           !vehicle.readiness.empty() || !vehicle.inspection.empty() || vehicle.freezeFrame.has_value() ||
           !vehicle.units.empty() || !vehicle.permanent.empty() || !vehicle.notRead.empty();
}

std::string_view vehicleItemName(VehicleItem item) {
    switch (item) {
    case VehicleItem::Readiness: return "readiness";
    case VehicleItem::FreezeFrame: return "freeze_frame";
    case VehicleItem::Permanent: return "permanent";
    case VehicleItem::Vin: break;
    }
    return "vin";
}

std::string_view vehicleItemTitle(VehicleItem item) {
    switch (item) {
    case VehicleItem::Readiness: return "Readiness";
    case VehicleItem::FreezeFrame: return "Freeze frame";
    case VehicleItem::Permanent: return "Permanent codes";
    case VehicleItem::Vin: break;
    }
    return "VIN";
}

const ItemNotRead* notReadEntry(const VehicleInfo& vehicle, VehicleItem item) {
    const auto found = std::find_if(vehicle.notRead.begin(), vehicle.notRead.end(),
                                    [item](const ItemNotRead& entry) { return entry.item == item; });
    return found == vehicle.notRead.end() ? nullptr : &*found;
}

std::string notReadText(const ItemNotRead& entry) {
    return entry.reason.empty() ? std::string("not read") : "not read (" + entry.reason + ")";
}

std::string vinText(const VehicleInfo& vehicle) {
    if (!vehicle.vin.empty()) return vehicle.vinWarning.empty() ? vehicle.vin : vehicle.vin + " (" + vehicle.vinWarning + ")";
    const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::Vin);
    return entry == nullptr ? std::string() : notReadText(*entry);
}

std::string unitOfCode(const VehicleInfo& vehicle, std::string_view kind, std::string_view code) {
    std::string units;
    for (const UnitCodes& unit : vehicle.units) {
        const std::vector<TroubleCode>* codes = codesOfKind(unit, kind);
        if (codes == nullptr) continue;
        const bool sent = std::any_of(codes->begin(), codes->end(), [code](const TroubleCode& c) {
            return c.text() == code;
        });
        if (!sent) continue;
        if (!units.empty()) units += ", ";
        units += unit.name.empty() ? unit.address : unit.name;
    }
    return units;
}

void attachVehicle(ReadReport& report, const VehicleInfo& vehicle) {
    report.vehicle = vehicle;
    for (ReportCode& code : report.codes) code.unit = unitOfCode(vehicle, code.kind, code.code);
}

std::string quantityText(double value) {
    if (!std::isfinite(value)) return "?";
    std::array<char, 48> text{};
    // Rounded to hundredths first, so that -0.001 reads "0", not "-0".
    double rounded = std::round(value * 100.0) / 100.0;
    if (rounded == 0.0) rounded = 0.0;
    // to_chars, unlike printf, ignores the locale: the separator is a point everywhere.
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), rounded, std::chars_format::fixed, 2);
    if (error != std::errc{}) return "?";
    std::string out(text.data(), end);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

std::string milText(const VehicleInfo& vehicle) {
    if (!vehicle.mil) return "unknown";
    std::string text = *vehicle.mil ? "on" : "off";
    if (vehicle.storedCount > 0)
        text += ", " + std::to_string(vehicle.storedCount) + (vehicle.storedCount == 1 ? " stored code" : " stored codes");
    return text;
}

std::string modelYearText(const VehicleInfo& vehicle) {
    if (vehicle.modelYear <= 0) return "unknown";
    return std::to_string(vehicle.modelYear) + (vehicle.modelYearGiven ? " (given, not read)" : "");
}

std::string vehicleLinesText(const VehicleInfo& vehicle) {
    std::string out;
    const std::string vin = vinText(vehicle);
    if (!vin.empty()) out += "VIN: " + vin + "\n";
    if (vehicle.modelYear > 0) {
        out += "Model year: " + modelYearText(vehicle) + "\n";
    } else if (!vehicle.vin.empty()) {
        out += "Model year: unknown\n";
    }
    if (vehicle.mil) {
        out += "MIL: " + milText(vehicle) + "\n";
    } else if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::Readiness)) {
        out += "MIL: " + notReadText(*entry) + "\n";
    }
    if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::Permanent))
        out += "Permanent codes: " + notReadText(*entry) + "\n";
    return out;
}

std::string vehicleSectionsText(const VehicleInfo& vehicle) {
    std::string out;
    if (!vehicle.readiness.empty()) {
        std::size_t width = 0;
        for (const MonitorStatus& m : vehicle.readiness) width = std::max(width, m.monitor.size());
        out += "\n";
        out += vehicle.compressionIgnition ? "Readiness (compression ignition):\n" : "Readiness:\n";
        for (const MonitorStatus& m : vehicle.readiness)
            out += "  " + padded(m.monitor, width) + "  " + std::string(monitorStateText(m.state)) + "\n";
    } else if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::Readiness)) {
        out += "\nReadiness: " + notReadText(*entry) + "\n";
    }
    if (!vehicle.inspection.empty()) {
        out += (vehicle.readiness.empty() ? "\nInspection: " : "Inspection: ") + vehicle.inspection + "\n";
        out += "  " + std::string(InspectionGuideNote) + "\n";
    }

    if (vehicle.freezeFrame) {
        const FreezeFrame& frame = *vehicle.freezeFrame;
        std::size_t width = 0;
        for (const FreezeValue& v : frame.values) width = std::max(width, v.name.size());
        out += "\n";
        out += frameHeading(frame) + ":\n";
        if (frame.values.empty()) out += "  (no values)\n";
        for (const FreezeValue& v : frame.values) {
            out += "  " + padded(v.name, width) + "  " + quantityText(v.value);
            if (!v.unit.empty()) out += (v.unit == "%" ? "" : " ") + v.unit;
            out += "\n";
        }
    } else if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::FreezeFrame)) {
        out += "\nFreeze frame: " + notReadText(*entry) + "\n";
    }
    return out;
}

std::string vehicleAsText(const VehicleInfo& vehicle) {
    const std::string lines = vehicleLinesText(vehicle);
    const std::string sections = vehicleSectionsText(vehicle);
    return lines.empty() && !sections.empty() ? sections.substr(1) : lines + sections;
}

std::string vehicleAsTabText(const VehicleInfo& vehicle) {
    std::string out;
    if (!vehicle.vin.empty()) appendTabLine(out, {"VIN", vehicle.vin});
    if (!vehicle.vinWarning.empty()) appendTabLine(out, {"VIN warning", vehicle.vinWarning});
    if (!vehicle.make.empty()) appendTabLine(out, {"Make from the VIN", vehicle.make});
    if (vehicle.modelYear > 0) {
        appendTabLine(out, {"Model year", modelYearText(vehicle)});
    } else if (!vehicle.vin.empty()) {
        appendTabLine(out, {"Model year", "unknown"});
    }
    if (vehicle.mil) appendTabLine(out, {"MIL", milText(vehicle)});
    for (const ItemNotRead& entry : vehicle.notRead) appendTabLine(out, {vehicleItemTitle(entry.item), notReadText(entry)});
    if (!vehicle.readiness.empty() || !vehicle.inspection.empty()) {
        if (!out.empty()) out += "\n";
        appendTabLine(out, {"Monitor", "Status"});
        for (const MonitorStatus& m : vehicle.readiness) appendTabLine(out, {m.monitor, monitorStateText(m.state)});
        if (!vehicle.inspection.empty()) appendTabLine(out, {"Inspection", vehicle.inspection, InspectionGuideNote});
    }
    if (vehicle.freezeFrame) {
        const FreezeFrame& frame = *vehicle.freezeFrame;
        if (!out.empty()) out += "\n";
        appendTabLine(out, {"Freeze frame", frame.code ? frame.code->text() : std::string_view{}});
        appendTabLine(out, {"Name", "Value", "Unit"});
        for (const FreezeValue& v : frame.values) appendTabLine(out, {v.name, quantityText(v.value), v.unit});
    }
    return out;
}

}  // namespace vx414
