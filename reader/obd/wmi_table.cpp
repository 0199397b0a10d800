#include "reader/obd/wmi_table.h"

#include <algorithm>

namespace vx414::obd {

WmiTable WmiTable::parse(std::string_view text, std::string* error) {
    WmiTable table;
    int lineNumber = 0;
    auto fail = [&](std::string_view why) {
        if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + std::string(why);
        std::sort(table.entries_.begin(), table.entries_.end());
        return table;
    };
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos) return fail("no tab");
        const std::string_view wmi = line.substr(0, tab);
        const std::string_view make = line.substr(tab + 1);
        const bool wmiOk = (wmi.size() == 2 || wmi.size() == 3) &&
                           std::all_of(wmi.begin(), wmi.end(), [](char c) {
                               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
                           });
        if (!wmiOk) return fail("not a WMI");
        if (make.empty() || make.find('\t') != std::string_view::npos) return fail("no make");
        const bool known = std::any_of(table.entries_.begin(), table.entries_.end(),
                                       [wmi](const auto& entry) { return entry.first == wmi; });
        if (known) return fail("WMI given twice");
        table.entries_.emplace_back(wmi, make);
    }
    std::sort(table.entries_.begin(), table.entries_.end());
    if (error != nullptr) error->clear();
    return table;
}

std::string_view WmiTable::makeFor(std::string_view vin) const {
    for (const std::size_t length : {std::size_t{3}, std::size_t{2}}) {
        if (vin.size() < length) continue;
        const std::string_view prefix = vin.substr(0, length);
        const auto found = std::lower_bound(entries_.begin(), entries_.end(), prefix,
                                            [](const auto& entry, std::string_view key) { return entry.first < key; });
        if (found != entries_.end() && found->first == prefix) return found->second;
    }
    return {};
}

const WmiTable& builtInWmiTable() {
    static const WmiTable table = WmiTable::parse(builtInWmiText());
    return table;
}

}  // namespace vx414::obd
