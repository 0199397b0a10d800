#include <algorithm>
#include <cctype>
#include <glob.h>

#include "reader/elm327/elm327_adapter_listing.h"
#include "reader/elm327/ble_discovery.h"
#include "reader/elm327/elm327_ble_transport.h"
#include "reader/elm327/elm327_device_library.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tcp_transport.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/elm327/elm327_failure_cause.h"

namespace vx414 {
namespace {

using elm327::Clock;

std::vector<std::string> matching(const std::string& pattern) {
    std::vector<std::string> paths;
    glob_t found{};
    if (::glob(pattern.c_str(), 0, nullptr, &found) == 0) paths.assign(found.gl_pathv, found.gl_pathv + found.gl_pathc);
    ::globfree(&found);
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return paths;
}

ListedAdapter listed(ListedAdapter::Kind kind, std::string link, std::string name = {}) {
    ListedAdapter entry;
    entry.kind = kind;
    entry.link = std::move(link);
    entry.name = std::move(name);
    return entry;
}

// Opens and asks ATI, each within `bound`; the note says what went wrong.
void tryOne(elm327::Transport& pipe, std::chrono::milliseconds openBound, ListedAdapter& entry) {
    const LinkStatus opened = pipe.open(Clock::now() + openBound);
    if (!opened.isOk()) {
        const std::string_view cause = adapterFailureCause(opened);
        entry.note = opened.code() == LinkCode::NoDevice && std::string_view(opened.reason()).find("held") != std::string_view::npos
                         ? "held by another program"
                         : std::string(cause);
        return;
    }
    entry.answered = elm327::Session::answersAsElm327(pipe, Clock::now() + elm327::ProbeBound);
    if (!entry.answered) entry.note = "no ELM327 answer";
    pipe.close();
}

bool sameLink(std::string_view a, std::string_view b) {
    // A Bluetooth address may be typed in either case.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The adapter this program talks through answered as an ELM327 already; a probe from here
// would only talk into that conversation.
bool leftBe(const std::string& inUse, ListedAdapter& entry) {
    if (inUse.empty() || !sameLink(inUse, entry.link)) return false;
    entry.answered = true;
    entry.note = "in use by this window: not tried again";
    return true;
}

}  // namespace

AdapterListing elm327::listAdapters(const std::string& wifiHost, unsigned wifiPort, const std::string& inUse) {
    AdapterListing listing;
    for (const std::string& pattern : elm327::SerialPortPatterns) {
        for (const std::string& path : matching(pattern)) {
            ListedAdapter entry = listed(ListedAdapter::Kind::SerialPort, "elm327:" + path);
            if (!leftBe(inUse, entry)) {
                elm327::TtyTransport tty(path, elm327::DefaultBaud);
                tryOne(tty, elm327::ProbeBound, entry);
            }
            listing.adapters.push_back(entry);
        }
    }

    const auto bluetoothEnd = Clock::now() + elm327::BleSearchBound;
    const elm327::BleDiscovery known = elm327::knownBleAdapters(bluetoothEnd);
    if (!known.status.isOk()) listing.bluetooth = std::string(adapterFailureCause(known.status));
    for (const elm327::BleCandidate& device : known.devices) {
        ListedAdapter entry = listed(ListedAdapter::Kind::BluetoothLe, elm327::BleLinkPrefix + device.address, device.name);
        if (device.hasRssi) entry.rssi = device.rssi;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(bluetoothEnd - Clock::now());
        if (leftBe(inUse, entry)) {
            // answered already
        } else if (left.count() <= 0) {
            entry.note = "not tried (out of time)";
        } else {
            elm327::BleTransport ble(device.address);
            tryOne(ble, std::min(left, std::chrono::milliseconds(elm327::BleOpenBound)), entry);
        }
        listing.adapters.push_back(entry);
    }

    ListedAdapter wifi = listed(ListedAdapter::Kind::WiFi, "elm327://" + wifiHost + ":" + std::to_string(wifiPort));
    if (!leftBe(inUse, wifi)) {
        elm327::TcpTransport tcp(wifiHost, static_cast<std::uint16_t>(wifiPort));
        tryOne(tcp, elm327::ProbeBound, wifi);
    }
    listing.adapters.push_back(wifi);
    elm327::addAdapterInUse(listing, inUse);
    return listing;
}

void elm327::addAdapterInUse(AdapterListing& listing, const std::string& inUse) {
    if (inUse.empty()) return;
    const bool listedAlready = std::any_of(listing.adapters.begin(), listing.adapters.end(),
                                           [&inUse](const ListedAdapter& entry) { return sameLink(inUse, entry.link); });
    if (listedAlready) return;
    const ListedAdapter::Kind kind = inUse.starts_with(elm327::BleLinkPrefix) ? ListedAdapter::Kind::BluetoothLe
                                     : inUse.starts_with("elm327://")         ? ListedAdapter::Kind::WiFi
                                                                              : ListedAdapter::Kind::SerialPort;
    ListedAdapter entry = listed(kind, inUse);
    leftBe(inUse, entry);
    listing.adapters.push_back(std::move(entry));
}

}  // namespace vx414
