// vx414-read as a child process: against the reader emulator on a pseudo-terminal, the
// shipped data file and small ones; each format read back, every exit status.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "definitions/codepage.h"
#include "definitions/test_support.h"
#include "tools/read/testing/child_process.h"
#include "tools/reader-emulator/reader_emulator.h"
#include "tools/reader-emulator/testing/running_emulator.h"

namespace vx414::cli {
namespace {

using testing::ChildOptions;
using testing::ChildResult;

using emulator::RunningEmulator;

// No link in the environment unless a test names one.
ChildResult readProgram(const std::vector<std::string>& arguments, ChildOptions options = {}) {
    options.environment.try_emplace("VX414_LINK", std::nullopt);
    return testing::runChild(testing::buildProgram("vx414-read"), arguments, options);
}

struct Row {
    std::string kind, code, definition;
    bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.kind << " | " << row.code << " | " << row.definition;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

// The text table from the reader emulator: the demo's mark, two heading lines, the column
// heads, a row a code in fixed columns, the total.
std::vector<Row> rowsOfText(const std::string& text, std::string& make) {
    const std::vector<std::string> all = lines(text);
    std::vector<Row> rows;
    EXPECT_GE(all.size(), 5u) << text;
    if (all.size() < 5) return rows;
    EXPECT_EQ(all[0], "DEMO: read from an emulator, not from a car");
    make = all[1].substr(std::string("Make: ").size());
    EXPECT_TRUE(all[2].starts_with("Read: ")) << all[2];
    EXPECT_EQ(all[3], "TYPE     Code   Definition");
    for (std::size_t i = 4; i + 1 < all.size(); ++i) {
        const std::string& line = all[i];
        EXPECT_GE(line.size(), 16u) << line;
        std::string kind = line.substr(0, 7);
        kind.erase(kind.find_last_not_of(' ') + 1);
        const std::string definition = line.substr(16);
        rows.push_back({kind, line.substr(9, 5), definition == "(no definition)" ? "" : definition});
    }
    EXPECT_EQ(all.back(), "Total: " + std::to_string(rows.size()));
    return rows;
}

// RFC 4180: quoted fields with doubled quotes inside, every record ended by CRLF.
std::vector<std::vector<std::string>> recordsOfCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && record.empty() && !quoted) << "the CSV does not end with a whole record";
    return records;
}

QJsonObject jsonOf(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return document.object();
}

TEST(ReadProgram, EachFormatReadsBackToTheCodesTheReaderSent) {
    RunningEmulator reader({"--pending", "P0300", "P0171", "--stored", "C1234", "U0100", "P3FFF"});
    ASSERT_FALSE(reader.path().empty());
    const std::vector<std::string> link = {"--link", reader.path(), "--make", "Audi"};

    const ChildResult text = readProgram({link[0], link[1], link[2], link[3]});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");  // standard error is no terminal: no status line
    std::string make;
    const std::vector<Row> rows = rowsOfText(text.out, make);
    EXPECT_EQ(make, "audi");
    ASSERT_EQ(rows.size(), 5u);
    const char* kinds[] = {"Pending", "Pending", "Stored", "Stored", "Stored"};
    const char* codes[] = {"P0300", "P0171", "C1234", "U0100", "P3FFF"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].kind, kinds[i]);
        EXPECT_EQ(rows[i].code, codes[i]);
    }
    EXPECT_EQ(rows[0].definition, "Random/Multiple Cylinder Misfire Detected");
    EXPECT_EQ(rows[4].definition, "");  // not in the file

    std::vector<std::string> csvArguments = link;
    csvArguments.insert(csvArguments.end(), {"--format", "csv"});
    const ChildResult csv = readProgram(csvArguments);
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto records = recordsOfCsv(csv.out);
    ASSERT_EQ(records.size(), rows.size() + 1);
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"time", "make", "kind", "code", "definition", "unit", "vin", "source"}));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(records[i + 1].size(), 8u);
        EXPECT_EQ(records[i + 1][5], "");  // the VX-414 reader names no unit
        EXPECT_EQ(records[i + 1][6], "");  // nor the VIN
        EXPECT_EQ(records[i + 1][7], "emulator");
        EXPECT_EQ(records[i + 1][1], "audi");
        EXPECT_EQ((Row{records[i + 1][2], records[i + 1][3], records[i + 1][4]}), rows[i]);
    }

    std::vector<std::string> jsonArguments = link;
    jsonArguments.insert(jsonArguments.end(), {"--format=json"});
    const ChildResult json = readProgram(jsonArguments);
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject object = jsonOf(json.out);
    EXPECT_EQ(object["make"].toString().toStdString(), "audi");
    EXPECT_EQ(object["source"].toString().toStdString(), "emulator");
    EXPECT_EQ(object["total"].toInt(), 5);
    const QJsonArray array = object["codes"].toArray();
    ASSERT_EQ(array.size(), 5);
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonObject code = array[i].toObject();
        EXPECT_EQ((Row{code["kind"].toString().toStdString(), code["code"].toString().toStdString(),
                       code["definition"].toString().toStdString()}),
                  rows[static_cast<std::size_t>(i)]);
    }
    // The time is the same moment in every format, ISO 8601 with its offset in two of them.
    EXPECT_EQ(object["time"].toString().size(), 25) << object["time"].toString().toStdString();
    EXPECT_EQ(records[1][0].size(), 25u) << records[1][0];

    // Three reads, each the request and the end byte.
    const std::vector<std::uint8_t> exchange = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    EXPECT_EQ(reader.received(exchange.size()), exchange);
}

