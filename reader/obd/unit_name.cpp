#include "reader/obd/unit_name.h"

#include <charconv>

namespace vx414::obd {

std::string unitName(std::string_view sender) {
    if (sender == "7E8") return "engine";
    if (sender == "7E9") return "transmission";
    // 18DAF1ss on 29-bit CAN, or a legacy header such as 486B10 (the source last).
    const bool extended = sender.size() == 8 && sender.starts_with("18DAF1");
    if (!extended && sender.size() != 6) return {};
    unsigned source = 0;
    const std::string_view last = sender.substr(sender.size() - 2);
    const auto [end, error] = std::from_chars(last.data(), last.data() + last.size(), source, 16);
    if (error != std::errc() || end != last.data() + last.size()) return {};
    if (source >= 0x10 && source <= 0x17) return "engine";
    if (source >= 0x18 && source <= 0x1F) return "transmission";
    return {};
}

}  // namespace vx414::obd
