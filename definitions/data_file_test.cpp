#include "definitions/data_file.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "definitions/test_support.h"

namespace vx414 {
namespace {

using testing::ScratchFolder;

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(DataFile, PresenceCheck) {
  ScratchFolder folder;
  writeFile(folder.path() / "empty", "");
  writeFile(folder.path() / "one", "x");
  writeFile(folder.path() / "locked", "xyz");
  ::chmod((folder.path() / "locked").c_str(), 0);
  std::filesystem::create_directory(folder.path() / "folder");
  const testing::ReaderlessFifo fifo(folder.path() / "fifo");
  const int socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (folder.path() / "socket").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const bool root = ::geteuid() == 0;  // root reads a file without permissions

  // Anything but a regular file counts as no access, and asking never blocks.
  const struct {
    std::string path;
    int result;
  } cases[] = {{(folder.path() / "missing").string(), 0},
               {(folder.path() / "empty").string(), 1},
               {(folder.path() / "one").string(), 2},
               {(folder.path() / "folder").string(), 0},
               {(folder.path() / "locked").string(), root ? 2 : 0},
               {(folder.path() / "fifo").string(), 0},
               {socketPath, 0},
               {"/dev/null", 0}};
  for (const auto& c : cases) EXPECT_EQ(datafilecheck(c.path), c.result) << c.path;
  EXPECT_FALSE(fifo.readerFound());
  ::close(socketFd);
}

TEST(DataFile, TheSlotRefusesWhatIsNotARegularFileWithoutWaiting) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "folder");
  const testing::ReaderlessFifo fifo(folder.path() / "fifo");
  for (const std::string& path : {(folder.path() / "fifo").string(), (folder.path() / "folder").string(),
                                 std::string("/dev/null")}) {
    DataFile slot;
    const DataFileStatus status = slot.open(path);
    EXPECT_EQ(status.code, DataFileCode::OpenFailed) << path;
    EXPECT_NE(status.detail.find("not a regular file"), std::string::npos) << status.detail;
    EXPECT_FALSE(slot.isOpen());
  }
  EXPECT_FALSE(fifo.readerFound());  // the FIFO was let go at once, not held waiting for a writer
}

TEST(DataFile, SlotHoldsOneFileAndReadsZerosPastTheEnd) {
  ScratchFolder folder;
  writeFile(folder.path() / "VX-414.dis", "abcdef");
  DataFile slot;
  std::array<std::uint8_t, 4> block{};
  EXPECT_EQ(slot.read(1, block).code, DataFileCode::NotOpen);

  ASSERT_TRUE(datafileopen(slot, folder.path().string()).ok());
  EXPECT_EQ(slot.length(), 6);
  EXPECT_EQ(datafileopen(slot, folder.path().string()).code, DataFileCode::SlotInUse);
  EXPECT_TRUE(slot.isOpen());

  ASSERT_TRUE(slot.read(1, block).ok());
  EXPECT_EQ(block, (std::array<std::uint8_t, 4>{'a', 'b', 'c', 'd'}));
  ASSERT_TRUE(slot.read(5, block).ok());
  EXPECT_EQ(block, (std::array<std::uint8_t, 4>{'e', 'f', 0, 0}));
  ASSERT_TRUE(slot.read(100, block).ok());
  EXPECT_EQ(block, (std::array<std::uint8_t, 4>{}));

  datafileclose(slot);
  EXPECT_FALSE(slot.isOpen());
  EXPECT_TRUE(datafileopen(slot, folder.path().string()).ok());
  datafileclose(slot);

  EXPECT_EQ(datafileopen(slot, (folder.path() / "nowhere").string()).code, DataFileCode::OpenFailed);
  EXPECT_FALSE(slot.isOpen());
}

TEST(DataFile, BlocksReadThroughTheReadAheadAreTheFilesBytes) {
  ScratchFolder folder;
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
  writeFile(folder.path() / "VX-414.dis", bytes);
  DataFile slot;
  ASSERT_TRUE(datafileopen(slot, folder.path().string()).ok());
  const auto expected = [&](std::int64_t position, std::size_t size) {
    std::vector<std::uint8_t> want(size, 0);
    for (std::size_t i = 0; i < size; ++i) {
      const auto at = static_cast<std::size_t>(position - 1) + i;
      if (at < bytes.size()) want[i] = static_cast<std::uint8_t>(bytes[at]);
    }
    return want;
  };
  // Forwards in item blocks, across the read-ahead's edges, backwards, past the end, and
  // blocks larger than the read-ahead.
  const struct {
    std::int32_t position;
    std::size_t size;
  } reads[] = {{1, 1000},       {1001, 1000},   {65000, 1000},  {65537, 2},     {65536, 10000},
               {3, 1000},       {130000, 10000}, {199500, 1000}, {200001, 1000}, {250000, 4},
               {1, 100000},     {150000, 70000}, {65535, 2},     {131073, 1000}};
  for (const auto& r : reads) {
    std::vector<std::uint8_t> got(r.size, 0xEE);
    ASSERT_TRUE(slot.read(r.position, got).ok()) << r.position;
    EXPECT_EQ(got, expected(r.position, r.size)) << r.position << " " << r.size;
  }
  // A file read again after its slot was closed shows its new bytes.
  datafileclose(slot);
  bytes.assign(200000, 'z');
  writeFile(folder.path() / "VX-414.dis", bytes);
  ASSERT_TRUE(datafileopen(slot, folder.path().string()).ok());
  std::vector<std::uint8_t> got(1000);
  ASSERT_TRUE(slot.read(1, got).ok());
  EXPECT_EQ(got, expected(1, 1000));
}

TEST(DataFile, MemoryBytesReadLikeTheFile) {
  const std::vector<std::uint8_t> bytes{1, 2, 3};
  const MemoryBytes memory(bytes);
  std::array<std::uint8_t, 2> block{};
  ASSERT_TRUE(memory.read(3, block).ok());
  EXPECT_EQ(block, (std::array<std::uint8_t, 2>{3, 0}));
  EXPECT_FALSE(memory.read(0, block).ok());
}

TEST(DataFile, UserTexts) {
  const std::string folder = "/opt/vx414";
  const struct {
    DataFileCode code;
    std::string text;
    bool ends;
  } cases[] = {
      {DataFileCode::NotFound, " File not found : /opt/vx414/VX-414.dis", false},
      {DataFileCode::Empty, " Cannot identify data file : /opt/vx414/VX-414.dis", false},
      {DataFileCode::BadPair, " Cannot identify data file : /opt/vx414/VX-414.dis", true},
  };
  for (const auto& c : cases) {
    const DataFileStatus status = DataFileStatus::failure(c.code, 1234);
    EXPECT_EQ(messageText(status, folder), c.text);
    EXPECT_EQ(endsProgram(status), c.ends);
  }
  DataFileStatus tooLong = DataFileStatus::failure(DataFileCode::RecordTooLong, 777);
  tooLong.section = "ford";
  tooLong.record = 12;
  EXPECT_EQ(messageText(tooLong, folder),
            " Cannot identify data file : /opt/vx414/VX-414.dis\n"
            "(record 12 of section \"ford\" at position 777 is longer than its window allows)");
  EXPECT_EQ(describe(DataFileStatus::failure(DataFileCode::BadPair, 31)), "stored pair at position 31 fails its checks");
}

}  // namespace
}  // namespace vx414
