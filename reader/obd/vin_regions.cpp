// Which rules a VIN's check digit (position 9) and model year (position 10) follow, from its
// first characters. Only two regions require both of every car:
//
// North America (first character 1 to 5; 7F to 7Z, the United States' newer range, 7A to
// 7E being New Zealand's): 49 CFR 565.15 asks for the check digit in position 9 (computed as
// in vin.cpp) and the model year code in position 10, and from model year 2010 on an
// alphabetic character in position 7 for passenger cars, multipurpose passenger vehicles and
// trucks of 10,000 lb GVWR or less; larger trucks, buses, trailers, motorcycles and
// low-speed vehicles may carry a digit there (the final rule of 30 April 2008, 73 FR 23367).
// Canada's CMVSS 115 asks for a VIN that conforms to 49 CFR 565.
//
// China (first character L): GB 16735-2004 "Road vehicle - Vehicle identification number"
// (mandatory from 1 October 2004; GB 16735-2019 keeps it) asks for the check digit in
// position 9, computed by its normative Annex A with the weights and letter values of
// 49 CFR 565 on which the standard is based, and the year code in position 10. It asks
// nothing of position 7. China's OBD requirement came with the China III emission stage
// (GB 18352.3-2005), after that VIN standard took effect, so a Chinese car without a check
// digit is rare on this bus; one is kept, with the warning, like a North American one.
// Before Taiwan moved to RF to RK,
// some of its makers held L WMIs (the "old designation" lines of the public WMI lists):
// those are not Chinese VINs.
//
// Everywhere else (ISO 3779 alone: Europe, Japan, Korea, South America …) position 9 and
// position 10 are the maker's: a check digit that passes there does so by chance (one VIN
// in eleven) and proves nothing; the makers known to write the year in position 10 in
// every market are listed in vin_year_makers.cpp.
//
// Trucks over 10,000 lb GVWR built for North America: the WMIs below are assigned to
// medium-duty trucks only (the public WMI list of the "Vehicle identification number"
// article: JAL Isuzu commercial trucks, and Chevrolet and Hino trucks made by Isuzu; 4KL
// Isuzu commercial trucks built by GM; 54D Isuzu and Chevrolet commercial trucks built by
// Spartan Motors / The Shyft Group), the Isuzu N-series (NPR, NQR, NRR) and its Chevrolet
// and GMC twins, whose published GVWRs start at 12,000 lb. Their VINs follow 49 CFR 565
// (check digit, year in position 10) but may hold a digit in position 7 after 2009.
#include "reader/obd/vin.h"

#include <algorithm>
#include <array>

namespace vx414::obd {
namespace {

constexpr auto HeavyTruckWmis = std::to_array<std::string_view>({"JAL", "4KL", "54D"});
constexpr auto TaiwaneseLWmis = std::to_array<std::string_view>({"LFA", "LM1", "LM4", "LPR"});

bool listed(std::span<const std::string_view> wmis, std::string_view vin) {
    return vin.size() >= 3 && std::find(wmis.begin(), wmis.end(), vin.substr(0, 3)) != wmis.end();
}

}  // namespace

VinRules vinRules(std::string_view vin) {
    if (vin.empty()) return VinRules::Maker;
    if (listed(HeavyTruckWmis, vin)) return VinRules::NorthAmericanHeavyTruck;
    if (vin[0] >= '1' && vin[0] <= '5') return VinRules::NorthAmerican;
    if (vin.size() >= 2 && vin[0] == '7' && vin[1] >= 'F' && vin[1] <= 'Z') return VinRules::NorthAmerican;
    if (vin[0] == 'L' && !listed(TaiwaneseLWmis, vin)) return VinRules::Chinese;
    return VinRules::Maker;
}

}  // namespace vx414::obd
