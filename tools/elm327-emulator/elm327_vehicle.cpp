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

// 02: what a unit answers about frame 0 to `pairs` (PIDs, each with its frame number).
// `code` is the code the unit kept the frame for, empty when it holds none; `zeroed`: it
// answers every value PID of the frame all the same, with zero bytes.
std::vector<std::uint8_t> frameData(std::span<const std::uint8_t> pairs, std::optional<Code> code, bool zeroed) {
    std::vector<std::uint8_t> data = {0x42};
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        const std::uint8_t pid = pairs[i];
        if (pairs[i + 1] != 0x00) continue;
        if (pid == 0x00) {
            const auto bits = frameBitmap();
            data.insert(data.end(), {0x00, 0x00, bits[0], bits[1], bits[2], bits[3]});
            continue;
        }
        const auto value = std::find_if(FreezeValues.begin(), FreezeValues.end(),
                                        [pid](const auto& entry) { return entry.first == pid; });
        if (value == FreezeValues.end()) continue;
        const auto length = static_cast<std::ptrdiff_t>(valueLength(pid));
        if (pid == 0x02) {
            const Code shown = code.value_or(Code{0, 0});
            data.insert(data.end(), {0x02, 0x00, shown[0], shown[1]});
        } else if (code) {
            data.insert(data.end(), {pid, 0x00});
            data.insert(data.end(), value->second.begin(), value->second.begin() + length);
        } else if (zeroed) {
            data.insert(data.end(), {pid, 0x00});
            data.insert(data.end(), static_cast<std::size_t>(length), std::uint8_t{0});
        }
    }
    return data;
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

std::vector<EcuMessage> Car::vinAnswer(std::uint8_t infoType) const {
    // Info type 02 (the VIN) is the one supported. The older buses give 09 00 a message
    // count and the VIN as five numbered frames of four bytes, the first padded with 00.
    std::vector<EcuMessage> messages;
    const std::string_view vin = vehicle_->vin;
    if (!isCan(protocol_)) {
        const std::uint32_t source = ecus_.front().header;
        if (infoType == 0x00) {
            std::vector<std::uint8_t> data = {0x49, 0x00, 0x01, 0x40, 0x00, 0x00, 0x00};
            messages.push_back({legacyHeader(source, data.size()), std::move(data)});
        } else if (infoType == 0x02) {
            const std::string padded = std::string(3, '\0') + std::string(vin);
            for (std::uint8_t frame = 1; frame <= 5; ++frame) {
                std::vector<std::uint8_t> data = {0x49, 0x02, frame};
                const auto from = padded.begin() + (frame - 1) * 4;
                data.insert(data.end(), from, from + 4);
                messages.push_back({legacyHeader(source, data.size()), std::move(data)});
            }
        }
        return messages;
    }
    for (const Ecu& ecu : ecus_) {
        // With padded VINs a second unit gives one too, and it alone is padded.
        const bool first = &ecu == &ecus_.front();
        if (!first && !paddedVin_) continue;
        const bool padded = paddedVin_ && (!first || ecus_.size() == 1);
        if (infoType == 0x00) {
            messages.push_back({ecu.header, {0x49, 0x00, 0x40, 0x00, 0x00, 0x00}});
        } else if (infoType == 0x02) {
            std::vector<std::uint8_t> data = {0x49, 0x02, 0x01};
            data.insert(data.end(), vin.begin(), vin.end());
            if (padded) data.insert(data.end(), 3, std::uint8_t{0});
            messages.push_back({ecu.header, std::move(data)});
        }
    }
    return messages;
}

std::vector<EcuMessage> Car::vehicleAnswer(std::span<const std::uint8_t> request) const {
    std::vector<EcuMessage> messages;
    if (ecus_.empty() || request.size() < 1) return messages;
    const bool can = isCan(protocol_);
    const Ecu& engine = ecus_.front();
    switch (request[0]) {
    case 0x02: {
        // Frame 0 only, kept by the engine unit while it holds a stored code. On CAN a
        // request may name up to three PIDs, each with its frame number, answered in one
        // message; the older buses answer the first alone.
        if (request.size() < 3 || request.size() > 7 || request.size() % 2 == 0) break;
        const std::span<const std::uint8_t> pairs = request.subspan(1, can ? request.size() - 1 : 2);
        std::optional<Code> code;
        if (!engine.stored.empty() && kind_ != CarKind::NoCodes) code = engine.stored.front();
        for (const Ecu& ecu : ecus_) {
            const bool first = &ecu == &engine;
            if (!first && !frameLister_) continue;
            std::vector<std::uint8_t> data = frameData(pairs, first ? code : std::nullopt, !first);
            if (data.size() <= 1) continue;
            const std::uint32_t header = can ? ecu.header : legacyHeader(ecu.header, data.size());
            messages.push_back({header, std::move(data)});
        }
        break;
    }
    case 0x09:
        if (request.size() >= 2) return vinAnswer(request[1]);
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
