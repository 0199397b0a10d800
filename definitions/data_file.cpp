#include "definitions/data_file.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx414 {

DataFileStatus DataFileStatus::failure(DataFileCode code, std::int32_t position, std::string detail) {
  DataFileStatus status;
  status.code = code;
  status.position = position;
  status.detail = std::move(detail);
  return status;
}

std::string dataFilePath(std::string_view appFolder) {
  std::string path(appFolder);
  path += '/';
  path += kDataFileName;
  return path;
}

namespace {

std::string recordPlace(const DataFileStatus& status) {
  std::string text = "record " + std::to_string(status.record);
  if (!status.section.empty()) text += " of section \"" + status.section + "\"";
  text += " at position " + std::to_string(status.position);
  return text;
}

}  // namespace

std::string messageText(const DataFileStatus& status, std::string_view appFolder) {
  switch (status.code) {
    case DataFileCode::Ok:
      return {};
    case DataFileCode::NotFound:
      return " File not found : " + dataFilePath(appFolder);
    case DataFileCode::Empty:
    case DataFileCode::BadPair:
    case DataFileCode::BadExtension:
      return " Cannot identify data file : " + dataFilePath(appFolder);
    default:
      // Any other damage (a file cut short, a record that does not fit) is the same to
      // the user: not a file we can use, named by its path; what failed and where follows
      // on its own line for whoever mends it.
      return " Cannot identify data file : " + dataFilePath(appFolder) + "\n(" + describe(status) + ")";
  }
}

bool endsProgram(const DataFileStatus& status) { return status.code == DataFileCode::BadPair; }

std::string describe(const DataFileStatus& status) {
  const std::string position = std::to_string(status.position);
  switch (status.code) {
    case DataFileCode::Ok:
      return "ok";
    case DataFileCode::NotFound:
      return "data file not found";
    case DataFileCode::Empty:
      return "data file is empty";
    case DataFileCode::OpenFailed:
      return "cannot open the data file: " + status.detail;
    case DataFileCode::SlotInUse:
      return "the data file is already open";
    case DataFileCode::NotOpen:
      return "the data file is not open";
    case DataFileCode::ReadFailed:
      return "cannot read the data file at position " + position + ": " + status.detail;
    case DataFileCode::BadPair:
      return "stored pair at position " + position + " fails its checks";
    case DataFileCode::RecordTooLong:
      return recordPlace(status) + " is longer than its window allows";
    case DataFileCode::DefinitionTooLong:
      return recordPlace(status) + " has a definition of more than 501 characters";
    case DataFileCode::TooManyRows:
      return recordPlace(status) + " is one more than the definitions table holds";
    case DataFileCode::BadExtension:
      return "generic extension damaged at position " + position + ": " + status.detail;
  }
  return "unknown failure";
}

int datafilecheck(const std::string& path) {
  // The file system is asked; the file is never opened. Opening a FIFO for reading waits
  // for a writer, and a device may wait for its hardware, so anything but a regular file
  // counts as no access, as does a regular file the program may not read.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return 0;
  return info.st_size > 0 ? 2 : 1;
}

DataFile::~DataFile() { close(); }

DataFileStatus DataFile::open(const std::string& path) {
  if (isOpen()) return DataFileStatus::failure(DataFileCode::SlotInUse);
  // Non-blocking, so that a FIFO or a device put in the file's place after the check
  // cannot hold the program in open(); on a regular file the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return DataFileStatus::failure(DataFileCode::OpenFailed, 0, path + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return DataFileStatus::failure(DataFileCode::OpenFailed, 0, path + ": not a regular file");
  }
  fd_ = fd;
  return {};
}

void DataFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  readAheadStart_ = 0;
}

std::int64_t DataFile::length() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

DataFileStatus DataFile::read(std::int32_t position, std::span<std::uint8_t> out) const {
  if (fd_ < 0 || position < 1 || out.size() > kReadAheadBytes) return readFromSystem(position, out);
  const auto inAhead = [&] {
    return readAheadStart_ > 0 && position >= readAheadStart_ &&
           static_cast<std::int64_t>(position) + static_cast<std::int64_t>(out.size()) <=
               readAheadStart_ + static_cast<std::int64_t>(readAhead_.size());
  };
  if (!inAhead()) {
    readAhead_.resize(kReadAheadBytes);
    readAheadStart_ = 0;
    if (DataFileStatus status = readFromSystem(position, readAhead_); !status.ok()) return status;
    readAheadStart_ = position;
  }
  const auto from = readAhead_.begin() + (position - readAheadStart_);
  std::copy(from, from + static_cast<std::ptrdiff_t>(out.size()), out.begin());
  return {};
}

DataFileStatus DataFile::readFromSystem(std::int32_t position, std::span<std::uint8_t> out) const {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  if (fd_ < 0) return DataFileStatus::failure(DataFileCode::NotOpen, position);
  if (position < 1) return DataFileStatus::failure(DataFileCode::ReadFailed, position, "position before the file");
  std::size_t done = 0;
  while (done < out.size()) {
    const off_t offset = static_cast<off_t>(position - 1) + static_cast<off_t>(done);
    const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return DataFileStatus::failure(DataFileCode::ReadFailed, position, std::strerror(errno));
    }
    if (got == 0) break;  // end of file: the rest stays 0
    done += static_cast<std::size_t>(got);
  }
  return {};
}

DataFileStatus MemoryBytes::read(std::int32_t position, std::span<std::uint8_t> out) const {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  if (position < 1) return DataFileStatus::failure(DataFileCode::ReadFailed, position, "position before the file");
  const auto start = static_cast<std::size_t>(position - 1);
  if (start >= bytes_.size()) return {};
  const std::size_t count = std::min(out.size(), bytes_.size() - start);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), count, out.begin());
  return {};
}

DataFileStatus datafileopen(DataFile& slot, std::string_view appFolder) { return slot.open(dataFilePath(appFolder)); }

void datafileclose(DataFile& slot) { slot.close(); }

}  // namespace vx414
