#include "definitions/dis_file.h"

#include <algorithm>

#include "definitions/generic_extension.h"
#include "definitions/items.h"
#include "definitions/make_sections.h"
#include "definitions/pair_codec.h"
#include "definitions/section_walk.h"

namespace vx414 {
namespace {

struct Record {
  std::string_view code;
  std::string_view definition;
};

std::size_t recordBytes(const Record& record) { return record.code.size() + record.definition.size() + 2; }

bool holdsTerminator(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return isItemTerminator(static_cast<std::uint8_t>(c)); });
}

std::string recordError(std::string_view section, const SourceRecord& record, std::string_view what) {
  std::string text = "section \"" + std::string(section) + "\", record " + record.code;
  if (!record.where.empty()) text += " (" + record.where + ")";
  return text + ": " + std::string(what);
}

// Lays items down as data bytes, each followed by a line feed.
class ImageWriter {
 public:
  explicit ImageWriter(std::vector<std::uint8_t>& image) : image_(image) {}
  void seek(std::uint32_t address) { at_ = address - DataAddressBase; }
  void item(std::string_view text) {
    for (char c : text) image_[at_++] = static_cast<std::uint8_t>(c);
    image_[at_++] = kLineFeed;
  }
  void fillerItem(std::size_t spaces) {
    std::fill_n(image_.begin() + static_cast<std::ptrdiff_t>(at_), spaces, std::uint8_t{' '});
    at_ += static_cast<std::uint32_t>(spaces);
    image_[at_++] = kLineFeed;
  }

 private:
  std::vector<std::uint8_t>& image_;
  std::uint32_t at_ = 0;
};

std::string checkGlossary(const std::vector<GlossaryEntry>& glossary, BuildReport& report) {
  if (glossary.size() != static_cast<std::size_t>(kGlossaryEntries)) {
    return "glossary: " + std::to_string(glossary.size()) + " entries, the program reads exactly " +
           std::to_string(kGlossaryEntries);
  }
  report.glossaryRoom = kMakeSections[0].start - GlossaryAddress;
  std::uint32_t used = 0;
  for (const GlossaryEntry& entry : glossary) {
    for (std::string_view text : {std::string_view(entry.term), std::string_view(entry.definition)}) {
      // An item of 500 characters would leave its terminator to the next read and shift
      // every pair after it.
      if (text.size() >= kItemCharacters) return entry.where + ": glossary item of 500 or more characters";
      if (holdsTerminator(text)) return entry.where + ": tab or line end inside a glossary item";
      used += static_cast<std::uint32_t>(text.size()) + 1;
    }
    if (used > report.glossaryRoom) {
      return entry.where + ": the glossary overflows: " + std::to_string(report.glossaryRoom) +
             " data bytes lie between its start and the generic section";
    }
  }
  report.glossaryPairs = kGlossaryEntries;
  report.glossaryBytes = used;
  return {};
}

std::string checkRecord(std::string_view section, const SourceRecord& record) {
  if (record.code.empty()) return recordError(section, record, "empty code");
  if (record.code.size() > 5) return recordError(section, record, "code longer than 5 characters");
  if (holdsTerminator(record.code) || holdsTerminator(record.definition)) {
    return recordError(section, record, "tab or line end inside the record");
  }
  const std::size_t bytes = recordBytes({record.code, record.definition});
  if (bytes > kRecordDataBytes) {
    return recordError(section, record, std::to_string(bytes) + " data bytes, more than " + std::to_string(kRecordDataBytes));
  }
  return {};
}

// Filler sizes in data bytes for `bytes` of slack: as few records as the 500-byte limit
// allows, of nearly equal size, none under the two terminators.
std::vector<std::size_t> fillerSizes(std::size_t bytes) {
  std::vector<std::size_t> sizes;
  if (bytes == 0) return sizes;
  const std::size_t count = (bytes + kRecordDataBytes - 1) / kRecordDataBytes;
  for (std::size_t i = 0; i < count; ++i) sizes.push_back(bytes / count + (i < bytes % count ? 1 : 0));
  return sizes;
}

}  // namespace

