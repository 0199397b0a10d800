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
    Frames,           // not one message 49 02 [01] …, nor the five frames 49 02 01 … 49 02 05
    Length,           // not 17 characters once the padding is stripped
    Character,        // a character other than A–Z and 0–9, or one of I, O, Q
    CheckDigit,       // a VIN that must carry a check digit (vinRules) and whose ninth character does not
                      // match: kept, with a warning
};

// The rules a VIN's check digit and model year follow, from its first characters (the
// tables of vin_regions.cpp, with their sources).
enum class VinRules {
    Maker,                    // position 9 and position 10 are the maker's
    NorthAmerican,            // 49 CFR 565: the check digit in position 9, the year in position 10,
                              // and in position 7 a letter from 2010 on (cars, MPVs, light trucks)
    NorthAmericanHeavyTruck,  // 49 CFR 565 for a truck over 10,000 lb: position 7 may be a digit
    Chinese,                  // GB 16735: the check digit in position 9, the year in position 10
};
VinRules vinRules(std::string_view vin);

struct VinRead {
    std::string vin;  // empty unless fault is None or CheckDigit
    VinFault fault = VinFault::Frames;
};

// The VIN from one unit's messages. On CAN one message 49 02, then the message count 01
// (which some units leave out), then the characters; on the older buses five frames
// 49 02 nn (nn 01 to 05, in any order) of four bytes each. Padding (00 or FF) before or
// after the characters is stripped in both forms; what is left must be 17 characters
// that pass checkVin. A VIN whose only fault is its check digit comes back with it, so
// that it can be shown with a warning.
VinRead assembleVin(const std::vector<std::vector<std::uint8_t>>& messages);

// Form (17 characters from A–Z and 0–9 without I, O, Q) and, where it applies, the check
// digit: North American VINs (first character 1 to 5, or 7F to 7Z) and Chinese ones (L)
// carry one in position 9; elsewhere that position is the maker's and is not checked.
VinFault checkVin(std::string_view vin);

// The check digit position 9 should hold ('0' to '9' or 'X'); the VIN must have passed the
// form check.
char vinCheckDigit(std::string_view vin);
bool hasValidCheckDigit(std::string_view vin);

// What the car told that bounds its model year: the OBD protocol as the adapter numbers it
// (ATDPN: 1-2 J1850, 3 ISO 9141, 4-5 KWP, 6-C CAN; 0 unknown).
bool isLegacyProtocol(int protocol);
bool isCanProtocol(int protocol);

// The model year from position 10, whose code repeats every 30 years; 0 when it cannot be
// known. Position 10 is trusted where the region's rules put the year there (vinRules:
// North America, China) or where the maker is known to put it there in every market
// (yearInPositionTen); elsewhere it is the maker's and the year is unknown, whatever
// position 9 holds. Of the two years the code can stand for, these rule one out: a year
// after next year (next year's models are sold from the summer on); a year before 1994 (no
// earlier car answers OBD-II); a year after 2019 on J1850, ISO 9141 or KWP, and one before
// 2000 on CAN (those buses were not used for OBD then); and, on a North American car or
// light truck (not a truck over 10,000 lb), position 7: a digit means 1980–2009, a letter
// 2010–2039 where that year is possible (older cars carried letters there too). When both
// years remain the year is unknown.
int vinModelYear(std::string_view vin, int currentYear, int protocol = 0);

// Whether the maker that the VIN's WMI names writes the model year in position 10 in
// every market (the table in vin_year_makers.cpp).
bool yearInPositionTen(std::string_view vin);

}  // namespace vx414::obd