TEST(ReadProgram, ALogAppendedReadByReadHasOneHeaderAndARowForACleanCar) {
    RunningEmulator faulty({"--pending", "P0300", "--stored", "P0420"});
    RunningEmulator clean({"--pending", "--stored"});
    const struct {
        const RunningEmulator& reader;
        bool header;
    } reads[] = {{faulty, true}, {clean, false}, {faulty, false}};
    std::string log;
    for (const auto& read : reads) {
        std::vector<std::string> arguments = {"--link", read.reader.path(), "--format", "csv"};
        if (!read.header) arguments.push_back("--no-header");
        const ChildResult result = readProgram(arguments);
        ASSERT_EQ(result.status, 0) << result.err;
        log += result.out;
    }
    const auto records = recordsOfCsv(log);
    ASSERT_EQ(records.size(), 6u) << log;
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"time", "make", "kind", "code", "definition", "unit", "vin", "source"}));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Pending", "P0300"}, {"Stored", "P0420"}, {"None", ""}, {"Pending", "P0300"}, {"Stored", "P0420"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(records[i + 1].size(), 8u) << i;
        EXPECT_EQ(records[i + 1][7], "emulator") << i;  // the clean car's row too
        EXPECT_EQ(records[i + 1][0].size(), 25u) << records[i + 1][0];
        EXPECT_EQ(records[i + 1][1], "generic");
        EXPECT_EQ(std::make_pair(records[i + 1][2], records[i + 1][3]), expected[i]) << i;
    }
    EXPECT_EQ(records[3][4], "");
}

