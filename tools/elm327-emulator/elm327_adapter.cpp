#include "tools/elm327-emulator/elm327_adapter.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vx414::elmemu {
namespace {

constexpr std::array<QuirkEntry, 8> Quirks = {{
    {Quirk::Echo, "echo", "echo stays on: ATE0 is answered OK and ignored"},
    {Quirk::LowerCase, "lowercase", "hex digits in lower case (7e8 06 43 ...)"},
    {Quirk::OkNoise, "ok-noise", "a stray OK line before every answer to an OBD request"},
    {Quirk::NoPrompt, "no-prompt", "no '>' prompt after answers to OBD requests"},
    {Quirk::Reset, "reset", "the first answer to 03 or 07 breaks off after one line with the power-up banner"},
    {Quirk::Garbage, "garbage", "the first answer to 03 or 07 holds an unparseable line"},
    {Quirk::CanError, "can-error", "every answer to 03 or 07 is CAN ERROR"},
    {Quirk::BufferFull, "buffer-full", "every answer to 03 or 07 is BUFFER FULL"},
}};

// The chip's input buffer holds a little more than the longest command; a longer line is
// answered "?".
constexpr std::size_t LongestCommand = 64;
constexpr std::string_view GarbageLine = "#?4%3 Z1 ~&";

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return c - 'A' + 10;
}

// ATSP / ATTP argument: an optional 'A' and one protocol digit.
std::optional<std::pair<int, bool>> protocolArgument(std::string_view text) {
    bool automatic = false;
    if (text.size() == 2 && text[0] == 'A') {
        automatic = true;
        text.remove_prefix(1);
    }
    if (text.size() != 1 || !isHexDigit(text[0])) return std::nullopt;
    const int number = hexDigit(text[0]);
    if (number > HighestProtocol) return std::nullopt;
    return std::pair{number, automatic || number == AutoProtocol};
}

bool allHex(std::string_view text) { return std::all_of(text.begin(), text.end(), isHexDigit); }

}  // namespace

std::span<const QuirkEntry> quirkEntries() { return Quirks; }

std::optional<Quirk> quirkByName(std::string_view name) {
    for (const QuirkEntry& entry : Quirks) {
        if (entry.name == name) return entry.quirk;
    }
    return std::nullopt;
}

Adapter::Adapter(const AdapterSetup& setup)
    : car_(setup.car),
      quirks_(setup.quirks),
      delay_(std::max(0, setup.delayMilliseconds)),
      search_(setup.searchMilliseconds >= 0 ? setup.searchMilliseconds : defaultSearchMilliseconds(setup.car.kind)),
      resetTime_(std::max(0, setup.resetMilliseconds)) {}

bool Adapter::has(Quirk quirk) const { return std::find(quirks_.begin(), quirks_.end(), quirk) != quirks_.end(); }

std::string Adapter::hex(unsigned value, int digits) const {
    const std::string_view table = has(Quirk::LowerCase) ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = table[value & 0xFU];
        value >>= 4U;
    }
    return text;
}

std::string Adapter::closing(bool prompt) const { return lineEnd() + (prompt ? ">" : ""); }

std::string Adapter::stop() {
    found_ = foundBefore_;
    busOpen_ = busOpenBefore_;
    return "STOPPED" + lineEnd() + closing();
}

void Adapter::restoreDefaults() {
    echo_ = true;
    linefeeds_ = false;
    spaces_ = true;
    headers_ = false;
    canFormatting_ = true;
}

void Adapter::reset() {
    restoreDefaults();
    current_ = saved_;
    found_ = AutoProtocol;
    busOpen_ = false;
    lastCommand_.clear();
}

std::optional<Reply> Adapter::receive(char byte) {
    if (car_.kind() == CarKind::Silent) return std::nullopt;
    if (byte == '\r') {
        std::string raw = std::move(line_);
        line_.clear();
        const bool tooLong = lineTooLong_;
        lineTooLong_ = false;
        if (tooLong) {
            Reply reply;
            reply.steps.push_back({delay_, "?" + lineEnd() + closing()});
            return reply;
        }
        return command(raw);
    }
    // Line feeds, NULs and other control characters are ignored, as the chip does.
    if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) return std::nullopt;
    if (line_.size() < LongestCommand) {
        line_ += byte;
    } else {
        lineTooLong_ = true;
    }
    return std::nullopt;
}

