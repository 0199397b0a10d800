#include "reader/vx414/tty_device_library.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "reader/emulator_announcement.h"

namespace vx414 {
namespace {

// How long a write may wait for room in a full output queue before the byte is dropped.
constexpr int WriteWaitMilliseconds = 100;

}  // namespace

std::string linkPath() {
    const char* fromEnvironment = std::getenv(LinkEnvironmentVariable);
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;
    return DefaultLinkPath;
}

TtyDeviceLibrary::~TtyDeviceLibrary() { DeviceClose(); }

void TtyDeviceLibrary::DeviceOpen() {
    if (isOpen()) return;  // opening an open link is harmless
    const std::string path = fixedPath_.empty() ? linkPath() : fixedPath_;
    // Non-blocking from the start: opening a serial line without carrier must not wait,
    // and reads must return at once when nothing has arrived.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        status_ = LinkStatus(LinkCode::NoDevice, "cannot open the link");
        linkName_.clear();
        return;
    }
    linkName_ = emulatorLinkName(announcedEmulator(fd));
    termios mode{};
    if (::tcgetattr(fd, &mode) == 0) {
        // Raw 8-bit bytes, no echo, no line editing, no flow control, no translation. The
        // line speed is left as the tty has it: the reader's USB-serial adapter ignores
        // it, and a udev rule or stty can set it where it matters. VMIN = VTIME = 0 makes
        // an empty read return 0 at once. The mode is not restored at close: the line is
        // the reader's and nobody else's.
        ::cfmakeraw(&mode);
        mode.c_cflag |= CLOCAL | CREAD;
        mode.c_cc[VMIN] = 0;
        mode.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &mode);
        // Whatever arrived while nobody listened (the rest of an earlier report) would
        // otherwise be taken as the next report's lead-in.
        ::tcflush(fd, TCIFLUSH);
    }
    // A path that is not a tty (a pipe, a socket) is used as a plain byte pipe.
    fd_ = fd;
    bufferStart_ = bufferEnd_ = 0;
    status_ = LinkStatus::ok();
}

void TtyDeviceLibrary::DeviceClose() {
    if (!isOpen()) return;  // closing a closed link is harmless
    // On a serial line close() lets the kernel send what is queued, within the line's own
    // closing wait; on a pseudo-terminal a written byte has already reached the other end.
    ::close(fd_);
    fd_ = -1;
    bufferStart_ = bufferEnd_ = 0;
}

LinkByte TtyDeviceLibrary::DeviceReadByte() {
    if (bufferStart_ < bufferEnd_) return buffer_[bufferStart_++];
    if (!isOpen()) return std::nullopt;
    // One read() takes whatever has arrived, up to a buffer full, so that a report costs
    // a few system calls rather than one per byte.
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got > 0) {
        bufferStart_ = 1;
        bufferEnd_ = static_cast<std::size_t>(got);
        return buffer_[0];
    }
    // 0: nothing yet (VMIN = 0), or a line that has hung up (a pulled cable, an emulator
    // that ended): telling the two apart would cost a second system call on every idle
    // read, and both read as a silent reader whose bounded wait runs out. EAGAIN / EINTR:
    // nothing yet. Any other error is kept as the link's status and also reads as no byte.
    if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        status_ = LinkStatus(LinkCode::Io, "read failed");
    }
    return std::nullopt;
}

bool TtyDeviceLibrary::writeOnOpenLink(std::uint8_t byte) {
    // Two tries: the second after waiting, bounded, for room in the output queue.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t put = ::write(fd_, &byte, 1);
        if (put == 1) return true;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        pollfd wait{fd_, POLLOUT, 0};
        ::poll(&wait, 1, WriteWaitMilliseconds);
    }
    status_ = LinkStatus(LinkCode::Io, "write failed");
    return false;
}

void TtyDeviceLibrary::DeviceWriteByte(std::uint8_t byte) {
    if (isOpen()) {
        writeOnOpenLink(byte);
        return;
    }
    // A write to a closed link opens the link for that one byte and closes it again, so
    // the end byte written after a failed read still reaches the reader. With no reader
    // there, the open fails and nothing happens.
    DeviceOpen();
    if (!isOpen()) return;
    writeOnOpenLink(byte);
    DeviceClose();
}

}  // namespace vx414
