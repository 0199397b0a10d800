// Where the back-ends are put together: the only file of the seam that knows them. It
// makes the library a link name asks for, the automatic one (the VX-414 reader, else the
// ELM327 search), and the adapter listing; the rest of the program asks for a link by
// name (reader/link_name.h) and talks to it through DeviceLibrary.
#include "reader/default_device_library.h"

#include <cstdlib>
#include <unistd.h>

#include "reader/adapter_listing.h"
#include "reader/elm327/elm327_adapter_listing.h"
#include "reader/report_receiver.h"

namespace vx414 {

DefaultDeviceLibrary::DefaultDeviceLibrary()
    : DefaultDeviceLibrary(DefaultLinkPath, std::make_unique<Elm327DeviceLibrary>()) {}

DefaultDeviceLibrary::DefaultDeviceLibrary(std::string readerPath, std::unique_ptr<Elm327DeviceLibrary> adapter)
    : readerPath_(std::move(readerPath)), reader_(readerPath_), adapter_(std::move(adapter)) {
    current_ = readerPresent() ? static_cast<DeviceLibrary*>(&reader_) : adapter_.get();
}

// Only the path's existence is looked at: /dev/vx414 never receives an ELM327 command,
// and the serial ports are searched only when it is not there.
bool DefaultDeviceLibrary::readerPresent() const { return ::access(readerPath_.c_str(), F_OK) == 0; }

void DefaultDeviceLibrary::DeviceOpen() {
    if (!open_) {
        DeviceLibrary* chosen = readerPresent() ? static_cast<DeviceLibrary*>(&reader_) : adapter_.get();
        if (chosen != current_) {
            current_->DeviceWriteByte(EndByte);  // an exchange still running on the other one ends
            current_->DeviceClose();
            current_ = chosen;
        }
    }
    open_ = true;
    current_->DeviceOpen();
}

void DefaultDeviceLibrary::DeviceClose() {
    open_ = false;
    current_->DeviceClose();
}

LinkByte DefaultDeviceLibrary::DeviceReadByte() { return current_->DeviceReadByte(); }

void DefaultDeviceLibrary::DeviceWriteByte(std::uint8_t byte) { current_->DeviceWriteByte(byte); }

std::optional<LinkReport> DefaultDeviceLibrary::DeviceReadReport() { return current_->DeviceReadReport(); }

void DefaultDeviceLibrary::DeviceNotifyReportReady(std::function<void()> ready) {
    if (adapter_) adapter_->DeviceNotifyReportReady(std::move(ready));
}

ReportState DefaultDeviceLibrary::DeviceReportState() const { return current_->DeviceReportState(); }

ClearResult DefaultDeviceLibrary::DeviceClearCodes() {
    // The reader at /dev/vx414 may have been plugged in since the caller asked.
    if (Elm327DeviceLibrary* link = adapter()) return link->clearCodes();
    return {LinkStatus(LinkCode::NoDevice, "the link is the VX-414 reader, which cannot clear codes"), {}, {}};
}

LinkStatus DefaultDeviceLibrary::DevicePollLive(std::stop_token stop, LiveWatcher& watcher) {
    if (Elm327DeviceLibrary* link = adapter()) return link->pollLive(std::move(stop), watcher);
    return DeviceLibrary::DevicePollLive(std::move(stop), watcher);
}

void DefaultDeviceLibrary::DeviceStartLive(std::shared_ptr<LiveWatcher> watcher,
                                           std::function<void(const LinkStatus&)> ended) {
    if (Elm327DeviceLibrary* link = adapter()) {
        link->startLive(std::move(watcher), std::move(ended));
    } else {
        DeviceLibrary::DeviceStartLive(std::move(watcher), std::move(ended));
    }
}

// Whichever link polls: the adapter's library stops only what it started itself.
void DefaultDeviceLibrary::DeviceStopLive() { adapter_->stopLive(); }

Elm327DeviceLibrary* DefaultDeviceLibrary::adapter() { return readerPresent() ? nullptr : adapter_.get(); }

Elm327DeviceLibrary* asElm327(DeviceLibrary& link) {
    if (auto* adapter = dynamic_cast<Elm327DeviceLibrary*>(&link)) return adapter;
    if (auto* chosen = dynamic_cast<DefaultDeviceLibrary*>(&link)) return chosen->adapter();
    return nullptr;
}

std::unique_ptr<DeviceLibrary> makeDeviceLibrary() { return std::make_unique<TtyDeviceLibrary>(); }

std::unique_ptr<DeviceLibrary> makeDeviceLibrary(const std::optional<LinkName>& named) {
    std::optional<LinkName> name = named;
    if (!name) name = linkNameFromEnvironment().name;
    if (!name) return std::make_unique<DefaultDeviceLibrary>();
    if (name->kind == LinkName::Kind::ReaderTty) return std::make_unique<TtyDeviceLibrary>(name->path);
    return std::make_unique<Elm327DeviceLibrary>(*name);
}

std::unique_ptr<DeviceLibrary> openLink(const std::optional<LinkName>& name, const LinkSearch& search) {
    if (name && name->kind == LinkName::Kind::ReaderTty) return std::make_unique<TtyDeviceLibrary>(name->path);
    if (name) return std::make_unique<Elm327DeviceLibrary>(*name);
    std::vector<std::string> patterns = search.serialPorts.value_or(elm327::SerialPortPatterns);
    if (search.bluetoothLe) patterns.push_back(elm327::BluetoothLeDevices);
    return std::make_unique<DefaultDeviceLibrary>(search.readerPath.value_or(DefaultLinkPath),
                                                  std::make_unique<Elm327DeviceLibrary>(std::move(patterns)));
}

AdapterListing listAdaptersAsSetUp(const std::string& inUse) {
    const char* named = std::getenv("VX414_WIFI_ADAPTER");
    const LinkNameParse wifi =
        parseLinkName(named != nullptr && *named != '\0' ? "elm327://" + std::string(named) : std::string());
    if (wifi.name && wifi.name->kind == LinkName::Kind::Elm327Tcp)
        return elm327::listAdapters(wifi.name->host, wifi.name->port, inUse);
    return elm327::listAdapters(UsualWiFiHost, UsualWiFiPort, inUse);
}

}  // namespace vx414
