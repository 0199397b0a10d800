// Building a report as the reader sends it: the inverse of ReceiveReport. The emulator
// sends what this builds, and the tests feed it to the receiver.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vx414 {

using CodeBytes = std::array<std::uint8_t, 2>;

struct CodeBlockContent {
    bool pending = false;
    std::vector<CodeBytes> codes;
};

struct ReportContent {
    CodeBlockContent first{true, {}};
    CodeBlockContent second{false, {}};
};

// A block's values: its head (bit 7 for pending, N = 2k + 1), the code bytes and the
// checksum. More than 63 codes do not fit a head; the head's count is then taken modulo
// 128, as a careless reader would send it.
std::vector<std::uint8_t> blockValues(const CodeBlockContent& block);

// Appends each value behind a 0xBB marker.
void appendValues(std::vector<std::uint8_t>& wire, std::span<const std::uint8_t> values);

// The whole report: AA, the first block, the separator BB AA, the second block, the
// trailer BB.
std::vector<std::uint8_t> encodeReport(const ReportContent& content);

}  // namespace vx414
