// An emulator started as a child process, beside the benchmark in the build folder: its
// first line of output names its pseudo-terminal; it is ended with SIGTERM.
#pragma once

#include <climits>
#include <csignal>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vx414::bench {

// The build folder's programs, seen from a benchmark in build/bench.
inline std::string buildProgram(const std::string& name)
{
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string program(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    return program.substr(0, program.rfind('/')) + "/../" + name;
}

class EmulatorProcess {
public:
    explicit EmulatorProcess(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), buildProgram("vx414-elm327-emulator"));
        int out[2];
        if (::pipe(out) != 0)
            throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start " + arguments[0]);
        }
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            path_ += c;
        ::close(out[0]);
        if (path_.empty())
            throw std::runtime_error("the emulator printed no path");
    }
    ~EmulatorProcess()
    {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

}  // namespace vx414::bench