BuildResult buildDataFile(const PlainSources& sources) {
  BuildResult result;
  BuildReport& report = result.report;
  if (std::string error = checkGlossary(sources.glossary, report); !error.empty()) {
    result.error = std::move(error);
    return result;
  }

  const std::vector<MakeSection> sections = distinctSections();
  for (const auto& [name, records] : sources.sections) {
    const bool known = std::any_of(sections.begin(), sections.end(), [&](const MakeSection& s) { return s.name == name; });
    if (!known) {
      result.error = "section \"" + name + "\": no such section";
      return result;
    }
  }

  const std::uint32_t imageEnd = sections.back().end;
  std::vector<std::uint8_t> image(imageEnd - DataAddressBase, 0);
  ImageWriter writer(image);
  writer.seek(GlossaryAddress);
  for (const GlossaryEntry& entry : sources.glossary) {
    writer.item(entry.term);
    writer.item(entry.definition);
  }

  int genericRows = 0;
  int fixedGenericRows = 0;
  std::vector<SourceRecord> extension;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const MakeSection& section = sections[s];
    const bool generic = s == 0;
    const auto found = sources.sections.find(section.name);
    std::vector<SourceRecord> real = found != sources.sections.end() ? found->second : std::vector<SourceRecord>{};
    std::stable_sort(real.begin(), real.end(), [](const SourceRecord& a, const SourceRecord& b) { return a.code < b.code; });

    SectionLayout layout;
    layout.name = std::string(section.name);
    layout.sectionBytes = section.end - section.start;
    layout.headingRecords = generic ? 1 : 0;
    std::size_t used = generic ? recordBytes({kHeadingCode, kHeadingDefinition}) : 0;
    for (std::size_t r = 0; r < real.size(); ++r) {
      const SourceRecord& record = real[r];
      if (std::string error = checkRecord(section.name, record); !error.empty()) return {error, {}, {}};
      const std::size_t bytes = recordBytes({record.code, record.definition});
      if (generic && used + bytes > layout.sectionBytes) {
        // The generic records that do not fit go, in code order, to the extension.
        for (std::size_t rest = r; rest < real.size(); ++rest) {
          const SourceRecord& more = real[rest];
          if (std::string error = checkRecord(section.name, more); !error.empty()) return {error, {}, {}};
        }
        extension.assign(real.begin() + static_cast<std::ptrdiff_t>(r), real.end());
        real.resize(r);
        break;
      }
      used += bytes;
      if (used > layout.sectionBytes) {
        return {recordError(section.name, record,
                            "does not fit: the section holds " + std::to_string(layout.sectionBytes) + " data bytes"),
                {}, {}};
      }
    }
    layout.realBytes = static_cast<std::uint32_t>(used);

    // The last record ends exactly at the section's end address, so the loader stops
    // after it. One byte of slack cannot make a record: then the last record ends one
    // byte past the end, which the next section's start must leave room for.
    std::size_t slack = layout.sectionBytes - used;
    if (slack == 1) {
      const std::uint32_t next = s + 1 < sections.size() ? sections[s + 1].start : section.end + 1;
      if (section.end + 1 > next) {
        result.error = "section \"" + layout.name + "\": one byte short of a filler record";
        return result;
      }
      slack = 2;
    }
    const std::vector<std::size_t> fillers = fillerSizes(slack);
    layout.fillerRecords = static_cast<int>(fillers.size());
    layout.realRecords = static_cast<int>(real.size());

    const int rows = layout.headingRecords + layout.fillerRecords + layout.realRecords;
    if (generic) {
      fixedGenericRows = rows;
      genericRows = rows + static_cast<int>(extension.size());
      // Choosing "generic" after start-up reads the fixed section again behind all generic rows.
      if (genericRows + rows > kMaxDefinitionRows) {
        result.error = "section \"generic\": " + std::to_string(genericRows) + " rows, with the fixed section's " +
                       std::to_string(rows) + " read again that exceeds " + std::to_string(kMaxDefinitionRows) +
                       " table rows";
        return result;
      }
    } else if (genericRows + rows > kMaxDefinitionRows) {
      // Name the first record that finds no table row: fillers come before the real ones.
      const int firstOver = kMaxDefinitionRows - genericRows - layout.fillerRecords;
      std::string what = "too many rows: " + std::to_string(rows) + " with the generic section's " +
                         std::to_string(genericRows) + " exceed " + std::to_string(kMaxDefinitionRows);
      result.error = firstOver >= 0 && static_cast<std::size_t>(firstOver) < real.size()
                         ? recordError(section.name, real[static_cast<std::size_t>(firstOver)], what)
                         : "section \"" + layout.name + "\", filler records: " + what;
      return result;
    }

    const std::size_t contentEnd = section.start - DataAddressBase + used + slack;
    if (contentEnd > image.size()) image.resize(contentEnd, 0);
    writer.seek(section.start);
    if (generic) {
      writer.item(kHeadingCode);
      writer.item(kHeadingDefinition);
    }
    for (std::size_t size : fillers) {
      writer.item("");
      writer.fillerItem(size - 2);
    }
    for (const SourceRecord& record : real) {
      writer.item(record.code);
      writer.item(record.definition);
    }
    report.sections.push_back(std::move(layout));
  }
  report.genericRows = genericRows;
  report.fixedGenericRows = fixedGenericRows;

  if (!extension.empty()) {
    std::uint32_t bytes = 0;
    for (const SourceRecord& record : extension) bytes += static_cast<std::uint32_t>(recordBytes({record.code, record.definition}));
    const ExtensionHeader header{static_cast<std::uint32_t>(extension.size()), kExtensionAddress + kExtensionHeaderBytes,
                                 kExtensionAddress + kExtensionHeaderBytes + bytes};
    image.resize(header.end - DataAddressBase, 0);
    const auto headerBytes = encodeExtensionHeader(header);
    std::copy(headerBytes.begin(), headerBytes.end(), image.begin() + (kExtensionAddress - DataAddressBase));
    writer.seek(header.start);
    for (const SourceRecord& record : extension) {
      writer.item(record.code);
      writer.item(record.definition);
    }
    report.extension = header;
  }

  result.stored.resize(image.size() * 2);
  for (std::size_t i = 0; i < image.size(); ++i) {
    const DataPair pair = encodePair(image[i]);
    result.stored[2 * i] = pair[0];
    result.stored[2 * i + 1] = pair[1];
  }
  return result;
}

