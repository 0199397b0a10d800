#include "definitions/section_walk.h"

#include <array>
#include <span>
#include <string>

#include "definitions/items.h"
#include "definitions/pair_codec.h"

namespace vx414 {
namespace {

constexpr bool isAsciiLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One window of the walk. The buffer holds two stored bytes beyond the window so that the
// look-ahead after a 0x0D in the window's last pair can be read from the file into it,
// rather than from past the buffer; records then stay aligned on the pairs that follow.
class Window {
 public:
  Window(const StoredBytes& file, std::int32_t position) : file_(file), position_(position) {}

  DataFileStatus fill() {
    bytes_.fill(0);
    return file_.read(position_, std::span(bytes_).first(kWindowBytes));
  }

  std::int32_t position() const { return position_; }
  std::int32_t positionAt(std::size_t index) const { return position_ + static_cast<std::int32_t>(index); }

  // Decodes the pair at `index` within the window; nothing for a pair that fails its checks.
  std::optional<std::uint8_t> pair(std::size_t index) const { return decode({bytes_[index], bytes_[index + 1]}); }

  DataFileStatus badPair(std::size_t index) const {
    return DataFileStatus::failure(DataFileCode::BadPair, positionAt(index));
  }

  // Decodes the look-ahead pair at `index`, which may be the pair just past the window.
  DataFileStatus lookAhead(std::size_t index, std::uint8_t& dataByte) {
    if (index == kWindowBytes) {
      if (DataFileStatus status = file_.read(positionAt(index), std::span(bytes_).subspan(kWindowBytes));
          !status.ok()) {
        return status;
      }
    }
    const std::optional<std::uint8_t> decoded = pair(index);
    if (!decoded) return badPair(index);
    dataByte = *decoded;
    return {};
  }

 private:
  const StoredBytes& file_;
  std::int32_t position_;
  std::array<std::uint8_t, kWindowBytes + 2> bytes_{};
};

enum class ItemKind { Code, Definition };

// Reads one item from index `j` on, leaving `j` after its terminator. The characters are
// gathered in a buffer as long as the longest item kept and handed over once.
DataFileStatus readItem(Window& window, std::size_t& j, ItemKind kind, std::string& text, std::int32_t recordStart) {
  std::array<char, kDefinitionCharacters> kept;
  std::size_t size = 0;
  for (;;) {
    if (j + 1 >= kWindowBytes) return DataFileStatus::failure(DataFileCode::RecordTooLong, recordStart);
    const std::optional<std::uint8_t> decoded = window.pair(j);
    if (!decoded) return window.badPair(j);
    const std::uint8_t c = *decoded;
    j += 2;
    if (c == kTab || c == kLineFeed) break;
    if (c == kCarriageReturn) {
      std::uint8_t next = 0;
      if (DataFileStatus status = window.lookAhead(j, next); !status.ok()) return status;
      if (next == kLineFeed) j += 2;
      break;
    }
    if (kind == ItemKind::Code) {
      if (size < kCodeCharacters) kept[size++] = static_cast<char>(c);
      continue;
    }
    const std::size_t room = size == 0 && !isAsciiLetter(c) ? 2 : 1;
    if (size + room > kDefinitionCharacters) {
      return DataFileStatus::failure(DataFileCode::DefinitionTooLong, recordStart);
    }
    if (room == 2) kept[size++] = ' ';
    kept[size++] = static_cast<char>(c);
  }
  text.assign(kept.data(), size);
  return {};
}

}  // namespace

DataFileStatus walkSection(const StoredBytes& file, const SectionWalk& walk, const RecordSink& sink,
                           WalkSummary* summary) {
  WalkSummary local;
  WalkSummary& done = summary != nullptr ? *summary : local;
  done = {};
  std::string code;
  std::string definition;
  code.reserve(kCodeCharacters);
  definition.reserve(kDefinitionCharacters);

  const auto failed = [&](DataFileStatus status) {
    status.section = std::string(walk.name);
    status.record = done.rows;
    return status;
  };

  std::int32_t DataPos = walk.MakeStart;
  for (;;) {
    Window window(file, DataPos);
    if (DataFileStatus status = window.fill(); !status.ok()) return failed(status);
    ++done.windows;
    std::size_t j = 0;
    for (;;) {
      const std::int32_t recordStart = window.positionAt(j);
      if (DataFileStatus status = readItem(window, j, ItemKind::Code, code, recordStart); !status.ok()) {
        return failed(status);
      }
      if (DataFileStatus status = readItem(window, j, ItemKind::Definition, definition, recordStart); !status.ok()) {
        return failed(status);
      }
      if (done.rows >= walk.maxRows) return failed(DataFileStatus::failure(DataFileCode::TooManyRows, recordStart));
      const std::int32_t recordEnd = window.positionAt(j);
      sink(WalkedRecord{code, definition, recordStart, recordEnd});
      ++done.rows;
      done.end = recordEnd;
      if (recordEnd >= walk.MakeEnd) return {};
      if (j > kWindowRefill) break;
    }
    DataPos += static_cast<std::int32_t>(j);
  }
}

}  // namespace vx414
