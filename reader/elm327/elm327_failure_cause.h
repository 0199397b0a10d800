// Why a read through an ELM327 adapter failed, in the words the user reads: the window's
// second paragraph under its failure message, and vx414-read's message, both asked of the
// link (DeviceLibrary::DeviceFailureCause). The VX-414 reader's failures have no cause
// shown: its one message says it all.
#pragma once

#include <string_view>

#include "reader/link_status.h"

namespace vx414 {

// One sentence (or two) ending in a full stop; empty for a status that is ok.
std::string_view adapterFailureCause(const LinkStatus& status);

}  // namespace vx414
