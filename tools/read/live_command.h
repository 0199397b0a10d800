// vx414-read --live: the engine's values, one line a round, until the duration ends, the
// user stops it or the adapter goes.
#pragma once

#include <optional>
#include <string>

#include "reader/link_name.h"
#include "tools/read/read_command.h"

namespace vx414::cli {

// Exit status of a live run stopped by Ctrl+C or SIGTERM, as a shell gives one killed by
// SIGINT.
inline constexpr int ExitInterrupted = 130;

// The run through the link `named` (shown to the user as `shown`), which must be an ELM327
// adapter.
int runLive(const ReadArguments& arguments, CommandEnvironment& environment, const std::optional<LinkName>& named,
            const std::string& shown);

}  // namespace vx414::cli
