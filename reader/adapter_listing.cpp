#include "reader/adapter_listing.h"

#include <cstdlib>

#include "reader/link_name.h"

namespace vx414 {

AdapterListing listAdaptersAsSetUp(const std::string& inUse) {
    const char* named = std::getenv("VX414_WIFI_ADAPTER");
    const LinkNameParse wifi =
        parseLinkName(named != nullptr && *named != '\0' ? "elm327://" + std::string(named) : std::string());
    if (wifi.name && wifi.name->kind == LinkName::Kind::Elm327Tcp) return listAdapters(wifi.name->host, wifi.name->port, inUse);
    return listAdapters(UsualWiFiHost, UsualWiFiPort, inUse);
}

}  // namespace vx414
