#include "report/cleared_read.h"

#include "report/report_json_read.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace vx414 {
namespace {

// Every byte down and on the disk, or the reason why not.
std::string writeWhole(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    std::size_t done = 0;
    std::string error;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : "nothing written";
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error.empty() && ::fsync(fd) != 0) error = std::strerror(errno);
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    if (!error.empty()) ::unlink(path.c_str());
    return error;
}

}  // namespace

std::string clearedReadsFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/vx414/cleared";
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share/vx414/cleared";
    return {};
}

std::string clearedReadsFolder() { return clearedReadsFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")); }

KeptRead keepReadBeforeClearing(const std::string& folder, const ReadReport& read) {
    KeptRead kept;
    if (folder.empty()) {
        kept.error = "no folder to keep it in (neither XDG_DATA_HOME nor HOME is set)";
        return kept;
    }
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        kept.error = "cannot make " + folder + ": " + made.message();
        return kept;
    }
    const LocalTime& t = read.time;
    std::array<char, 64> stem{};
    std::snprintf(stem.data(), stem.size(), "vx414-cleared-%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    const std::string json = reportAsJson(read);
    // Two clears within one second (a retry) each keep their read.
    for (int n = 1; n <= 100; ++n) {
        const std::string name = std::string(stem.data()) + (n == 1 ? "" : "-" + std::to_string(n)) + ".json";
        const std::string path = folder + "/" + name;
        std::error_code ignored;
        if (std::filesystem::exists(path, ignored)) continue;
        const std::string temporary = folder + "/." + name + ".part";
        if (const std::string error = writeWhole(temporary, json); !error.empty()) {
            kept.error = "cannot write " + temporary + ": " + error;
            return kept;
        }
        // link() fails when the name was taken meanwhile, where rename() would replace it.
        if (::link(temporary.c_str(), path.c_str()) != 0) {
            const int error = errno;
            ::unlink(temporary.c_str());
            if (error == EEXIST) continue;
            kept.error = "cannot write " + path + ": " + std::strerror(error);
            return kept;
        }
        ::unlink(temporary.c_str());
        kept.path = path;
        return kept;
    }
    kept.error = "too many cleared reads kept at " + std::string(stem.data()) + " in " + folder;
    return kept;
}

namespace {

constexpr std::uintmax_t kMaxKeptReadBytes = 1U << 20;

}  // namespace

PreviousRead openPreviousRead(const std::string& path) {
    PreviousRead previous{path, std::nullopt, {}};
    const auto fail = [&](int error) {
        previous.error = "cannot read " + path + ": " + std::strerror(error);
        return previous;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd);
        return fail(EISDIR);
    }
    if (static_cast<std::uintmax_t>(status.st_size) > kMaxKeptReadBytes) {
        ::close(fd);
        previous.error = path + " is too large to be a kept read (" + std::to_string(status.st_size) + " bytes)";
        return previous;
    }
    std::string text;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fail(error);
        }
        if (n == 0) break;
        text.append(buffer.data(), static_cast<std::size_t>(n));
        if (text.size() > kMaxKeptReadBytes) {  // grown since it was looked at
            ::close(fd);
            previous.error = path + " is too large to be a kept read (more than " +
                             std::to_string(kMaxKeptReadBytes) + " bytes)";
            return previous;
        }
    }
    ::close(fd);
    ReadFromJson parsed = reportFromJson(text);
    if (!parsed.report) {
        previous.error = path + ": " + parsed.error;
        previous.damaged = true;
        return previous;
    }
    previous.read = std::move(parsed.report);
    return previous;
}

}  // namespace vx414
