#include "definitions/section_walk.h"

#include <gtest/gtest.h>

#include "definitions/test_support.h"

namespace vx414 {
namespace {

using testing::storedBytes;

struct Row {
  std::string code;
  std::string definition;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.code << " | " << row.definition; }

struct Walked {
  DataFileStatus status;
  std::vector<Row> rows;
  WalkSummary summary;
};

Walked walkData(std::string_view data, std::int32_t makeEnd, int maxRows = 10000) {
  const std::vector<std::uint8_t> stored = storedBytes(data);
  const MemoryBytes file(stored);
  Walked walked;
  walked.status = walkSection(
      file, {"test", 1, makeEnd, maxRows},
      [&](const WalkedRecord& r) { walked.rows.push_back({std::string(r.code), std::string(r.definition)}); },
      &walked.summary);
  return walked;
}

// File position just after `data`, when it starts at position 1.
std::int32_t after(std::string_view data) { return static_cast<std::int32_t>(data.size()) * 2 + 1; }

TEST(SectionWalk, RecordsAsTheLoaderKeepsThem) {
  const std::string section =
      "P0101\nMass air flow\n"
      "P01011\nsix characters\n"   // code cut to five
      "P0102\n1st gear\n"          // a digit first: one space before it
      "P0103\n two\n"              // a space first: a second one
      "P0104\n\n"                  // empty definition stays empty
      "\n\n"                       // empty code item
      "P0105\n\xC9tat\n"           // not an ASCII letter
      "p0106\r\nCR LF\r\n"
      "P0107\rlone CR\t";
  const Walked walked = walkData(section, after(section));
  ASSERT_TRUE(walked.status.ok()) << describe(walked.status);
  const std::vector<Row> expected{
      {"P0101", "Mass air flow"}, {"P0101", "six characters"}, {"P0102", " 1st gear"}, {"P0103", "  two"},
      {"P0104", ""},              {"", ""},                    {"P0105", " \xC9tat"},  {"p0106", "CR LF"},
      {"P0107", "lone CR"},
  };
  EXPECT_EQ(walked.rows, expected);
  EXPECT_EQ(walked.summary.end, after(section));
  EXPECT_EQ(walked.summary.windows, 1);
}

TEST(SectionWalk, StopsAfterTheRecordReachingTheEnd) {
  const std::string first = "A\none\n";
  const std::string second = "B\ntwo\n";
  const std::string data = first + second + "C\nthree\n";
  const struct {
    const char* name;
    std::int32_t makeEnd;
    std::size_t rows;
  } cases[] = {
      {"ends exactly at MakeEnd", after(first), 1},
      {"ends past MakeEnd", after(first) - 2, 1},
      {"ends before MakeEnd", after(first) + 2, 2},
      {"MakeEnd at the start still reads one record", 1, 1},
      {"the second ends exactly at MakeEnd", after(first + second), 2},
  };
  for (const auto& c : cases) {
    const Walked walked = walkData(data, c.makeEnd);
    ASSERT_TRUE(walked.status.ok()) << c.name;
    EXPECT_EQ(walked.rows.size(), c.rows) << c.name;
  }
}

TEST(SectionWalk, DefinitionLimit) {
  const struct {
    std::string definition;
    bool fits;
  } cases[] = {
      {std::string(501, 'a'), true},
      {"1" + std::string(499, 'a'), true},  // 501 with the space
      {"1" + std::string(500, 'a'), false},
      {std::string(502, 'a'), false},
  };
  for (const auto& c : cases) {
    const std::string data = "P0001\n" + c.definition + "\n";
    const Walked walked = walkData(data, after(data));
    if (c.fits) {
      ASSERT_TRUE(walked.status.ok());
      EXPECT_EQ(walked.rows.at(0).definition.size(), 501u);
    } else {
      EXPECT_EQ(walked.status.code, DataFileCode::DefinitionTooLong);
      EXPECT_EQ(walked.status.position, 1);
      EXPECT_EQ(walked.status.section, "test");
      EXPECT_EQ(walked.status.record, 0);
    }
  }
}

// A record of `bytes` data bytes, code "Fnnnn", definition filled with `fill`.
std::string recordOf(std::size_t bytes, int number, std::string_view terminator = "\n") {
  std::string code = "F" + std::to_string(10000 + number).substr(1);
  const std::size_t definition = bytes - code.size() - 1 - terminator.size();
  return code + "\n" + std::string(definition, 'd') + std::string(terminator);
}

TEST(SectionWalk, WindowBoundaries) {
  // 9 records of 500 data bytes bring the window index to exactly 9000: the next record
  // still comes from the same window and may use all of its last 1000 stored bytes.
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += recordOf(500, i);

  const struct {
    const char* name;
    std::string tail;  // from window index 9000 on
    std::size_t rows;
    int windows;
  } cases[] = {
      {"a record filling the window to its last byte", recordOf(500, 9) + recordOf(40, 10), 11, 2},
      {"CR LF whose LF lies past the window", recordOf(501, 9, "\r\n") + recordOf(40, 10), 11, 2},
      {"lone CR in the window's last pair", recordOf(500, 9, "\r") + recordOf(40, 10), 11, 2},
      {"a record ending past index 9000 starts a new window", recordOf(7, 9) + recordOf(500, 10) + recordOf(40, 11),
       12, 2},
  };
  for (const auto& c : cases) {
    const std::string data = nine + c.tail;
    const Walked walked = walkData(data, after(data));
    ASSERT_TRUE(walked.status.ok()) << c.name << ": " << describe(walked.status);
    ASSERT_EQ(walked.rows.size(), c.rows) << c.name;
    EXPECT_EQ(walked.rows.back().code, "F" + std::to_string(10000 + c.rows - 1).substr(1)) << c.name;
    EXPECT_EQ(walked.summary.windows, c.windows) << c.name;
    EXPECT_EQ(walked.summary.end, after(data)) << c.name;
  }
}

TEST(SectionWalk, Failures) {
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += recordOf(500, i);
  const std::int32_t nineEnd = after(nine);
  const std::string three = "A\n1\nB\n2\nC\n3\n";
  const struct {
    const char* name;
    std::string data;
    int maxRows;
    DataFileCode code;
    std::int32_t position;
    int record;
  } cases[] = {
      {"a record one pair too long for its window", nine + recordOf(501, 9) + recordOf(40, 10), 10000,
       DataFileCode::RecordTooLong, nineEnd, 9},
      {"a code running into the zeros past the end of the file", "P0101", 10000, DataFileCode::RecordTooLong, 1,
       0},
      {"more records than rows", three, 2, DataFileCode::TooManyRows, 17, 2},
      {"no rows at all", three, 0, DataFileCode::TooManyRows, 1, 0},
  };
  for (const auto& c : cases) {
    const Walked walked = walkData(c.data, after(c.data) + 100, c.maxRows);
    EXPECT_EQ(walked.status.code, c.code) << c.name;
    EXPECT_EQ(walked.status.position, c.position) << c.name;
    EXPECT_EQ(walked.status.record, c.record) << c.name;
    EXPECT_EQ(walked.rows.size(), static_cast<std::size_t>(c.record)) << c.name;
  }
}

TEST(SectionWalk, BadPairsAreReportedWhereTheyAre) {
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += recordOf(500, i);
  const std::string data = nine + recordOf(501, 9, "\r\n") + recordOf(40, 10);
  const struct {
    const char* name;
    std::size_t pair;  // data byte index to damage
  } cases[] = {
      {"in the first window", 3},
      {"the first pair of a window", 0},
      {"the look-ahead past the window", 5000},
      {"in the second window", 5010},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> stored = storedBytes(data);
    stored[2 * c.pair + 1] ^= 0x10;  // breaks the second check
    const MemoryBytes file(stored);
    const DataFileStatus status = walkSection(file, {"test", 1, after(data), 10000}, [](const WalkedRecord&) {});
    EXPECT_EQ(status.code, DataFileCode::BadPair) << c.name;
    EXPECT_EQ(status.position, static_cast<std::int32_t>(2 * c.pair + 1)) << c.name;
  }
}

}  // namespace
}  // namespace vx414
