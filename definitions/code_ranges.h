#pragma once
// Which trouble codes the standard leaves to each make to define.

#include <string_view>

namespace vx414 {

// True for a five-character code in a range whose meaning each make sets for itself:
// P1xxx, P30xx to P33xx, B1xxx, B2xxx, C1xxx, C2xxx, U1xxx and U2xxx (letters without
// regard to case). A generic text for such a code would give one maker's meaning to all.
bool isManufacturerRange(std::string_view code);

}  // namespace vx414
