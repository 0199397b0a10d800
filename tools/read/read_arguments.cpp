#include "tools/read/read_arguments.h"

#include <algorithm>
#include <cctype>

#include "definitions/definitions_table.h"
#include "definitions/make_names.h"
#include "reader/obd/live_pids.h"

#include <algorithm>
#include <charconv>

namespace vx414::cli {
namespace {

// The options each mode takes beyond its own.
struct Accepts {
    bool make, format, csv, link, data, yes, live = false;
    bool modelYear = false;
};

Accepts acceptedBy(Mode mode) {
    switch (mode) {
    case Mode::Read: return {true, true, true, true, true, false, false, true};
    // A look-up prints an entry and the one after it, which is no table: text or JSON.
    case Mode::Lookup: return {true, true, false, false, true, false};
    case Mode::Glossary: return {false, true, true, false, true, false};
    case Mode::Clear: return {false, false, false, true, true, true, false, true};
    case Mode::ListAdapters: return {false, false, false, false, false, false};
    case Mode::Previous: return {false, true, true, false, false, false};
    case Mode::Live: return {false, true, true, true, false, false, true};
    case Mode::Help:
    case Mode::Version: break;
    }
    return {true, true, true, true, true, true, true, true};
}

std::string_view modeOption(Mode mode) {
    switch (mode) {
    case Mode::Lookup: return "--lookup";
    case Mode::Glossary: return "--glossary";
    case Mode::Clear: return "--clear";
    case Mode::ListAdapters: return "--list-adapters";
    case Mode::Previous: return "--previous";
    case Mode::Live: return "--live";
    default: return "a read";
    }
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// A whole number from `low` to `high`, nothing else (no sign but a leading minus, no blanks).
std::optional<long> wholeNumber(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

bool isCodeBeginning(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter != 'P' && letter != 'C' && letter != 'B' && letter != 'U') return false;
    if (text.size() > 1 && (text[1] < '0' || text[1] > '3')) return false;
    for (std::size_t i = 2; i < text.size(); ++i)
        if (!isHexDigit(text[i])) return false;
    return true;
}

std::optional<std::vector<std::uint8_t>> parseLivePids(std::string_view text, std::string& error) {
    std::vector<std::uint8_t> pids;
    if (text == "all") return pids;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        unsigned pid = 0;
        const auto [end, failure] = std::from_chars(item.data(), item.data() + item.size(), pid, 16);
        if (item.empty() || item.size() > 2 || failure != std::errc() || end != item.data() + item.size()) {
            error = "\"" + std::string(item) + "\" is not a PID (two hexadecimal digits, as 0C; PIDs separated by "
                    "commas, or all)";
            return std::nullopt;
        }
        if (obd::fieldsOf(static_cast<std::uint8_t>(pid)).empty()) {
            error = "PID " + std::string(item) + " is not one of the live values this program reads";
            return std::nullopt;
        }
        if (std::find(pids.begin(), pids.end(), pid) == pids.end()) pids.push_back(static_cast<std::uint8_t>(pid));
        start = comma + 1;
    }
    return pids;
}

ParsedReadArguments parseReadArguments(std::span<const std::string_view> arguments) {
    ReadArguments result;
    std::optional<Mode> mode;
    bool makeGiven = false, formatGiven = false, noHeader = false, intervalGiven = false;
    const auto fail = [](std::string error) { return ParsedReadArguments{std::nullopt, std::move(error)}; };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view option = arguments[i];
        // "--" ends the options, as everywhere; the program takes no other arguments, so
        // anything after it is refused below like any stray argument.
        if (option == "--") {
            if (i + 1 < arguments.size())
                return fail("unexpected argument \"" + std::string(arguments[i + 1]) + "\"");
            break;
        }
        std::optional<std::string_view> value;
        // --option=value as well as --option value.
        if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != std::string_view::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        const bool takesValue = option == "--link" || option == "--make" || option == "--format" ||
                                option == "--data" || option == "--lookup" || option == "--glossary" || option == "--live" ||
                                option == "--interval" || option == "--duration" || option == "--units" ||
                                option == "--model-year";
        if (takesValue && !value) {
            if (i + 1 == arguments.size()) return fail(std::string(option) + " needs a value");
            value = arguments[++i];
        } else if (!takesValue && value && option != "--previous") {
            return fail(std::string(option) + " takes no value");
        }
        const auto setMode = [&](Mode m) -> bool {
            if (mode && *mode != m) return false;
            mode = m;
            return true;
        };
        const auto twoModes = [&]() {
            return fail(std::string(modeOption(*mode)) + " and " + std::string(option) + " cannot be used together");
        };

        if (option == "--help" || option == "-h") {
            result.mode = Mode::Help;
            return {result, {}};
        } else if (option == "--version") {
            result.mode = Mode::Version;
            return {result, {}};
        } else if (option == "--lookup") {
            if (mode == Mode::Lookup) return fail("--lookup given twice");
            if (!setMode(Mode::Lookup)) return twoModes();
            if (!isCodeBeginning(*value))
                return fail("\"" + std::string(*value) +
                            "\" is not a trouble code or its beginning (a letter P, C, B or U, then up to four "
                            "hexadecimal digits, as in P0300)");
            result.code.clear();
            for (const char c : *value) result.code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (option == "--glossary") {
            if (mode == Mode::Glossary) return fail("--glossary given twice");
            if (!setMode(Mode::Glossary)) return twoModes();
            result.term = std::string(*value);
        } else if (option == "--live") {
            if (mode == Mode::Live) return fail("--live given twice");
            if (!setMode(Mode::Live)) return twoModes();
            std::string error;
            const auto pids = parseLivePids(*value, error);
            if (!pids) return fail(error);
            result.livePids = *pids;
        } else if (option == "--interval") {
            if (intervalGiven) return fail("--interval given twice");
            intervalGiven = true;
            const auto ms = wholeNumber(*value);
            if (!ms || *ms < 0 || *ms > MostIntervalMs)
                return fail("--interval takes 0 to " + std::to_string(MostIntervalMs) + " milliseconds, not \"" +
                            std::string(*value) + "\"");
            result.intervalMs = static_cast<int>(*ms);
        } else if (option == "--duration") {
            if (result.durationSeconds) return fail("--duration given twice");
            const auto seconds = wholeNumber(*value);
            if (!seconds || *seconds < 1 || *seconds > MostDurationSeconds)
                return fail("--duration takes 1 to " + std::to_string(MostDurationSeconds) + " seconds, not \"" +
                            std::string(*value) + "\"");
            result.durationSeconds = static_cast<int>(*seconds);
        } else if (option == "--units") {
            if (result.units) return fail("--units given twice");
            result.units = parseUnitSystem(*value);
            if (!result.units) return fail("unknown units \"" + std::string(*value) + "\" (metric or us)");
        } else if (option == "--model-year") {
            if (result.modelYear) return fail("--model-year given twice");
            const auto year = wholeNumber(*value);
            if (!year || *year < MostModelYears.first || *year > MostModelYears.second)
                return fail("--model-year takes a year from " + std::to_string(MostModelYears.first) + " to " +
                            std::to_string(MostModelYears.second) + ", not \"" + std::string(*value) + "\"");
            result.modelYear = static_cast<int>(*year);
        } else if (option == "--clear") {
            if (!setMode(Mode::Clear)) return twoModes();
        } else if (option == "--list-adapters") {
            if (!setMode(Mode::ListAdapters)) return twoModes();
        } else if (option == "--previous") {
            if (mode == Mode::Previous) return fail("--previous given twice");
            if (!setMode(Mode::Previous)) return twoModes();
            // The number is optional: taken when the next argument is one.
            if (!value && i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                std::all_of(arguments[i + 1].begin(), arguments[i + 1].end(), [](char c) { return c >= '0' && c <= '9'; }))
                value = arguments[++i];
            if (value) {
                const bool digits = !value->empty() && value->size() <= 6 &&
                                    std::all_of(value->begin(), value->end(), [](char c) { return c >= '0' && c <= '9'; });
                result.previous = digits ? std::stoi(std::string(*value)) : 0;
                if (result.previous < 1)
                    return fail("--previous takes the number of a kept read as --previous lists them (1 the newest), "
                                "not \"" + std::string(*value) + "\"");
            }
        } else if (option == "--yes" || option == "-y") {
            result.yes = true;
        } else if (option == "--engine-running") {
            result.engineRunning = true;
        } else if (option == "--no-header") {
            noHeader = true;
            result.header = false;
        } else if (option == "--make") {
            if (makeGiven) return fail("--make given twice");
            makeGiven = true;
            result.makeGiven = true;
            result.make = makeNamed(*value);
            if (result.make == nullptr)
                return fail("unknown make \"" + std::string(*value) + "\"");
        } else if (option == "--format") {
            if (formatGiven) return fail("--format given twice");
            formatGiven = true;
            if (*value == "text") result.format = Format::Text;
            else if (*value == "csv") result.format = Format::Csv;
            else if (*value == "json") result.format = Format::Json;
            else return fail("unknown format \"" + std::string(*value) + "\" (text, csv or json)");
        } else if (option == "--link") {
            if (result.link) return fail("--link given twice");
            result.link = std::string(*value);
        } else if (option == "--data") {
            if (result.dataFile) return fail("--data given twice");
            if (value->empty()) return fail("--data needs a file");
            result.dataFile = std::string(*value);
        } else if (option.starts_with("-")) {
            return fail("unknown option " + std::string(option));
        } else {
            return fail("unexpected argument \"" + std::string(option) + "\"");
        }
    }

    result.mode = mode.value_or(Mode::Read);
    const Accepts accepts = acceptedBy(result.mode);
    const std::string_view by = modeOption(result.mode);
    const auto refuse = [&](std::string_view option) {
        return fail(std::string(option) + " does not go with " + std::string(by));
    };
    if (makeGiven && !accepts.make) return refuse("--make");
    if (formatGiven && !accepts.format) return refuse("--format");
    if (result.format == Format::Csv && !accepts.csv) return refuse("--format csv");
    if (noHeader && result.format != Format::Csv) return fail("--no-header goes with --format csv");
    if (result.link && !accepts.link) return refuse("--link");
    if (result.dataFile && !accepts.data) return refuse("--data");
    if (result.yes && !accepts.yes) return refuse("--yes");
    if (result.modelYear && !accepts.modelYear) return refuse("--model-year");
    if (result.engineRunning && !accepts.yes) return refuse("--engine-running");
    if (result.engineRunning && !result.yes) return fail("--engine-running goes with --clear --yes");
    if (result.mode == Mode::Previous && result.previous == 0 && formatGiven)
        return fail("--format goes with --previous N, not with the list");
    if ((intervalGiven || result.durationSeconds || result.units) && !accepts.live)
        return fail(std::string(intervalGiven ? "--interval" : result.durationSeconds ? "--duration" : "--units") +
                    " goes with --live");
    if (result.mode == Mode::Live) {
        if (!formatGiven) result.format = Format::Csv;
        if (result.format == Format::Text) return fail("--live writes csv or json, not text");
    }
    return {result, {}};
}

std::string usageText() {
    std::string text = R"(Usage: vx414-read [--link LINK] [--make MAKE] [--format FORMAT] [--data FILE]
                  [--model-year YEAR]
       vx414-read --lookup CODE [--make MAKE] [--format text|json] [--data FILE]
       vx414-read --glossary TERM [--format FORMAT] [--data FILE]
       vx414-read --clear [--link LINK] [--yes [--engine-running]] [--data FILE]
                  [--model-year YEAR]
       vx414-read --list-adapters
       vx414-read --previous [N [--format FORMAT]]
       vx414-read --live PIDS|all [--interval MS] [--duration S]
                  [--format csv|json] [--units metric|us] [--link LINK]

Reads the trouble codes once from the VX-414 reader or an ELM327 adapter and
prints each with its kind (Pending, Stored, or Permanent from an ELM327 adapter)
and its definition for the make. Through an ELM327 adapter it also shows the
VIN, the check-engine light (MIL), the readiness monitors and the freeze frame.

  --link LINK      where the reader is: a tty path (the VX-414 reader),
                   elm327:PATH[?baud=N] (an ELM327 adapter on a tty),
                   elm327://HOST:PORT (an ELM327 adapter over TCP) or
                   elm327:ble:AA:BB:CC:DD:EE:FF (an ELM327 adapter over
                   Bluetooth LE, paired or seen by BlueZ). Without it,
                   $VX414_LINK, else the adapter chosen in the window's
                   "Choose adapter..." ($XDG_CONFIG_HOME/vx414/link), else
                   /dev/vx414, else an ELM327 adapter found on /dev/ttyUSB*,
                   /dev/ttyACM* and /dev/rfcomm*, then among the Bluetooth LE
                   devices BlueZ knows
  --make MAKE      the vehicle make whose definitions win over the generic ones
                   (default: the make the car's VIN names, else generic; upper
                   or lower case, blanks and hyphens alike; the makes and their
                   other names are below)
  --format FORMAT  text (an aligned table, the default), csv or json. CSV has
                   the time and make in every row, and a row of kind None with
                   an empty code when the car has no codes
  --no-header      with --format csv: no header row, for adding reads to a log
                   that has one (--format csv --no-header >> log.csv)
  --data FILE      the definitions file (default VX-414.dis beside the program)
  --model-year YEAR
                   the car's model year, for a car whose VIN gives none (most
                   cars of 1996 to 2000 keep no VIN in the engine unit): the
                   inspection verdict is judged by it and the read says it was
                   given, not read. It wins over the VIN's year
  --lookup CODE    print the first code that begins with CODE with its
                   definition, and the entry after it, as the program's code
                   search shows them; no reader is needed
  --glossary TERM  print the glossary entries whose term begins with TERM
                   (upper or lower case alike; an empty TERM prints them all)
  --clear          ask the car to clear its trouble codes (OBD service 04)
                   through an ELM327 adapter; the VX-414 reader cannot. The
                   engine must be off and the ignition on: reads the codes and
                   the engine's speed first and keeps that read as JSON in
                   $XDG_DATA_HOME/vx414/cleared (~/.local/share/vx414/cleared).
                   Asks first unless --yes is given; without a terminal to ask
                   on, --yes is needed
  --yes            clear without asking; refused while the engine runs
  --engine-running with --clear --yes: clear even though the engine runs
  --list-adapters  list the serial ports, the Bluetooth LE devices BlueZ knows
                   that offer an ELM327 service (name, address, signal) and the
                   usual Wi-Fi adapter's address, each with whether it answered
                   as an ELM327; pairs nothing
  --previous [N]   list the reads kept before each clear, newest first (date,
                   VIN, codes); with N, print the Nth of them as a read is
                   printed, in any --format. They stay until you remove them:
                   delete a vx414-cleared-*.json file in the folder above to
                   remove that read, all of them to remove all (about 2 kB a
                   read; 20 clears a day for a year, some 13 MB). index.tsv
                   there lists them for speed and is remade when missing
  --live PIDS      follow the engine's live values through an ELM327 adapter:
                   PIDS are service 01 PIDs in hexadecimal separated by commas
                   (0C,05,0D: engine speed, coolant, vehicle speed) or all
                   (every one the car supports). One line a round, flushed:
                   CSV with a heading row (time, then one column per value
                   with its unit), or JSON lines with --format json. A PID the
                   car does not support is left out with a note on stderr
  --interval MS    the least time from one round to the next (default 1000; 0:
                   as fast as the car answers)
  --duration S     stop after S seconds (default: until Ctrl+C)
  --units UNITS    metric (the default: km/h, °C, kPa, km) or us (mph, °F,
                   psi, miles); the window's choice is not read here
  --help           show this text
  --version        show the version

Exit status: 0 the codes were read (none is a read too), the entry was found,
the codes were cleared, the kept reads were shown or an adapter answered; 1 the
read or the clear failed or was declined, --lookup or --glossary found nothing,
--previous found no such read or could not read it back, or no adapter
answered; 2 a usage error; 3 the definitions file is missing or damaged. A
live run: 0 its duration ended, 1 the adapter or the car was lost (the cause on
stderr) or none of the PIDs is supported, 130 it was stopped with Ctrl+C (or
SIGTERM); every line written before stays written.

Makes, one a line, with the other names each is known by:
)";
    // One make a line: several makes share words ("smart smart city", "cabrio", "fortwo"),
    // which a comma-separated paragraph runs together. The bash completion reads this list.
    for (const MakeSection& make : kMakeSections) {
        text += "  " + std::string(make.name);
        const std::vector<std::string_view> others = otherNamesOf(make);
        for (std::size_t i = 0; i < others.size(); ++i) text += (i == 0 ? " (also " : ", ") + std::string(others[i]);
        text += others.empty() ? "\n" : ")\n";
    }
    return text;
}

}  // namespace vx414::cli
