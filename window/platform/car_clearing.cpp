#include "window/platform/car_clearing.h"

#include "reader/elm327/elm327_device_library.h"

namespace vx414 {

bool LinkCarClearing::canClear()
{
    return asElm327(link_) != nullptr;
}

elm327::ClearResult LinkCarClearing::clearCodes()
{
    Elm327DeviceLibrary* adapter = asElm327(link_);
    // The reader at /dev/vx414 may have been plugged in since the menu was shown.
    if (adapter == nullptr)
        return {LinkStatus(LinkCode::NoDevice, "the link is the VX-414 reader, which cannot clear codes"), {}, {}};
    // Ok when at least one unit confirmed; a unit that refused keeps its codes, which the
    // read that follows the clear shows.
    return adapter->clearCodes();
}

}  // namespace vx414
