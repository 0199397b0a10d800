// Service 0A: the permanent codes, which clearing does not erase; the unit drops each one
// itself once its monitor has passed again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "reader/trouble_code.h"

namespace vx414::obd {

// One 4A message's codes, padding 0000 dropped. On CAN: 4A, the number of codes, then the
// codes (an even length); on the older buses: 4A and three codes (seven bytes). Nothing
// when it is neither, or a CAN count that does not match the codes sent.
std::optional<std::vector<TroubleCode>> decodePermanentCodes(std::span<const std::uint8_t> message);

}  // namespace vx414::obd
