#include "reader/link_name.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iterator>

namespace vx414 {
namespace {

constexpr std::string_view TtyScheme = "elm327:";
constexpr std::string_view TcpScheme = "elm327://";
constexpr std::string_view BleScheme = "elm327:ble:";
constexpr std::string_view BaudQuery = "?baud=";

LinkNameParse failure(std::string text) { return {std::nullopt, std::move(text)}; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A whole decimal number with nothing around it.
std::optional<long> number(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A host as the TCP form takes it: a name or IPv4 address, or an IPv6 address in brackets.
bool plausibleHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '.' || c == '_';
        if (!ok) return false;
    }
    return true;
}

bool plausibleIpv6(std::string_view host) {
    if (host.empty()) return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
                        c == '.';
        if (!ok) return false;
    }
    return true;
}

LinkNameParse parseTcp(std::string_view whole, std::string_view rest) {
    const std::string bad = "bad host:port in " + quoted(whole) + " (expected elm327://HOST:PORT, e.g. elm327://192.168.0.10:35000)";
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return failure(bad);
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (!plausibleIpv6(host)) return failure(bad);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return failure(bad);
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (!plausibleHost(host)) return failure(bad);
    }
    const auto value = number(port);
    if (!value || *value < 1 || *value > 65535) return failure(bad);
    LinkName name;
    name.kind = LinkName::Kind::Elm327Tcp;
    name.host = std::string(host);
    name.port = static_cast<std::uint16_t>(*value);
    return {name, {}};
}

// Six pairs of hex digits split by colons, as BlueZ names a device; kept in upper case,
// as BlueZ spells it.
LinkNameParse parseBle(std::string_view whole, std::string_view rest) {
    const auto bad = [&] {
        return failure("bad Bluetooth address in " + quoted(whole) + " (expected elm327:ble:AA:BB:CC:DD:EE:FF)");
    };
    if (rest.size() != 17) return bad();
    LinkName name;
    name.kind = LinkName::Kind::Elm327Ble;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (i % 3 == 2) {
            if (c != ':') return bad();
            name.address += c;
            continue;
        }
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return bad();
        name.address += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return {name, {}};
}

LinkNameParse parseTty(std::string_view whole, std::string_view rest) {
    LinkName name;
    name.kind = LinkName::Kind::Elm327Tty;
    const std::size_t query = rest.find('?');
    std::string_view path = rest.substr(0, query);
    if (query != std::string_view::npos) {
        const std::string_view tail = rest.substr(query);
        if (tail.substr(0, BaudQuery.size()) != BaudQuery) {
            return failure("unknown option in " + quoted(whole) + " (only ?baud=N is known)");
        }
        const auto baud = number(tail.substr(BaudQuery.size()));
        if (!baud || std::find(std::begin(LinkBauds), std::end(LinkBauds), *baud) == std::end(LinkBauds)) {
            return failure("bad baud rate in " + quoted(whole) +
                           " (9600, 19200, 38400, 57600, 115200, 230400 or 500000)");
        }
        name.baud = static_cast<int>(*baud);
    }
    if (path.empty()) return failure("no tty path in " + quoted(whole) + " (expected elm327:/dev/ttyUSB0)");
    name.path = std::string(path);
    return {name, {}};
}

}  // namespace

LinkNameParse parseLinkName(std::string_view text) {
    if (text.empty()) return failure("empty link name");
    if (text.substr(0, TcpScheme.size()) == TcpScheme) return parseTcp(text, text.substr(TcpScheme.size()));
    if (text.substr(0, BleScheme.size()) == BleScheme) return parseBle(text, text.substr(BleScheme.size()));
    if (text.substr(0, TtyScheme.size()) == TtyScheme) return parseTty(text, text.substr(TtyScheme.size()));
    // A scheme is letters (then letters, digits, +, - or .) and a colon before any slash;
    // everything else is a path, as a link name always was.
    const std::size_t colon = text.find(':');
    const std::size_t slash = text.find('/');
    if (colon != std::string_view::npos && colon > 0 && (slash == std::string_view::npos || colon < slash)) {
        bool scheme = (text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z');
        for (std::size_t i = 1; i < colon && scheme; ++i) {
            const char c = text[i];
            scheme = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                     c == '-' || c == '.';
        }
        if (scheme) {
            return failure("unknown link scheme " + quoted(text.substr(0, colon + 1)) + " in " + quoted(text) +
                           " (use a tty path, elm327:PATH, elm327://HOST:PORT or elm327:ble:ADDRESS)");
        }
    }
    LinkName name;
    name.kind = LinkName::Kind::ReaderTty;
    name.path = std::string(text);
    return {name, {}};
}

LinkNameParse linkNameFromEnvironment() {
    const char* value = std::getenv(LinkEnvironmentVariable);
    if (value == nullptr || value[0] == '\0') return {};
    LinkNameParse parsed = parseLinkName(value);
    if (!parsed.name) parsed.error = std::string(LinkEnvironmentVariable) + ": " + parsed.error;
    return parsed;
}

}  // namespace vx414
