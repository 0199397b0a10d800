// vx414-read's command line: what the user asked for, or the one line that says why not.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/unit_system.h"

#include "definitions/make_sections.h"

namespace vx414::cli {

enum class Mode { Read, Lookup, Glossary, Clear, Previous, ListAdapters, Live, Help, Version };
enum class Format { Text, Csv, Json };

struct ReadArguments {
    Mode mode = Mode::Read;
    Format format = Format::Text;
    const MakeSection* make = &kMakeSections[0];  // an entry of the make list
    bool makeGiven = false;                       // --make given: the VIN's make does not replace it
    std::optional<std::string> link;              // --link, as given
    std::optional<std::string> dataFile;          // --data
    std::string code;                             // --lookup, upper case
    std::string term;                             // --glossary, UTF-8 as given
    bool yes = false;                             // --clear without asking
    bool engineRunning = false;                   // --engine-running: --yes clears while the engine runs
    bool header = true;                           // CSV with its header row (not --no-header)
    int previous = 0;                             // --previous N: the kept read N (1 the newest); 0 the list
    // --live: the PIDs to follow, in the order given; empty for "all" (every one the car
    // supports). A live run's format is CSV unless JSON is asked for.
    std::vector<std::uint8_t> livePids;
    int intervalMs = 1000;                        // --interval: the least time between rounds
    std::optional<int> durationSeconds;           // --duration: until Ctrl+C without it
    std::optional<UnitSystem> units;              // --units, as given
    int modelYear = 0;                            // --model-year: the year the user states; 0 none
};

// The years --model-year takes.
inline constexpr std::pair<int, int> MostModelYears{1980, 2100};

// The longest --interval and --duration taken: a minute between rounds, a week of logging.
inline constexpr int MostIntervalMs = 60000;
inline constexpr int MostDurationSeconds = 7 * 24 * 3600;

// --live's list: "all", or PIDs of service 01 in hexadecimal separated by commas ("0C,5,0d"),
// each one of the values this program reads. Nothing and the one line that says why for
// anything else.
std::optional<std::vector<std::uint8_t>> parseLivePids(std::string_view text, std::string& error);

struct ParsedReadArguments {
    std::optional<ReadArguments> arguments;  // empty on a usage error
    std::string error;                       // one line, without the program's name
};

ParsedReadArguments parseReadArguments(std::span<const std::string_view> arguments);

// Whether `text` can begin a trouble code: a letter P, C, B or U in either case, then up to
// four hexadecimal digits, the first of them 0 to 3.
bool isCodeBeginning(std::string_view text);

std::string usageText();

}  // namespace vx414::cli
