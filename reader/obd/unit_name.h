// Which control unit an answer came from, by its sender as the adapter shows it.
#pragma once

#include <string>
#include <string_view>

namespace vx414::obd {

// "engine" or "transmission" where the address says so: on 11-bit CAN the answers of 7E8
// and 7E9; on 29-bit CAN (18DAF1ss) and the older buses (three header bytes, the source
// last) the source addresses 10 to 17 (engine units) and 18 to 1F (transmission units).
// Empty for any other address, and with headers off; the address itself then names the
// unit.
std::string unitName(std::string_view sender);

}  // namespace vx414::obd
