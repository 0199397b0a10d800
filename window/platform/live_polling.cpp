#include "window/platform/live_polling.h"

namespace vx414 {

bool LinkLivePolling::canPoll()
{
    return link_.DeviceGivesLiveData();
}

void LinkLivePolling::start(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended)
{
    link_.DeviceStartLive(std::move(watcher), std::move(ended));
}

void LinkLivePolling::stop()
{
    link_.DeviceStopLive();
}

}  // namespace vx414
