#include "report/live_recording.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vx414 {

LiveRecording::~LiveRecording() { close(); }

bool LiveRecording::open(const std::string& path, std::vector<const obd::PidField*> columns, UnitSystem units,
                         std::string source) {
    close();
    error_.clear();
    rows_ = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = "The recording file " + path + " could not be created: " + std::strerror(errno) + ".";
        return false;
    }
    columns_ = std::move(columns);
    units_ = units;
    source_ = std::move(source);
    pending_ = liveCsvHeader(columns_, units_, source_);
    lastWrite_ = 0;
    return flush();
}

bool LiveRecording::add(const obd::LiveSample& sample) {
    if (fd_ < 0) return false;
    pending_ += liveCsvRow(sample, columns_, units_, source_);
    ++rows_;
    if (sample.seconds - lastWrite_ < 1.0) return error_.empty();
    lastWrite_ = sample.seconds;
    return flush();
}

bool LiveRecording::flush() {
    if (fd_ < 0) return false;
    // One write of whole rows, so that the file never ends inside a row; a short write
    // (a full disk) is continued as far as the disk takes it.
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = std::string("The recording could not be written: ") + std::strerror(errno) + ".";
            pending_.erase(0, done);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
    return true;
}

bool LiveRecording::close() {
    if (fd_ < 0) return error_.empty();
    const bool written = flush();
    ::close(fd_);
    fd_ = -1;
    return written;
}

}  // namespace vx414
