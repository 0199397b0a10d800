// The vehicle side of the ELM327 emulator: which bus the car speaks, its control units and
// what each of them answers to an OBD request, as bytes (SAE J1979 forms). How the adapter
// shows those bytes to its client is elm327_adapter's business.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/elm327-emulator/elm327_engine.h"

namespace vx414::elmemu {

// A trouble code as its two bytes on the bus: P0300 is 03 00, C1234 is 52 34.
using Code = std::array<std::uint8_t, 2>;

// "P0300" (any letter case) to its bytes; empty when it is not a trouble code.
std::optional<Code> parseCode(std::string_view text);
// Codes separated by commas; "" and "none" are the empty list.
std::optional<std::vector<Code>> parseCodeList(std::string_view text);

// Protocol numbers as ATSP takes them; 0 is the automatic search.
constexpr int AutoProtocol = 0;
constexpr int PwmProtocol = 1;
constexpr int VpwProtocol = 2;
constexpr int Iso9141Protocol = 3;
constexpr int Kwp5BaudProtocol = 4;
constexpr int KwpFastProtocol = 5;
constexpr int Can11Protocol = 6;
constexpr int Can29Protocol = 7;
constexpr int HighestProtocol = 0xC;

bool isCan(int protocol);
bool isKLine(int protocol);
// The name ATDP shows, as "ISO 15765-4 (CAN 11/500)".
std::string_view protocolName(int protocol);

enum class CarKind { Can11, Can29, Iso9141, J1850Vpw, J1850Pwm, Kwp, NoCodes, NoCar, Slow, Silent };

struct CarEntry {
    CarKind kind;
    std::string_view name;
    std::string_view summary;
};
std::span<const CarEntry> carEntries();
std::optional<CarKind> carKindByName(std::string_view name);
// How long the adapter takes to find this car (or to give up), in milliseconds.
int defaultSearchMilliseconds(CarKind kind);

// One frame of a legacy bus, or one whole answer of a CAN unit (the adapter splits it into
// ISO 15765-2 frames).
struct EcuMessage {
    // The CAN identifier, or the three header bytes of a J1850 / K-line frame as 0xPPTTSS.
    std::uint32_t header = 0;
    std::vector<std::uint8_t> data;
};

// The byte that closes a legacy frame: the SAE J1850 CRC, or the ISO 9141 / 14230 sum.
std::uint8_t frameCheck(int protocol, std::uint32_t header, std::span<const std::uint8_t> data);

// What the engine unit tells about the vehicle beyond its codes: its VIN (service 09), its
// readiness monitors (service 01 PID 01) and the values its freeze frame holds (service 02).
struct VehicleProfile {
    std::string_view name;
    std::string_view vin;
    // Bytes B, C and D of 01 01 (B's bit 3 marks a compression-ignition engine).
    std::array<std::uint8_t, 3> monitors;
    std::string_view summary;
};
std::span<const VehicleProfile> vehicleProfiles();
const VehicleProfile* vehicleProfileByName(std::string_view name);
// The profile a car kind has when none is named.
const VehicleProfile& defaultVehicleProfile(CarKind kind);

struct CarSetup {
    CarKind kind = CarKind::Can11;
    std::vector<Code> pending;
    std::vector<Code> stored;
    const VehicleProfile* vehicle = nullptr;  // nullptr: the kind's own
    // Seconds since the engine started, for its live values; empty: since the car was made.
    std::function<double()> engineClock;
    // On CAN, the VIN padded with three 00 bytes after its 17 characters. With two units the
    // second one lists and gives the VIN so padded, the first its own unpadded.
    bool paddedVin = false;
    // The second unit lists frame 0's PIDs as the first does yet holds no frame: code 0000,
    // and zero bytes for every value PID of the frame.
    bool frameLister = false;
    // Ignition on, engine off: 01 0C and 01 0D answer 0, as before a clear.
    bool engineOff = false;
};

class Car {
public:
    explicit Car(const CarSetup& setup);

    CarKind kind() const { return kind_; }
    // The protocol the car answers on; 0 when no car is connected.
    int protocol() const { return protocol_; }
    // What the units answer to a request (service byte first), in the order they answer.
    // Empty when none answers. Service 04 clears every unit's codes, the freeze frame and
    // the readiness monitors, but not the permanent codes.
    std::vector<EcuMessage> answer(std::span<const std::uint8_t> request);
    // Whether a message of answer() is the first unit's (the engine's).
    bool fromFirstUnit(const EcuMessage& message) const;

private:
    struct Ecu {
        std::uint32_t header;  // CAN identifier, or the source address of a legacy frame
        std::array<std::uint8_t, 4> supported;  // service 01 PID 00
        std::vector<Code> pending;
        std::vector<Code> stored;
        std::vector<Code> permanent;
    };
    std::vector<EcuMessage> codeAnswer(std::uint8_t service, const Ecu& ecu) const;
    std::vector<EcuMessage> vehicleAnswer(std::span<const std::uint8_t> request) const;
    std::vector<EcuMessage> vinAnswer(std::uint8_t infoType) const;
    std::uint32_t legacyHeader(std::uint32_t source, std::size_t dataLength) const;

    CarKind kind_;
    int protocol_;
    std::vector<Ecu> ecus_;
    const VehicleProfile* vehicle_;
    EngineClock engine_;
    bool cleared_ = false;  // service 04 has run: every supported monitor incomplete
    bool paddedVin_;
    bool frameLister_;
    bool engineOff_;
};

}  // namespace vx414::elmemu
