// The two pipes under an ELM327 adapter against a real pseudo-terminal and real loopback
// sockets: what arrives, what a vanished or refusing peer looks like, and that every wait
// ends by its deadline.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tcp_transport.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/link_name.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;

Deadline in(Clock::duration d) { return Clock::now() + d; }

// A pseudo-terminal whose master end the test plays the adapter on.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::grantpt(master);
        ::unlockpt(master);
        path = ::ptsname(master);
        termios mode{};
        ::tcgetattr(master, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(master, TCSANOW, &mode);
        // Kept open so that the master does not see a hang-up between the test's opens.
        keep = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~Pty() {
        if (keep >= 0) ::close(keep);
        if (master >= 0) ::close(master);
    }
    void send(std::string_view text) const { ASSERT_EQ(::write(master, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
    std::string received() const {
        std::string text;
        char buffer[256];
        for (int i = 0; i < 50; ++i) {
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got > 0) {
                text.append(buffer, static_cast<std::size_t>(got));
            } else if (!text.empty()) {
                break;
            } else {
                ::usleep(10'000);
            }
        }
        return text;
    }
    int master = -1;
    int keep = -1;
    std::string path;
};

// Reads until `want` bytes have come or the deadline passes.
std::string readAll(Transport& t, std::size_t want, Deadline deadline, LinkStatus& status) {
    std::string text;
    while (text.size() < want && Clock::now() < deadline) {
        status = t.read(text, want - text.size(), deadline);
        if (!status.isOk()) break;
    }
    return text;
}

TEST(TtyTransport, CarriesTextBothWaysAndDropsWhatWasNotRead) {
    Pty pty;
    TtyTransport link(pty.path, DefaultBaud);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    EXPECT_TRUE(link.open(in(1s)).isOk());  // opening an open pipe is harmless
    ASSERT_TRUE(link.write("ATZ\r", in(1s)).isOk());
    EXPECT_EQ(pty.received(), "ATZ\r");

    pty.send("ELM327 v1.5\r\r>");
    LinkStatus status;
    EXPECT_EQ(readAll(link, 14, in(1s), status), "ELM327 v1.5\r\r>");
    EXPECT_TRUE(status.isOk());

    // A `max` smaller than what waits takes only `max`; discardInput drops the rest.
    pty.send("43 01 33 00 00\r");
    ::usleep(50'000);
    std::string some;
    ASSERT_TRUE(link.read(some, 2, in(1s)).isOk());
    EXPECT_EQ(some, "43");
    link.discardInput();
    pty.send(">");
    EXPECT_EQ(readAll(link, 1, in(1s), status), ">");
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST(TtyTransport, ReadOnASilentLineEndsAtItsDeadline) {
    Pty pty;
    TtyTransport link(pty.path, DefaultBaud);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    for (const auto wait : {0ms, 50ms, 300ms}) {
        std::string text;
        const auto start = Clock::now();
        EXPECT_TRUE(link.read(text, 64, in(wait)).isOk());
        const auto took = Clock::now() - start;
        EXPECT_TRUE(text.empty());
        EXPECT_GE(took, wait - 5ms) << wait.count();
        EXPECT_LT(took, wait + 200ms) << wait.count();
    }
}

TEST(TtyTransport, PortsThatCannotBeHadAreNoDevice) {
    {  // no such path
        TtyTransport link("/dev/nonexistent-elm327", DefaultBaud);
        const LinkStatus s = link.open(in(1s));
        EXPECT_EQ(s.code(), LinkCode::NoDevice);
        EXPECT_FALSE(link.isOpen());
    }
    {  // another program holds the port (an flock, as minicom and pyserial take)
        Pty pty;
        const int other = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        TtyTransport link(pty.path, DefaultBaud);
        EXPECT_EQ(link.open(in(1s)).code(), LinkCode::NoDevice);
        ::close(other);
        EXPECT_TRUE(link.open(in(1s)).isOk());  // free again
        // and while we hold it, the next one is turned away
        TtyTransport second(pty.path, DefaultBaud);
        EXPECT_EQ(second.open(in(1s)).code(), LinkCode::NoDevice);
    }
    {  // a passed deadline
        Pty pty;
        TtyTransport link(pty.path, DefaultBaud);
        EXPECT_EQ(link.open(Clock::now() - 1ms).code(), LinkCode::Timeout);
    }
}

TEST(TtyTransport, PathsThatAreNotATerminalAreRefusedBeforeAnyByte) {
    // `--link elm327:FILE` by mistake: the file must stay as it was; /dev/zero must not feed
    // the reads for ever. A whole read through the session fails at once.
    char folder[] = "/tmp/elm327-not-a-tty-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/codes.txt";
    const std::string fifo = std::string(folder) + "/fifo";
    const std::string content = "P0300\n";
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        ::close(fd);
    }
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int fifoReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifoReader, 0);
    const std::string paths[] = {file, fifo, "/dev/zero", "/dev/null", folder};
    for (const std::string& path : paths) {
        TtyTransport link(path, DefaultBaud);
        link.close();
        Session session;
        const Clock::time_point start = Clock::now();
        const SessionResult result = session.readCodes(link, in(3s));
        EXPECT_EQ(result.status.code(), LinkCode::NoDevice) << path << ": " << result.status.toString();
        EXPECT_LT(Clock::now() - start, 200ms) << path;
        EXPECT_FALSE(link.isOpen()) << path;
    }
    char buffer[64];
    EXPECT_LE(::read(fifoReader, buffer, sizeof buffer), 0);  // nothing was written into the fifo
    ::close(fifoReader);
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), content);
    ::unlink(file.c_str());
    ::unlink(fifo.c_str());
    ::rmdir(folder);
}

TEST(TtyTransport, AnAdapterThatGoesAwayIsIo) {
    Pty pty;
    TtyTransport link(pty.path, DefaultBaud);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    ::close(pty.master);
    pty.master = -1;
    std::string text;
    const auto start = Clock::now();
    EXPECT_EQ(link.read(text, 64, in(2s)).code(), LinkCode::Io);
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(link.write("ATZ\r", in(1s)).code(), LinkCode::Io);
}

TEST(TtyTransport, SpeedsTheLinkNameMayGive) {
    for (const int baud : UsualBauds) EXPECT_TRUE(isSupportedBaud(baud)) << baud;
    // Every speed a link name may ask for (elm327:PATH?baud=N) is one the port can be set to.
    for (const int baud : LinkBauds) EXPECT_TRUE(isSupportedBaud(baud)) << baud;
    for (const int baud : {0, -1, 12345, 38401}) EXPECT_FALSE(isSupportedBaud(baud)) << baud;
    Pty pty;
    TtyTransport link(pty.path, 9600);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    link.setBaud(115200);
    EXPECT_EQ(link.baud(), 115200);
    ASSERT_TRUE(link.write("AT\r", in(1s)).isOk());
    EXPECT_EQ(pty.received(), "AT\r");
}

// A loopback listener on a port the kernel picks.
struct Listener {
    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 4);
        socklen_t size = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    int accept() const { return ::accept(fd, nullptr, nullptr); }
    int fd = -1;
    std::uint16_t port = 0;
};

