// Why a read through an ELM327 adapter failed, in the words the user reads: the window's
// second paragraph under its failure message, and vx414-read's message. The VX-414
// reader's failures have no cause shown: its one message says it all.
#pragma once

#include <string_view>

#include "reader/link_status.h"

namespace vx414 {

// The reasons of the "no device" failures the user is told apart, as the back-ends give
// them: a socket's refusal, and a search that found nothing (on the serial ports alone, or
// on them and among the Bluetooth LE devices).
inline constexpr const char* ConnectionRefused = "connection refused";
inline constexpr const char* NoAdapterOnSerialPorts = "no ELM327 on the serial ports";
inline constexpr const char* NoAdapterFound = "no ELM327 on the serial ports or Bluetooth LE";

// One sentence (or two) ending in a full stop; empty for a status that is ok.
std::string_view adapterFailureCause(const LinkStatus& status);

}  // namespace vx414
