#include "reader/obd/permanent_codes.h"

namespace vx414::obd {

std::optional<std::vector<TroubleCode>> decodePermanentCodes(std::span<const std::uint8_t> message) {
    if (message.empty() || message[0] != 0x4A) return std::nullopt;
    std::span<const std::uint8_t> pairs;
    if (message.size() % 2 == 0) {
        // The two forms never share a length: CAN's is even, the older buses' seven.
        if (message[1] != (message.size() - 2) / 2) return std::nullopt;
        pairs = message.subspan(2);
    } else if (message.size() == 7) {
        pairs = message.subspan(1);
    } else {
        return std::nullopt;
    }
    std::vector<TroubleCode> codes;
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs[i] == 0 && pairs[i + 1] == 0) continue;
        codes.push_back(decodeTroubleCode(pairs[i], pairs[i + 1]));
    }
    return codes;
}

}  // namespace vx414::obd
