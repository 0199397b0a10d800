// Messages for the decoders' tests, written as the adapter shows them: "41 00 BE 1F A8 13".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx414::obd::testing {

inline std::vector<std::uint8_t> bytes(std::string_view hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

// Service reply, PID or info type and the rest, then `text` as ASCII bytes.
inline std::vector<std::uint8_t> withText(std::string_view head, std::string_view text) {
    std::vector<std::uint8_t> out = bytes(head);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

}  // namespace vx414::obd::testing
