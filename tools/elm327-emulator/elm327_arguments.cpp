#include "tools/elm327-emulator/elm327_arguments.h"

#include <charconv>

namespace vx414::elmemu {
namespace {

struct Preset {
    std::string_view name;
    std::string_view pending;
    std::string_view stored;
};

// "many": the engine unit holds eight stored codes, an answer of three CAN frames or three
// legacy frames.
constexpr std::array<Preset, 3> Presets = {{
    {"default", "P0300,P0171", "P0420,P0133,C1234,U0100"},
    {"many", "P0300,P0171", "P0101,P0113,P0128,P0300,P0301,P0420,P0442,B1318,U0100"},
    {"none", "", ""},
}};

bool parseNumber(std::string_view text, int& value, int low, int high) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

std::string names(auto entries) {
    std::string text;
    for (const auto& entry : entries) text += (text.empty() ? "" : ", ") + std::string(entry.name);
    return text;
}

std::string quirkForms() {
    std::string text;
    for (const QuirkEntry& entry : quirkEntries()) text += (text.empty() ? "" : ", ") + quirkForm(entry);
    return text;
}

}  // namespace

std::string usageText() {
    std::string text = R"help(Usage: vx414-elm327-emulator [OPTION]...

Acts as an ELM327 OBD-II adapter (ELM327 v1.5 command set) with a scripted car behind it,
on a new pseudo-terminal (as a USB or Bluetooth adapter appears) or on a TCP port of
127.0.0.1 (as a Wi-Fi adapter). The first line printed is where to connect: the
terminal's path, or 127.0.0.1:PORT. It runs until SIGTERM or SIGINT.

The adapter answers ATZ (the banner "ELM327 v1.5 (vx414 emulator)" after a short
reset: the program marks its reads as a demo by it), ATWS, ATI, AT@1,
ATD, ATE0/1, ATL0/1, ATS0/1, ATH0/1, ATCAF0/1, ATAT0/1/2, ATSP h, ATSP Ah, ATTP h,
ATDP, ATDPN, ATST hh, ATSH, ATRV, ATPC (others: "?") and the OBD requests 0100, 0101
(the lamp, the stored count, readiness), 03 (stored codes), 07 (pending codes), 0200 and
02xx00 (freeze frame 0, kept while a code is stored), 0A (permanent codes), 0900, 0902
(the VIN) and 04 (clear: later 03 and 07 find none, every monitor is incomplete, the
permanent code stays), in either letter case, with or without spaces; a bare CR repeats
the last command. On CAN, 01 takes up to six PIDs and 02 up to three PID and frame pairs
in one request, answered in one message per unit. Echo, line feeds, spaces, headers and CAN formatting follow the
settings. The first request after a reset or ATSP searches for the car ("SEARCHING...")
unless the protocol is set; K-line cars then say "BUS INIT: ...OK". A character sent
during a search stops it ("STOPPED").

Options:
  --car NAME          the car behind the adapter (default can11):
)help";
    for (const CarEntry& car : carEntries()) {
        text += "                        " + std::string(car.name) + std::string(12 - car.name.size(), ' ') +
                std::string(car.summary) + "\n";
    }
    text += R"(                      With two units, the engine unit (7E8, 18DAF110, 10) holds every code
                      but the last, which the transmission unit holds; the engine's first
                      stored code is also its permanent code and its freeze frame's.
  --vehicle NAME      the VIN and readiness the engine unit reports (default: ford for
                      can11 and j1850pwm, vw for can29, toyota for iso9141 and slow, gm for
                      j1850vpw, bmw for kwp):
)";
    for (const VehicleProfile& vehicle : vehicleProfiles()) {
        text += "                        " + std::string(vehicle.name) + std::string(8 - vehicle.name.size(), ' ') +
                std::string(vehicle.vin) + "  " + std::string(vehicle.summary) + "\n";
    }
    text += R"(  --codes PRESET      the codes the car holds (default "default"):
)";
    for (const Preset& preset : Presets) {
        text += "                        " + std::string(preset.name) + std::string(9 - preset.name.size(), ' ') +
                "pending " + (preset.pending.empty() ? "none" : std::string(preset.pending)) + "\n" +
                std::string(33, ' ') + "stored " + (preset.stored.empty() ? "none" : std::string(preset.stored)) + "\n";
    }
    text += R"(  --pending LIST      pending codes (service 07), as P0300,P0171; "none" for none
  --stored LIST       stored codes (service 03), as C1234,U0100,P0420; "none" for none
                      A code is P, C, B or U and four hex digits, the first 0 to 3.
  --engine-off        ignition on, engine off: engine speed (01 0C) and vehicle speed
                      (01 0D) are 0
  --quirk NAME        behave like a clone; may be given several times:
)";
    for (const QuirkEntry& quirk : quirkEntries()) {
        // A long name has its summary on the next line.
        const std::string form = quirkForm(quirk);
        const std::string gap = form.size() < 13 ? std::string(13 - form.size(), ' ') : "\n" + std::string(37, ' ');
        text += "                        " + form + gap + std::string(quirk.summary) + "\n";
    }
    text += R"(                      HEX: the first hex digits of the request as typed, without spaces
                      or its answer count (0101 matches 0101 and 01011); N from 1.
)";
    text += R"(  --tcp PORT          listen on 127.0.0.1:PORT instead of a pseudo-terminal; 0 picks a
                      free port. One client at a time; the next is accepted when it
                      leaves.
  --delay MS          wait MS milliseconds before every answer (default 0)
  --slow              every line of every answer 0.3 to 1.0 s late, as through a slow
                      Bluetooth adapter (the same run of delays each time)
  --line-delay MIN-MAX  every line of every answer MIN to MAX milliseconds late
  --search-ms MS      how long the protocol search, a bus initialisation, or giving up on
                      a missing car takes (default per car: CAN 50, J1850 100, kwp 200,
                      iso9141 300, nocar 1000, slow 4000)
  --reset-ms MS       how long ATZ takes (default 150; ATWS a third of it)
  --timed             a real chip's own waits, for benchmarks: ATZ 800 ms, ATWS 100 ms,
                      200 ms for units that do not answer before the prompt, bytes paced
                      as at 38,400 baud (give it before --reset-ms to change ATZ alone)
  --verbose           log every byte received and sent on stderr ("<- " and "-> ")
  --help              show this text

