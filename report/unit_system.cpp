#include "report/unit_system.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vx414 {
namespace {

struct Conversion {
    std::string_view si;
    std::string_view us;
    double factor;
    double offset;
    int extraDecimals;
};

// Exact definitions: the international mile (1.609344 km), the pound-force per square inch
// (6.894757 kPa), the inch of water at 4 °C (249.08891 Pa), the US gallon (3.785411784 L).
constexpr std::array<Conversion, 6> Conversions = {{
    {"km/h", "mph", 1 / 1.609344, 0, 0},
    {"km", "mi", 1 / 1.609344, 0, 0},
    {"°C", "°F", 9.0 / 5.0, 32, 0},
    {"kPa", "psi", 1 / 6.894757, 0, 1},
    {"Pa", "inH2O", 1 / 249.08891, 0, 2},
    {"L/h", "gal/h", 1 / 3.785411784, 0, 0},
}};

}  // namespace

std::optional<UnitSystem> parseUnitSystem(std::string_view text) {
    if (text == "metric") return UnitSystem::Metric;
    if (text == "us") return UnitSystem::Us;
    return std::nullopt;
}

std::string_view unitSystemName(UnitSystem system) { return system == UnitSystem::Us ? "us" : "metric"; }

Quantity inUnits(double value, std::string_view siUnit, UnitSystem system) {
    if (system == UnitSystem::Us) {
        for (const Conversion& c : Conversions) {
            if (c.si == siUnit) return {value * c.factor + c.offset, c.us, c.extraDecimals};
        }
    }
    return {value, siUnit, 0};
}

VehicleInfo vehicleInUnits(VehicleInfo vehicle, UnitSystem system) {
    if (vehicle.freezeFrame) {
        for (FreezeValue& value : vehicle.freezeFrame->values) {
            const Quantity q = inUnits(value.value, value.unit, system);
            value.value = q.value;
            value.unit = std::string(q.unit);
        }
    }
    return vehicle;
}

std::string numberText(double value, int decimals) {
    if (!std::isfinite(value)) return "?";
    decimals = decimals < 0 ? 0 : (decimals > 9 ? 9 : decimals);
    std::array<char, 64> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return "?";
    std::string text(buffer.data(), end);
    // A value that rounds to zero is written without its sign.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

UnitSystem loadUnitChoice(const std::string& folder) {
    std::ifstream in(std::filesystem::path(folder) / "units");
    std::string word;
    if (!(in >> word)) return UnitSystem::Metric;
    return parseUnitSystem(word).value_or(UnitSystem::Metric);
}

bool saveUnitChoice(const std::string& folder, UnitSystem system) {
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream out(std::filesystem::path(folder) / "units", std::ios::trunc);
    out << unitSystemName(system) << '\n';
    return static_cast<bool>(out.flush());
}

std::string unitChoiceFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        return std::string(config) + "/vx414";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return std::string(home) + "/.config/vx414";
    return {};
}

}  // namespace vx414