TEST(TcpTransport, CarriesTextBothWays) {
    Listener listener;
    TcpTransport link("127.0.0.1", listener.port);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    const int peer = listener.accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(link.write("0100\r", in(1s)).isOk());
    char buffer[16] = {};
    EXPECT_EQ(::read(peer, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string_view(buffer, 5), "0100\r");
    ASSERT_EQ(::write(peer, "NO DATA\r\r>", 10), 10);
    LinkStatus status;
    EXPECT_EQ(readAll(link, 10, in(1s), status), "NO DATA\r\r>");

    // Silence: the read ends at its deadline with nothing.
    std::string text;
    const auto start = Clock::now();
    EXPECT_TRUE(link.read(text, 64, in(200ms)).isOk());
    EXPECT_TRUE(text.empty());
    EXPECT_GE(Clock::now() - start, 195ms);
    EXPECT_LT(Clock::now() - start, 600ms);

    // The peer closes: Io, at once.
    ::close(peer);
    const auto closed = Clock::now();
    EXPECT_EQ(link.read(text, 64, in(2s)).code(), LinkCode::Io);
    EXPECT_LT(Clock::now() - closed, 500ms);
}

TEST(TcpTransport, AdaptersThatCannotBeReached) {
    std::uint16_t freePort = 0;
    {
        Listener listener;  // a port that was just free, now with nobody listening
        freePort = listener.port;
    }
    struct Case {
        const char* host;
        std::uint16_t port;
        const char* what;
    };
    for (const Case& c : {Case{"127.0.0.1", freePort, "refused"}, Case{"elm327-adapter.invalid", 35000, "unknown host"},
                          Case{"not a host name", 35000, "malformed name"}}) {
        TcpTransport link(c.host, c.port);
        const auto start = Clock::now();
        const LinkStatus s = link.open(in(1500ms));
        const auto took = Clock::now() - start;
        EXPECT_FALSE(s.isOk()) << c.what;
        // A resolver that cannot answer within the bound is a Timeout; either way the
        // open keeps the deadline.
        EXPECT_TRUE(s.code() == LinkCode::NoDevice || s.code() == LinkCode::Timeout) << c.what << ": " << s.toString();
        EXPECT_LT(took, 1700ms) << c.what;
        EXPECT_FALSE(link.isOpen()) << c.what;
    }
    TcpTransport refused("127.0.0.1", freePort);
    EXPECT_EQ(refused.open(in(1s)).code(), LinkCode::NoDevice);
}

TEST(TcpTransport, APeerThatClosesWhileWeWriteIsIoNotASignal) {
    Listener listener;
    TcpTransport link("127.0.0.1", listener.port);
    ASSERT_TRUE(link.open(in(1s)).isOk());
    ::close(listener.accept());
    // The first write may still be taken by the kernel; the one after the peer's reset fails.
    LinkStatus s;
    for (int i = 0; i < 20 && s.isOk(); ++i) {
        s = link.write(std::string(4096, 'A'), in(1s));
        ::usleep(10'000);
    }
    EXPECT_EQ(s.code(), LinkCode::Io);
}

}  // namespace
}  // namespace vx414::elm327