TEST(ReadProgram, EveryExitStatusComesWithOneLineOnStandardErrorAndNothingOnStandardOutput) {
    testing::ScratchFolder scratch;
    const std::string empty = (scratch.path() / "empty.dis").string();
    std::ofstream{empty};
    RunningEmulator damaged({"--fault", "bad-checksum", "--pending", "P0300"});
    RunningEmulator good({"--stored", "P0420"});
    const std::string missing = (scratch.path() / "ttyUSB9").string();
    // The shipped file cut off in the middle of its definitions, before the last make's.
    const std::string cutShort = (scratch.path() / "cut.dis").string();
    std::filesystem::copy_file(std::filesystem::path(testing::buildProgram("vx414-read")).parent_path() / "VX-414.dis",
                               cutShort);
    std::filesystem::resize_file(cutShort, std::filesystem::file_size(cutShort) / 3);

    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> linkVariable;
        int status;
        std::string err;  // the beginning of the one line
    };
    const Case cases[] = {
        {{"--link", good.path()}, std::nullopt, 0, ""},
        {{}, good.path(), 0, ""},
        {{"--lookup", "P0420"}, "bogus:x", 0, ""},  // no link is looked at
        {{"--link", damaged.path()}, std::nullopt, 1, "vx414-read: no report from the reader through " + damaged.path()},
        {{"--link", missing}, std::nullopt, 1, "vx414-read: no reader at " + missing},
        {{"--lookup", "P3FFF"}, std::nullopt, 1, "vx414-read: No definition: no code begins with P3FFF (generic)"},
        {{"--glossary", "zzzz"}, std::nullopt, 1, "vx414-read: no glossary term begins with \"zzzz\""},
        {{"--make", "tesla"}, std::nullopt, 2, "vx414-read: unknown make \"tesla\" (see --help)"},
        {{"--bogus"}, std::nullopt, 2, "vx414-read: unknown option --bogus (see --help)"},
        {{"--lookup", "P9"}, std::nullopt, 2, "vx414-read: \"P9\" is not a trouble code"},
        {{"--link", "bogus:x"}, std::nullopt, 2, "vx414-read: --link: unknown link scheme"},
        {{}, "bogus:x", 2, "vx414-read: VX414_LINK: unknown link scheme"},
        {{"--link", "elm327://127.0.0.1:99999"}, std::nullopt, 2, "vx414-read: --link: "},
        {{"--clear", "--yes", "--link", good.path()}, std::nullopt, 2, "vx414-read: the VX-414 reader at " + good.path()},
        {{"--clear", "--link", "elm327:/dev/null"}, std::nullopt, 2, "vx414-read: --clear asks before it clears"},
        {{"--data", (scratch.path() / "none.dis").string()}, std::nullopt, 3,
         "vx414-read: File not found : " + (scratch.path() / "none.dis").string()},
        {{"--lookup", "P0", "--data", empty}, std::nullopt, 3, "vx414-read: Cannot identify data file : " + empty},
        {{"--lookup", "P0", "--make", "volvo", "--data", cutShort}, std::nullopt, 3,
         "vx414-read: Cannot identify data file : " + cutShort + " (record 0 of section \"volvo\""},
        {{"--link", good.path(), "--"}, std::nullopt, 0, ""},
        {{"--link", good.path(), "--", "--make"}, std::nullopt, 2, "vx414-read: unexpected argument \"--make\""},
        {{"--lookup", "P0420", "--lookup", "P0300"}, std::nullopt, 2, "vx414-read: --lookup given twice"},
        {{"--glossary", "O2", "--glossary=ABS"}, std::nullopt, 2, "vx414-read: --glossary given twice"},
        {{"--no-header"}, std::nullopt, 2, "vx414-read: --no-header goes with --format csv"},
        {{"--lookup", "P0", "--format", "csv"}, std::nullopt, 2, "vx414-read: --format csv does not go with --lookup"},
    };
    for (const Case& c : cases) {
        ChildOptions options;
        options.environment["VX414_LINK"] = c.linkVariable;
        const ChildResult result = readProgram(c.arguments, options);
        SCOPED_TRACE(c.err);
        EXPECT_EQ(result.status, c.status) << result.err;
        if (c.status == 0) {
            EXPECT_FALSE(result.out.empty());
            EXPECT_EQ(result.err, "");
            continue;
        }
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with(c.err)) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    // The clear refused on the reader never reached it; the reads did.
    EXPECT_EQ(good.received(6), (std::vector<std::uint8_t>{0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}));
    EXPECT_EQ(damaged.received(2), (std::vector<std::uint8_t>{0x55, 0xAA}));
}

