#include "reader/testing/recording_device_library.h"

#include <cstdio>

namespace vx414 {

void RecordingDeviceLibrary::queueBytes(std::span<const std::uint8_t> bytes) {
    script_.insert(script_.end(), bytes.begin(), bytes.end());
}

void RecordingDeviceLibrary::queueBytes(std::initializer_list<std::uint8_t> bytes) {
    queueBytes(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

void RecordingDeviceLibrary::queueNoBytes(std::size_t count) { script_.insert(script_.end(), count, std::nullopt); }

void RecordingDeviceLibrary::log(CallRecord record) {
    if (record.call == Call::Read && !calls_.empty()) {
        CallRecord& last = calls_.back();
        if (last.call == Call::Read && last.linkWasOpen == record.linkWasOpen) {
            last.count += record.count;
            last.bytesRead += record.bytesRead;
            return;
        }
    }
    calls_.push_back(record);
}

void RecordingDeviceLibrary::DeviceOpen() {
    log({Call::Open, open_});
    open_ = true;
}

void RecordingDeviceLibrary::DeviceClose() {
    log({Call::Close, open_});
    open_ = false;
}

LinkByte RecordingDeviceLibrary::DeviceReadByte() {
    LinkByte byte;
    if (open_ && !script_.empty()) {
        byte = script_.front();
        script_.pop_front();
    }
    log({Call::Read, open_, 0, 1, byte ? 1U : 0U});
    return byte;
}

void RecordingDeviceLibrary::DeviceWriteByte(std::uint8_t byte) {
    log({Call::Write, open_, byte});
    if (onWrite) onWrite(byte);
}

std::string RecordingDeviceLibrary::callText() const {
    std::string text;
    for (const CallRecord& record : calls_) {
        if (!text.empty()) text += ' ';
        switch (record.call) {
        case Call::Open: text += "Open"; break;
        case Call::Close: text += "Close"; break;
        case Call::Read: text += "Read"; break;
        case Call::Write: {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", record.byte);
            text += "Write(";
            text += hex;
            text += record.linkWasOpen ? ")" : ", closed)";
            break;
        }
        }
    }
    return text;
}

std::vector<std::uint8_t> RecordingDeviceLibrary::written() const {
    std::vector<std::uint8_t> bytes;
    for (const CallRecord& record : calls_) {
        if (record.call == Call::Write) bytes.push_back(record.byte);
    }
    return bytes;
}

std::size_t RecordingDeviceLibrary::readCount() const {
    std::size_t count = 0;
    for (const CallRecord& record : calls_) {
        if (record.call == Call::Read) count += record.count;
    }
    return count;
}

}  // namespace vx414
