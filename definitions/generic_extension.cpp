#include "definitions/generic_extension.h"

#include <algorithm>

#include "definitions/pair_codec.h"

namespace vx414 {
namespace {

void putLittle(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getLittle(const std::uint8_t* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

DataFileStatus damaged(std::uint32_t address, std::string what) {
  return DataFileStatus::failure(DataFileCode::BadExtension, positionOfAddress(address), std::move(what));
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::array<std::uint8_t, kExtensionHeaderBytes> encodeExtensionHeader(const ExtensionHeader& header) {
  std::array<std::uint8_t, kExtensionHeaderBytes> bytes{};
  std::copy(kExtensionMagic.begin(), kExtensionMagic.end(), bytes.begin());
  putLittle(&bytes[8], kExtensionVersion, 2);
  putLittle(&bytes[10], kExtensionHeaderBytes, 2);
  putLittle(&bytes[12], header.count, 4);
  putLittle(&bytes[16], header.start, 4);
  putLittle(&bytes[20], header.end, 4);
  putLittle(&bytes[28], crc32(bytes.data(), 28), 4);
  return bytes;
}

namespace {

// The header, read and checked; Ok with `present` false when the file holds none.
DataFileStatus readHeader(const StoredBytes& file, bool& present, ExtensionHeader& header) {
  present = false;
  std::array<std::uint8_t, 2 * kExtensionHeaderBytes> stored{};
  if (DataFileStatus status = file.read(positionOfAddress(kExtensionAddress), stored); !status.ok()) return status;
  const std::optional<std::uint8_t> first = decode({stored[0], stored[1]});
  if (!first || *first != kExtensionMagic[0]) return {};

  std::array<std::uint8_t, kExtensionHeaderBytes> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::optional<std::uint8_t> decoded = decode({stored[2 * i], stored[2 * i + 1]});
    if (!decoded) return damaged(kExtensionAddress + static_cast<std::uint32_t>(i), "a stored pair of the header fails its checks");
    bytes[i] = *decoded;
  }
  if (!std::equal(kExtensionMagic.begin(), kExtensionMagic.end(), bytes.begin())) {
    return damaged(kExtensionAddress, "not the extension's magic");
  }
  if (getLittle(&bytes[28], 4) != crc32(bytes.data(), 28)) return damaged(kExtensionAddress + 28, "header CRC differs");
  if (getLittle(&bytes[8], 2) != kExtensionVersion) return damaged(kExtensionAddress + 8, "unknown version");
  if (getLittle(&bytes[10], 2) != kExtensionHeaderBytes) return damaged(kExtensionAddress + 10, "wrong header size");
  if (getLittle(&bytes[24], 4) != 0) return damaged(kExtensionAddress + 24, "reserved bytes not zero");
  header = ExtensionHeader{getLittle(&bytes[12], 4), getLittle(&bytes[16], 4), getLittle(&bytes[20], 4)};
  if (header.count == 0 || header.count > static_cast<std::uint32_t>(kMaxDefinitionRows)) {
    return damaged(kExtensionAddress + 12, "record count out of range");
  }
  if (header.start != kExtensionAddress + kExtensionHeaderBytes) {
    return damaged(kExtensionAddress + 16, "records do not start right after the header");
  }
  // Each record takes at least its two terminators and at most the record limit; the end
  // bound also keeps every file position in the signed 32-bit range.
  if (header.end < header.start || header.end - header.start < 2 * header.count ||
      (header.end - header.start) / header.count > kExtensionRecordBytes) {
    return damaged(kExtensionAddress + 20, "end address does not fit the record count");
  }
  present = true;
  return {};
}

// The records, walked as a section is, each handed to `take`; they must be exactly the
// header's count and end exactly at its end.
DataFileStatus walkRecords(const StoredBytes& file, const ExtensionHeader& header,
                           const std::function<void(const WalkedRecord&)>& take) {
  WalkSummary summary;
  const SectionWalk walk{"generic extension", positionOfAddress(header.start), positionOfAddress(header.end),
                         static_cast<int>(header.count)};
  DataFileStatus status = walkSection(file, walk, take, &summary);
  if (!status.ok()) {
    status.detail = describe(status);
    status.code = DataFileCode::BadExtension;
    return status;
  }
  if (summary.rows != static_cast<int>(header.count) || summary.end != positionOfAddress(header.end)) {
    return damaged(kExtensionAddress + 12, "the records do not match the header's count and end");
  }
  return {};
}

}  // namespace

DataFileStatus readGenericExtension(const StoredBytes& file, GenericExtension& out) {
  out = {};
  GenericExtension read;
  if (DataFileStatus status = readHeader(file, read.present, read.header); !status.ok() || !read.present) return status;
  read.records.reserve(read.header.count);
  const DataFileStatus status = walkRecords(file, read.header, [&](const WalkedRecord& record) {
    read.records.push_back({std::string(record.code), std::string(record.definition)});
  });
  if (!status.ok()) return status;
  out = std::move(read);
  return {};
}

DataFileStatus walkGenericExtension(const StoredBytes& file, ExtensionHeader& header, bool& present,
                                    const std::function<void(const WalkedRecord&)>& take) {
  header = {};
  if (DataFileStatus status = readHeader(file, present, header); !status.ok() || !present) return status;
  // Checked whole first, so that no record is handed over from a damaged extension.
  if (DataFileStatus status = walkRecords(file, header, [](const WalkedRecord&) {}); !status.ok()) return status;
  return walkRecords(file, header, take);
}

}  // namespace vx414
