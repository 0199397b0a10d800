#include "window/platform/car_clearing.h"

namespace vx414 {

bool LinkCarClearing::canClear()
{
    return link_.DeviceCanClear();
}

void LinkCarClearing::endReading()
{
    link_.DeviceEndReading();
}

EngineSpeed LinkCarClearing::engineSpeed()
{
    return link_.DeviceEngineSpeed();
}

// Ok when at least one unit confirmed; a unit that refused keeps its codes, which the read
// that follows the clear shows. A link that cannot clear (the reader at /dev/vx414 may have
// been plugged in since the menu was shown) says so.
ClearResult LinkCarClearing::clearCodes()
{
    return link_.DeviceClearCodes();
}

}  // namespace vx414
