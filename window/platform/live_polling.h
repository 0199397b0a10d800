// Live data through the window's link: only an ELM327 adapter gives it, and it is polled
// off the window's thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "reader/device_library.h"
#include "reader/live_watcher.h"
#include "reader/link_status.h"

namespace vx414 {

class LivePolling {
public:
    virtual ~LivePolling() = default;
    // Whether the link the next read would use gives live data (the window's thread).
    virtual bool canPoll() = 0;
    // Starts polling on the link's worker and returns at once. `watcher` is called on that
    // thread, and `ended` once, there too, when polling ends (Ok when stopped).
    virtual void start(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) = 0;
    // Stops polling; returns within the link's stop bound, without waiting on the adapter.
    virtual void stop() = 0;
    // What the link's device announced itself as when it is an emulator ("ELM327
    // emulator"), once it has answered; empty for a car. Never waits.
    virtual std::string emulator() const { return {}; }
    // Why polling failed, in the user's words, as the link says it; empty when it has no
    // words for it (the status's own are shown then).
    virtual std::string failureCause(const LinkStatus& status) const
    {
        (void)status;
        return {};
    }
};

// The program's: the ELM327 library behind the window's link.
class LinkLivePolling final : public LivePolling {
public:
    explicit LinkLivePolling(DeviceLibrary& link) : link_(link) {}
    bool canPoll() override;
    void start(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) override;
    void stop() override;
    std::string failureCause(const LinkStatus& status) const override { return link_.DeviceFailureCause(status); }
    std::string emulator() const override { return link_.DeviceLinkName(); }

private:
    DeviceLibrary& link_;
};

}  // namespace vx414