Reply Adapter::command(const std::string& raw) {
    foundBefore_ = found_;
    busOpenBefore_ = busOpen_;
    Reply reply;
    if (echo_ || has(Quirk::Echo)) reply.steps.push_back({0, raw + lineEnd()});
    std::string command;
    for (const char c : raw) {
        if (c != ' ') command += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    // A bare CR repeats the last command.
    if (command.empty()) command = lastCommand_;
    if (command.empty()) {
        reply.steps.push_back({delay_, closing()});
        return reply;
    }
    lastCommand_ = command;
    if (command.starts_with("AT")) {
        // Only a request to the car can be stopped.
        reply.interruptible = false;
        return atCommand(std::string_view(command).substr(2), std::move(reply));
    }

    // An odd digit at the end is the number of answers to wait for; it changes nothing here.
    std::string_view digits = command;
    if (digits.size() % 2 == 1 && digits.size() > 2) digits.remove_suffix(1);
    if (digits.size() < 2 || digits.size() % 2 != 0 || !allHex(digits)) {
        reply.steps.push_back({delay_, "?" + lineEnd() + closing()});
        return reply;
    }
    std::vector<std::uint8_t> request;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        request.push_back(static_cast<std::uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
    }
    return obdRequest(request, std::move(reply));
}

std::string Adapter::describeProtocol(bool numeric) const {
    const int shown = found_ != AutoProtocol ? found_ : current_.number;
    const bool automatic = current_.automatic;
    if (numeric) return (automatic ? "A" : "") + std::string(1, "0123456789ABC"[shown]);
    if (shown == AutoProtocol) return "AUTO";
    return (automatic ? "AUTO, " : "") + std::string(protocolName(shown));
}

Reply Adapter::atCommand(std::string_view command, Reply reply) {
    auto answer = [&reply, this](std::string_view text) {
        reply.steps.push_back({delay_, std::string(text) + lineEnd() + closing()});
        return reply;
    };
    auto set = [&answer](bool& setting, bool value) {
        setting = value;
        return answer("OK");
    };
    if (command == "Z" || command == "WS") {
        reset();
        const int wait = command == "Z" ? resetTime_ : resetTime_ / 3;
        reply.steps.push_back({delay_ + wait, lineEnd() + lineEnd() + std::string(Banner) + lineEnd() + closing()});
        return reply;
    }
    if (command == "D") {
        restoreDefaults();
        return answer("OK");
    }
    if (command == "I") return answer(Banner);
    if (command == "@1") return answer("OBDII to RS232 Interpreter");
    if (command == "E0" || command == "E1") return set(echo_, command == "E1");
    if (command == "L0" || command == "L1") return set(linefeeds_, command == "L1");
    if (command == "S0" || command == "S1") return set(spaces_, command == "S1");
    if (command == "H0" || command == "H1") return set(headers_, command == "H1");
    if (command == "CAF0" || command == "CAF1") return set(canFormatting_, command == "CAF1");
    // Accepted and without effect here: adaptive timing, memory, long messages, flow control.
    for (const std::string_view accepted : {"AT0", "AT1", "AT2", "M0", "M1", "AL", "NL", "CFC0", "CFC1"}) {
        if (command == accepted) return answer("OK");
    }
    if (command == "DP") return answer(describeProtocol(false));
    if (command == "DPN") return answer(describeProtocol(true));
    if (command == "RV") return answer("12.6V");
    if (command == "PC") {
        busOpen_ = false;
        return answer("OK");
    }
    if (command.starts_with("SP") || command.starts_with("TP")) {
        const auto argument = protocolArgument(command.substr(2));
        if (!argument) return answer("?");
        current_ = {argument->first, argument->second};
        if (command.starts_with("SP")) saved_ = current_;
        found_ = AutoProtocol;
        busOpen_ = false;
        return answer("OK");
    }
    const std::string_view argument = command.substr(std::min<std::size_t>(2, command.size()));
    if (command.starts_with("ST") && argument.size() == 2 && allHex(argument)) return answer("OK");
    if (command.starts_with("SH") && (argument.size() == 3 || argument.size() == 6 || argument.size() == 8) &&
        allHex(argument)) {
        return answer("OK");
    }
    return answer("?");
}

Reply Adapter::obdRequest(std::span<const std::uint8_t> request, Reply reply) {
    int pending = delay_;
    auto emit = [&reply, &pending](int wait, std::string text) {
        reply.steps.push_back({pending + wait, std::move(text)});
        pending = 0;
    };
    const int carProtocol = car_.protocol();
    int searchWait = 0;
    if (found_ == AutoProtocol) {
        const int wanted = current_.number;
        if (wanted != AutoProtocol && wanted == carProtocol) {
            found_ = carProtocol;
        } else if (current_.automatic) {
            emit(0, "SEARCHING..." + lineEnd());
            if (carProtocol == AutoProtocol) {
                emit(search_, "UNABLE TO CONNECT" + lineEnd() + closing());
                return reply;
            }
            found_ = carProtocol;
            if (!isKLine(carProtocol)) searchWait = search_;
        } else if (isKLine(wanted)) {
            emit(0, "BUS INIT: ");
            for (int dot = 0; dot < 3; ++dot) emit(search_ / 3, ".");
            emit(0, "ERROR" + lineEnd() + closing());
            return reply;
        } else {
            emit(search_, (isCan(wanted) ? "CAN ERROR" : "NO DATA") + lineEnd() + closing());
            return reply;
        }
    }
    if (isKLine(found_) && !busOpen_) {
        emit(0, "BUS INIT: ");
        for (int dot = 0; dot < 3; ++dot) emit(search_ / 3, ".");
        emit(0, "OK" + lineEnd());
        busOpen_ = true;
    }

    const bool codes = request[0] == 0x03 || request[0] == 0x07;
    std::vector<std::string> lines;
    if (codes && has(Quirk::CanError)) {
        lines = {"CAN ERROR"};
    } else if (codes && has(Quirk::BufferFull)) {
        lines = {"BUFFER FULL"};
    } else {
        const std::vector<EcuMessage> messages = car_.answer(request);
        lines = messages.empty() ? std::vector<std::string>{"NO DATA"} : displayLines(messages);
        if (codes && has(Quirk::Garbage) && !garbageFired_) {
            garbageFired_ = true;
            lines.insert(lines.begin() + 1, std::string(GarbageLine));
        }
    }
    if (has(Quirk::OkNoise)) lines.insert(lines.begin(), "OK");

    std::string text;
    if (codes && has(Quirk::Reset) && !resetFired_) {
        resetFired_ = true;
        text = lines.front() + lineEnd();
        reset();
        text += lineEnd() + lineEnd() + std::string(Banner) + lineEnd() + closing();
    } else {
        for (const std::string& line : lines) text += line + lineEnd();
        text += closing(!has(Quirk::NoPrompt));
    }
    emit(searchWait, std::move(text));
    return reply;
}

std::string Adapter::bytesText(std::span<const std::uint8_t> bytes) const {
    // The chip puts a space after every byte, the last one included.
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += hex(byte, 2);
        if (spaces_) text += ' ';
    }
    return text;
}

