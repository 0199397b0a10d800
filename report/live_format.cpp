#include "report/live_format.h"

#include "report/format_primitives.h"

namespace vx414 {
namespace {

constexpr std::uint8_t FuelTypePid = 0x51;

std::string hexByte(unsigned value) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return {Digits[(value >> 4U) & 0xFU], Digits[value & 0xFU]};
}

const obd::LiveValue* valueOf(const obd::LiveSample& sample, const obd::PidField* field) {
    for (const obd::LiveValue& value : sample.values) {
        if (value.field == field) return &value;
    }
    return nullptr;
}

}  // namespace

std::string liveHeading(const obd::PidField& field, UnitSystem units) {
    const Quantity q = inUnits(0, field.unit, units);
    std::string heading = obd::fieldLabel(field);
    if (!q.unit.empty()) heading += " (" + std::string(q.unit) + ")";
    return heading;
}

std::string liveValueText(const obd::LiveValue& value, UnitSystem units) {
    if (value.field->pid == FuelTypePid) {
        const std::string_view name = obd::fuelTypeName(static_cast<unsigned>(value.value));
        return name.empty() ? "code " + numberText(value.value, 0) : std::string(name);
    }
    const Quantity q = inUnits(value.value, value.field->unit, units);
    return numberText(q.value, value.field->decimals + q.extraDecimals);
}

std::string liveCsvHeader(std::span<const obd::PidField* const> columns, UnitSystem units, std::string_view source) {
    std::string out;
    format::appendField(out, "time (s)", ',');
    for (const obd::PidField* field : columns) {
        out += ',';
        format::appendField(out, liveHeading(*field, units), ',');
    }
    if (!source.empty()) out += ",source";
    return out + "\n";
}

std::string liveCsvRow(const obd::LiveSample& sample, std::span<const obd::PidField* const> columns, UnitSystem units,
                       std::string_view source) {
    std::string out = numberText(sample.seconds, 3);
    for (const obd::PidField* field : columns) {
        out += ',';
        if (const obd::LiveValue* value = valueOf(sample, field)) format::appendField(out, liveValueText(*value, units), ',');
    }
    if (!source.empty()) {
        out += ',';
        format::appendField(out, source, ',');
    }
    return out + "\n";
}

std::string liveJsonLine(const obd::LiveSample& sample, UnitSystem units, std::string_view source) {
    std::string out = "{\"time\":" + numberText(sample.seconds, 3);
    if (!source.empty()) {
        out += ",\"source\":";
        format::appendJsonString(out, source);
    }
    out += ",\"values\":{";
    bool first = true;
    for (const obd::LiveValue& value : sample.values) {
        if (!first) out += ',';
        first = false;
        format::appendJsonString(out, obd::fieldLabel(*value.field));
        out += ":{\"pid\":\"" + hexByte(value.field->pid) + "\",\"value\":";
        if (value.field->pid == FuelTypePid) {
            format::appendJsonString(out, liveValueText(value, units));
            out += ",\"unit\":\"\"}";
            continue;
        }
        const std::string text = liveValueText(value, units);
        out += text == "?" ? "null" : text;
        out += ",\"unit\":";
        format::appendJsonString(out, inUnits(0, value.field->unit, units).unit);
        out += '}';
    }
    out += "},\"no_answer\":[";
    for (std::size_t i = 0; i < sample.unanswered.size(); ++i) {
        out += (i == 0 ? "\"" : ",\"") + hexByte(sample.unanswered[i]) + "\"";
    }
    return out + "]}\n";
}

}  // namespace vx414
