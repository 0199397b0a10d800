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

constexpr std::string_view kKeptPrefix = "vx414-cleared-";
constexpr std::uintmax_t kMaxKeptReadBytes = 1U << 20;

// "vx414-cleared-20261208-040506-2.json" orders by "20261208-040506", then 2 (none is 1);
// nothing for another name.
std::optional<std::pair<std::string, int>> keptOrder(const std::string& name) {
    if (!name.starts_with(kKeptPrefix) || !name.ends_with(".json")) return std::nullopt;
    const std::string stem = name.substr(kKeptPrefix.size(), name.size() - kKeptPrefix.size() - 5);
    const auto digits = [](std::string_view text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (stem.size() < 15 || stem[8] != '-' || !digits(stem.substr(0, 8)) || !digits(stem.substr(9, 6)))
        return std::nullopt;
    if (stem.size() == 15) return std::pair{stem, 1};
    if (stem[15] != '-' || !digits(stem.substr(16)) || stem.size() > 19) return std::nullopt;
    return std::pair{stem.substr(0, 15), std::stoi(stem.substr(16))};
}

}  // namespace

PreviousRead openPreviousRead(const std::string& path) {
    PreviousRead previous{path, std::nullopt, {}};
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        previous.error = "cannot read " + path + ": " + error.message();
        return previous;
    }
    if (size > kMaxKeptReadBytes) {
        previous.error = path + " is too large to be a kept read (" + std::to_string(size) + " bytes)";
        return previous;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        previous.error = "cannot read " + path;
        return previous;
    }
    ReadFromJson parsed = reportFromJson(text);
    if (!parsed.report) {
        previous.error = path + ": " + parsed.error;
        return previous;
    }
    previous.read = std::move(parsed.report);
    return previous;
}

std::vector<PreviousRead> previousReads(const std::string& folder) {
    std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
    std::error_code error;
    if (!folder.empty()) {
        for (auto it = std::filesystem::directory_iterator(folder, error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (const auto order = keptOrder(name)) found.emplace_back(*order, it->path().string());
        }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<PreviousRead> reads;
    reads.reserve(found.size());
    for (const auto& [order, path] : found) reads.push_back(openPreviousRead(path));
    return reads;
}

}  // namespace vx414
