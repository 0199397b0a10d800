#pragma once
// The generic extension: the generic records that do not fit the fixed generic section,
// stored after the last make section behind a small header. Readers of the make table
// never reach it; a file without it loads as it always did.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "definitions/data_file.h"
#include "definitions/make_sections.h"
#include "definitions/section_walk.h"

namespace vx414 {

// The header's data address: 16 data bytes past the last section's end, so that a last
// record ending one byte past that end (a one-byte slack) stays clear of it.
inline constexpr std::uint32_t kExtensionAddress = kMakeSections.back().end + 16;
inline constexpr std::array<std::uint8_t, 8> kExtensionMagic{'V', 'X', '4', '1', '4', 'E', 'X', 'T'};
inline constexpr std::uint16_t kExtensionVersion = 1;
inline constexpr std::uint16_t kExtensionHeaderBytes = 32;
// The builder's record limit applies here as in the sections; the header's bounds are
// checked against it.
inline constexpr std::uint32_t kExtensionRecordBytes = 500;

struct ExtensionHeader {
  std::uint32_t count = 0;  // records
  std::uint32_t start = 0;  // data address of the first record: the header's address + 32
  std::uint32_t end = 0;    // data address after the last record's terminator
};

// The header's 32 data bytes, little-endian: magic (8), version (2), header size (2),
// count (4), start (4), end (4), reserved zeros (4), CRC-32 of bytes 0 to 27 (4).
std::array<std::uint8_t, kExtensionHeaderBytes> encodeExtensionHeader(const ExtensionHeader& header);

// CRC-32 (the IEEE polynomial, reflected, as zlib computes it).
std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size);

struct ExtensionRecord {
  std::string code;
  std::string definition;  // as the loader keeps it: a space before a non-letter start
};

struct GenericExtension {
  bool present = false;
  ExtensionHeader header;
  std::vector<ExtensionRecord> records;
};

// Reads the extension when the file holds one: its first data byte is the magic's "V";
// anything else there (the zeros past the end of a file without one) means none, and the
// result is Ok with `present` false. A header taken as ours must pass every check (a bad
// pair, the magic, version, size, count, bounds, CRC) and its records, walked as a
// section is, must be exactly `count` and end exactly at `end`; otherwise the result is
// BadExtension and no record is handed back, so a caller never keeps half of it.
DataFileStatus readGenericExtension(const StoredBytes& file, GenericExtension& out);

// The same checks, then each record handed to `take` without keeping them all: for a
// reader that stores them elsewhere (the window's table), so that they are never held
// twice. The extension is walked whole before the first record is handed over, so a
// damaged one hands over none; `present` false and Ok when the file holds none.
DataFileStatus walkGenericExtension(const StoredBytes& file, ExtensionHeader& header, bool& present,
                                    const std::function<void(const WalkedRecord&)>& take);

}  // namespace vx414
