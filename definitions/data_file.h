#pragma once
// Access to the definitions data file: its presence check, the single file slot, block
// reads at 1-based positions, and the one status type of this layer with its user texts.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx414 {

inline constexpr std::string_view kDataFileName = "VX-414.dis";
// Title of the data-file messages.
inline constexpr std::string_view kDataFileMessageTitle = "VX-414";

enum class DataFileCode {
  Ok,
  NotFound,           // no readable regular file (missing, unreadable, a directory, a FIFO)
  Empty,              // the file exists and holds no bytes
  OpenFailed,         // the file cannot be opened for reading
  SlotInUse,          // the file slot is already open
  NotOpen,            // a read through a closed slot
  ReadFailed,         // the system refused a read
  BadPair,            // a stored pair failed its checks; the program ends after the message
  RecordTooLong,      // a record runs past the end of its window
  DefinitionTooLong,  // a definition text of more than 501 characters
  TooManyRows,        // more records than the definitions table has rows left
  BadExtension,       // the generic extension's header or records fail their checks (detail says which)
};

struct DataFileStatus {
  DataFileCode code = DataFileCode::Ok;
  // File position of the bad pair, or of the start of the record that does not fit.
  std::int32_t position = 0;
  // Section walk failures: the section's entry name and the record's number within the
  // section, counted from 0.
  std::string section;
  int record = -1;
  // The system's reason for open and read failures.
  std::string detail;

  bool ok() const { return code == DataFileCode::Ok; }
  static DataFileStatus failure(DataFileCode code, std::int32_t position = 0, std::string detail = {});
};

// AppFolder + "/VX-414.dis".
std::string dataFilePath(std::string_view appFolder);

// The text the user sees for a failed status. Not found, empty and a bad pair give the
// data-file messages exactly; any other damage the message for a file that cannot be
// identified, with what failed and where on a second line.
std::string messageText(const DataFileStatus& status, std::string_view appFolder);

// A status the program cannot go on from (a pair that fails its checks).
bool endsProgram(const DataFileStatus& status);

// A fuller description for the tools: what failed and where.
std::string describe(const DataFileStatus& status);

// 0: no access (no such file, not readable, or not a regular file: a directory, FIFO,
// socket or device); 1: it exists and is empty; 2: it exists and is not empty. Never
// opens the file, so it cannot block.
int datafilecheck(const std::string& path);

// Stored bytes read by position; the readers see the data file only through this.
class StoredBytes {
 public:
  virtual ~StoredBytes() = default;
  // Fills `out` with the stored bytes from 1-based `position` on; bytes past the end of
  // the file are 0.
  virtual DataFileStatus read(std::int32_t position, std::span<std::uint8_t> out) const = 0;
};

// The single file slot: one data file at a time, opened read-only.
class DataFile final : public StoredBytes {
 public:
  DataFile() = default;
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;
  ~DataFile() override;

  // Fails with SlotInUse while a file is open, leaving that file open.
  DataFileStatus open(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // Length in stored bytes of the open file, or -1.
  std::int64_t length() const;

  DataFileStatus read(std::int32_t position, std::span<std::uint8_t> out) const override;

  // Stored bytes the slot fetches from the system at once. The readers still take their
  // blocks of 1,000 or 10,000 bytes from the slot; the glossary's 1,664 blocks then cost
  // a few system reads instead of one each.
  static constexpr std::size_t kReadAheadBytes = 64 * 1024;

 private:
  DataFileStatus readFromSystem(std::int32_t position, std::span<std::uint8_t> out) const;

  int fd_ = -1;
  // The bytes last fetched, from 1-based position readAheadStart_ on (0: none), with the
  // bytes past the end of the file as 0, as a read gives them.
  mutable std::vector<std::uint8_t> readAhead_;
  mutable std::int64_t readAheadStart_ = 0;
};

// Stored bytes held in memory (tests, fuzzer, builder checks).
class MemoryBytes final : public StoredBytes {
 public:
  explicit MemoryBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  DataFileStatus read(std::int32_t position, std::span<std::uint8_t> out) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// Opens AppFolder/VX-414.dis in the slot.
DataFileStatus datafileopen(DataFile& slot, std::string_view appFolder);
void datafileclose(DataFile& slot);

}  // namespace vx414