std::string Adapter::headerText(std::uint32_t header) const {
    const bool extended = found_ == Can29Protocol || found_ == 9 || found_ == 0xA;
    if (!extended) return hex(header, 3) + (spaces_ ? " " : "");
    const std::array<std::uint8_t, 4> bytes = {static_cast<std::uint8_t>(header >> 24U),
                                               static_cast<std::uint8_t>(header >> 16U),
                                               static_cast<std::uint8_t>(header >> 8U), static_cast<std::uint8_t>(header)};
    return bytesText(bytes);
}

std::vector<std::string> Adapter::displayLines(const std::vector<EcuMessage>& messages) const {
    if (isCan(found_)) return canLines(messages);
    std::vector<std::string> lines;
    for (const EcuMessage& message : messages) {
        std::vector<std::uint8_t> bytes;
        if (headers_) {
            bytes = {static_cast<std::uint8_t>(message.header >> 16U), static_cast<std::uint8_t>(message.header >> 8U),
                     static_cast<std::uint8_t>(message.header)};
        }
        bytes.insert(bytes.end(), message.data.begin(), message.data.end());
        if (headers_) bytes.push_back(frameCheck(found_, message.header, message.data));
        lines.push_back(bytesText(bytes));
    }
    return lines;
}

std::vector<std::string> Adapter::canLines(const std::vector<EcuMessage>& messages) const {
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
    const std::string gap = spaces_ ? " " : "";
    for (const Frame& frame : firsts) {
        const std::span<const std::uint8_t> all(frame.bytes);
        const std::string header = headers_ ? headerText(frame.id) : "";
        if (!canFormatting_) {
            lines.push_back(header + bytesText(all));
        } else if (headers_) {
            lines.push_back(header + bytesText(all.first(frame.length)));
        } else if ((frame.bytes[0] & 0xF0U) == 0x00U) {
            lines.push_back(bytesText(all.subspan(1, frame.length - 1)));
        } else if ((frame.bytes[0] & 0xF0U) == 0x10U) {
            lines.push_back(hex(static_cast<unsigned>(frame.total), 3));
            lines.push_back("0:" + gap + bytesText(all.subspan(2)));
        } else {
            lines.push_back(hex(frame.bytes[0] & 0xFU, 1) + ":" + gap + bytesText(all.subspan(1)));
        }
    }
    return lines;
}

}  // namespace vx414::elmemu
