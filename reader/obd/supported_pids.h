// Which PIDs (or information types) a control unit says it supports. Each answer to
// 01 00, 01 20, 01 40 … holds four bytes whose bits, from the first byte's top bit on,
// stand for the next 32 PIDs; the last of them says whether the next block exists.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vx414::obd {

class SupportedPids {
public:
    bool has(std::uint8_t pid) const { return bits_.test(pid); }
    // Marks the PIDs base + 1 … base + 32 that `bits` (four bytes) declare.
    void add(std::uint8_t base, std::span<const std::uint8_t, 4> bits);
    bool empty() const { return bits_.none(); }
    // Every PID declared, in order (the block PIDs 20, 40 … among them).
    std::vector<std::uint8_t> list() const;
    // Adds every PID `other` declares.
    void merge(const SupportedPids& other) { bits_ |= other.bits_; }

private:
    std::bitset<256> bits_;
};

// Adds the block one answer declares, and returns its base PID (0x00, 0x20 …): 41 bb A B C D
// (service 01), 42 bb 00 A B C D (service 02, freeze frame 0), 49 bb A B C D on CAN or
// 49 bb 01 A B C D (a message count first) on the older buses. Nothing, and `pids`
// unchanged, when the message is none of these forms.
std::optional<std::uint8_t> addSupportedPids(std::span<const std::uint8_t> message, SupportedPids& pids);

// The supported-PID requests of service 01 are 00, 20, 40 … C0, each asked only when the
// one before declares it (its last bit). The block to ask after `base`, or nothing when
// `pids` declares none or `base` is the last.
std::optional<std::uint8_t> nextSupportedBlock(const SupportedPids& pids, std::uint8_t base);

}  // namespace vx414::obd
