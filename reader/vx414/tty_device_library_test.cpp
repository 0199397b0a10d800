#include "reader/vx414/tty_device_library.h"
#include "reader/emulator_announcement.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace vx414 {
namespace {

// A pseudo-terminal whose master end plays the reader. The slave stays open here too, as
// the emulator keeps it, so that the link's closing does not hang the line up.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        path_ = ::ptsname(master_);
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios mode{};
        ::tcgetattr(slave_, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(slave_, TCSANOW, &mode);
    }
    ~Pty() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    bool ready() const { return slave_ >= 0; }
    int master() const { return master_; }

    void send(const std::vector<std::uint8_t>& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What has reached the master, waiting up to a second for at least `want` bytes.
    std::vector<std::uint8_t> received(std::size_t want) const {
        std::vector<std::uint8_t> bytes;
        for (int round = 0; round < 100 && bytes.size() < want; ++round) {
            pollfd wait{master_, POLLIN, 0};
            if (::poll(&wait, 1, 10) <= 0) continue;
            std::uint8_t buffer[256];
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got > 0) bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }
    // Waits, at most a second, until input is waiting on the line (without taking it).
    bool inputWaiting() const {
        pollfd wait{slave_, POLLIN, 0};
        return ::poll(&wait, 1, 1000) == 1;
    }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Reads until `count` bytes have come, allowing a second of "no byte yet" for bytes still
// on their way through the pty.
std::vector<std::uint8_t> readBytes(DeviceLibrary& link, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    for (int idle = 0; bytes.size() < count && idle < 1000;) {
        if (const LinkByte byte = link.DeviceReadByte()) {
            bytes.push_back(*byte);
        } else {
            ++idle;
            ::usleep(1000);
        }
    }
    return bytes;
}

TEST(TtyDeviceLibrary, CarriesEveryByteValueBothWays) {
    Pty pty;
    ASSERT_TRUE(pty.ready());
    TtyDeviceLibrary link(pty.path());
    link.DeviceOpen();
    ASSERT_TRUE(link.isOpen()) << link.lastStatus().toString();
    EXPECT_EQ(link.DeviceReadByte(), std::nullopt);  // nothing sent yet: no byte, at once

    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    pty.send(all);  // 0x00, 0x0A, 0x0D, 0x11, 0x13, 0x7F... untouched by the line discipline
    EXPECT_EQ(readBytes(link, all.size()), all);
    EXPECT_EQ(link.DeviceReadByte(), std::nullopt);

    for (const std::uint8_t byte : all) link.DeviceWriteByte(byte);
    EXPECT_EQ(pty.received(all.size()), all);
}

TEST(TtyDeviceLibrary, OpenAndCloseAreHarmlessTwiceAndDropStaleInput) {
    Pty pty;
    ASSERT_TRUE(pty.ready());
    TtyDeviceLibrary link(pty.path());
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceOpen();
    ASSERT_TRUE(link.isOpen());
    pty.send({0x01, 0x02, 0x03});
    EXPECT_EQ(readBytes(link, 1), (std::vector<std::uint8_t>{0x01}));  // the rest waits in the buffer
    link.DeviceClose();
    link.DeviceClose();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.DeviceReadByte(), std::nullopt);  // closed: the buffered bytes are gone

    pty.send({0x04});  // arrives while nobody listens
    ASSERT_TRUE(pty.inputWaiting());
    link.DeviceOpen();
    pty.send({0x05});
    EXPECT_EQ(readBytes(link, 1), (std::vector<std::uint8_t>{0x05}));
}

TEST(TtyDeviceLibrary, WriteToAClosedLinkSendsThatByteAndClosesAgain) {
    Pty pty;
    ASSERT_TRUE(pty.ready());
    TtyDeviceLibrary link(pty.path());
    link.DeviceWriteByte(0xAA);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(pty.received(1), (std::vector<std::uint8_t>{0xAA}));
}

TEST(TtyDeviceLibrary, FindsTheReaderThroughTheEnvironment) {
    Pty pty;
    ASSERT_TRUE(pty.ready());
    const char* saved = std::getenv(LinkEnvironmentVariable);
    const std::string restore = saved != nullptr ? saved : "";

    ::setenv(LinkEnvironmentVariable, pty.path().c_str(), 1);
    EXPECT_EQ(linkPath(), pty.path());
    const auto link = makeDeviceLibrary();
    link->DeviceOpen();
    pty.send({0x00});
    EXPECT_EQ(readBytes(*link, 1), (std::vector<std::uint8_t>{0x00}));
    link->DeviceClose();

    ::setenv(LinkEnvironmentVariable, "", 1);
    EXPECT_EQ(linkPath(), "/dev/vx414");
    ::unsetenv(LinkEnvironmentVariable);
    EXPECT_EQ(linkPath(), "/dev/vx414");
    if (saved != nullptr) ::setenv(LinkEnvironmentVariable, restore.c_str(), 1);
}

TEST(TtyDeviceLibrary, TheLinkNameIsWhatTheFarEndAnnouncedAtTheLastOpen) {
    struct Case {
        const char* farEnd;
        void (*set)(int master);
        const char* linkName;
    };
    const Case cases[] = {
        {"a line that announces nothing", [](int) {}, ""},
        {"a terminal window, 24 x 80",
         [](int master) {
             winsize size{};
             size.ws_row = 24;
             size.ws_col = 80;
             ::ioctl(master, TIOCSWINSZ, &size);
         },
         ""},
        {"the reader emulator", [](int master) { announceEmulator(master, EmulatorKind::Reader); }, "reader emulator"},
        {"the ELM327 emulator", [](int master) { announceEmulator(master, EmulatorKind::Elm327); }, "ELM327 emulator"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.farEnd);
        Pty pty;
        ASSERT_TRUE(pty.ready());
        c.set(pty.master());
        TtyDeviceLibrary link(pty.path());
        EXPECT_EQ(link.DeviceLinkName(), "");  // nothing known before the first open
        link.DeviceOpen();
        ASSERT_TRUE(link.isOpen());
        EXPECT_EQ(link.DeviceLinkName(), c.linkName);
        link.DeviceClose();
        EXPECT_EQ(link.DeviceLinkName(), c.linkName);  // still the device the window talked to
    }
    // A link that cannot be opened reaches nothing that could announce itself.
    TtyDeviceLibrary gone("/nonexistent/vx414-reader");
    gone.DeviceOpen();
    EXPECT_EQ(gone.DeviceLinkName(), "");
}

TEST(TtyDeviceLibrary, WithoutAReaderNothingHappens) {
    TtyDeviceLibrary link("/nonexistent/vx414-reader");
    link.DeviceOpen();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.lastStatus().code(), LinkCode::NoDevice);
    EXPECT_EQ(link.DeviceReadByte(), std::nullopt);
    link.DeviceWriteByte(0xAA);
    link.DeviceClose();
    EXPECT_FALSE(link.isOpen());
}

TEST(TtyDeviceLibrary, AReaderThatGoesAwayReadsAsNoByte) {
    Pty pty;
    ASSERT_TRUE(pty.ready());
    TtyDeviceLibrary link(pty.path());
    link.DeviceOpen();
    ASSERT_TRUE(link.isOpen());
    pty.closeMaster();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(link.DeviceReadByte(), std::nullopt);
    link.DeviceWriteByte(0xAA);  // no crash, no signal, no wait beyond its bound
}

}  // namespace
}  // namespace vx414