DumpResult dumpDataFile(const StoredBytes& file) {
  DumpResult result;
  std::int32_t DataPos = positionOfAddress(GlossaryAddress);
  for (int entry = 0; entry < kGlossaryEntries; ++entry) {
    GlossaryEntry item;
    if (DataFileStatus status = readitem1(file, DataPos, item.term); !status.ok()) return {status, {}, {}};
    if (DataFileStatus status = readitem1(file, DataPos, item.definition); !status.ok()) return {status, {}, {}};
    result.sources.glossary.push_back(std::move(item));
  }
  for (const MakeSection& section : distinctSections()) {
    std::vector<SourceRecord> records;
    const bool generic = section.start == kMakeSections[0].start;
    int row = 0;
    const RecordSink keep = [&](const WalkedRecord& record) {
      const bool heading = generic && row++ == 0;
      if (heading || record.code.empty()) return;
      // The loader puts a space before every definition that does not start with a
      // letter; a definition it hands over starts with a space exactly then.
      std::string_view definition = record.definition;
      if (!definition.empty() && definition.front() == ' ') definition.remove_prefix(1);
      records.push_back({std::string(record.code), std::string(definition), {}});
    };
    const SectionWalk walk{section.name, positionOfAddress(section.start), positionOfAddress(section.end),
                           kMaxDefinitionRows};
    if (DataFileStatus status = walkSection(file, walk, keep); !status.ok()) return {status, {}, {}};
    if (generic) {
      GenericExtension extension;
      if (DataFileStatus status = readGenericExtension(file, extension); !status.ok()) return {status, {}, {}};
      result.extension = extension.header;
      for (const ExtensionRecord& record : extension.records) {
        std::string_view definition = record.definition;
        if (!definition.empty() && definition.front() == ' ') definition.remove_prefix(1);
        records.push_back({record.code, std::string(definition), {}});
      }
    }
    if (!records.empty()) result.sources.sections[std::string(section.name)] = std::move(records);
  }
  return result;
}

VerifyReport verifyDataFile(const StoredBytes& file) {
  VerifyReport report;
  std::int32_t DataPos = positionOfAddress(GlossaryAddress);
  std::string ItemText;
  for (int entry = 0; entry < kGlossaryEntries; ++entry) {
    for (int item = 0; item < 2; ++item) {
      if (DataFileStatus status = readitem1(file, DataPos, ItemText); !status.ok()) {
        report.status = status;
        return report;
      }
    }
    ++report.glossaryPairs;
  }
  report.glossaryEnd = DataPos;

  const auto walkOne = [&](const MakeSection& section, int maxRows, SectionCount* count) {
    SectionCount local;
    SectionCount& counted = count != nullptr ? *count : local;
    counted.name = std::string(section.name);
    counted.start = positionOfAddress(section.start);
    const RecordSink tally = [&](const WalkedRecord& record) {
      if (record.code.empty()) return;
      ++counted.codedRows;
      counted.codedBytes += (record.end - record.start) / 2;
    };
    WalkSummary summary;
    const SectionWalk walk{section.name, counted.start, positionOfAddress(section.end), maxRows};
    DataFileStatus status = walkSection(file, walk, tally, &summary);
    counted.rows = summary.rows;
    counted.end = summary.end;
    return status;
  };

  const std::vector<MakeSection> sections = distinctSections();
  SectionCount generic;
  if (report.status = walkOne(sections[0], kMaxDefinitionRows, &generic); !report.status.ok()) return report;
  report.sections.push_back(generic);
  GenericExtension extension;
  if (report.status = readGenericExtension(file, extension); !report.status.ok()) return report;
  report.extensionPresent = extension.present;
  report.extension = extension.header;
  for (const ExtensionRecord& record : extension.records) {
    report.extensionCodedBytes += static_cast<std::int64_t>(record.code.size() + record.definition.size() + 2);
  }
  report.genericRows = generic.rows + static_cast<int>(extension.records.size());
  if (report.genericRows > kMaxDefinitionRows) {
    report.status = DataFileStatus::failure(DataFileCode::TooManyRows, positionOfAddress(extension.header.end));
    return report;
  }
  // Choosing "generic" after start-up loads the generic section again behind its rows.
  if (report.status = walkOne(sections[0], kMaxDefinitionRows - report.genericRows, nullptr); !report.status.ok()) {
    return report;
  }
  for (std::size_t s = 1; s < sections.size(); ++s) {
    SectionCount count;
    if (report.status = walkOne(sections[s], kMaxDefinitionRows - report.genericRows, &count); !report.status.ok()) {
      return report;
    }
    report.sections.push_back(count);
  }
  return report;
}

}  // namespace vx414
