// A pseudo-terminal for the emulators: the far end of a link the program opens as a tty.
#pragma once

#include <string>

#include "reader/emulator_announcement.h"

namespace vx414::tools {

struct PseudoTerminal {
    int master = -1;
    // Kept open by the emulator, so that the program's closing its end does not hang the
    // line up.
    int slave = -1;
    std::string path;   // the slave's path, for the program to open; empty on failure
    std::string error;  // why, when path is empty
};

// Both ends non-blocking and raw: no echo, no translation of CR or LF, no special meaning
// for any byte; announced as an emulator of `kind`, so that the program can say it talks
// to one. The caller closes both descriptors.
PseudoTerminal openRawPseudoTerminal(EmulatorKind kind);

}  // namespace vx414::tools
