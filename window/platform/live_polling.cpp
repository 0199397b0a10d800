#include "window/platform/live_polling.h"

#include "reader/elm327/elm327_device_library.h"

namespace vx414 {

bool LinkLivePolling::canPoll()
{
    return asElm327(link_) != nullptr;
}

void LinkLivePolling::start(std::shared_ptr<elm327::LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended)
{
    Elm327DeviceLibrary* adapter = asElm327(link_);
    if (adapter == nullptr) {
        ended(LinkStatus(LinkCode::NoDevice, "the link is the VX-414 reader, which holds codes only"));
        return;
    }
    adapter->startLive(std::move(watcher), std::move(ended));
}

void LinkLivePolling::stop()
{
    if (Elm327DeviceLibrary* adapter = asElm327(link_))
        adapter->stopLive();
}

}  // namespace vx414
