#include "reader/testing/slow_adapter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "reader/elm327/elm327_device_library.h"

namespace vx414::testing {
namespace {

class SlowCar final : public elm327::Conversation {
public:
    SlowCar(std::shared_ptr<SlowCarScript> script, std::shared_ptr<std::atomic<int>> finished)
        : script_(std::move(script)), finished_(std::move(finished)) {}

    elm327::SessionResult readCodes(elm327::Transport&, elm327::Deadline deadline, std::stop_token stop) override {
        const int n = ++reads_;
        const auto until = std::min(deadline, elm327::Clock::now() + (n == 1 ? script_->first : script_->later));
        if (script_->heedsStop) {
            waitUntil(until, stop);
        } else {
            std::this_thread::sleep_until(until);
        }
        ++*finished_;
        if (stop.stop_requested()) return {LinkStatus(LinkCode::Timeout, "stopped"), {}, {}, {}};
        const auto bytes = encodeTroubleCode("P030" + std::to_string(n));
        return {LinkStatus::ok(), {decodeTroubleCode((*bytes)[0], (*bytes)[1])}, {}, {}};
    }
    VehicleInfo readVehicle(elm327::Transport&, elm327::Deadline deadline, std::stop_token stop,
                            const elm327::SessionResult& codes) override {
        waitUntil(std::min(deadline, elm327::Clock::now() + script_->vehicleTakes), stop);
        VehicleInfo told = script_->vehicle;
        told.units = codes.vehicle.units;
        return told;
    }
    ClearResult clearCodes(elm327::Transport&, elm327::Deadline, std::stop_token) override { return {}; }
    bool answersAsElm327(elm327::Transport&, elm327::Deadline) override { return true; }
    void forget() override {}

private:
    static void waitUntil(elm327::Clock::time_point until, std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, until, [] { return false; });
    }

    std::shared_ptr<SlowCarScript> script_;
    std::shared_ptr<std::atomic<int>> finished_;
    std::atomic<int> reads_{0};
};

}  // namespace

SlowAdapter::SlowAdapter(SlowCarScript script) : script_(std::make_shared<SlowCarScript>(std::move(script))) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_, 8);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    library_ = std::make_unique<Elm327DeviceLibrary>(
        LinkName{LinkName::Kind::Elm327Tcp, {}, 0, "127.0.0.1", ntohs(address.sin_port)},
        std::make_unique<SlowCar>(script_, finished_));
}

SlowAdapter::~SlowAdapter() {
    end();
    ::close(listener_);
}

DeviceLibrary& SlowAdapter::library() { return *library_; }
bool SlowAdapter::busy() const { return library_ && library_->busy(); }
bool SlowAdapter::readingVehicle() const { return library_ && library_->readingVehicle(); }
void SlowAdapter::end() { library_.reset(); }

}  // namespace vx414::testing
