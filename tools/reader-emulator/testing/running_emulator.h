// The reader emulator serving on a thread of the test, with the bytes it has received: the
// reader at the other end of a pseudo-terminal, for the tests that read through one.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/reader-emulator/reader_emulator.h"

namespace vx414::emulator {

class RunningEmulator {
public:
    explicit RunningEmulator(Options options) : emulator_(std::move(options)) {
        thread_ = std::thread([this] {
            emulator_.run([this](std::uint8_t byte) {
                const std::lock_guard lock(mutex_);
                received_.push_back(byte);
                changed_.notify_all();
            });
        });
    }
    // As the emulator's command line gives them; a bad argument fails the test.
    RunningEmulator(std::initializer_list<std::string_view> arguments) : RunningEmulator(optionsOf(arguments)) {}
    ~RunningEmulator() {
        emulator_.stop();
        thread_.join();
    }
    RunningEmulator(const RunningEmulator&) = delete;
    RunningEmulator& operator=(const RunningEmulator&) = delete;

    const std::string& path() const { return emulator_.slavePath(); }

    // The bytes received once `count` have come (the last may still be on its way when the
    // reading side has ended), or after two seconds.
    std::vector<std::uint8_t> received(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(2), [&] { return received_.size() >= count; });
        return received_;
    }

private:
    static Options optionsOf(std::initializer_list<std::string_view> arguments) {
        const std::vector<std::string_view> list(arguments);
        const auto parsed = parseArguments(list);
        EXPECT_TRUE(parsed.options) << parsed.error;
        return parsed.options.value_or(Options{});
    }

    ReaderEmulator emulator_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t> received_;
    std::thread thread_;
};

}  // namespace vx414::emulator
