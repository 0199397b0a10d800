#include "tools/bluez-mock/mock_arguments.h"

#include <charconv>
#include <vector>

#include "tools/elm327-emulator/elm327_arguments.h"

namespace vx414::bluezmock {
namespace {

bool parseNumber(std::string_view text, int& value, int low, int high) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

}  // namespace

std::string mockUsageText() {
    std::string text = R"(Usage: vx414-bluez-mock [OPTION]... [EMULATOR OPTION]...

Stands in for BlueZ on the system bus that DBUS_SYSTEM_BUS_ADDRESS names (a private bus
a test starts): owns org.bluez and shows the adapter /org/bluez/hci0 and one Bluetooth
LE device offering one ELM327 service, behind which the ELM327 emulator's adapter and
car answer. Prints "ready" once the name is taken; runs until SIGTERM.

Options:
  --address AA:BB:CC:DD:EE:FF  the device's address (default 00:1D:A5:68:98:8B)
  --service NAME               fff0 (default), ffe0, 18f0, 6e400001 or e7810a71
  --mtu N                      the ATT MTU, 23 to 517 (default 23: 20 bytes a piece)
  --late-every N --late MIN-MAX
                               every Nth notification comes MIN to MAX ms late
  --drop-every N               every Nth notification is lost
  --disconnect-after N         the device disconnects after N bytes were notified, once
  --powered-off                Bluetooth is off
  --no-adapter                 no Bluetooth adapter at all
  --refuse                     the device refuses the connection
  --unreachable                the device never answers a connection
Every other option goes to the ELM327 emulator (see vx414-elm327-emulator --help).
)";
    return text;
}

ParsedMockArguments parseMockArguments(std::span<const std::string_view> arguments) {
    ParsedMockArguments result;
    MockOptions options;
    std::vector<std::string_view> emulator;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.help = true;
            return result;
        }
        if (argument == "--powered-off") { options.poweredOff = true; continue; }
        if (argument == "--no-adapter") { options.noAdapter = true; continue; }
        if (argument == "--refuse") { options.refuse = true; continue; }
        if (argument == "--unreachable") { options.unreachable = true; continue; }
        const bool ours = argument == "--address" || argument == "--service" || argument == "--mtu" ||
                          argument == "--late-every" || argument == "--late" || argument == "--drop-every" ||
                          argument == "--disconnect-after";
        if (!ours) {
            emulator.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) return fail(std::string(argument) + " needs a value");
        const std::string_view value = arguments[++i];
        if (argument == "--address") {
            options.address = std::string(value);
        } else if (argument == "--service") {
            options.service = mockServiceByShortName(value);
            if (options.service == nullptr) return fail("unknown service: " + std::string(value));
        } else if (argument == "--mtu") {
            if (!parseNumber(value, options.mtu, 23, 517)) return fail("bad --mtu");
        } else if (argument == "--late-every") {
            if (!parseNumber(value, options.lateEvery, 1, 1'000'000)) return fail("bad --late-every");
        } else if (argument == "--late") {
            const std::size_t dash = value.find('-');
            if (dash == std::string_view::npos || !parseNumber(value.substr(0, dash), options.lateMinMilliseconds, 0, 60'000) ||
                !parseNumber(value.substr(dash + 1), options.lateMaxMilliseconds, options.lateMinMilliseconds, 60'000))
                return fail("bad --late (MIN-MAX milliseconds)");
        } else if (argument == "--drop-every") {
            if (!parseNumber(value, options.dropEvery, 1, 1'000'000)) return fail("bad --drop-every");
        } else if (argument == "--disconnect-after") {
            if (!parseNumber(value, options.disconnectAfter, 0, 100'000'000)) return fail("bad --disconnect-after");
        }
    }
    const auto parsed = elmemu::parseArguments(emulator);
    if (!parsed.options) return fail(parsed.error);
    if (parsed.options->tcp) return fail("--tcp makes no sense here");
    options.adapter = parsed.options->adapter;
    result.options = options;
    return result;
}

}  // namespace vx414::bluezmock
