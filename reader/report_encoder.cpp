#include "reader/report_encoder.h"

#include "reader/report_receiver.h"

namespace vx414 {

std::vector<std::uint8_t> blockValues(const CodeBlockContent& block) {
    const std::size_t n = 2 * block.codes.size() + 1;
    const auto head = static_cast<std::uint8_t>((block.pending ? 0x80U : 0U) | (n & 0x7FU));
    std::vector<std::uint8_t> values;
    values.reserve(n + 1);
    values.push_back(head);
    unsigned sum = head;
    for (const CodeBytes& code : block.codes) {
        for (const std::uint8_t byte : code) {
            values.push_back(byte);
            sum += byte;
        }
    }
    values.push_back(static_cast<std::uint8_t>(sum & 0xFFU));
    return values;
}

void appendValues(std::vector<std::uint8_t>& wire, std::span<const std::uint8_t> values) {
    for (const std::uint8_t value : values) {
        wire.push_back(ValueMarker);
        wire.push_back(value);
    }
}

std::vector<std::uint8_t> encodeReport(const ReportContent& content) {
    std::vector<std::uint8_t> wire{StartMarker};
    appendValues(wire, blockValues(content.first));
    wire.push_back(ValueMarker);
    wire.push_back(StartMarker);
    appendValues(wire, blockValues(content.second));
    wire.push_back(ValueMarker);
    return wire;
}

}  // namespace vx414
