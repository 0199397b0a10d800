// The link when nothing names one: the VX-414 reader at /dev/vx414 whenever that exists
// (looked at afresh at every read, as the reader's own library does), else an ELM327
// adapter looked for on the serial ports at the first read and kept for the run.
#pragma once

#include <memory>
#include <string>

#include "reader/device_library.h"
#include "reader/elm327/elm327_device_library.h"
#include "reader/vx414/tty_device_library.h"

namespace vx414 {

class DefaultDeviceLibrary final : public DeviceLibrary {
public:
    DefaultDeviceLibrary();
    // Another reader path and other serial ports to search (tests).
    DefaultDeviceLibrary(std::string readerPath, std::unique_ptr<Elm327DeviceLibrary> adapter);

    // The choice between the reader and the adapter is made at each open of a closed link:
    // every read starts with one, and the calls up to the next open go the same way.
    void DeviceOpen() override;
    void DeviceClose() override;
    LinkByte DeviceReadByte() override;
    void DeviceWriteByte(std::uint8_t byte) override;
    std::optional<LinkReport> DeviceReadReport() override;
    // Only the adapter gathers whole reports; the reader's tty never tells.
    void DeviceNotifyReportReady(std::function<void()> ready) override;
    ReportState DeviceReportState() const override;
    std::string DeviceLinkName() const override { return current_->DeviceLinkName(); }
    std::string DeviceAdapterInUse() const override { return current_->DeviceAdapterInUse(); }
    void DeviceEndReading() override { current_->DeviceEndReading(); }
    // The adapter's, when the next read would go to it.
    bool DeviceCanClear() override { return adapter() != nullptr; }
    ClearResult DeviceClearCodes() override;
    // Asked where the clear would go: the reader cannot ask, as it cannot clear.
    EngineSpeed DeviceEngineSpeed() override {
        if (Elm327DeviceLibrary* link = adapter()) return link->engineSpeed();
        return DeviceLibrary::DeviceEngineSpeed();
    }
    std::string DeviceFailureCause(const LinkStatus& status) const override {
        return current_->DeviceFailureCause(status);
    }
    std::optional<VehicleInfo> DeviceAwaitVehicle() override { return current_->DeviceAwaitVehicle(); }
    // The window takes the rest of the vehicle's picture here, as told by the ready call.
    std::optional<VehicleInfo> DeviceReadVehicle() override { return current_->DeviceReadVehicle(); }
    // Live data: the adapter's, when the next read would go to it.
    bool DeviceGivesLiveData() override { return adapter() != nullptr; }
    LinkStatus DevicePollLive(std::stop_token stop, LiveWatcher& watcher) override;
    void DeviceStartLive(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) override;
    void DeviceStopLive() override;

    // The adapter's library when the next read would go to the adapter, else nullptr.
    Elm327DeviceLibrary* adapter();

private:
    bool readerPresent() const;

    std::string readerPath_;
    TtyDeviceLibrary reader_;
    std::unique_ptr<Elm327DeviceLibrary> adapter_;
    DeviceLibrary* current_ = nullptr;
    bool open_ = false;
};

}  // namespace vx414
