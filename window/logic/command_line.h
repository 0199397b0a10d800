// The program's command line: --link L, --units metric|us, --help, --version. Read before any window exists, so that a
// bad name is one line on stderr and exit status 2.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "reader/link_name.h"
#include "report/unit_system.h"

namespace vx414 {

struct CommandLine {
    enum class Action { Run, Help, Version, Fail };
    Action action = Action::Run;
    // The link named by --link, else by $VX414_LINK, else the kept choice; empty: automatic.
    std::optional<LinkName> link;
    // --units: the units the live data and the vehicle report show, kept for later runs;
    // empty: the kept choice.
    std::optional<UnitSystem> units;
    std::string message;  // Help: the usage text; Version: the version line; Fail: one line, no newline
};

// `arguments` without the program name; `environmentLink` is $VX414_LINK (nullptr when
// unset); `keptFolder` holds the adapter chosen in the window (empty: none is looked for).
// --link wins over the environment, whose value is then not looked at, and either over the
// kept choice.
CommandLine parseCommandLine(std::span<const char* const> arguments, const char* environmentLink,
                             const std::string& keptFolder = {});

// What --help prints.
std::string usageText();

}  // namespace vx414
