#include "tools/elm327-emulator/elm327_emulator.h"

#include "tools/common/pseudo_terminal.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx414::elmemu {
namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
    Clock::time_point due;
    std::string text;
};

void closeQuietly(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::string escapeBytes(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7F) {
            std::array<char, 5> hex{};
            std::snprintf(hex.data(), hex.size(), "\\x%02X", byte);
            text += hex.data();
        } else {
            text += c;
        }
    }
    return text;
}

Elm327Emulator::Elm327Emulator(const Options& options)
    : adapter_(options.adapter), baud_(options.adapter.baud), tcp_(options.tcp) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = "cannot create a pipe";
        return;
    }
    if (tcp_) {
        openListener(options.port);
    } else {
        openTerminal();
    }
}

Elm327Emulator::~Elm327Emulator() {
    for (int* fd : {&master_, &slave_, &listener_, &stopPipe_[0], &stopPipe_[1]}) closeQuietly(*fd);
}

void Elm327Emulator::openTerminal() {
    // Raw on both ends: the adapter's CRs reach the client as they are, and nothing the
    // client sends is echoed by the line discipline (the adapter echoes by itself).
    const tools::PseudoTerminal terminal = tools::openRawPseudoTerminal(EmulatorKind::Elm327);
    master_ = terminal.master;
    slave_ = terminal.slave;
    address_ = terminal.path;
    error_ = terminal.error;
}

void Elm327Emulator::openListener(int port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        error_ = "cannot create a socket";
        return;
    }
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 || ::listen(listener_, 4) != 0) {
        error_ = "cannot listen on 127.0.0.1:" + std::to_string(port);
        closeQuietly(listener_);
        return;
    }
    socklen_t length = sizeof where;
    if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        error_ = "cannot read the port listened on";
        closeQuietly(listener_);
        return;
    }
    port_ = ntohs(where.sin_port);
    address_ = "127.0.0.1:" + std::to_string(port_);
}

timespec pollTimeout(std::chrono::nanoseconds untilDue) {
    const auto wait = std::clamp(std::chrono::ceil<std::chrono::microseconds>(untilDue), std::chrono::microseconds(0),
                                 std::chrono::microseconds(std::chrono::seconds(1)));
    return {static_cast<time_t>(wait.count() / 1'000'000), static_cast<long>(wait.count() % 1'000'000) * 1000};
}

void Elm327Emulator::stop() const {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
}

void Elm327Emulator::run(const TrafficLog& log) {
    if (address_.empty()) return;
    int client = tcp_ ? -1 : master_;
    std::deque<Pending> queue;   // the rest of the reply under way
    bool interruptible = false;  // of the reply under way
    std::string out;             // due, not yet written

    auto hangUp = [&] {
        closeQuietly(client);
        queue.clear();
        out.clear();
        adapter_.hangUp();
    };
    auto flushDue = [&] {
        const Clock::time_point now = Clock::now();
        while (!queue.empty() && queue.front().due <= now) {
            out += queue.front().text;
            queue.pop_front();
        }
    };
    auto enqueue = [&](const Reply& reply) {
        Clock::time_point due = Clock::now();
        // Ten bits a byte on a paced line: start, eight data bits, stop.
        const auto byteTime = std::chrono::nanoseconds(baud_ > 0 ? 10'000'000'000LL / baud_ : 0);
        for (const Step& step : reply.steps) {
            due += std::chrono::milliseconds(step.delayMilliseconds);
            if (baud_ <= 0) {
                queue.push_back({due, step.text});
                continue;
            }
            for (const char c : step.text) {
                due += byteTime;
                queue.push_back({due, std::string(1, c)});
            }
        }
        interruptible = reply.interruptible;
        // An answer without delay is out before the next byte is looked at, so commands
        // that arrive together are all answered.
        flushDue();
    };

    for (;;) {
        flushDue();
        // A paced byte may fall due between flushDue() and now: it is sent on the next turn.
        const timespec timeout =
            pollTimeout(queue.empty() ? std::chrono::nanoseconds(std::chrono::seconds(1)) : queue.front().due - Clock::now());
        std::array<pollfd, 3> fds{{{stopPipe_[0], POLLIN, 0},
                                   {client, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0},
                                   {tcp_ && client < 0 ? listener_ : -1, POLLIN, 0}}};
        if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            std::perror("vx414-elm327-emulator: poll");
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) return;

        if ((fds[2].revents & POLLIN) != 0) {
            client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client >= 0) {
                const int yes = 1;
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            }
            continue;
        }
        if (client < 0) continue;
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::array<char, 256> buffer{};
            const ssize_t got = ::read(client, buffer.data(), buffer.size());
            if (tcp_ && (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))) {
                hangUp();
                continue;
            }
            if (got > 0 && log) log(false, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            for (ssize_t i = 0; i < got; ++i) {
                const char byte = buffer[static_cast<std::size_t>(i)];
                if (!queue.empty()) {
                    // Busy: a printable character stops a search or a slow answer, and is
                    // itself lost; during a reset nothing is heard.
                    if (interruptible && static_cast<unsigned char>(byte) >= 0x20) {
                        queue.clear();
                        out += adapter_.stop();
                    }
                    continue;
                }
                if (const auto reply = adapter_.receive(byte)) enqueue(*reply);
            }
        }
        if (!out.empty()) {
            const ssize_t put = tcp_ ? ::send(client, out.data(), out.size(), MSG_NOSIGNAL)
                                     : ::write(client, out.data(), out.size());
            if (put > 0) {
                if (log) log(true, std::string_view(out.data(), static_cast<std::size_t>(put)));
                out.erase(0, static_cast<std::size_t>(put));
            } else if (tcp_ && put < 0 && errno != EAGAIN && errno != EINTR) {
                hangUp();
            }
        }
    }
}

}  // namespace vx414::elmemu
