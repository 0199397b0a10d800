#include "reader/chosen_device_library.h"

namespace vx414 {

ChosenDeviceLibrary::ChosenDeviceLibrary(std::optional<LinkName> link, Opener open)
    : open_(std::move(open)), link_(std::move(link)), current_(open_(link_)) {}

ChosenDeviceLibrary::~ChosenDeviceLibrary() = default;

void ChosenDeviceLibrary::choose(std::optional<LinkName> link) {
    std::unique_ptr<DeviceLibrary> next = open_(link);
    current_->DeviceStopLive();
    // Returns once no call from the old library's worker is in progress.
    current_->DeviceNotifyReportReady({});
    current_ = std::move(next);
    link_ = std::move(link);
    if (ready_) current_->DeviceNotifyReportReady(ready_);
}

void ChosenDeviceLibrary::DeviceNotifyReportReady(std::function<void()> ready) {
    ready_ = ready;
    current_->DeviceNotifyReportReady(std::move(ready));
}

}  // namespace vx414
