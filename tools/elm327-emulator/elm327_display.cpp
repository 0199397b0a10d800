#include "tools/elm327-emulator/elm327_display.h"

#include <algorithm>
#include <array>

namespace vx414::elmemu {
namespace {

std::string hex(const DisplaySettings& settings, unsigned value, int digits) {
    const std::string_view table = settings.lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = table[value & 0xFU];
        value >>= 4U;
    }
    return text;
}

std::string bytesText(const DisplaySettings& settings, std::span<const std::uint8_t> bytes) {
    // The chip puts a space after every byte, the last one included.
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += hex(settings, byte, 2);
        if (settings.spaces) text += ' ';
    }
    return text;
}

std::string headerText(const DisplaySettings& settings, int protocol, std::uint32_t header) {
    const bool extended = protocol == Can29Protocol || protocol == 9 || protocol == 0xA;
    if (!extended) return hex(settings, header, 3) + (settings.spaces ? " " : "");
    const std::array<std::uint8_t, 4> bytes = {static_cast<std::uint8_t>(header >> 24U),
                                               static_cast<std::uint8_t>(header >> 16U),
                                               static_cast<std::uint8_t>(header >> 8U), static_cast<std::uint8_t>(header)};
    return bytesText(settings, bytes);
}

std::vector<std::string> canLines(const DisplaySettings& settings, int protocol, const std::vector<EcuMessage>& messages) {
    // ISO 15765-2 frames of eight bytes, padded with 00. Every unit's single or first frame
    // arrives before any consecutive frame (those wait for the adapter's flow control), so
    // the answers of several units interleave.
    struct Frame {
        std::uint32_t id;
        std::array<std::uint8_t, 8> bytes;
        std::size_t length;  // bytes that count: a single frame's own, or all eight
        std::size_t total;   // a first frame: the whole answer's length
    };
    std::vector<Frame> firsts;
    std::vector<Frame> rest;
    for (const EcuMessage& message : messages) {
        const std::vector<std::uint8_t>& data = message.data;
        const std::size_t size = data.size();
        Frame frame{message.header, {}, 8, 0};
        if (size <= 7) {
            frame.bytes[0] = static_cast<std::uint8_t>(size);
            std::copy(data.begin(), data.end(), frame.bytes.begin() + 1);
            frame.length = size + 1;
            firsts.push_back(frame);
            continue;
        }
        frame.bytes[0] = static_cast<std::uint8_t>(0x10U | ((size >> 8U) & 0xFU));
        frame.bytes[1] = static_cast<std::uint8_t>(size & 0xFFU);
        std::copy_n(data.begin(), 6, frame.bytes.begin() + 2);
        frame.total = size;
        firsts.push_back(frame);
        std::size_t next = 6;
        for (unsigned sequence = 1; next < size; ++sequence) {
            Frame consecutive{message.header, {}, 8, 0};
            consecutive.bytes[0] = static_cast<std::uint8_t>(0x20U | (sequence & 0xFU));
            const std::size_t count = std::min<std::size_t>(7, size - next);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(next), count, consecutive.bytes.begin() + 1);
            next += count;
            rest.push_back(consecutive);
        }
    }
    firsts.insert(firsts.end(), rest.begin(), rest.end());

    std::vector<std::string> lines;
    const std::string gap = settings.spaces ? " " : "";
    for (const Frame& frame : firsts) {
        const std::span<const std::uint8_t> all(frame.bytes);
        const std::string header = settings.headers ? headerText(settings, protocol, frame.id) : "";
        if (!settings.canFormatting) {
            lines.push_back(header + bytesText(settings, all));
        } else if (settings.headers) {
            lines.push_back(header + bytesText(settings, all.first(frame.length)));
        } else if ((frame.bytes[0] & 0xF0U) == 0x00U) {
            lines.push_back(bytesText(settings, all.subspan(1, frame.length - 1)));
        } else if ((frame.bytes[0] & 0xF0U) == 0x10U) {
            lines.push_back(hex(settings, static_cast<unsigned>(frame.total), 3));
            lines.push_back("0:" + gap + bytesText(settings, all.subspan(2)));
        } else {
            lines.push_back(hex(settings, frame.bytes[0] & 0xFU, 1) + ":" + gap + bytesText(settings, all.subspan(1)));
        }
    }
    return lines;
}

}  // namespace

std::vector<std::string> displayLines(const DisplaySettings& settings, int protocol,
                                      const std::vector<EcuMessage>& messages) {
    if (isCan(protocol)) return canLines(settings, protocol, messages);
    std::vector<std::string> lines;
    for (const EcuMessage& message : messages) {
        std::vector<std::uint8_t> bytes;
        if (settings.headers) {
            bytes = {static_cast<std::uint8_t>(message.header >> 16U), static_cast<std::uint8_t>(message.header >> 8U),
                     static_cast<std::uint8_t>(message.header)};
        }
        bytes.insert(bytes.end(), message.data.begin(), message.data.end());
        if (settings.headers) bytes.push_back(frameCheck(protocol, message.header, message.data));
        lines.push_back(bytesText(settings, bytes));
    }
    return lines;
}

}  // namespace vx414::elmemu
