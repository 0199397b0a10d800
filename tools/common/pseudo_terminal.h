// A pseudo-terminal for the emulators: the far end of a link the program opens as a tty.
#pragma once

#include <string>

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
// for any byte. The caller closes both descriptors.
PseudoTerminal openRawPseudoTerminal();

}  // namespace vx414::tools