Examples:
  vx414-elm327-emulator                       prints /dev/pts/N, then serves it:
  vx414 --link elm327:/dev/pts/N
  vx414-elm327-emulator --tcp 35000 --car can29 --codes many
  vx414 --link elm327://127.0.0.1:35000
  vx414-elm327-emulator --car iso9141 --stored P0420 --quirk lowercase > /tmp/elm.log &
  vx414 --link elm327:$(head -n 1 /tmp/elm.log)
)";
    return text;
}

ParsedArguments parseArguments(std::span<const std::string_view> arguments) {
    ParsedArguments result;
    Options options;
    const Preset* preset = &Presets[0];
    std::optional<std::vector<Code>> pending;
    std::optional<std::vector<Code>> stored;
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
        if (argument == "--timed") {
            useRealTiming(options.adapter);
            continue;
        }
        if (argument == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (argument == "--engine-off") {
            options.adapter.car.engineOff = true;
            continue;
        }
        if (argument == "--slow") {
            options.adapter.lineDelayMinMilliseconds = SlowLineMinMilliseconds;
            options.adapter.lineDelayMaxMilliseconds = SlowLineMaxMilliseconds;
            continue;
        }
        if (!argument.starts_with("--")) return fail("unexpected argument: " + std::string(argument));
        if (i + 1 >= arguments.size()) return fail(std::string(argument) + " needs a value");
        const std::string_view value = arguments[++i];
        if (argument == "--car") {
            const auto kind = carKindByName(value);
            if (!kind) return fail("unknown car: " + std::string(value) + " (one of " + names(carEntries()) + ")");
            options.adapter.car.kind = *kind;
        } else if (argument == "--vehicle") {
            const VehicleProfile* vehicle = vehicleProfileByName(value);
            if (vehicle == nullptr) {
                return fail("unknown vehicle: " + std::string(value) + " (one of " + names(vehicleProfiles()) + ")");
            }
            options.adapter.car.vehicle = vehicle;
        } else if (argument == "--codes") {
            preset = nullptr;
            for (const Preset& candidate : Presets) {
                if (candidate.name == value) preset = &candidate;
            }
            if (preset == nullptr) return fail("unknown code preset: " + std::string(value));
        } else if (argument == "--pending" || argument == "--stored") {
            auto codes = parseCodeList(value);
            if (!codes) return fail("not a list of trouble codes: " + std::string(value));
            (argument == "--pending" ? pending : stored) = std::move(codes);
        } else if (argument == "--quirk") {
            if (!addQuirk(options.adapter, value)) {
                return fail("unknown quirk or bad value: " + std::string(value) + " (one of " + quirkForms() + ")");
            }
        } else if (argument == "--tcp") {
            if (!parseNumber(value, options.port, 0, 65535)) return fail("--tcp needs a port from 0 to 65535");
            options.tcp = true;
        } else if (argument == "--delay") {
            if (!parseNumber(value, options.adapter.delayMilliseconds, 0, 60'000)) {
                return fail("--delay needs milliseconds from 0 to 60000");
            }
        } else if (argument == "--line-delay") {
            const std::size_t dash = value.find('-');
            AdapterSetup& adapter = options.adapter;
            if (dash == std::string_view::npos || !parseNumber(value.substr(0, dash), adapter.lineDelayMinMilliseconds, 0, 10'000) ||
                !parseNumber(value.substr(dash + 1), adapter.lineDelayMaxMilliseconds, adapter.lineDelayMinMilliseconds, 10'000)) {
                return fail("--line-delay needs MIN-MAX milliseconds, 0 <= MIN <= MAX <= 10000");
            }
        } else if (argument == "--search-ms") {
            if (!parseNumber(value, options.adapter.searchMilliseconds, 0, 60'000)) {
                return fail("--search-ms needs milliseconds from 0 to 60000");
            }
        } else if (argument == "--reset-ms") {
            if (!parseNumber(value, options.adapter.resetMilliseconds, 0, 60'000)) {
                return fail("--reset-ms needs milliseconds from 0 to 60000");
            }
        } else {
            return fail("unknown option: " + std::string(argument));
        }
    }
    options.adapter.car.pending = pending ? *pending : *parseCodeList(preset->pending);
    options.adapter.car.stored = stored ? *stored : *parseCodeList(preset->stored);
    result.options = std::move(options);
    return result;
}

}  // namespace vx414::elmemu
