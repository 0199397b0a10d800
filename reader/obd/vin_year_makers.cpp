// The makers that write the model year in position 10 of the VIN in every market, not only
// where North American rules ask for it. Elsewhere position 10 is the maker's own (Ford's
// European plants put a plant code there and the year in position 11; Mercedes-Benz,
// Renault and the PSA makes a serial or a line code), so a year read from it would be a
// guess.
//
// Sources: the makers' VIN layouts in the public decoding references: Wikibooks,
// "Vehicle Identification Numbers (VIN codes)", its Hyundai page (position 10 the model
// year; the Korean, Indian, Turkish and Czech WMIs) and its Volkswagen group pages; Kia's
// layout as published for its Slovak-built U5Y cars (position 10 the year); Volkswagen
// group VINs of European cars (WVWZZZ…, the "Z" fillers and the year at 10, confirmed by
// Volkswagen AG for the Cabriolet's European VINs, museum.cabby-info.com/vin.htm); and
// Porsche's European VINs, which carry the year in position 10 like its US ones.
#include "reader/obd/vin.h"

#include <algorithm>
#include <array>

namespace vx414::obd {
namespace {

constexpr auto YearInPositionTen = std::to_array<std::string_view>({
    // Volkswagen group: Volkswagen, Audi, SEAT, Škoda (Germany, Spain, Czechia, Slovakia)
    "WVW", "WV1", "WV2", "WVG", "WAU", "WA1", "WUA", "TRU", "VSS", "TMB", "AAV",
    // Porsche
    "WP0", "WP1",
    // Hyundai and Kia, Korea and their European plants
    "KMH", "KM8", "KNA", "KND", "TMA", "U5Y"});

}  // namespace

bool yearInPositionTen(std::string_view vin) {
    if (vin.size() < 3) return false;
    return std::find(YearInPositionTen.begin(), YearInPositionTen.end(), vin.substr(0, 3)) != YearInPositionTen.end();
}

}  // namespace vx414::obd
