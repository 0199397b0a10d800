// Between live polling's thread and the window's: the polling thread tells what it learns
// (the values the car supports, each round, how it ended) and asks what to follow; the
// window takes it all on its own timer and sets what to follow. A mutex held for a copy is
// all either side ever waits for: the window never waits on the adapter. No Qt.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "reader/live_watcher.h"
#include "reader/link_status.h"

namespace vx414 {

class LiveFeed final : public LiveWatcher {
public:
    // What came since the window last took it.
    struct News {
        std::optional<std::vector<std::uint8_t>> supported;
        std::vector<obd::LiveSample> samples;
        std::optional<LinkStatus> ended;
    };

    // The window's side.
    void setChoice(LiveChoice choice);
    News take();

    // The polling thread's side.
    void supported(const std::vector<std::uint8_t>& pids) override;
    LiveChoice choice() override;
    void sample(const obd::LiveSample& sample) override;
    void ended(const LinkStatus& status);

    // Samples kept for a window that does not take them (hidden, blocked): the oldest go
    // past this, so that memory stays bounded.
    static constexpr std::size_t MostHeld = 4096;

private:
    std::mutex mutex_;
    LiveChoice choice_;
    News news_;
};

}  // namespace vx414
