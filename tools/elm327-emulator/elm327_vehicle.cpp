// The emulated car's answers beyond its trouble codes: its VIN (service 09), freeze frame 0
// (service 02) and permanent codes (service 0A), and the vehicle profiles that give them.
#include <algorithm>
#include <array>
#include <utility>

#include "tools/elm327-emulator/elm327_car.h"

namespace vx414::elmemu {
namespace {

// VINs of the usual form per make family; the North American ones carry a correct check
// digit. Readiness: continuous monitors supported and complete; for the spark engines
// catalyst, evaporative system, oxygen sensor and heater supported; the Toyota's
// evaporative system and the diesel's PM filter not complete yet.
constexpr std::array<VehicleProfile, 6> Profiles = {{
    {"ford", "1FAHP3F27CL123456", {0x07, 0x65, 0x00}, "Ford, 2012; all monitors complete"},
    {"gm", "1G1ZT53826F109149", {0x07, 0x65, 0x00}, "Chevrolet, 2006"},
    {"toyota", "JTDKB20U293479387", {0x07, 0x65, 0x04}, "Toyota, 2009; evaporative system incomplete"},
    {"vw", "WVWZZZ1KZ6W123456", {0x07, 0x65, 0x00}, "Volkswagen, 2006"},
    {"bmw", "WBA3A5C57CF256651", {0x07, 0xE5, 0x00}, "BMW, 2012; EGR/VVT monitored too"},
    {"diesel", "WVWZZZ3CZEE123456", {0x0F, 0xEB, 0x40}, "Volkswagen diesel, 2014; PM filter incomplete"},
}};

// Freeze frame 0 of the engine unit: each PID and its raw bytes (warm, at idle).
constexpr std::array<std::pair<std::uint8_t, std::array<std::uint8_t, 2>>, 11> FreezeValues = {{
    {0x04, {0x5A, 0}},     // load 35 %
    {0x05, {0x7B, 0}},     // coolant 83 °C
    {0x06, {0x83, 0}},     // short-term trim bank 1 +2.3 %
    {0x07, {0x7A, 0}},     // long-term trim bank 1 −4.7 %
    {0x0B, {0x21, 0}},     // MAP 33 kPa
    {0x0C, {0x0C, 0x80}},  // 800 rpm
    {0x0D, {0x00, 0}},     // standing
    {0x0F, {0x3C, 0}},     // intake air 20 °C
    {0x10, {0x01, 0x5E}},  // 3.5 g/s
    {0x11, {0x24, 0}},     // throttle 14 %
    {0x02, {0, 0}},        // the code: filled in from the stored codes
}};

std::size_t valueLength(std::uint8_t pid) { return pid == 0x0C || pid == 0x10 || pid == 0x02 ? 2 : 1; }

// 02 00: which PIDs frame 0 holds, as the bitmap of PIDs 01 to 20.
std::array<std::uint8_t, 4> frameBitmap() {
    std::array<std::uint8_t, 4> bits{};
    for (const auto& [pid, bytes] : FreezeValues) {
        const unsigned bit = pid - 1U;
        bits[bit / 8] = static_cast<std::uint8_t>(bits[bit / 8] | (0x80U >> (bit % 8)));
    }
    return bits;
}

}  // namespace

std::span<const VehicleProfile> vehicleProfiles() { return Profiles; }

const VehicleProfile* vehicleProfileByName(std::string_view name) {
    for (const VehicleProfile& profile : Profiles) {
        if (profile.name == name) return &profile;
    }
    return nullptr;
}

const VehicleProfile& defaultVehicleProfile(CarKind kind) {
    switch (kind) {
    case CarKind::Can29: return Profiles[3];
    case CarKind::Iso9141:
    case CarKind::Slow: return Profiles[2];
    case CarKind::J1850Vpw: return Profiles[1];
    case CarKind::Kwp: return Profiles[4];
    default: return Profiles[0];
    }
}

std::vector<EcuMessage> Car::vehicleAnswer(std::span<const std::uint8_t> request) const {
    std::vector<EcuMessage> messages;
    if (ecus_.empty() || request.size() < 1) return messages;
    const bool can = isCan(protocol_);
    const Ecu& engine = ecus_.front();
    auto add = [this, can, &messages, &engine](std::vector<std::uint8_t> data) {
        const std::uint32_t header = can ? engine.header : legacyHeader(engine.header, data.size());
        messages.push_back({header, std::move(data)});
    };
    switch (request[0]) {
    case 0x02: {
        // Frame 0 only, kept by the engine unit while it holds a stored code. On CAN a
        // request may name up to three PIDs, each with its frame number, answered in one
        // message; the older buses answer the first alone.
        if (request.size() < 3 || request.size() > 7 || request.size() % 2 == 0) break;
        const std::size_t last = can ? request.size() : 3;
        const bool held = !engine.stored.empty() && kind_ != CarKind::NoCodes;
        std::vector<std::uint8_t> data = {0x42};
        for (std::size_t i = 1; i + 1 < last; i += 2) {
            const std::uint8_t pid = request[i];
            if (request[i + 1] != 0x00) continue;
            if (pid == 0x00) {
                const auto bits = frameBitmap();
                data.insert(data.end(), {0x00, 0x00, bits[0], bits[1], bits[2], bits[3]});
                continue;
            }
            for (const auto& [valuePid, bytes] : FreezeValues) {
                if (valuePid != pid) continue;
                if (pid == 0x02) {
                    const Code code = held ? engine.stored.front() : Code{0, 0};
                    data.insert(data.end(), {0x02, 0x00, code[0], code[1]});
                } else if (held) {
                    data.insert(data.end(), {pid, 0x00});
                    data.insert(data.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(valueLength(pid)));
                }
            }
        }
        if (data.size() > 1) add(std::move(data));
        break;
    }
    case 0x09:
        if (request.size() < 2) break;
        // Info type 02 (the VIN) is the one supported. The older buses give 09 00 a message
        // count and the VIN as five numbered frames of four bytes, the first padded with 00.
        if (request[1] == 0x00) {
            add(can ? std::vector<std::uint8_t>{0x49, 0x00, 0x40, 0x00, 0x00, 0x00}
                    : std::vector<std::uint8_t>{0x49, 0x00, 0x01, 0x40, 0x00, 0x00, 0x00});
        } else if (request[1] == 0x02) {
            const std::string_view vin = vehicle_->vin;
            if (can) {
                std::vector<std::uint8_t> data = {0x49, 0x02, 0x01};
                data.insert(data.end(), vin.begin(), vin.end());
                add(std::move(data));
            } else {
                const std::string padded = std::string(3, '\0') + std::string(vin);
                for (std::uint8_t frame = 1; frame <= 5; ++frame) {
                    std::vector<std::uint8_t> data = {0x49, 0x02, frame};
                    const auto from = padded.begin() + (frame - 1) * 4;
                    data.insert(data.end(), from, from + 4);
                    add(std::move(data));
                }
            }
        }
        break;
    case 0x0A:
        if (kind_ == CarKind::NoCodes) break;
        for (const Ecu& ecu : ecus_) {
            for (EcuMessage& message : codeAnswer(0x0A, ecu)) messages.push_back(std::move(message));
        }
        break;
    default:
        break;
    }
    return messages;
}

}  // namespace vx414::elmemu
