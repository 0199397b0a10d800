#include "definitions/generic_extension.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "definitions/definitions_table.h"
#include "definitions/dis_file.h"
#include "definitions/pair_codec.h"

namespace vx414 {
namespace {

// 12,000 generic codes of 18 data bytes a record: more than the fixed section's 186 KB
// hold, so that about 1,600 go to the extension and the generic rows alone pass 10,000.
constexpr int kGenericCodes = 12000;

std::string codeNumber(int n) {
  char code[8];
  std::snprintf(code, sizeof code, "P%04X", n);
  return code;
}

PlainSources overflowingSources() {
  PlainSources s;
  for (int i = 0; i < kGlossaryEntries; ++i) s.glossary.push_back({"T", "Term", "t"});
  std::vector<SourceRecord>& generic = s.sections["generic"];
  // Listed backwards: the builder sorts, so the split must follow code order, not source order.
  for (int n = kGenericCodes - 1; n >= 0; --n) generic.push_back({codeNumber(n), "Title " + std::to_string(n), "t"});
  s.sections["audi"] = {{codeNumber(kGenericCodes - 1), "Audi's own text", "t"}, {"P9ABC", "Audi only", "t"}};
  return s;
}

const std::vector<std::uint8_t>& builtFile() {
  static const std::vector<std::uint8_t> stored = [] {
    BuildResult built = buildDataFile(overflowingSources());
    EXPECT_EQ(built.error, "");
    EXPECT_GT(built.report.extension.count, 1000u);
    return std::move(built.stored);
  }();
  return stored;
}

// The same file as a builder that knows no extension leaves it: cut after the last section.
std::vector<std::uint8_t> withoutExtension(std::vector<std::uint8_t> stored) {
  stored.resize(static_cast<std::size_t>(positionOfAddress(kMakeSections.back().end)) - 1);
  return stored;
}

DataFileStatus load(const std::vector<std::uint8_t>& stored, std::string_view make, DefinitionsTable& table) {
  const MemoryBytes file(stored);
  return table.load(file, *findMake(make));
}

void setDataByte(std::vector<std::uint8_t>& stored, std::uint32_t address, std::uint8_t value) {
  const DataPair pair = encodePair(value);
  const std::size_t at = static_cast<std::size_t>(positionOfAddress(address)) - 1;
  stored[at] = pair[0];
  stored[at + 1] = pair[1];
}

void writeHeader(std::vector<std::uint8_t>& stored, const std::array<std::uint8_t, kExtensionHeaderBytes>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) setDataByte(stored, kExtensionAddress + static_cast<std::uint32_t>(i), bytes[i]);
}

// The header as built, with one field changed and the CRC made right again, so that the
// field's own check has to catch it.
std::array<std::uint8_t, kExtensionHeaderBytes> headerWith(std::size_t offset, std::uint32_t value, int width) {
  const MemoryBytes file(builtFile());
  GenericExtension extension;
  EXPECT_TRUE(readGenericExtension(file, extension).ok());
  auto bytes = encodeExtensionHeader(extension.header);
  for (int i = 0; i < width; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  const std::uint32_t crc = crc32(bytes.data(), 28);
  for (int i = 0; i < 4; ++i) bytes[28 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
  return bytes;
}

TEST(GenericExtension, AFileWithAndWithoutItLoadsTheSameFixedRows) {
  DefinitionsTable with, without, zerosAfter;
  ASSERT_TRUE(load(builtFile(), "generic", with).ok());
  ASSERT_TRUE(load(withoutExtension(builtFile()), "generic", without).ok());
  std::vector<std::uint8_t> padded = withoutExtension(builtFile());
  padded.resize(padded.size() + 4096, 0);  // zeros where a header would be: no extension
  ASSERT_TRUE(load(padded, "generic", zerosAfter).ok());

  const int fixed = without.rowCount();
  EXPECT_EQ(zerosAfter.rowCount(), fixed);
  ASSERT_GT(with.rowCount(), kDefinitionRows);  // the table has grown past its first rows
  EXPECT_EQ(with.genericCount(), with.rowCount());
  for (int row = 0; row < fixed; ++row) {
    const auto& a = with.rows()[static_cast<std::size_t>(row)];
    const auto& b = without.rows()[static_cast<std::size_t>(row)];
    ASSERT_EQ(a.code, b.code) << row;
    ASSERT_EQ(a.definition, b.definition) << row;
  }
  // Every code exactly once, in code order across the seam, and nothing else after it.
  std::vector<std::string> codes;
  for (const DefinitionRow& row : with.rows()) {
    if (!row.code.empty() && row.code != kHeadingCode) codes.push_back(row.code);
  }
  ASSERT_EQ(codes.size(), std::size_t{kGenericCodes});
  for (int n = 0; n < kGenericCodes; ++n) ASSERT_EQ(codes[static_cast<std::size_t>(n)], codeNumber(n));
  EXPECT_EQ(with.rows().back().definition, "Title " + std::to_string(kGenericCodes - 1));
}

TEST(GenericExtension, SearchAndResultFillWorkOverEveryRow) {
  DefinitionsTable audi;
  ASSERT_TRUE(load(builtFile(), "audi", audi).ok());
  const int generic = audi.genericCount();
  ASSERT_GT(audi.rowCount(), generic);
  const std::string last = codeNumber(kGenericCodes - 1);
  const auto definition = [&](int row) { return row < 0 ? std::string("-") : audi.rows()[static_cast<std::size_t>(row)].definition; };
  const struct {
    std::string code;
    std::string fill;    // the last match: the make's text over the generic one
    std::string search;  // the first match
  } cases[] = {
      {last, "Audi's own text", "Title " + std::to_string(kGenericCodes - 1)},
      {codeNumber(kGenericCodes - 2), "Title " + std::to_string(kGenericCodes - 2), "Title " + std::to_string(kGenericCodes - 2)},
      {codeNumber(10), "Title 10", "Title 10"},
      {"P9ABC", "Audi only", "Audi only"},
      {"P9ABD", "-", "-"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(definition(audi.rowForCode(c.code)), c.fill) << c.code;
    EXPECT_EQ(definition(audi.search(c.code).found), c.search) << c.code;
  }
  // The last generic row, now an extension row, still has no next entry from the make's rows.
  EXPECT_EQ(audi.search(last).found, generic - 1);
  EXPECT_EQ(audi.search(last).next, -1);
}

TEST(GenericExtension, ADamagedExtensionFailsTheLoadWholeWithTheDataFileMessage) {
  const GenericExtension built = [] {
    GenericExtension e;
    const MemoryBytes file(builtFile());
    EXPECT_TRUE(readGenericExtension(file, e).ok());
    return e;
  }();
  const ExtensionHeader& h = built.header;
  const struct {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
  } cases[] = {
      {"magic", [](auto& s) { setDataByte(s, kExtensionAddress + 3, 'X'); }},
      {"CRC", [](auto& s) { setDataByte(s, kExtensionAddress + 30, 0x5A); }},
      {"a field changed, CRC not", [](auto& s) { setDataByte(s, kExtensionAddress + 12, 0x01); }},
      {"version", [](auto& s) { writeHeader(s, headerWith(8, 2, 2)); }},
      {"header size", [](auto& s) { writeHeader(s, headerWith(10, 31, 2)); }},
      {"count zero", [](auto& s) { writeHeader(s, headerWith(12, 0, 4)); }},
      {"count one more", [&](auto& s) { writeHeader(s, headerWith(12, h.count + 1, 4)); }},
      {"count one less", [&](auto& s) { writeHeader(s, headerWith(12, h.count - 1, 4)); }},
      {"count past the table", [](auto& s) { writeHeader(s, headerWith(12, kMaxDefinitionRows + 1, 4)); }},
      {"start", [&](auto& s) { writeHeader(s, headerWith(16, h.start + 2, 4)); }},
      {"end one short", [&](auto& s) { writeHeader(s, headerWith(20, h.end - 1, 4)); }},
      {"end one long", [&](auto& s) { writeHeader(s, headerWith(20, h.end + 1, 4)); }},
      {"end before start", [&](auto& s) { writeHeader(s, headerWith(20, h.start - 1, 4)); }},
      {"end far out", [](auto& s) { writeHeader(s, headerWith(20, 0xFFFFFFF0u, 4)); }},
      {"reserved bytes", [](auto& s) { writeHeader(s, headerWith(24, 1, 1)); }},
      {"a bad pair in the header",
       [](auto& s) { s[static_cast<std::size_t>(positionOfAddress(kExtensionAddress + 9)) - 1] |= 0x40; }},
      {"a bad pair in a record",
       [&](auto& s) { s[static_cast<std::size_t>(positionOfAddress(h.start + 100)) - 1] = 0x40; }},
      {"records cut short", [&](auto& s) { s.resize(static_cast<std::size_t>(positionOfAddress(h.start + 1000))); }},
      {"a terminator lost", [&](auto& s) { setDataByte(s, h.start + 5, 'x'); }},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> stored = builtFile();
    c.damage(stored);
    DefinitionsTable table;
    const DataFileStatus status = load(stored, "generic", table);
    EXPECT_EQ(status.code, DataFileCode::BadExtension) << c.name << ": " << describe(status);
    EXPECT_EQ(messageText(status, "/opt/vx414"), " Cannot identify data file : /opt/vx414/VX-414.dis") << c.name;
    EXPECT_FALSE(endsProgram(status)) << c.name;
    EXPECT_EQ(table.rowCount(), 0) << c.name;  // never half a table
    const MemoryBytes file(stored);
    EXPECT_EQ(verifyDataFile(file).status.code, DataFileCode::BadExtension) << c.name;
    // Handed over one by one (the window's way), a damaged extension hands over none.
    ExtensionHeader header;
    bool present = false;
    int handed = 0;
    EXPECT_EQ(walkGenericExtension(file, header, present, [&](const WalkedRecord&) { ++handed; }).code,
              DataFileCode::BadExtension)
        << c.name;
    EXPECT_EQ(handed, 0) << c.name;
  }
}

}  // namespace
}  // namespace vx414
