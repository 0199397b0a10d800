// vx414-read's work: a read, a look-up, the glossary or a clear, run from parsed
// arguments over injected streams, terminal facts and link services, so that tests drive
// it without a terminal and without a reader.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <stop_token>
#include <string_view>

#include "reader/adapter_listing.h"
#include "reader/device_library.h"
#include "reader/live_watcher.h"
#include "reader/link_name.h"
#include "tools/read/read_arguments.h"

namespace vx414::cli {

enum ExitStatus : int {
    ExitOk = 0,
    ExitFailed = 1,     // the read or the clear failed or was declined; nothing found
    ExitUsage = 2,
    ExitDataFile = 3,   // the definitions file is missing or damaged
};

// Naming and making the link, and what it can do beyond reading: an ELM327 adapter can
// clear the codes, the VX-414 reader cannot.
struct LinkServices {
    std::function<LinkNameParse(std::string_view)> parse;
    std::function<std::unique_ptr<DeviceLibrary>(const std::optional<LinkName>&)> open;
    std::function<bool(DeviceLibrary& link)> canClear;
    // Service 04 through `link`: Ok once a unit has confirmed; which confirmed, which refused.
    std::function<ClearResult(DeviceLibrary& link)> clearCodes;
    // The engine's speed (01 0C) through `link`, asked before a clear.
    std::function<EngineSpeed(DeviceLibrary& link)> engineSpeed;
    // What --list-adapters shows.
    std::function<AdapterListing()> listAdapters;
    // Whether `link` gives live data (an ELM327 adapter), and live data through it until
    // `stop`: Ok when stopped, else why the adapter or the car was lost.
    std::function<bool(DeviceLibrary& link)> givesLiveData;
    std::function<LinkStatus(DeviceLibrary& link, std::stop_token stop, LiveWatcher& watcher)> pollLive;
};

struct CommandEnvironment {
    CommandEnvironment(std::ostream& output, std::ostream& errors, std::string folder)
        : out(output), err(errors), programFolder(std::move(folder)) {}

    std::ostream& out;
    std::ostream& err;
    std::string programFolder;                // where VX-414.dis is looked for
    std::string clearedFolder;                // where --clear keeps the read and --previous finds it
    std::optional<std::string> linkVariable;  // $VX414_LINK
    std::string linkChoiceFolder;             // where the window keeps the adapter chosen; empty: none
    bool errIsTerminal = false;               // show a status line while the read runs
    bool inIsTerminal = false;                // a person can answer the clear's question
    std::function<std::optional<std::string>()> readAnswer;  // one line typed, nothing at its end
    std::function<std::chrono::system_clock::time_point()> now = [] { return std::chrono::system_clock::now(); };
    // The window reads one second after it has asked; the same here, so a reader that is
    // slow to start its answer is given the same time.
    std::chrono::milliseconds readDelay{1000};
    LinkServices links;
    // Ctrl+C or SIGTERM during a live run (main turns the signals into a stop request).
    std::stop_token interrupted;
};

int runReadCommand(const ReadArguments& arguments, CommandEnvironment& environment);

// The folder of the running program, links resolved (/proc/self/exe), without a trailing
// separator; `argv0`'s folder when /proc is not there.
std::string programFolder(const char* argv0);

}  // namespace vx414::cli
