// The makers that write the model year in position 10 of the VIN in every market, not only
// where a region's rules ask for it (vin_regions.cpp). Elsewhere position 10 is the maker's
// own (Mercedes-Benz, Renault and the PSA makes a serial, a line or a plant code), so a
// year read from it would be a guess.
//
// Sources: the makers' VIN layouts in the public decoding references: Wikibooks,
// "Vehicle Identification Numbers (VIN codes)", its Hyundai page (position 10 the model
// year; the Korean, Indian, Turkish and Czech WMIs) and its Volkswagen group pages; Kia's
// layout as published for its Slovak-built U5Y cars (position 10 the year); Volkswagen
// group VINs of European cars (WVWZZZ…, the "Z" fillers and the year at 10, confirmed by
// Volkswagen AG for the Cabriolet's European VINs, museum.cabby-info.com/vin.htm);
// Porsche's European VINs, which carry the year in position 10 like its US ones;
// Volkswagen do Brasil (9BW): Brazil's VINs follow ABNT NBR 6066, whose vehicle indicator
// section opens with the model year ("o primeiro dígito revela o ano do modelo",
// indentificacaoveicular.blogspot.com, April 2014; autoesporte.globo.com, July 2018, on
// NBR 6066).
//
// Opel and Vauxhall (W0L): from model year 1998 on (the layout of September 1997, GM's
// platform letter in position 5) position 10 is the model year (opel-niedersachsen.de,
// "Fahrgestellnummer"; spamalot.it, Opel VIN layout "valid from September 97, MY98":
// W = 1998 … A = 2010; the Astra J and Meriva B layouts give A = 2010 … E = 2014). The
// earlier layout (four zeros in positions 4 to 7, the Opel model code in 8 and 9) is not
// described by those sources, so its VINs are left without a year.
//
// Not here: Ford of Europe (WF0, VS6, SFA …) repeats the body type in position 10 and puts
// its own build-year letter in position 11, the month in 12 (fordownersclub.com, "VIN
// Number format"; fordwiki.co.uk, "Build Date Codes"). That letter table is Ford's own (the
// public pages disagree: one gives S = 1995, T = 1996, U = 1997 … X = 2000, with U, which
// the ISO year table skips; Ford India's example reads E as 2014; the Ford wiki's table is
// only an image), and it gives the build year, not the model year; without a table we can
// be sure of, the year of a European Ford stays unknown.
#include "reader/obd/vin.h"

#include <algorithm>
#include <array>

namespace vx414::obd {
namespace {

constexpr auto YearInPositionTen = std::to_array<std::string_view>({
    // Volkswagen group: Volkswagen, Audi, SEAT, Škoda (Germany, Spain, Czechia, Slovakia)
    "WVW", "WV1", "WV2", "WVG", "WAU", "WA1", "WUA", "TRU", "VSS", "TMB", "AAV",
    // Volkswagen do Brasil
    "9BW",
    // Porsche
    "WP0", "WP1",
    // Hyundai and Kia, Korea and their European plants
    "KMH", "KM8", "KNA", "KND", "TMA", "U5Y"});

// Opel's layout from model year 1998 on; the earlier one holds 0000 in positions 4 to 7.
bool opelYearInPositionTen(std::string_view vin) { return vin.substr(0, 3) == "W0L" && vin.substr(3, 4) != "0000"; }

}  // namespace

bool yearInPositionTen(std::string_view vin) {
    if (vin.size() < 7) return false;
    if (opelYearInPositionTen(vin)) return true;
    return std::find(YearInPositionTen.begin(), YearInPositionTen.end(), vin.substr(0, 3)) != YearInPositionTen.end();
}

}  // namespace vx414::obd
