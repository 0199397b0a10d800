// vx414-read as a child process against the ELM327 emulator, on a pseudo-terminal and on
// loopback TCP: the read in each format, the clear (service 04) and what follows it.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/elm327-emulator/testing/personalities.h"
#include "tools/elm327-emulator/testing/running_adapter.h"
#include "definitions/test_support.h"
#include "tools/read/testing/child_process.h"

namespace vx414::cli {
namespace {

using testing::ChildOptions;
using testing::ChildResult;

using elmemu::testing::RunningAdapter;

// Where --clear keeps the reads: never the user's own data folder.
const testing::ScratchFolder& dataHome() {
    static const testing::ScratchFolder folder;
    return folder;
}

ChildResult readProgram(const std::vector<std::string>& arguments) {
    ChildOptions options;
    options.environment["VX414_LINK"] = std::nullopt;
    options.environment["XDG_DATA_HOME"] = dataHome().path().string();
    return testing::runChild(testing::buildProgram("vx414-read"), arguments, options);
}

// kind code, a line each, from the JSON's codes.
std::string codesOfJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    std::string out;
    for (const QJsonValue& code : document.object()["codes"].toArray())
        out += code["kind"].toString().toStdString() + " " + code["code"].toString().toStdString() + "\n";
    return out;
}

// kind code, a line each, from the text table's code rows.
std::string codesOfText(const std::string& text) {
    std::string out;
    std::size_t start = text.find("Definition\n");
    if (start == std::string::npos) return out;
    start += std::string("Definition\n").size();
    while (start < text.size() && text.compare(start, 6, "Total:") != 0) {
        const std::size_t end = text.find('\n', start);
        // The columns are as wide as their widest cell: the first two words are kind and code.
        std::istringstream row(text.substr(start, end - start));
        std::string kind, code;
        row >> kind >> code;
        out += kind + " " + code + "\n";
        start = end + 1;
    }
    return out;
}

// kind code, a line each, from the CSV's records after the header.
std::string codesOfCsv(const std::string& text) {
    std::string out;
    std::size_t start = text.find("\r\n");
    while (start != std::string::npos && start + 2 < text.size()) {
        start += 2;
        const std::size_t end = text.find("\r\n", start);
        const std::string record = text.substr(start, end - start);
        // time,make,kind,code,... with no comma or quote in the first four fields.
        std::size_t comma = 0;
        for (int field = 0; field < 2; ++field) comma = record.find(',', comma) + 1;
        const std::size_t afterKind = record.find(',', comma);
        out += record.substr(comma, afterKind - comma) + " " + record.substr(afterKind + 1, 5) + "\n";
        start = end;
    }
    return out;
}

TEST(ReadProgramElm327, ReadsEveryCodeInEachFormatOverATerminalAndOverTcp) {
    // Two control units; codes with a byte 0xBB, which the VX-414 reader's frame could not
    // carry, come through as the adapter sent them.
    // The emulator's car keeps its first stored code as a permanent one (service 0A).
    const std::string expected =
        "Pending P0300\nPending P01BB\nStored C1234\nStored B3BBB\nStored U0100\nPermanent C1234\n";
    for (const bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "tcp" : "pseudo-terminal");
        std::vector<std::string_view> arguments = {"--car", "can11", "--pending", "P0300,P01BB", "--stored",
                                                   "C1234,B3BBB,U0100"};
        if (tcp) arguments.insert(arguments.end(), {"--tcp", "0"});
        RunningAdapter adapter(arguments);
        const std::string link = adapter.link(tcp);

        const ChildResult text = readProgram({"--link", link, "--make", "bmw"});
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(codesOfText(text.out), expected) << text.out;
        EXPECT_NE(text.out.find("Stored     C1234  engine"), std::string::npos) << text.out;
        const ChildResult csv = readProgram({"--link", link, "--format", "csv"});
        ASSERT_EQ(csv.status, 0) << csv.err;
        EXPECT_EQ(codesOfCsv(csv.out), expected) << csv.out;
        // The VIN and the source close every row, as the heading's last columns.
        EXPECT_EQ(csv.out.find("definition,unit,vin,source\r\n"),
                  csv.out.find("\r\n") - std::string("definition,unit,vin,source").size())
            << csv.out;
        EXPECT_NE(csv.out.find(",engine,1FAHP3F27CL123456,emulator\r\n"), std::string::npos) << csv.out;
        const ChildResult json = readProgram({"--link", link, "--format", "json"});
        ASSERT_EQ(json.status, 0) << json.err;
        EXPECT_EQ(codesOfJson(json.out), expected) << json.out;
        // The vehicle's part, which the adapter's worker reads after handing the codes over.
        EXPECT_NE(json.out.find("\"vin\": \"1FAHP3F27CL123456\""), std::string::npos) << json.out;

        // Each read asked for the pending codes, then the stored ones.
        const std::string received = adapter.received();
        std::size_t reads = 0;
        for (std::size_t at = received.find("07\r"); at != std::string::npos; at = received.find("07\r", at + 1)) ++reads;
        EXPECT_EQ(reads, 3u) << received;
    }
}

