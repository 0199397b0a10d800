// For the emulator's tests: the emulator serving on its own thread, and a client that talks
// to it the way a program would, over the pseudo-terminal or the TCP port.
#pragma once

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tools/elm327-emulator/elm327_arguments.h"

namespace vx414::elmemu::testing {

inline Options optionsFrom(std::vector<std::string_view> arguments) {
    // Short resets and searches unless a test says otherwise, so the tests stay quick.
    arguments.insert(arguments.begin(), {"--reset-ms", "20", "--search-ms", "30"});
    ParsedArguments parsed = parseArguments(arguments);
    return parsed.options ? *parsed.options : Options{};
}

class RunningEmulator {
public:
    explicit RunningEmulator(const Options& options, TrafficLog log = {})
        : emulator_(options), thread_([this, log] { emulator_.run(log); }) {}
    ~RunningEmulator() {
        emulator_.stop();
        thread_.join();
    }
    RunningEmulator(const RunningEmulator&) = delete;
    RunningEmulator& operator=(const RunningEmulator&) = delete;
    const Elm327Emulator& emulator() const { return emulator_; }

private:
    Elm327Emulator emulator_;
    std::thread thread_;
};

class Client {
public:
    // The pseudo-terminal's slave end, raw, as a program opens a serial adapter.
    static Client terminal(const std::string& path) {
        Client client;
        client.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios mode{};
        if (client.fd_ >= 0 && ::tcgetattr(client.fd_, &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(client.fd_, TCSANOW, &mode);
        }
        return client;
    }
    static Client tcp(int port) {
        Client client;
        client.fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<std::uint16_t>(port));
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(client.fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
            ::close(client.fd_);
            client.fd_ = -1;
        }
        return client;
    }
    Client(Client&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Client& operator=(Client&&) = delete;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { close(); }

    bool open() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void send(std::string_view text) const {
        while (!text.empty() && fd_ >= 0) {
            const ssize_t put = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
            const ssize_t written = put < 0 && errno == ENOTSOCK ? ::write(fd_, text.data(), text.size()) : put;
            if (written <= 0) return;
            text.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    // What arrives until the prompt '>' ends it, or `limit` passes.
    std::string readAnswer(std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) const {
        return read(limit, ">");
    }
    // What arrives until it ends with `ending`, or `limit` passes.
    std::string readUntil(std::string_view ending, std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) const {
        return read(limit, ending);
    }
    // Everything that arrives within `span`.
    std::string readFor(std::chrono::milliseconds span) const { return read(span, {}); }
    std::string ask(std::string_view command) const {
        send(std::string(command) + "\r");
        return readAnswer();
    }

private:
    Client() = default;
    std::string read(std::chrono::milliseconds limit, std::string_view ending) const {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point end = Clock::now() + limit;
        std::string text;
        while (fd_ >= 0 && (ending.empty() || !text.ends_with(ending))) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) break;
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
            std::array<char, 512> buffer{};
            const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
            if (got == 0) break;
            if (got > 0) text.append(buffer.data(), static_cast<std::size_t>(got));
        }
        return text;
    }

    int fd_ = -1;
};

}  // namespace vx414::elmemu::testing
