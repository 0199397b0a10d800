#include "report/cleared_listing.h"

#include "report/cleared_index.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace vx414 {
namespace {

constexpr std::string_view kKeptPrefix = "vx414-cleared-";
// Far more than 100,000 lines of the index: anything larger is not ours.
constexpr off_t kMaxIndexBytes = 64 << 20;

// "vx414-cleared-20261208-040506-2.json" orders by "20261208-040506", then 2 (none is 1);
// nothing for another name.
std::optional<std::pair<std::string, int>> keptOrder(std::string_view name) {
    if (!name.starts_with(kKeptPrefix) || !name.ends_with(".json")) return std::nullopt;
    const std::string_view stem = name.substr(kKeptPrefix.size(), name.size() - kKeptPrefix.size() - 5);
    const auto digits = [](std::string_view text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (stem.size() < 15 || stem[8] != '-' || !digits(stem.substr(0, 8)) || !digits(stem.substr(9, 6)))
        return std::nullopt;
    if (stem.size() == 15) return std::pair{std::string(stem), 1};
    if (stem[15] != '-' || !digits(stem.substr(16)) || stem.size() > 19) return std::nullopt;
    return std::pair{std::string(stem.substr(0, 15)), std::stoi(std::string(stem.substr(16)))};
}

std::int64_t mtimeNs(const struct stat& status) {
    return static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
}

// The index's text, or nothing when there is none or it cannot be read: it is then made
// again from the files.
std::optional<std::string> indexText(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    std::string text;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxIndexBytes) {
        text.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        text.resize(done);
    }
    ::close(fd);
    return text;
}

// Written whole under a name of this process's own, then renamed over the index, so that
// a listing elsewhere reads the old index or the new one, never half of one. The same
// pattern as the kept reads' own writing (report/cleared_read.cpp); the two belong in one
// file-writing helper.
std::string writeIndex(const std::string& folder, std::string_view text) {
    static std::atomic<unsigned> serial{0};
    const std::string index = folder + "/" + std::string(kKeptIndexName);
    const std::string temporary =
        folder + "/." + std::string(kKeptIndexName) + "." + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot write " + temporary + ": " + std::strerror(errno);
    std::size_t done = 0;
    std::string error;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : "nothing written";
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error.empty() && ::fsync(fd) != 0) error = std::strerror(errno);
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    if (!error.empty()) {
        ::unlink(temporary.c_str());
        return "cannot write " + temporary + ": " + error;
    }
    if (::rename(temporary.c_str(), index.c_str()) != 0) {
        const int cause = errno;
        ::unlink(temporary.c_str());
        return "cannot write " + index + ": " + std::strerror(cause);
    }
    return {};
}

struct Found {
    std::pair<std::string, int> order;
    std::string name;
    struct stat status;
};

}  // namespace

std::string codesInBrief(const ReadReport& read) {
    if (read.codes.empty()) return "no codes";
    std::string text;
    for (const ReportCode& code : read.codes) text += (text.empty() ? "" : ", ") + code.code + " (" + code.kind + ")";
    return text;
}

KeptReadList listKeptReads(const std::string& folder) {
    KeptReadList list;
    if (folder.empty()) {
        list.error = "no folder for kept reads (neither XDG_DATA_HOME nor HOME is set)";
        return list;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        if (errno == ENOTDIR) list.error = folder + " is not a folder";
        else if (errno != ENOENT) list.error = "cannot read " + folder + ": " + std::strerror(errno);
        return list;
    }
    std::vector<Found> found;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        auto order = keptOrder(name);
        if (!order) continue;
        Found file{std::move(*order), std::string(name), {}};
        if (::fstatat(::dirfd(dir), entry->d_name, &file.status, 0) != 0) {
            if (errno == ENOENT) continue;  // removed meanwhile
            file.status = {};
        }
        found.push_back(std::move(file));
    }
    const int listError = errno;
    ::closedir(dir);
    if (listError != 0) {
        list.error = "cannot read " + folder + ": " + std::strerror(listError);
        return list;
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.order > b.order; });

    const std::string indexPath = folder + "/" + std::string(kKeptIndexName);
    std::unordered_map<std::string, KeptIndexLine> known;
    bool changed = false;
    if (const std::optional<std::string> text = indexText(indexPath)) {
        if (auto lines = keptIndexLines(*text)) {
            known.reserve(lines->size());
            for (KeptIndexLine& line : *lines) {
                std::string name = line.name;
                known.emplace(std::move(name), std::move(line));
            }
        } else {
            changed = true;  // damaged or another program's: made again
        }
    } else {
        changed = !found.empty();
    }

    // In the listed order: a line of the index, or why the file cannot be read now.
    struct Row {
        KeptIndexLine line;
        std::string unreadable;
    };
    std::vector<Row> rows;
    rows.reserve(found.size());
    std::size_t stillKnown = 0;
    for (Found& file : found) {
        const auto it = known.find(file.name);
        const bool regular = S_ISREG(file.status.st_mode);
        if (it != known.end()) {
            ++stillKnown;
            if (regular && it->second.size == static_cast<std::uint64_t>(file.status.st_size) &&
                it->second.mtimeNs == mtimeNs(file.status)) {
                rows.push_back({std::move(it->second), {}});
                continue;
            }
        }
        changed = changed || it != known.end();
        const std::string path = folder + "/" + file.name;
        const PreviousRead previous = openPreviousRead(path);
        if (!previous.read && !previous.damaged) {
            // Not readable now (no permission, not a file): listed with the cause, tried again next time.
            rows.push_back({{}, previous.error});
            continue;
        }
        // Taken from the file as it was looked at: a change after that is seen next time.
        KeptIndexLine line{file.name, static_cast<std::uint64_t>(file.status.st_size), mtimeNs(file.status),
                           {}, {}, {}, {}, {}, {}};
        if (const std::optional<ReadReport>& read = previous.read) {
            line.time = readableTime(read->time);
            line.vin = read->vehicle.vin;
            line.make = read->make;
            line.codes = codesInBrief(*read);
            line.source = read->source;
        } else {
            line.error = previous.error.substr(std::min(previous.error.size(), path.size() + 2));
        }
        rows.push_back({std::move(line), {}});
        changed = true;
    }
    if (stillKnown != known.size()) changed = true;  // files removed
    if (changed) {
        std::vector<KeptIndexLine> lines;
        lines.reserve(rows.size());
        for (const Row& row : rows)
            if (row.unreadable.empty()) lines.push_back(row.line);
        list.indexError = writeIndex(folder, keptIndexText(lines));
    }
    list.reads.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        KeptIndexLine& line = rows[i].line;
        std::string path = folder + "/" + found[i].name;
        std::string error = !rows[i].unreadable.empty() ? std::move(rows[i].unreadable)
                            : line.error.empty()        ? std::string()
                                                        : path + ": " + line.error;
        list.reads.push_back({std::move(path), std::move(line.time), std::move(line.vin), std::move(line.make),
                              std::move(line.codes), std::move(line.source), std::move(error)});
    }
    return list;
}

}  // namespace vx414
