#include "tools/common/pseudo_terminal.h"

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vx414::tools {

PseudoTerminal openRawPseudoTerminal(EmulatorKind kind) {
    PseudoTerminal terminal;
    terminal.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal.master < 0 || ::grantpt(terminal.master) != 0 || ::unlockpt(terminal.master) != 0) {
        terminal.error = "cannot open a pseudo-terminal";
        return terminal;
    }
    const char* name = ::ptsname(terminal.master);
    if (name == nullptr) {
        terminal.error = "pseudo-terminal without a name";
        return terminal;
    }
    terminal.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal.slave < 0) {
        terminal.error = "cannot open the pseudo-terminal's slave end";
        return terminal;
    }
    for (const int fd : {terminal.master, terminal.slave}) {
        termios mode{};
        if (::tcgetattr(fd, &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(fd, TCSANOW, &mode);
        }
    }
    if (!announceEmulator(terminal.master, kind)) {
        terminal.error = "cannot announce the emulator on the pseudo-terminal";
        return terminal;
    }
    terminal.path = name;
    return terminal;
}

}  // namespace vx414::tools