TEST(ReadProgramElm327, ClearingSendsService04AndTheCarConfirmsIt) {
    for (const bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "tcp" : "pseudo-terminal");
        std::vector<std::string_view> arguments = {"--car", "can11", "--pending", "P0171", "--stored", "P0420",
                                                   "--engine-off"};
        if (tcp) arguments.insert(arguments.end(), {"--tcp", "0"});
        RunningAdapter adapter(arguments);
        const std::string link = adapter.link(tcp);

        // No terminal to ask on and no --yes: refused before anything is sent.
        const ChildResult asked = readProgram({"--clear", "--link", link});
        EXPECT_EQ(asked.status, 2);
        EXPECT_EQ(asked.out, "");
        EXPECT_EQ(adapter.received(), "");

        const std::filesystem::path kept = dataHome().path() / "vx414" / "cleared";
        std::filesystem::remove_all(kept);
        const ChildResult cleared = readProgram({"--clear", "--yes", "--link", link});
        EXPECT_EQ(cleared.status, 0) << cleared.err;
        EXPECT_EQ(cleared.out, "The car confirmed: its trouble codes are cleared.\nConfirmed by unit 7E8, unit 7E9.\n");
        EXPECT_TRUE(cleared.err.starts_with(
            "DEMO: read from an emulator, not from a car.\n"
            "The car holds 3 codes: P0171 (Pending), P0420 (Stored), P0420 (Permanent).\n"
            "Clearing erases the car's trouble codes, its check-engine light, its freeze frame and its readiness "
            "monitors.\n"
            "Its permanent codes stay (a clear never erases them): P0420.\n"
            "The engine is off (0 rpm). Keep the ignition on.\n"
            "The read is kept in " + (kept / "vx414-cleared-").string())) << cleared.err;
        // The codes were read (07, 03) and kept before 04 went out.
        const std::string sent = adapter.received();
        EXPECT_LT(sent.find("03\r"), sent.find("04\r")) << sent;
        const std::size_t keptFiles = static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(kept), std::filesystem::directory_iterator()));
        EXPECT_EQ(keptFiles, 1U);
        EXPECT_NE(adapter.received().find("04\r"), std::string::npos) << adapter.received();

        const ChildResult after = readProgram({"--link", link});
        EXPECT_EQ(after.status, 0) << after.err;
        // Pending and stored codes are gone; a permanent code stays until the car itself
        // finds the fault mended.
        EXPECT_NE(after.out.find("\nPermanent  P0420  engine"), std::string::npos) << after.out;
        EXPECT_NE(after.out.find("\nTotal: 1\n"), std::string::npos) << after.out;
        EXPECT_EQ(after.out.find("Stored "), std::string::npos) << after.out;

        // The read kept before the clear can be had again, listed and whole.
        const ChildResult list = readProgram({"--previous"});
        EXPECT_EQ(list.status, 0) << list.err;
        EXPECT_TRUE(list.out.starts_with("  1  ")) << list.out;
        EXPECT_NE(list.out.find("  1FAHP3F27CL123456  P0171 (Pending), P0420 (Stored), P0420 (Permanent)  (demo)\n"),
                  std::string::npos) << list.out;
        const ChildResult again = readProgram({"--previous", "1", "--format", "csv"});
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(codesOfCsv(again.out), "Pending P0171\nStored P0420\nPermanent P0420\n") << again.out;
    }

    // The emulated engine runs: --yes alone sends no 04, its own flag does. The transmission
    // unit refuses 04: cleared all the same, and the refusal is named.
    RunningAdapter adapter({"--car", "can11", "--stored", "P0420", "--quirk", "unit-refuses"});
    const ChildResult refused = readProgram({"--clear", "--yes", "--link", adapter.link(false)});
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("The engine is running ("), std::string::npos) << refused.err;
    EXPECT_TRUE(refused.err.ends_with("nothing cleared while the engine runs; turn it off, or give --engine-running "
                                      "to clear all the same\n"))
        << refused.err;
    EXPECT_EQ(adapter.received().find("04\r"), std::string::npos) << adapter.received();
    const ChildResult cleared = readProgram({"--clear", "--yes", "--engine-running", "--link", adapter.link(false)});
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(cleared.out, "The car confirmed: its trouble codes are cleared.\nConfirmed by unit 7E8.\n"
                           "Refused by unit 7E9: its codes remain.\n");
}

TEST(ReadProgramElm327, AnAdapterWithoutACarFailsTheReadAndTheClear) {
    RunningAdapter adapter({"--car", "nocar", "--search-ms", "100"});
    const ChildResult read = readProgram({"--link", adapter.link(false)});
    EXPECT_EQ(read.status, 1);
    EXPECT_EQ(read.out, "");
    EXPECT_TRUE(read.err.starts_with("vx414-read: no report from the adapter through " + adapter.link(false)))
        << read.err;
    EXPECT_EQ(std::count(read.err.begin(), read.err.end(), '\n'), 1);

    const ChildResult clear = readProgram({"--clear", "--yes", "--link", adapter.link(false)});
    EXPECT_EQ(clear.status, 1);
    EXPECT_EQ(clear.out, "");
    EXPECT_TRUE(clear.err.ends_with("vx414-read: nothing cleared: the codes are read and kept before a clear\n"))
        << clear.err;
}

}  // namespace
}  // namespace vx414::cli

