#include "reader/obd/supported_pids.h"

namespace vx414::obd {

void SupportedPids::add(std::uint8_t base, std::span<const std::uint8_t, 4> bits) {
    for (unsigned i = 0; i < 32; ++i) {
        const unsigned pid = base + 1U + i;
        const bool set = ((static_cast<unsigned>(bits[i / 8]) >> (7U - i % 8)) & 1U) != 0;
        if (set && pid < bits_.size()) bits_.set(pid);
    }
}

std::vector<std::uint8_t> SupportedPids::list() const {
    std::vector<std::uint8_t> pids;
    for (unsigned pid = 0; pid < bits_.size(); ++pid) {
        if (bits_.test(pid)) pids.push_back(static_cast<std::uint8_t>(pid));
    }
    return pids;
}

std::optional<std::uint8_t> nextSupportedBlock(const SupportedPids& pids, std::uint8_t base) {
    constexpr unsigned LastBlock = 0xC0;
    const unsigned next = base + 0x20U;
    if (base % 0x20 != 0 || next > LastBlock || !pids.has(static_cast<std::uint8_t>(next))) return std::nullopt;
    return static_cast<std::uint8_t>(next);
}

std::optional<std::uint8_t> addSupportedPids(std::span<const std::uint8_t> message, SupportedPids& pids) {
    if (message.size() < 6 || message[1] % 0x20 != 0) return std::nullopt;
    std::size_t at = 0;
    switch (message[0]) {
    case 0x41:
        if (message.size() == 6) at = 2;
        break;
    case 0x42:
        // Only frame 0 is read.
        if (message.size() == 7 && message[2] == 0x00) at = 3;
        break;
    case 0x49:
        if (message.size() == 6) at = 2;
        if (message.size() == 7 && message[2] == 0x01) at = 3;
        break;
    default:
        break;
    }
    if (at == 0) return std::nullopt;
    pids.add(message[1], message.subspan(at).first<4>());
    return message[1];
}

}  // namespace vx414::obd
