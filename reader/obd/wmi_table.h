// The maker a VIN names, as an entry of the make list: its world manufacturer identifier
// (the first three characters, or for some makers the first two) looked up in a table.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vx414::obd {

class WmiTable {
public:
    // Lines "WMI<TAB>entry" (the WMI two or three characters, the entry as the make list
    // spells it); blank lines and lines starting with '#' are skipped. On a malformed line
    // or a WMI given twice, `error` (when given) says which line and the table holds the
    // lines before it.
    static WmiTable parse(std::string_view text, std::string* error = nullptr);

    // The entry of the longest WMI that begins `vin`; empty when none does.
    std::string_view makeFor(std::string_view vin) const;

    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;  // sorted by WMI
};

// data/wmi.tsv, compiled into the program: the make a VIN names is then found the same way
// by the window and the command-line reader, with no file to find at run time and none
// that can go missing, and the tests check the very table that ships.
const WmiTable& builtInWmiTable();
// Its text, as the build read it.
std::string_view builtInWmiText();

}  // namespace vx414::obd
