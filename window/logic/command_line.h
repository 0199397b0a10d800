// The program's command line: --link L, --help, --version. Read before any window exists, so that a
// bad name is one line on stderr and exit status 2.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "reader/link_name.h"

namespace vx414 {

struct CommandLine {
    enum class Action { Run, Help, Version, Fail };
    Action action = Action::Run;
    // The link named by --link, else by $VX414_LINK; empty when neither names one.
    std::optional<LinkName> link;
    std::string message;  // Help: the usage text; Version: the version line; Fail: one line, no newline
};

// `arguments` without the program name; `environmentLink` is $VX414_LINK (nullptr when
// unset). --link wins over the environment, whose value is then not looked at.
CommandLine parseCommandLine(std::span<const char* const> arguments, const char* environmentLink);

// What --help prints.
std::string usageText();

}  // namespace vx414