// The glossary as the sources give it: data/glossary.tsv, term TAB explanation a line.
std::vector<std::pair<std::string, std::string>> glossarySource() {
    const char* source = std::getenv("VX414_SOURCE_DIR");
    std::ifstream file(std::string(source != nullptr ? source : ".") + "/data/glossary.tsv");
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::string line; std::getline(file, line);) {
        const std::size_t tab = line.find('\t');
        entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return entries;
}

TEST(ReadProgram, LooksUpAndShowsTheGlossaryOfTheShippedFile) {
    const ChildResult lookup = readProgram({"--lookup", "p030"});
    ASSERT_EQ(lookup.status, 0) << lookup.err;
    EXPECT_EQ(lookup.out,
              "Found  P0300  Random/Multiple Cylinder Misfire Detected\n"
              "Next   P0301  Cylinder 1 Misfire Detected\n");
    // The same answer for other programs; the last code has no entry after it.
    const struct {
        std::string code, found, next;
    } lookups[] = {{"p030", "P0300", "P0301"}, {"U3576", "U3576", ""}};
    for (const auto& l : lookups) {
        const ChildResult json = readProgram({"--lookup", l.code, "--format", "json"});
        ASSERT_EQ(json.status, 0) << json.err;
        const QJsonObject answer = jsonOf(json.out);
        EXPECT_EQ(answer["make"].toString().toStdString(), "generic");
        EXPECT_EQ(answer["found"].toObject()["code"].toString().toStdString(), l.found);
        EXPECT_FALSE(answer["found"].toObject()["definition"].toString().isEmpty()) << json.out;
        if (l.next.empty())
            EXPECT_TRUE(answer["next"].isNull()) << json.out;
        else
            EXPECT_EQ(answer["next"].toObject()["code"].toString().toStdString(), l.next) << json.out;
    }

    const auto source = glossarySource();
    ASSERT_EQ(source.size(), 832u);
    const ChildResult json = readProgram({"--glossary", "", "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonArray entries = jsonOf(json.out)["entries"].toArray();
    ASSERT_EQ(entries.size(), 832);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const auto& [term, explanation] = source[static_cast<std::size_t>(i)];
        EXPECT_EQ(entries[i].toObject()["term"].toString().toStdString(), term);
        EXPECT_EQ(entries[i].toObject()["definition"].toString().toStdString(), explanation);
    }

    // The terms that begin with "abs", in either case, in the order of the sources.
    std::vector<std::string> expected;
    for (const auto& [term, explanation] : source)
        if (startsWithIgnoringCase(term, "abs")) expected.push_back(term);
    ASSERT_FALSE(expected.empty());
    const ChildResult csv = readProgram({"--glossary", "aBs", "--format", "csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto records = recordsOfCsv(csv.out);
    ASSERT_EQ(records.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(records[i + 1][0], expected[i]);
    const ChildResult text = readProgram({"--glossary", "ABS"});
    ASSERT_EQ(text.status, 0) << text.err;
    const std::vector<std::string> shown = lines(text.out);
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_TRUE(shown[i].starts_with(expected[i] + "  ")) << shown[i];
}

TEST(ReadProgram, FindsTheDataFileBesideItselfThroughALinkToIt) {
    testing::ScratchFolder scratch;
    const std::filesystem::path link = scratch.path() / "vx414-read";
    std::filesystem::create_symlink(testing::buildProgram("vx414-read"), link);
    ChildOptions options;
    options.environment["VX414_LINK"] = std::nullopt;
    const ChildResult result = testing::runChild(link.string(), {"--lookup", "U0100"}, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("Found  U0100  ")) << result.out;

    // A copy of the program without the file beside it does not find one.
    const std::filesystem::path copy = scratch.path() / "copy";
    std::filesystem::copy_file(testing::buildProgram("vx414-read"), copy);
    const ChildResult alone = testing::runChild(copy.string(), {"--lookup", "U0100"}, options);
    EXPECT_EQ(alone.status, 3);
    EXPECT_EQ(alone.err, "vx414-read: File not found : " + (scratch.path() / "VX-414.dis").string() + "\n");
}

}  // namespace
}  // namespace vx414::cli
