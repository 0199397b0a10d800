// The window's link, which "Choose adapter…" may change between reads: every entry goes to
// the library of the link chosen last. The window offers the choice only while LINK USB
// is enabled, so no read or clear runs when the library is changed.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "reader/device_library.h"
#include "reader/link_name.h"

namespace vx414 {

class ChosenDeviceLibrary final : public DeviceLibrary {
public:
    using Opener = std::function<std::unique_ptr<DeviceLibrary>(const std::optional<LinkName>&)>;

    // `link`: nothing for automatic. `open` makes a link's library (openLink, or a test's).
    ChosenDeviceLibrary(std::optional<LinkName> link, Opener open);
    ~ChosenDeviceLibrary() override;

    // From now on every entry goes to `link`'s library; the one before is told no more and
    // ended (a live poll or the rest of a vehicle's picture it was reading stops).
    void choose(std::optional<LinkName> link);
    const std::optional<LinkName>& chosen() const { return link_; }

    void DeviceOpen() override { current_->DeviceOpen(); }
    void DeviceClose() override { current_->DeviceClose(); }
    LinkByte DeviceReadByte() override { return current_->DeviceReadByte(); }
    void DeviceWriteByte(std::uint8_t byte) override { current_->DeviceWriteByte(byte); }
    std::optional<LinkReport> DeviceReadReport() override { return current_->DeviceReadReport(); }
    void DeviceNotifyReportReady(std::function<void()> ready) override;
    ReportState DeviceReportState() const override { return current_->DeviceReportState(); }
    std::optional<VehicleInfo> DeviceReadVehicle() override { return current_->DeviceReadVehicle(); }
    std::string DeviceLinkName() const override { return current_->DeviceLinkName(); }
    std::string DeviceAdapterInUse() const override { return current_->DeviceAdapterInUse(); }
    void DeviceEndReading() override { current_->DeviceEndReading(); }
    bool DeviceCanClear() override { return current_->DeviceCanClear(); }
    ClearResult DeviceClearCodes() override { return current_->DeviceClearCodes(); }
    EngineSpeed DeviceEngineSpeed() override { return current_->DeviceEngineSpeed(); }
    std::string DeviceFailureCause(const LinkStatus& status) const override {
        return current_->DeviceFailureCause(status);
    }
    std::optional<VehicleInfo> DeviceAwaitVehicle() override { return current_->DeviceAwaitVehicle(); }
    bool DeviceGivesLiveData() override { return current_->DeviceGivesLiveData(); }
    LinkStatus DevicePollLive(std::stop_token stop, LiveWatcher& watcher) override {
        return current_->DevicePollLive(std::move(stop), watcher);
    }
    void DeviceStartLive(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) override {
        current_->DeviceStartLive(std::move(watcher), std::move(ended));
    }
    void DeviceStopLive() override { current_->DeviceStopLive(); }

private:
    Opener open_;
    std::optional<LinkName> link_;
    std::unique_ptr<DeviceLibrary> current_;
    std::function<void()> ready_;
};

}  // namespace vx414
