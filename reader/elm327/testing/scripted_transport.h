// A Transport for tests: an ELM327 adapter played from a script.
//
//   vx414::elm327::ScriptedTransport link([](const std::string& command) {
//       if (command == "ATI") return ScriptedTransport::Reply{{0ms, "ELM327 v1.5\r\r>"}};
//       return ScriptedTransport::Reply{};            // silence
//   });
//   ... drive the code under test with `link` ...
//   EXPECT_EQ(link.commandText(), "ATI");
//
// Each command written, up to its CR, is recorded and answered by the script: the reply's
// chunks arrive each after its own delay, counted from the command. Reads really wait,
// until a chunk is due or their deadline passes, so tests of timing use small delays.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

class ScriptedTransport final : public Transport {
public:
    struct Chunk {
        std::chrono::milliseconds after{0};
        std::string text;
    };
    using Reply = std::vector<Chunk>;
    using Script = std::function<Reply(const std::string& command)>;

    explicit ScriptedTransport(Script script) : script_(std::move(script)) {}

    LinkStatus open(Deadline deadline) override;
    void close() override;
    bool isOpen() const override { return open_; }
    LinkStatus write(std::string_view bytes, Deadline deadline) override;
    LinkStatus read(std::string& into, std::size_t max, Deadline deadline) override;
    void discardInput() override;

    // The commands written, without their CR, in order; joined by blanks.
    const std::vector<std::string>& commands() const { return commands_; }
    std::string commandText() const;
    void clearCommands() { commands_.clear(); }

    // Faults: a status every read or write returns instead of its work (Ok: none).
    LinkStatus readFault;
    LinkStatus writeFault;
    int opens = 0;

private:
    struct Pending {
        Clock::time_point due;
        std::string text;
    };

    Script script_;
    bool open_ = true;
    std::string partial_;
    std::vector<std::string> commands_;
    std::deque<Pending> arriving_;
};

}  // namespace vx414::elm327
