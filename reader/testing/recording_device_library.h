// A device library for tests: it plays a scripted reader and records every call in order.
//
//   vx414::RecordingDeviceLibrary link;
//   link.queueBytes(vx414::encodeReport(content));  // what the reader will send
//   link.queueNoBytes(3);                            // three reads that find nothing
//   ... drive the code under test with `link` ...
//   EXPECT_EQ(link.callText(), "Open Close Open Write(55) Read Write(AA) Close");
//   EXPECT_EQ(link.written(), (std::vector<std::uint8_t>{0x55, 0xAA}));
//
// Reads follow the script while the link is open and find "no byte yet" once it is used
// up (a reader gone silent). A read while the link is closed finds no byte and leaves the
// script alone. Consecutive reads are logged as one entry with their count, so that a
// silent reader's 3,500,001 reads cost one entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <span>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "reader/device_library.h"
#include "reader/elm327/elm327_failure_cause.h"

namespace vx414 {

class RecordingDeviceLibrary final : public DeviceLibrary {
public:
    enum class Call { Open, Close, Read, Write };

    struct CallRecord {
        Call call;
        bool linkWasOpen;          // the link's state when the call was made
        std::uint8_t byte = 0;     // Write: the byte written
        std::size_t count = 1;     // Read: how many reads in a row
        std::size_t bytesRead = 0; // Read: how many of them found a byte

        friend bool operator==(const CallRecord&, const CallRecord&) = default;
    };

    // The script.
    void queueBytes(std::span<const std::uint8_t> bytes);
    void queueBytes(std::initializer_list<std::uint8_t> bytes);
    void queueNoBytes(std::size_t count = 1);
    std::size_t scriptLeft() const { return script_.size(); }

    // Called after every write with the byte written, for a test that answers a request
    // (queue the report when 0x55 arrives, say).
    std::function<void(std::uint8_t)> onWrite;

    void DeviceOpen() override;
    void DeviceClose() override;
    LinkByte DeviceReadByte() override;
    void DeviceWriteByte(std::uint8_t byte) override;

    // A whole report, as a link that gathers one (an ELM327 adapter) hands it over: the
    // next DeviceReadReport returns it once. Not logged as a call.
    void giveReport(LinkReport report) { report_ = std::move(report); }
    std::optional<LinkReport> DeviceReadReport() override { return std::exchange(report_, std::nullopt); }
    ReportState DeviceReportState() const override { return report_ ? ReportState::Ready : ReportState::None; }

    // What DeviceLinkName answers: an emulator's announcement, or empty for a real reader.
    std::string linkName;
    std::string DeviceLinkName() const override { return linkName; }
    // A scripted whole report stands for an adapter's: its failures have the adapter's causes.
    std::string DeviceFailureCause(const LinkStatus& status) const override {
        return std::string(adapterFailureCause(status));
    }

    // What DeviceEngineSpeed answers, and how often it was asked. Not logged as a call.
    EngineSpeed engineSpeed{std::nullopt, "not asked"};
    int engineSpeedCalls = 0;
    EngineSpeed DeviceEngineSpeed() override {
        ++engineSpeedCalls;
        return engineSpeed;
    }

    bool isOpen() const { return open_; }

    const std::vector<CallRecord>& calls() const { return calls_; }
    // The calls as one line: "Open", "Close", "Read" (a run of reads), "Write(55)"; a write
    // made while the link was closed reads "Write(AA, closed)".
    std::string callText() const;
    // Every byte written, in order.
    std::vector<std::uint8_t> written() const;
    std::size_t readCount() const;
    void clearLog() { calls_.clear(); }

private:
    void log(CallRecord record);

    std::deque<LinkByte> script_;
    std::vector<CallRecord> calls_;
    bool open_ = false;
    std::optional<LinkReport> report_;
};

}  // namespace vx414
