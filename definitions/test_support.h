#pragma once
// Helpers shared by the definitions tests: stored bytes from data bytes, a scratch folder.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
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

}  // namespace vx414::testing
