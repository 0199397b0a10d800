// How an emulator on a pseudo-terminal tells the program that it is one. The reader's byte
// protocol has no room for it (a real reader must see and send the same bytes), so the
// emulator sets the terminal's window size, which a serial line never has, to a signature
// the program reads when it opens the line. A real reader or adapter announces nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vx414 {

enum class EmulatorKind : std::uint8_t { None, Reader, Elm327 };

// Announces `kind` on the master end of the emulator's pseudo-terminal; false when the
// terminal does not take it.
bool announceEmulator(int masterFd, EmulatorKind kind);

// What the device behind the open tty `fd` announced: None for a serial line, a terminal
// with another window size, or anything that is not a terminal.
EmulatorKind announcedEmulator(int fd);

// Over a link without a window size (TCP, Bluetooth LE) the ELM327 emulator says it in the
// banner of its reset instead, after the chip's own name and version, where no ELM327 or
// clone puts anything of the kind; the set-up of every exchange sees that banner.
inline constexpr std::string_view Elm327EmulatorMark = "(vx414 emulator)";

// The words the window shows for it ("reader emulator"); empty for None.
std::string emulatorLinkName(EmulatorKind kind);

}  // namespace vx414
