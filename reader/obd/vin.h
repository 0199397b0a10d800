// Service 09 info type 02: the vehicle identification number, its checks and the model
// year it gives.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx414::obd {

enum class VinFault {
    None,
    Frames,           // not one CAN message 49 02 01 …, nor the five frames 49 02 01 … 49 02 05
    Length,           // not 17 characters
    Character,        // a character other than A–Z and 0–9, or one of I, O, Q
    CheckDigit,       // a North American VIN whose ninth character does not match
};

struct VinRead {
    std::string vin;  // empty unless fault is None
    VinFault fault = VinFault::Frames;
};

// The VIN from one unit's messages: on CAN one message 49 02 01 and the characters; on the
// older buses five frames 49 02 nn (nn 01 to 05, in any order) of four bytes each, the
// first frame's leading bytes padding 00. Padding 00 before the first character is dropped
// in both forms. The result has passed checkVin.
VinRead assembleVin(const std::vector<std::vector<std::uint8_t>>& messages);

// Form (17 characters from A–Z and 0–9 without I, O, Q) and, where it applies, the check
// digit: North American VINs (first character 1 to 5) carry one in position 9; elsewhere
// that position is the maker's and is not checked.
VinFault checkVin(std::string_view vin);

// The check digit position 9 should hold ('0' to '9' or 'X'); the VIN must have passed the
// form check.
char vinCheckDigit(std::string_view vin);

// The model year from position 10, which repeats every 30 years. For North American VINs
// position 7 tells the cycle (a digit 1980–2009, a letter 2010–2039); for the others the
// most recent year that is not past the next model year (cars of next year's model are
// sold from the summer on). 0 when position 10 holds no year code.
int vinModelYear(std::string_view vin, int currentYear);

}  // namespace vx414::obd
