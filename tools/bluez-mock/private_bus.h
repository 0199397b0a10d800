// For the Bluetooth tests: a private D-Bus bus (a dbus-daemon of its own, never the
// machine's system bus) and a program serving on it in the background, such as
// vx414-bluez-mock, each ended when its owner goes.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "definitions/test_support.h"

extern char** environ;

namespace vx414::testing {

// A program started with extra environment variables; its first line on standard output
// is awaited (at most five seconds) and kept; SIGTERM then SIGKILL at the end.
class ServingChild {
public:
    ServingChild(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {}) {
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> envText;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (!environment.contains(text.substr(0, text.find('=')))) envText.push_back(text);
        }
        for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& entry : envText) envp.push_back(entry.data());
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        pollfd fd{out[0], POLLIN, 0};
        while (pid_ > 0 && firstLine_.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[256];
            const ssize_t got = ::read(out[0], buffer, sizeof buffer);
            if (got <= 0) break;
            firstLine_.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(out[0]);
        firstLine_ = firstLine_.substr(0, firstLine_.find('\n'));
    }
    ~ServingChild() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            ::usleep(20'000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ServingChild(const ServingChild&) = delete;
    ServingChild& operator=(const ServingChild&) = delete;

    const std::string& firstLine() const { return firstLine_; }

private:
    pid_t pid_ = -1;
    std::string firstLine_;
};

// A bus anyone on this machine's user may own any name on; its address is what
// DBUS_SYSTEM_BUS_ADDRESS names for the programs under test.
class PrivateBus {
public:
    PrivateBus() : config_(writeConfig(folder_)), daemon_("/usr/bin/dbus-daemon", {"--config-file=" + config_, "--print-address=1", "--nofork"}) {}
    const std::string& address() const { return daemon_.firstLine(); }

private:
    static std::string writeConfig(const ScratchFolder& folder) {
        const std::string path = (folder.path() / "bus.conf").string();
        const std::string text =
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n  <type>session</type>\n  <listen>unix:dir=" + folder.path().string() + "</listen>\n"
            "  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
            ::close(fd);
        }
        return path;
    }

    ScratchFolder folder_;
    std::string config_;
    ServingChild daemon_;
};

}  // namespace vx414::testing
