#pragma once
// Helpers shared by the definitions tests: stored bytes from data bytes, a scratch folder,
// a FIFO that nobody writes to.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "definitions/pair_codec.h"

namespace vx414::testing {

inline std::vector<std::uint8_t> storedBytes(std::string_view data) {
  std::vector<std::uint8_t> stored;
  stored.reserve(data.size() * 2);
  for (char c : data) {
    const DataPair pair = encodePair(static_cast<std::uint8_t>(c));
    stored.push_back(pair[0]);
    stored.push_back(pair[1]);
  }
  return stored;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vx414-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A FIFO without a writer, where a data file is expected. Opening it for reading without
// O_NONBLOCK waits for a writer for ever; so that a test of code that does so fails instead
// of hanging, a watchdog looks every 100 ms whether a reader holds the FIFO open (its own
// non-blocking open for writing then succeeds, which also releases a reader stuck in
// open()) and remembers that it found one.
class ReaderlessFifo {
 public:
  explicit ReaderlessFifo(std::filesystem::path path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) std::abort();
    watchdog_ = std::thread([this] {
      while (!stop_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          readerFound_ = true;
          ::close(fd);
        }
      }
    });
  }
  ~ReaderlessFifo() {
    stop_ = true;
    watchdog_.join();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  ReaderlessFifo(const ReaderlessFifo&) = delete;
  ReaderlessFifo& operator=(const ReaderlessFifo&) = delete;

  // True once the watchdog found the FIFO open for reading.
  bool readerFound() const { return readerFound_; }

 private:
  std::filesystem::path path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> readerFound_{false};
  std::thread watchdog_;
};

}  // namespace vx414::testing
