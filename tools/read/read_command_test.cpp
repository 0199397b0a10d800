// vx414-read's commands run in-process: the data file and its failures, the read through a
// scripted device library, the look-up and the glossary, and the clear's questions.
#include "tools/read/read_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "definitions/definitions_table.h"
#include "definitions/make_sections.h"
#include "definitions/test_support.h"
#include "report/cleared_read.h"
#include "reader/elm327/elm327_failure_cause.h"
#include "reader/testing/recording_device_library.h"
#include "reader/report_encoder.h"
#include "reader/report_receiver.h"
#include "tools/read/testing/child_process.h"

namespace vx414::cli {
namespace {

using testing::ScratchFolder;

// Forwards to a recording library the test keeps, so its calls can be read afterwards.
class Forwarding final : public DeviceLibrary {
public:
    explicit Forwarding(DeviceLibrary& to) : to_(to) {}
    void DeviceOpen() override { to_.DeviceOpen(); }
    void DeviceClose() override { to_.DeviceClose(); }
    LinkByte DeviceReadByte() override { return to_.DeviceReadByte(); }
    void DeviceWriteByte(std::uint8_t byte) override { to_.DeviceWriteByte(byte); }
    std::optional<LinkReport> DeviceReadReport() override { return to_.DeviceReadReport(); }
    ReportState DeviceReportState() const override { return to_.DeviceReportState(); }
    std::string DeviceFailureCause(const LinkStatus& status) const override { return to_.DeviceFailureCause(status); }

private:
    DeviceLibrary& to_;
};

// A link that hands over a whole report, as the ELM327 back-end does: gathered for `takes`
// after the request, and waited for by DeviceReadReport.
class WholeReportLink final : public DeviceLibrary {
public:
    void DeviceOpen() override {}
    void DeviceClose() override {}
    LinkByte DeviceReadByte() override { return std::nullopt; }
    void DeviceWriteByte(std::uint8_t byte) override {
        written.push_back(byte);
        if (byte == RequestByte) readyAt = std::chrono::steady_clock::now() + takes;
        asked = byte == RequestByte;
    }
    std::optional<LinkReport> DeviceReadReport() override {
        std::this_thread::sleep_until(readyAt);
        asked = false;
        return report;
    }
    ReportState DeviceReportState() const override {
        if (!asked) return ReportState::None;
        return std::chrono::steady_clock::now() >= readyAt ? ReportState::Ready : ReportState::Gathering;
    }
    std::string DeviceFailureCause(const LinkStatus& status) const override {
        return std::string(adapterFailureCause(status));
    }
    LinkReport report;
    std::chrono::milliseconds takes{0};
    std::chrono::steady_clock::time_point readyAt;
    bool asked = false;
    std::vector<std::uint8_t> written;
};

TroubleCode code(std::string_view text) {
    const auto bytes = encodeTroubleCode(text);
    return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

// A small data file built from plain sources by vx414-dis, as the shipped one is.
void buildSmallFile(const std::filesystem::path& folder, const std::filesystem::path& file) {
    std::string glossary;
    for (int i = 1; i <= kGlossaryEntries; ++i) {
        if (i == 11) glossary += "ABS\tAnti-lock brake system\n";
        else if (i == 12) glossary += "abs light\tWarning lamp \u2013 ABS\n";  // an en dash
        else glossary += "T" + std::to_string(i) + "\tTerm\n";
    }
    const std::filesystem::path sources = folder / "sources";
    std::filesystem::create_directories(sources);
    std::ofstream(folder / "glossary.tsv") << glossary;
    std::ofstream(sources / "generic.tsv") << "P0300\tRandom misfire\nP0301\tCylinder 1 misfire\n"
                                              "C1234\tWheel speed sensor\nU0100\tLost communication with ECM\n";
    std::ofstream(sources / "audi.tsv") << "P0300\tAudi: misfire, see the ignition coils\nP1136\tFuel trim lean\n";
    const testing::ChildResult built =
        testing::runChild(testing::buildProgram("vx414-dis"), {"build", "-o", file.string(), "--glossary",
                                                              (folder / "glossary.tsv").string(), "--sections",
                                                              sources.string()});
    ASSERT_EQ(built.status, 0) << built.err;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class ReadCommand : public ::testing::Test {
protected:
    ReadCommand() {
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        buildSmallFile(folder.path(), folder.path() / "VX-414.dis");
        std::ifstream file(folder.path() / "VX-414.dis", std::ios::binary);
        stored.assign(std::istreambuf_iterator<char>(file), {});
        // A file standing for the reader's tty: present and open to us.
        write(folder.path() / "tty", {});
    }

    static void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    const std::string& tty() const { return ttyPath; }

    Outcome run(std::vector<std::string_view> arguments) {
        const ParsedReadArguments parsed = parseReadArguments(arguments);
        EXPECT_TRUE(parsed.arguments) << parsed.error;
        std::ostringstream out, err;
        CommandEnvironment environment(out, err, folder.path().string());
        environment.errIsTerminal = errIsTerminal;
        environment.inIsTerminal = inIsTerminal;
        environment.linkVariable = linkVariable;
        environment.linkChoiceFolder = linkChoiceFolder;
        environment.readAnswer = [this] { return answer; };
        environment.now = [] { return std::chrono::system_clock::from_time_t(1796646896); };  // 2026-12-07 12:34:56
        environment.readDelay = readDelay;
        environment.links.parse = [](std::string_view text) -> LinkNameParse {
            if (text == "bad:") return {std::nullopt, "unknown scheme \"bad\""};
            if (text.starts_with("elm327:"))
                return {LinkName{LinkName::Kind::Elm327Tty, std::string(text.substr(7)), 0, {}, 0}, {}};
            return {LinkName{LinkName::Kind::ReaderTty, std::string(text), 0, {}, 0}, {}};
        };
        environment.links.open = [this](const std::optional<LinkName>& named) -> std::unique_ptr<DeviceLibrary> {
            opened.push_back(named ? named->path : "(searched)");
            return std::make_unique<Forwarding>(*device);
        };
        environment.links.canClear = [this](DeviceLibrary&) { return canClear; };
        environment.links.clearCodes = [this](DeviceLibrary&) {
            ++clears;
            if (onClear) onClear();
            return clearAnswer;
        };
        environment.links.engineSpeed = [this](DeviceLibrary&) { return engine; };
        environment.clearedFolder = clearedFolder;
        Outcome result;
        result.status = runReadCommand(*parsed.arguments, environment);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    ScratchFolder folder;
    const std::string ttyPath = (folder.path() / "tty").string();
    std::vector<std::uint8_t> stored;
    RecordingDeviceLibrary reader;
    DeviceLibrary* device = &reader;
    std::vector<std::string> opened;
    std::chrono::milliseconds readDelay{0};
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    std::optional<std::string> linkVariable;
    std::string linkChoiceFolder;
    std::optional<std::string> answer;
    bool canClear = true;
    int clears = 0;
    ClearResult clearAnswer{LinkStatus::ok(), {"7E8"}, {}};
    std::function<void()> onClear;
    EngineSpeed engine{0.0, ""};  // what the car says before a clear
    std::string clearedFolder;
};

void answerRequest(RecordingDeviceLibrary& reader, const ReportContent& content) {
    reader.onWrite = [&reader, content](std::uint8_t byte) {
        if (byte == RequestByte) reader.queueBytes(encodeReport(content));
    };
}

ReportContent sampleReport() {
    ReportContent content;
    content.first = {true, {{0x03, 0x00}}};                          // P0300
    content.second = {false, {{0x52, 0x34}, {0xC0, 0x00}, {0x2B, 0xFF}}};  // C1234 U0000 P2BFF
    return content;
}

TEST_F(ReadCommand, AReadPrintsEachCodeWithItsKindAndTheDefinitionTheWindowShows) {
    answerRequest(reader, sampleReport());
    const Outcome generic = run({"--link", tty()});
    EXPECT_EQ(generic.status, ExitOk) << generic.err;
    EXPECT_EQ(generic.out,
              "Make: generic\n"
              "Read: 2026-12-07 12:34:56 UTC+00:00\n"
              "TYPE     Code   Definition\n"
              "Pending  P0300  Random misfire\n"
              "Stored   C1234  Wheel speed sensor\n"
              "Stored   U0000  (no definition)\n"
              "Stored   P2BFF  (no definition)\n"
              "Total: 4\n");
    EXPECT_EQ(generic.err, "");
    // The window's calls, in its order.
    EXPECT_EQ(reader.callText(), "Open Close Open Write(55) Read Write(AA) Close");
    EXPECT_EQ(opened, (std::vector<std::string>{tty()}));

    reader.clearLog();
    const Outcome audi = run({"--link", tty(), "--make", "AUDI"});
    EXPECT_EQ(audi.status, ExitOk);
    EXPECT_NE(audi.out.find("Make: audi\n"), std::string::npos);
    EXPECT_NE(audi.out.find("Pending  P0300  Audi: misfire, see the ignition coils\n"), std::string::npos);
    EXPECT_NE(audi.out.find("Stored   C1234  Wheel speed sensor\n"), std::string::npos);

    ReportContent none;
    none.first.codes.clear();
    none.second.codes.clear();
    answerRequest(reader, none);
    const Outcome empty = run({"--link", tty()});
    EXPECT_EQ(empty.status, ExitOk);
    EXPECT_EQ(empty.out, "Make: generic\nRead: 2026-12-07 12:34:56 UTC+00:00\nNo codes.\nTotal: 0\n");
}

TEST_F(ReadCommand, AFailedReadTakesTheFailurePathAndSaysSoOnStandardError) {
    // A reader that never answers: the lead-in's bound runs out.
    const Outcome silent = run({"--link", tty()});
    EXPECT_EQ(silent.status, ExitFailed);
    EXPECT_EQ(silent.out, "");
    EXPECT_EQ(silent.err, "vx414-read: no report from the reader through " + tty() +
                              " (timeout at index 0: no start marker); check the cable and that the reader is "
                              "connected to the car, then try again\n");
    EXPECT_EQ(reader.callText(), "Open Close Open Write(55) Read Open Close Write(AA, closed)");

    // A checksum one off.
    reader.clearLog();
    reader.onWrite = [this](std::uint8_t byte) {
        if (byte != RequestByte) return;
        std::vector<std::uint8_t> wire = encodeReport(sampleReport());
        wire[6] = static_cast<std::uint8_t>(wire[6] + 1);  // AA BB 83 BB 03 BB 00 BB 86: the checksum
        reader.queueBytes(wire);
    };
    const Outcome damaged = run({"--link", tty()});
    EXPECT_EQ(damaged.status, ExitFailed);
    EXPECT_EQ(damaged.out, "");
    EXPECT_NE(damaged.err.find("protocol error"), std::string::npos) << damaged.err;
}

TEST_F(ReadCommand, ALinkGivingAWholeReportComesThroughWithNothingLost) {
    WholeReportLink whole;
    whole.report = {LinkStatus::ok(), {code("P01BB")}, {code("B3BBB"), code("U0100")}};
    device = &whole;
    const Outcome read = run({"--link", "elm327:/dev/ttyUSB0"});
    EXPECT_EQ(read.status, ExitOk) << read.err;
    EXPECT_NE(read.out.find("Pending  P01BB  (no definition)\nStored   B3BBB  (no definition)\n"
                            "Stored   U0100  Lost communication with ECM\nTotal: 3\n"),
              std::string::npos)
        << read.out;
    EXPECT_EQ(whole.written, (std::vector<std::uint8_t>{RequestByte, EndByte}));

    whole.report = {LinkStatus(LinkCode::Protocol, "UNABLE TO CONNECT"), {code("P0300")}, {}};
    const Outcome failed = run({"--link", "elm327:/dev/ttyUSB0"});
    EXPECT_EQ(failed.status, ExitFailed);
    EXPECT_EQ(failed.out, "");
    EXPECT_NE(failed.err.find("UNABLE TO CONNECT"), std::string::npos);
}

TEST_F(ReadCommand, AnAdapterIsReadTheMomentItsReportIsThereAndItsFailureSaysWhy) {
    WholeReportLink whole;
    device = &whole;
    // The reader's second is not waited out for an adapter: the report is taken when the
    // link has it, 50 ms after the request.
    readDelay = std::chrono::seconds(5);
    whole.takes = std::chrono::milliseconds(50);
    whole.report = {LinkStatus::ok(), {code("P0300")}, {}};
    const auto start = std::chrono::steady_clock::now();
    const Outcome read = run({"--link", "elm327:/dev/ttyUSB0"});
    EXPECT_EQ(read.status, ExitOk) << read.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    whole.takes = {};
    struct Case {
        LinkStatus status;
        const char* said;
    };
    const Case cases[] = {
        {LinkStatus(LinkCode::NoVehicle, "UNABLE TO CONNECT"),
         "The adapter answered, but no car did. Is the ignition on? (no vehicle: UNABLE TO CONNECT)"},
        {LinkStatus(LinkCode::NoDevice, NoAdapterOnSerialPorts),
         "No adapter was found on the serial ports. (no device: no ELM327 on the serial ports)"},
        {LinkStatus(LinkCode::NoDevice, ConnectionRefused),
         "The adapter refused the connection. (no device: connection refused)"},
        {LinkStatus(LinkCode::Timeout, "adapter silent"), "The adapter stopped answering. (timeout: adapter silent)"},
    };
    for (const Case& c : cases) {
        whole.report = {c.status, {}, {}};
        const Outcome failed = run({"--link", "elm327:/dev/ttyUSB0"});
        EXPECT_EQ(failed.status, ExitFailed) << c.said;
        EXPECT_EQ(failed.err, std::string("vx414-read: no report from the adapter through elm327:/dev/ttyUSB0: ") +
                                  c.said + "\n");
    }
}

TEST_F(ReadCommand, TheVinsMakeAppliesUnlessAMakeIsGivenAndTheVehicleIsShown) {
    WholeReportLink car;
    car.report = {LinkStatus::ok(), {}, {code("P0300")}};
    car.report.vehicle.vin = "WAUZZZ8K9BA123456";
    car.report.vehicle.modelYear = 2011;
    car.report.vehicle.mil = true;
    car.report.vehicle.units = {{"7E8", "engine", {}, {code("P0300")}, {}}};
    device = &car;
    const std::string generic = "Random misfire";
    const std::string audi = "Audi: misfire, see the ignition coils";
    const struct {
        std::vector<std::string_view> arguments;
        std::string vinMake;
        std::string make;
        std::string definition;
        std::string source;  // whose the definition is
    } cases[] = {
        {{"--link", "elm327:x"}, "audi", "audi", audi, "audi"},
        {{"--link", "elm327:x", "--make", "generic"}, "audi", "generic", generic, "generic"},  // asked for: stays
        {{"--link", "elm327:x", "--make", "bmw"}, "audi", "bmw", generic, "generic"},
        {{"--link", "elm327:x"}, "", "generic", generic, "generic"},
        {{"--link", "elm327:x"}, "no such make", "generic", generic, "generic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vinMake + " " + c.make);
        car.report.vehicle.make = c.vinMake;
        const Outcome text = run(c.arguments);
        EXPECT_EQ(text.status, ExitOk) << text.err;
        EXPECT_EQ(text.out, "Make: " + c.make + "\nRead: 2026-12-07 12:34:56 UTC+00:00\n"
                            "VIN: WAUZZZ8K9BA123456\nModel year: 2011\nMIL: on\n"
                            "TYPE     Code   Unit    Definition\n"
                            "Stored   P0300  engine  " + c.definition + "\nTotal: 1\n");
        std::vector<std::string_view> json = c.arguments;
        json.insert(json.end(), {"--format", "json"});
        const Outcome document = run(json);
        EXPECT_NE(document.out.find("\"make\": \"" + c.make + "\""), std::string::npos) << document.out;
        EXPECT_NE(document.out.find("\"vin\": \"WAUZZZ8K9BA123456\""), std::string::npos);
        EXPECT_NE(document.out.find("\"definition\": \"" + c.definition + "\", \"unit\": \"engine\", " +
                                    "\"definition_source\": \"" + c.source + "\""),
                  std::string::npos);
    }
}

TEST_F(ReadCommand, AModelYearGivenJudgesTheInspectionAndIsSaidToBeGiven) {
    // A car of 1996 to 2000 without a VIN in its unit, two monitors not complete: by the
    // newer rule not ready, by its own year's rule (two allowed) ready.
    WholeReportLink car;
    car.report = {LinkStatus::ok(), {}, {}};
    VehicleInfo& vehicle = car.report.vehicle;
    vehicle.mil = false;
    vehicle.readiness = {{"Misfire", MonitorState::Complete},
                         {"Catalyst", MonitorState::Incomplete},
                         {"Evaporative system", MonitorState::Incomplete}};
    vehicle.inspection = "Not ready for the inspection";
    vehicle.inspectionVerdict = InspectionVerdict::NotReady;
    device = &car;
    const struct {
        std::vector<std::string_view> arguments;
        std::string year;     // the text's line
        std::string verdict;  // how the text's inspection line begins
        std::string json;
    } cases[] = {
        {{"--link", "elm327:x"}, "", "Not ready for the inspection", "\"model_year\": null,\n  \"model_year_given\": false"},
        {{"--link", "elm327:x", "--model-year", "1999"}, "Model year: 1999 (given, not read)\n",
         "Ready for the inspection", "\"model_year\": 1999,\n  \"model_year_given\": true"},
        {{"--link", "elm327:x", "--model-year=2004"}, "Model year: 2004 (given, not read)\n",
         "Not ready for the inspection", "\"model_year\": 2004,\n  \"model_year_given\": true"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const Outcome text = run(c.arguments);
        ASSERT_EQ(text.status, ExitOk) << text.err;
        EXPECT_EQ(!c.year.empty(), text.out.find(c.year.empty() ? "Model year" : c.year) != std::string::npos) << text.out;
        EXPECT_NE(text.out.find("Inspection: " + c.verdict), std::string::npos) << text.out;
        std::vector<std::string_view> json = c.arguments;
        json.insert(json.end(), {"--format", "json"});
        EXPECT_NE(run(json).out.find(c.json), std::string::npos);
    }
}

TEST_F(ReadCommand, TheLinkIsNamedAsTheWindowFindsIt) {
    answerRequest(reader, sampleReport());
    struct Case {
        std::optional<std::string> option;
        std::optional<std::string> variable;
        std::string kept;  // the adapter chosen in the window; "" none
        int status;
        std::string opened;  // "" none
        std::string err;
    };
    const std::string missing = (folder.path() / "nothing-here").string();
    const std::string elsewhere = (folder.path() / "elsewhere").string();
    const Case cases[] = {
        {tty(), std::nullopt, "", ExitOk, tty(), ""},
        {std::nullopt, tty(), "", ExitOk, tty(), ""},
        {tty(), "bad:", "", ExitOk, tty(), ""},  // --link wins over the variable
        {std::nullopt, "", "", ExitOk, "(searched)", ""},  // an empty variable names nothing
        {"bad:", std::nullopt, "", ExitUsage, "", "vx414-read: --link: unknown scheme \"bad\"\n"},
        {std::nullopt, "bad:", "", ExitUsage, "", "vx414-read: VX414_LINK: unknown scheme \"bad\"\n"},
        {missing, std::nullopt, "", ExitFailed, "", "vx414-read: no reader at " + missing + "\n"},
        // Nothing named: the window's choice; either name wins over it.
        {std::nullopt, std::nullopt, tty(), ExitOk, tty(), ""},
        {std::nullopt, "", tty(), ExitOk, tty(), ""},
        {std::nullopt, tty(), elsewhere, ExitOk, tty(), ""},
        {tty(), std::nullopt, elsewhere, ExitOk, tty(), ""},
        {std::nullopt, std::nullopt, "\x01" "damaged", ExitOk, "(searched)", ""},
    };
    for (const Case& c : cases) {
        opened.clear();
        linkVariable = c.variable;
        const ScratchFolder config;
        linkChoiceFolder = config.path().string();
        if (!c.kept.empty()) std::ofstream(config.path() / "link") << c.kept << "\n";
        std::vector<std::string_view> arguments;
        if (c.option) arguments = {"--link", *c.option};
        const Outcome result = run(arguments);
        SCOPED_TRACE(c.option.value_or("-") + " / " + c.variable.value_or("-") + " / " + c.kept);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(opened, c.opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opened});
        if (c.status != ExitOk) {
            EXPECT_EQ(result.err, c.err);
            EXPECT_EQ(result.out, "");
        }
    }
    linkChoiceFolder.clear();
}

TEST_F(ReadCommand, AStatusLineShowsOnlyOnATerminalAndIsWipedAfterwards) {
    answerRequest(reader, sampleReport());
    errIsTerminal = true;
    const Outcome shown = run({"--link", tty()});
    EXPECT_EQ(shown.err, "Reading the codes through " + tty() + " ...\r\033[K");
    errIsTerminal = false;
    EXPECT_EQ(run({"--link", tty()}).err, "");
}

TEST_F(ReadCommand, AMissingOrDamagedDataFileStopsEveryCommandBeforeTheReader) {
    const std::string file = (folder.path() / "VX-414.dis").string();
    std::vector<std::uint8_t> damaged = stored;
    const std::int32_t audi = positionOfAddress(findMake("audi")->start);
    damaged[static_cast<std::size_t>(audi - 1)] = 0x40;  // bit 6 set, bit 1 clear
    damaged[static_cast<std::size_t>(audi)] = 0x00;
    std::vector<std::uint8_t> glossaryDamaged = stored;
    glossaryDamaged[static_cast<std::size_t>(positionOfAddress(GlossaryAddress) - 1)] = 0x80;

    struct Case {
        std::vector<std::uint8_t> bytes;
        bool present;
        std::vector<std::string_view> arguments;
        int status;
        std::string err;
    };
    const std::string cannot = "vx414-read: Cannot identify data file : " + file;
    const std::string badAudi = cannot + " (stored pair at position " + std::to_string(audi) + " fails its checks)\n";
    const Case cases[] = {
        {{}, false, {"--link", tty()}, ExitDataFile, "vx414-read: File not found : " + file + "\n"},
        {{}, false, {"--lookup", "P0"}, ExitDataFile, "vx414-read: File not found : " + file + "\n"},
        {{}, false, {"--glossary", "A"}, ExitDataFile, "vx414-read: File not found : " + file + "\n"},
        {{}, true, {"--link", tty()}, ExitDataFile, cannot + "\n"},
        {{}, true, {"--glossary", "A"}, ExitDataFile, cannot + "\n"},
        {damaged, true, {"--link", tty(), "--make", "audi"}, ExitDataFile, badAudi},
        {damaged, true, {"--lookup", "P0", "--make", "audi"}, ExitDataFile, badAudi},
        {damaged, true, {"--lookup", "P0"}, ExitOk, ""},  // the audi section is not read for generic
        {glossaryDamaged, true, {"--glossary", "A"}, ExitDataFile,
         cannot + " (stored pair at position 29 fails its checks)\n"},
        {glossaryDamaged, true, {"--lookup", "P0"}, ExitOk, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(file);
        if (c.present) write(file, c.bytes);
        reader.clearLog();
        const Outcome result = run(c.arguments);
        SCOPED_TRACE(std::string(c.arguments[0]) + " " + std::string(c.arguments.back()));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
        if (c.status != ExitOk) {
            EXPECT_EQ(result.out, "");
        }
        EXPECT_EQ(reader.callText(), "");  // a bad file is said before the reader is touched
    }

    // --data names the file, wherever it lies.
    write(file, stored);
    std::filesystem::rename(file, folder.path() / "elsewhere.dis");
    EXPECT_EQ(run({"--lookup", "P0300", "--data", (folder.path() / "elsewhere.dis").string()}).status, ExitOk);
}

TEST_F(ReadCommand, LookUpShowsTheFoundEntryAndTheNextAsTheCodeSearchDoes) {
    struct Case {
        std::vector<std::string_view> arguments;
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"--lookup", "P"}, ExitOk, "Found  P0300  Random misfire\nNext   P0301  Cylinder 1 misfire\n", ""},
        {{"--lookup", "p0301"}, ExitOk, "Found  P0301  Cylinder 1 misfire\nNext   U0100  Lost communication with ECM\n",
         ""},
        {{"--lookup", "U"}, ExitOk, "Found  U0100  Lost communication with ECM\n", ""},  // the last generic row
        // The generic row is found first, and shown with the make's meaning, as a read shows it.
        {{"--lookup", "P03", "--make", "audi"}, ExitOk,
         "Found  P0300  Audi: misfire, see the ignition coils\nNext   P0301  Cylinder 1 misfire\n", ""},
        {{"--lookup", "P1", "--make", "audi"}, ExitOk, "Found  P1136  Fuel trim lean\n", ""},
        {{"--lookup", "P1"}, ExitFailed, "",
         "vx414-read: No definition: no code begins with P1 (generic) (manufacturer-specific: choose the make)\n"},
        {{"--lookup", "b2000"}, ExitFailed, "",
         "vx414-read: No definition: no code begins with B2000 (generic) (manufacturer-specific: choose the make)\n"},
        {{"--lookup", "P33"}, ExitFailed, "",
         "vx414-read: No definition: no code begins with P33 (generic) (manufacturer-specific: choose the make)\n"},
        {{"--lookup", "P3"}, ExitFailed, "", "vx414-read: No definition: no code begins with P3 (generic)\n"},
        {{"--lookup", "P3400"}, ExitFailed, "", "vx414-read: No definition: no code begins with P3400 (generic)\n"},
        {{"--lookup", "U3"}, ExitFailed, "", "vx414-read: No definition: no code begins with U3 (generic)\n"},
        {{"--lookup", "P1234", "--make", "audi"}, ExitFailed, "",
         "vx414-read: No definition: no code begins with P1234 (audi)\n"},
        {{"--lookup", "P1234", "--make", "bmw"}, ExitFailed, "",
         "vx414-read: No definition: no code begins with P1234 (bmw) (no maker texts for bmw in this data file; the "
         "code is the maker's own)\n"},
    };
    for (const Case& c : cases) {
        const Outcome result = run(c.arguments);
        SCOPED_TRACE(std::string(c.arguments[1]));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_EQ(reader.callText(), "");  // no reader touched
    EXPECT_TRUE(opened.empty());
}

TEST_F(ReadCommand, TheGlossaryShowsEveryTermThatBeginsWithTheText) {
    const Outcome abs = run({"--glossary", "ABS"});
    EXPECT_EQ(abs.status, ExitOk);
    // Aligned on the longest term; the en dash as UTF-8.
    EXPECT_EQ(abs.out, "ABS        Anti-lock brake system\nabs light  Warning lamp \xE2\x80\x93 ABS\n");
    const Outcome light = run({"--glossary", "Abs L"});
    EXPECT_EQ(light.out, "abs light  Warning lamp \xE2\x80\x93 ABS\n");
    const Outcome all = run({"--glossary", ""});
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), kGlossaryEntries);
    const Outcome none = run({"--glossary", "XYZ"});
    EXPECT_EQ(none.status, ExitFailed);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "vx414-read: no glossary term begins with \"XYZ\"\n");
    EXPECT_EQ(run({"--glossary", "\xF0\x9F\x9A\x97"}).status, ExitFailed);  // no Windows-1252 character
}

TEST_F(ReadCommand, ClearingAsksFirstAndKeepsTheReadBeforeAnAdapterThatCanClearIsAsked) {
    WholeReportLink car;
    car.report = {LinkStatus::ok(), {}, {code("U0100")}};
    car.report.vehicle.permanent = {code("U0100")};
    const LinkReport unreachable{LinkStatus(LinkCode::NoVehicle, "UNABLE TO CONNECT"), {}, {}};
    device = &car;
    const std::filesystem::path kept = folder.path() / "share" / "vx414" / "cleared";
    const std::filesystem::path blocked = folder.path() / "tty" / "cleared";  // under a file: cannot be made
    const auto keptFiles = [](const std::filesystem::path& where) {
        std::error_code missing;
        std::vector<std::filesystem::path> files;
        for (auto it = std::filesystem::directory_iterator(where, missing); !missing && it != std::filesystem::directory_iterator(); ++it)
            files.push_back(it->path());
        return files;
    };

    struct Case {
        std::vector<std::string_view> arguments;
        bool adapter;  // the link made can clear
        bool terminal;
        std::optional<std::string> answer;
        ClearResult clearAnswer;
        int status;
        int clears;
        std::string ending;  // how standard error ends
        std::string out = "";
        bool readFails = false;
        bool keepBlocked = false;
        EngineSpeed engine = {0.0, ""};
        bool permanentOnly = false;  // the car holds U0100 as a permanent code alone
    };
    const std::vector<std::string_view> elm = {"--clear", "--link", "elm327:/dev/ttyUSB0"};
    const std::vector<std::string_view> elmYes = {"--clear", "--yes", "--link", "elm327:/dev/ttyUSB0"};
    const ClearResult ok{LinkStatus::ok(), {"7E8", "7E9"}, {}};
    const std::string confirmed = "The car confirmed: its trouble codes are cleared.\nConfirmed by unit 7E8, unit 7E9.\n";
    const std::string notReader = " cannot clear codes; --clear needs an ELM327 adapter (--link elm327:...)\n";
    const LinkStatus refused(LinkCode::Protocol, "car refused the request");
    const std::string warning = "The car holds 2 codes: U0100 (Stored), U0100 (Permanent).\n"
                                "Clearing erases the car's trouble codes, its check-engine light, its freeze frame "
                                "and its readiness monitors.\n"
                                "Its permanent codes stay (a clear never erases them): U0100.\n"
                                "The engine is off (0 rpm). Keep the ignition on.\n";
    const EngineSpeed running{2125.0, ""};
    const std::string runningLine =
        "The engine is running (2125 rpm). Turn it off and leave the ignition on: with the engine running, the car "
        "may refuse the clear or set its codes again at once.\n";
    const std::vector<std::string_view> elmRunning = {"--clear", "--yes", "--engine-running", "--link",
                                                      "elm327:/dev/ttyUSB0"};
    const std::string keptLine = "The read is kept in " + (kept / "vx414-cleared-20261207-123456.json").string() + "\n";
    const Case cases[] = {
        {{"--clear", "--link", tty()}, false, true, "y", ok, ExitUsage, 0,
         "vx414-read: the VX-414 reader at " + tty() + notReader},
        // Nothing named, and the link made is the reader at /dev/vx414.
        {{"--clear", "--yes"}, false, true, "y", ok, ExitUsage, 0, "vx414-read: the VX-414 reader at /dev/vx414" + notReader},
        {elm, true, false, "y", ok, ExitUsage, 0,
         "vx414-read: --clear asks before it clears, and there is no terminal to ask on; give --yes to clear "
         "without asking\n"},
        {elm, true, true, "n", ok, ExitFailed, 0, warning + "Clear the codes now? [y/N] vx414-read: nothing cleared\n"},
        {elm, true, true, "", ok, ExitFailed, 0, "Clear the codes now? [y/N] vx414-read: nothing cleared\n"},
        {elm, true, true, std::nullopt, ok, ExitFailed, 0, "Clear the codes now? [y/N] \nvx414-read: nothing cleared\n"},
        {elm, true, true, "yes", ok, ExitOk, 1, "Clear the codes now? [y/N] " + keptLine, confirmed},
        {elmYes, true, false, std::nullopt, ok, ExitOk, 1, warning + keptLine, confirmed},
        // One unit confirmed, one refused: cleared, and the refusing one is named.
        {elmYes, true, false, std::nullopt, {LinkStatus::ok(), {"7E8"}, {"7E9"}}, ExitOk, 1, keptLine,
         "The car confirmed: its trouble codes are cleared.\nConfirmed by unit 7E8.\n"
         "Refused by unit 7E9: its codes remain.\n"},
        {elmYes, true, false, std::nullopt, {LinkStatus::ok(), {""}, {}}, ExitOk, 1, keptLine,
         "The car confirmed: its trouble codes are cleared.\nConfirmed by a unit.\n"},
        // None confirmed.
        {elmYes, true, false, std::nullopt, {refused, {}, {"7E8", "7E9"}}, ExitFailed, 1,
         keptLine + "vx414-read: the car did not confirm the clear through elm327:/dev/ttyUSB0; refused by unit 7E8, "
                    "unit 7E9 (protocol error: car refused the request)\n"},
        {elmYes, true, false, std::nullopt, {LinkStatus(LinkCode::Protocol, "car did not confirm"), {}, {}}, ExitFailed, 1,
         keptLine + "vx414-read: the car did not confirm the clear through elm327:/dev/ttyUSB0 (protocol error: car did "
                    "not confirm)\n"},
        {{"--clear", "--yes"}, true, false, std::nullopt, {LinkStatus(LinkCode::NoDevice, "no adapter answered"), {}, {}},
         ExitFailed, 1,
         "vx414-read: no ELM327 adapter answered through an ELM327 adapter on the serial ports (no device: no "
         "adapter answered); nothing cleared\n"},
        // No read, nothing to keep: the car is not asked to clear.
        {elmYes, true, false, std::nullopt, ok, ExitFailed, 0,
         "vx414-read: nothing cleared: the codes are read and kept before a clear\n", "", true},
        {elmYes, true, false, std::nullopt, ok, ExitFailed, 0, "; nothing cleared\n", "", false, true},
        // The engine runs: --yes alone clears nothing, its own flag does; a person asked decides.
        {elmYes, true, false, std::nullopt, ok, ExitFailed, 0,
         runningLine + "vx414-read: nothing cleared while the engine runs; turn it off, or give --engine-running to "
                       "clear all the same\n",
         "", false, false, running},
        {elmRunning, true, false, std::nullopt, ok, ExitOk, 1, runningLine + keptLine, confirmed, false, false, running},
        {elm, true, true, "y", ok, ExitOk, 1, runningLine + "Clear the codes now? [y/N] " + keptLine, confirmed, false,
         false, running},
        // A speed not read is never taken for an engine that is off.
        {elmYes, true, false, std::nullopt, ok, ExitOk, 1,
         "The engine's speed could not be read (the car does not give it): the engine must be off and the ignition "
         "on.\n" + keptLine,
         confirmed, false, false, {std::nullopt, "the car does not give it"}},
        // Only a permanent code: a clear can erase nothing but the monitors' progress, and that is the question.
        {elm, true, true, "n", ok, ExitFailed, 0,
         "The car holds 1 code: U0100 (Permanent).\n"
         "A clear cannot erase permanent codes; the car drops each once its own drive cycles find the fault gone.\n"
         "A clear now erases nothing but the readiness monitors' progress: the car must be driven again before an "
         "inspection.\n"
         "The engine is off (0 rpm). Keep the ignition on.\n"
         "Reset the readiness monitors now? [y/N] vx414-read: nothing cleared\n",
         "", false, false, {0.0, ""}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        std::filesystem::remove_all(kept);
        clears = 0;
        canClear = c.adapter;
        inIsTerminal = c.terminal;
        answer = c.answer;
        clearAnswer = c.clearAnswer;
        clearedFolder = (c.keepBlocked ? blocked : kept).string();
        engine = c.engine;
        const LinkReport saved = car.report;
        if (c.readFails) car.report = unreachable;
        if (c.permanentOnly) car.report.stored.clear();
        std::vector<std::filesystem::path> keptAtClear;
        onClear = [&] { keptAtClear = keptFiles(kept); };
        const Outcome result = run(c.arguments);
        car.report = saved;
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(clears, c.clears);
        EXPECT_TRUE(result.err.ends_with(c.ending)) << result.err;
        EXPECT_EQ(result.out, c.out);
        if (c.clears == 0) {
            EXPECT_TRUE(keptFiles(kept).empty());
            continue;
        }
        // The read was on disk before the car was asked, with what the car held.
        ASSERT_EQ(keptAtClear.size(), 1U);
        std::ifstream file(keptAtClear[0]);
        const std::string json((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (c.permanentOnly) continue;
        EXPECT_NE(json.find(R"({"kind": "Stored", "code": "U0100", "definition": "Lost communication with ECM", "unit": "", "definition_source": "generic"})"),
                  std::string::npos) << json;
        EXPECT_NE(json.find(R"("kind": "Permanent", "code": "U0100")"), std::string::npos) << json;
    }
}

TEST_F(ReadCommand, PreviousReadsAreListedNewestFirstAndEachPrintsInAnyFormat) {
    const std::filesystem::path kept = folder.path() / "kept";
    ReadReport older{LocalTime{2026, 12, 1, 8, 0, 0, 0}, "bmw", {{"Stored", "P0420", "Catalyst", ""}}, {}};
    ReadReport newer{LocalTime{2026, 12, 7, 22, 49, 1, 60}, "audi",
                     {{"Pending", "P0300", "Misfire", "engine"}, {"Permanent", "P0171", "Lean", "engine"}}, {}};
    newer.vehicle.vin = "WAUZZZ8K9BA123456";
    const std::string damaged = (kept / "vx414-cleared-20261203-120000.json").string();
    const auto keepAll = [&] {
        ASSERT_TRUE(keepReadBeforeClearing(kept.string(), older).ok());
        ASSERT_TRUE(keepReadBeforeClearing(kept.string(), newer).ok());
        std::ofstream(damaged) << "{\"version\": 2, \"time\": 7}";
    };
    const std::string damagedError =
        damaged + ": not a vx414 read at byte 24: \"time\" is not a text";
    const struct {
        const char* name;
        std::vector<std::string_view> arguments;
        bool keep;  // reads kept before
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"the list", {"--previous"}, true, ExitOk,
         "  1  2026-12-07 22:49:01 UTC+01:00  WAUZZZ8K9BA123456  P0300 (Pending), P0171 (Permanent)\n"
         "  2  cannot be read: " + damagedError + "\n"
         "  3  2026-12-01 08:00:00 UTC+00:00  VIN not read       P0420 (Stored)\n",
         ""},
        {"the newest as JSON", {"--previous", "1", "--format", "json"}, true, ExitOk, reportAsJson(newer), ""},
        {"the oldest as CSV", {"--previous=3", "--format=csv"}, true, ExitOk, reportAsCsv(older), ""},
        {"as CSV for a log", {"--previous", "3", "--format", "csv", "--no-header"}, true, ExitOk,
         reportAsCsv(older, CsvHeader::Without), ""},
        {"a damaged one", {"--previous", "2"}, true, ExitFailed, "",
         "vx414-read: cannot read the kept read 2 back: " + damagedError + "\n"},
        {"past the last", {"--previous", "4"}, true, ExitFailed, "",
         "vx414-read: there is no kept read 4: 3 are kept (see --previous)\n"},
        {"nothing kept", {"--previous"}, false, ExitFailed, "",
         "vx414-read: no read has been kept yet in " + kept.string() + "; a read is kept there before each clear\n"},
    };
    clearedFolder = kept.string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(kept);
        if (c.keep) keepAll();
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    // In text, as a read is printed; and the damaged file is left as it was.
    keepAll();
    const Outcome text = run({"--previous", "1"});
    EXPECT_EQ(text.status, ExitOk);
    EXPECT_NE(text.out.find("Make: audi\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("P0171"), std::string::npos) << text.out;
    std::ifstream file(damaged);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), {}), "{\"version\": 2, \"time\": 7}");
}

// Nothing of a kept file reaches the terminal unescaped, and a folder that cannot be listed
// is not taken for one where nothing was kept.
TEST_F(ReadCommand, PreviousNamesTheCauseAndPrintsNoControlBytes) {
    const std::filesystem::path kept = folder.path() / "kept";
    const std::string name = "vx414-cleared-20261203-120000.json";
    ReadReport read{LocalTime{2026, 12, 3, 12, 0, 0, 60}, "audi\x1b]0;owned\x07", {}, {}};
    read.vehicle.vin = "WAU\x1b[2J\nZZZ";
    const std::string hostile = reportAsJson(read);
    std::string badKind = hostile;
    badKind.replace(badKind.find("\"codes\": []"), std::string_view("\"codes\": []").size(), R"("codes": [{"kind": "\u001b[2J\n", "code": "P0301", "definition": ""}])");
    const struct {
        const char* name;
        std::string file;  // the kept read's bytes; "" none, and the folder is a file
        std::vector<std::string_view> arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"a VIN with escapes in the list", hostile, {"--previous"}, ExitOk,
         "  1  2026-12-03 12:00:00 UTC+01:00  WAU?[2J?ZZZ        no codes\n", ""},
        {"a make with escapes in the read", hostile, {"--previous", "1"}, ExitOk, "Make: audi?]0;owned?\n", ""},
        {"a damaged read's error", badKind, {"--previous", "1"}, ExitFailed, "",
         "vx414-read: cannot read the kept read 1 back: " + (kept / name).string() +
             ": not a vx414 read at byte " + std::to_string(badKind.find("{\"kind\"") + 1) + ": a code of kind \"?[2J?\"\n"},
        {"a folder that is a file", "", {"--previous"}, ExitFailed, "",
         "vx414-read: cannot list the kept reads: " + kept.string() + " is not a folder\n"},
    };
    clearedFolder = kept.string();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(kept);
        if (c.file.empty()) {
            std::ofstream(kept) << "x";
        } else {
            std::filesystem::create_directories(kept);
            std::ofstream(kept / name) << c.file;
        }
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out.substr(0, c.out.size()), c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

}  // namespace
}  // namespace vx414::cli
