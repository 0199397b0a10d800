#include "reader/emulator_announcement.h"

#include <sys/ioctl.h>
#include <termios.h>

namespace vx414 {

namespace {
// "VX" in the rows and "414" in the columns: no window a person opens is this size, and a
// serial line's size stays 0 x 0. The kind goes in the pixel width.
constexpr unsigned short SignatureRows = 0x5658;
constexpr unsigned short SignatureColumns = 414;
}  // namespace

bool announceEmulator(int masterFd, EmulatorKind kind) {
    winsize size{};
    size.ws_row = SignatureRows;
    size.ws_col = SignatureColumns;
    size.ws_xpixel = static_cast<unsigned short>(kind);
    return ::ioctl(masterFd, TIOCSWINSZ, &size) == 0;
}

EmulatorKind announcedEmulator(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return EmulatorKind::None;
    if (size.ws_row != SignatureRows || size.ws_col != SignatureColumns) return EmulatorKind::None;
    switch (size.ws_xpixel) {
    case static_cast<unsigned short>(EmulatorKind::Reader): return EmulatorKind::Reader;
    case static_cast<unsigned short>(EmulatorKind::Elm327): return EmulatorKind::Elm327;
    default: return EmulatorKind::None;
    }
}

std::string emulatorLinkName(EmulatorKind kind) {
    switch (kind) {
    case EmulatorKind::Reader: return "reader emulator";
    case EmulatorKind::Elm327: return "ELM327 emulator";
    case EmulatorKind::None: break;
    }
    return {};
}

}  // namespace vx414
