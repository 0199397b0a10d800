#include "reader/elm327/elm327_tty_transport.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "reader/elm327/elm327_io_wait.h"

namespace vx414::elm327 {
namespace {

speed_t speedOf(int baud) {
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 500000: return B500000;
    default: return B0;
    }
}

// Raw 8N1, no echo, no flow control, no translation; VMIN = VTIME = 0 so that a read
// returns at once with what has arrived (the waits are poll's).
bool setRaw(int fd, int baud) {
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0) return false;
    ::cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    mode.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(baud);
    if (speed != B0) {
        ::cfsetispeed(&mode, speed);
        ::cfsetospeed(&mode, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

}  // namespace

bool isSupportedBaud(int baud) { return speedOf(baud) != B0; }

// Character device majors (Linux's devices.txt): 136 to 143 the Unix98 pseudo-terminal
// slaves, 3 the old BSD ones, 216 the Bluetooth RFCOMM ttys.
bool TtyTransport::speedMatters() const {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
    const unsigned kind = major(status.st_rdev);
    return !((kind >= 136 && kind <= 143) || kind == 3 || kind == 216);
}

TtyTransport::TtyTransport(std::string path, int baud) : path_(std::move(path)), baud_(baud) {}

TtyTransport::~TtyTransport() { close(); }

LinkStatus TtyTransport::open(Deadline deadline) {
    if (isOpen()) return LinkStatus::ok();
    if (Clock::now() >= deadline) return {LinkCode::Timeout, "no time left to open the tty"};
    // O_NONBLOCK: a serial line without carrier must not hold the open, and a Bluetooth
    // port that is still connecting must not hold it either.
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // EBUSY: another program set the tty's exclusive flag.
        return {LinkCode::NoDevice, errno == EBUSY ? "the tty is held by another program" : "cannot open the tty"};
    }
    // Programs that share serial ports politely (minicom, pyserial, gpsd, ModemManager's
    // probing) take an flock; one that is held means somebody is talking on this port.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return {LinkCode::NoDevice, "the tty is held by another program"};
    }
    // Only a terminal is an adapter: a file named by mistake must not receive commands, and
    // a device such as /dev/zero would feed the reads without end.
    struct stat what{};
    if (::fstat(fd, &what) != 0 || !S_ISCHR(what.st_mode) || ::isatty(fd) == 0) {
        ::close(fd);
        return {LinkCode::NoDevice, "not a tty"};
    }
    // Nobody else opens it while we have it: our ELM327 commands would reach them.
    ::ioctl(fd, TIOCEXCL);
    if (!setRaw(fd, baud_)) {
        ::close(fd);
        return {LinkCode::Io, "cannot set the tty up"};
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    announced_ = announcedEmulator(fd);
    return LinkStatus::ok();
}

void TtyTransport::close() {
    if (!isOpen()) return;
    // Drop what is still queued for output, so that close() does not wait for the line
    // to drain it (a serial port's closing wait can be thirty seconds).
    if (::isatty(fd_) != 0) {
        ::tcflush(fd_, TCIOFLUSH);
        ::ioctl(fd_, TIOCNXCL);
    }
    ::close(fd_);
    fd_ = -1;
}

void TtyTransport::setBaud(int baud) {
    baud_ = baud;
    if (isOpen() && ::isatty(fd_) != 0) {
        setRaw(fd_, baud_);
        ::tcflush(fd_, TCIOFLUSH);
    }
}

LinkStatus TtyTransport::write(std::string_view bytes, Deadline deadline) {
    if (!isOpen()) return {LinkCode::Io, "the tty is not open"};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return {LinkCode::Io, "write to the tty failed"};
        }
        const short ready = waitFor(fd_, POLLOUT, deadline);
        // A line that says it is ready and takes nothing must not hold us past the deadline.
        if (ready == 0 || Clock::now() >= deadline) return {LinkCode::Timeout, "the tty took no more bytes"};
        if ((ready & POLLOUT) == 0) return {LinkCode::Io, "the tty hung up"};
    }
    return LinkStatus::ok();
}

LinkStatus TtyTransport::read(std::string& into, std::size_t max, Deadline deadline) {
    if (!isOpen()) return {LinkCode::Io, "the tty is not open"};
    if (max == 0) return LinkStatus::ok();
    char buffer[512];
    bool saidReady = false;
    for (;;) {
        const std::size_t want = max < sizeof buffer ? max : sizeof buffer;
        const ssize_t got = ::read(fd_, buffer, want);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            return LinkStatus::ok();
        }
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return {LinkCode::Io, "read from the tty failed"};
        }
        // poll said there was something and the read found nothing: a line that has hung
        // up (a pulled USB adapter, a serial line that lost carrier) reads that way.
        if (saidReady && got == 0) return {LinkCode::Io, "the tty hung up"};
        if (saidReady && Clock::now() >= deadline) return LinkStatus::ok();
        const short ready = waitFor(fd_, POLLIN, deadline);
        if (ready == 0) return LinkStatus::ok();  // the deadline passed, nothing arrived
        if ((ready & POLLIN) == 0) return {LinkCode::Io, "the tty hung up"};
        saidReady = true;
    }
}

void TtyTransport::discardInput() {
    if (!isOpen()) return;
    if (::isatty(fd_) != 0) ::tcflush(fd_, TCIFLUSH);
    // A whole answer's worth at most: more is not left over from an earlier answer but a
    // line that keeps talking, which the next read reports.
    char buffer[512];
    for (std::size_t dropped = 0; dropped < 64 * 1024; dropped += sizeof buffer) {
        if (::read(fd_, buffer, sizeof buffer) <= 0) break;
    }
}

}  // namespace vx414::elm327
