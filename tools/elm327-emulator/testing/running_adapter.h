// The ELM327 emulator serving on a test's own thread, set up from its command-line
// arguments, with everything it has received.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/elm327-emulator/elm327_arguments.h"
#include "tools/elm327-emulator/elm327_emulator.h"

namespace vx414::elmemu::testing {

class RunningAdapter {
public:
    explicit RunningAdapter(const std::vector<std::string_view>& arguments) : emulator_(optionsOf(arguments)) {
        thread_ = std::thread([this] {
            emulator_.run([this](bool sent, std::string_view bytes) {
                if (sent) return;
                const std::lock_guard lock(mutex_);
                received_.append(bytes);
            });
        });
    }
    ~RunningAdapter() {
        emulator_.stop();
        thread_.join();
    }
    RunningAdapter(const RunningAdapter&) = delete;
    RunningAdapter& operator=(const RunningAdapter&) = delete;

    // The pseudo-terminal's path, or 127.0.0.1:PORT.
    const std::string& address() const { return emulator_.address(); }
    // The link name for vx414-read and the window.
    std::string link(bool tcp) const { return (tcp ? "elm327://" : "elm327:") + emulator_.address(); }
    std::string received() {
        const std::lock_guard lock(mutex_);
        return received_;
    }

private:
    static Options optionsOf(const std::vector<std::string_view>& arguments) {
        const auto parsed = parseArguments(arguments);
        EXPECT_TRUE(parsed.options) << parsed.error;
        return parsed.options.value_or(Options{});
    }

    Elm327Emulator emulator_;
    std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

}  // namespace vx414::elmemu::testing
