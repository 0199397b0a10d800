// A recording of live values to a CSV file (live_format.h's columns), written out at least
// once a second of samples, whole rows only: a program killed, or an adapter pulled out,
// loses at most the last second and leaves a well-formed file. No Qt.
#pragma once

#include <string>
#include <vector>

#include "report/live_format.h"

namespace vx414 {

class LiveRecording {
public:
    LiveRecording() = default;
    ~LiveRecording();
    LiveRecording(const LiveRecording&) = delete;
    LiveRecording& operator=(const LiveRecording&) = delete;

    // Creates the file at `path` (an existing one is replaced) with its heading row. False,
    // with error() saying why in words, when it cannot be created. `source`: the values'
    // mark when an emulator gives them (see live_format.h).
    bool open(const std::string& path, std::vector<const obd::PidField*> columns, UnitSystem units,
              std::string source = {});
    bool isOpen() const { return fd_ >= 0; }

    // Adds a sample's row; the rows held are written out once a second (by the samples'
    // own times) has passed since the last write. False once a write has failed.
    bool add(const obd::LiveSample& sample);
    // Writes out every row held. False, with error(), when the file cannot take them.
    bool flush();
    // Flushes and closes; the result of the last flush.
    bool close();

    const std::string& error() const { return error_; }
    std::size_t rows() const { return rows_; }

private:
    int fd_ = -1;
    std::vector<const obd::PidField*> columns_;
    UnitSystem units_ = UnitSystem::Metric;
    std::string source_;
    std::string pending_;
    double lastWrite_ = 0;
    std::size_t rows_ = 0;
    std::string error_;
};

}  // namespace vx414