namespace vx414::cli {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line cut short is not counted
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// What the report's JSON says of one item: "not read (REASON)" when it names it so.
std::string itemOfJson(const QJsonObject& report, const char* item, const std::string& read) {
    const QJsonValue reason = report["not_read_reasons"].toObject()[item];
    return reason.isString() ? "not read (" + reason.toString().toStdString() + ")" : read;
}

// Each adapter personality through the command line, as the ELM327 library's own table
// checks it: the JSON says what was read, or names what was not.
TEST(ReadProgramElm327, EachAdapterPersonalityInJson) {
    for (const elmemu::testing::Personality& row : elmemu::testing::personalities()) {
        SCOPED_TRACE(row.what);
        std::vector<std::string_view> arguments = elmemu::testing::personalityCar();
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        RunningAdapter adapter(arguments);
        const ChildResult json = readProgram({"--link", adapter.link(false), "--format", "json"});
        ASSERT_EQ(json.status, 0) << json.err;
        const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
        // The pending codes in the order their units answered.
        const std::string codes = codesOfJson(json.out);
        EXPECT_TRUE(codes == "Pending P0300\nPending P0171\nStored P0420\nPermanent P0420\n" ||
                    codes == "Pending P0171\nPending P0300\nStored P0420\nPermanent P0420\n")
            << json.out;
        const QJsonValue mil = report["mil"];
        EXPECT_EQ(itemOfJson(report, "readiness", mil.isBool() ? (mil.toBool() ? "on" : "off") : "none"), row.mil);
        const QJsonObject frame = report["freeze_frame"].toObject();
        const std::string frameText = frame.isEmpty() ? "none"
                                                      : frame["code"].toString().toStdString() + " with " +
                                                            std::to_string(frame["values"].toArray().size()) + " values";
        EXPECT_EQ(itemOfJson(report, "freeze_frame", frameText), row.frame);
        EXPECT_EQ(itemOfJson(report, "vin", report["vin"].isString() ? "read" : "none"), row.vin);
    }
}

TEST(ReadProgramElm327, LiveLinesUntilTheDurationEndsOrTheAdapterGoes) {
    // Until the duration ends: a heading, then whole rows; a PID the car lacks is said.
    {
        RunningAdapter adapter({"--car", "can11"});
        const ChildResult run = readProgram(
            {"--link", adapter.link(false), "--live", "0C,0A,05", "--interval", "100", "--duration", "2"});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = linesOf(run.out);
        ASSERT_GE(lines.size(), 10U) << run.out;
        // The emulator's values are marked, a column of their own.
        EXPECT_EQ(lines[0], "time (s),Engine speed (rpm),Coolant temperature (°C),source");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 3);
            EXPECT_TRUE(lines[i].ends_with(",emulator")) << lines[i];
        }
        EXPECT_NE(run.err.find("the car does not support PID 0A (Fuel pressure); it is left out"), std::string::npos)
            << run.err;
    }
    // JSON lines in US units.
    {
        RunningAdapter adapter({"--car", "can29", "--tcp", "0"});
        const ChildResult run = readProgram({"--link", adapter.link(true), "--live", "05", "--format", "json",
                                             "--units", "us", "--interval", "200", "--duration", "1"});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = linesOf(run.out);
        ASSERT_FALSE(lines.empty());
        for (const std::string& line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const QJsonObject coolant = object["values"].toObject()["Coolant temperature"].toObject();
            EXPECT_EQ(coolant["unit"].toString(), QStringLiteral("°F")) << line;
            EXPECT_GE(coolant["value"].toDouble(), 60) << line;  // a cold engine, about 68 °F
            EXPECT_EQ(object["source"].toString(), QStringLiteral("emulator")) << line;  // over TCP too
        }
    }
    // The adapter goes mid-run: what was written stays, whole, and the cause is said.
    {
        auto adapter = std::make_unique<RunningAdapter>(std::vector<std::string_view>{"--car", "can11"});
        const std::string link = adapter->link(false);
        std::thread unplug([&adapter] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            adapter.reset();
        });
        const ChildResult run = readProgram({"--link", link, "--live", "0C", "--interval", "100"});
        unplug.join();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_GE(linesOf(run.out).size(), 5U) << run.out;
        EXPECT_EQ(run.out.back(), '\n');
        EXPECT_NE(run.err.find("ended after"), std::string::npos) << run.err;
    }
    // The VX-414 reader gives no live data.
    const ChildResult reader = readProgram({"--link", "/dev/null", "--live", "0C"});
    EXPECT_EQ(reader.status, 2);
    EXPECT_NE(reader.err.find("holds codes only; --live needs an ELM327 adapter"), std::string::npos) << reader.err;
}

}  // namespace
}  // namespace vx414::cli
