// Running a program of the build as a child process, for the tests: its standard output
// and error gathered, text fed to its standard input, its exit status, all within a bound.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vx414::testing {

struct ChildResult {
    int status = -1;  // the exit status; 128 + the signal when killed; -1 when it would not start
    std::string out;
    std::string err;
};

// A program in the build folder: $VX414_BUILD_DIR under ctest, else the parent of the
// test's own folder.
inline std::string buildProgram(const std::string& name) {
    if (const char* buildDir = std::getenv("VX414_BUILD_DIR")) return std::string(buildDir) + "/" + name;
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/" + name;
}

struct ChildOptions {
    // Variables set (a value) or removed (nothing) on top of this process's environment.
    std::map<std::string, std::optional<std::string>> environment;
    std::string input;  // written to standard input, which then ends
    std::chrono::milliseconds bound{20'000};
};

// Runs `program` with `arguments` to its end, or kills it once the bound has passed.
inline ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                            const ChildOptions& options = {}) {
    ChildResult result;
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : options.environment) {
        if (value) variables[name] = *value;
        else variables.erase(name);
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : variables) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        return result;
    }

    // The input is small (an answer), far below a pipe's room: written at once, then ended.
    // A child that has already gone must not take the test with it.
    std::signal(SIGPIPE, SIG_IGN);
    if (!options.input.empty() && ::write(in[1], options.input.data(), options.input.size()) < 0) result.err = "";
    ::close(in[1]);

    const auto deadline = std::chrono::steady_clock::now() + options.bound;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&result.out, &result.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0) ::close(fd.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    if (killed) result.status = 128 + SIGKILL;
    return result;
}

}  // namespace vx414::testing
