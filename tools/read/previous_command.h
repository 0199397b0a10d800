// vx414-read --previous: the reads kept before each clear (report/cleared_listing.h), listed,
// or one of them printed as a read is printed. Nothing of a kept file reaches the terminal
// unescaped.
#pragma once

#include "tools/read/read_command.h"

namespace vx414::cli {

// The list: one kept read a line, numbered from 1, the newest first, with its date, VIN and
// codes; a kept read that cannot be read back is listed with the reason. With
// arguments.previous N, the Nth read in arguments.format.
int previous(const ReadArguments& arguments, CommandEnvironment& environment);

}  // namespace vx414::cli
