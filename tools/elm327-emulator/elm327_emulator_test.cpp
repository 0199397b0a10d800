// The emulator on loopback TCP, and its command line.
#include <gtest/gtest.h>

#include <mutex>

#include "tools/elm327-emulator/elm327_test_client.h"

namespace vx414::elmemu {
namespace {

using testing::Client;
using testing::optionsFrom;
using testing::RunningEmulator;
using std::chrono::milliseconds;

TEST(Elm327OverTcp, OneClientAtATimeSettingsAndClearedCodesKept) {
    Options options = optionsFrom({"--tcp", "0"});
    std::mutex lock;
    std::string received;
    std::string sent;
    RunningEmulator running(options, [&](bool out, std::string_view bytes) {
        const std::scoped_lock guard(lock);
        (out ? sent : received) += bytes;
    });
    const Elm327Emulator& emulator = running.emulator();
    ASSERT_GT(emulator.port(), 0) << emulator.error();
    EXPECT_EQ(emulator.address(), "127.0.0.1:" + std::to_string(emulator.port()));

    Client first = Client::tcp(emulator.port());
    ASSERT_TRUE(first.open());
    EXPECT_EQ(first.ask("ATZ"), "ATZ\r\r\rELM327 v1.5 (vx414 emulator)\r\r>");
    EXPECT_EQ(first.ask("ATE0"), "ATE0\rOK\r\r>");
    EXPECT_EQ(first.ask("ATH1"), "OK\r\r>");
    EXPECT_EQ(first.ask("03"),
              "SEARCHING...\r7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>");

    // A second client waits while the first is served; a half-typed command of the first
    // is forgotten when it leaves.
    Client second = Client::tcp(emulator.port());
    ASSERT_TRUE(second.open());
    second.send("ATI\r");
    EXPECT_EQ(second.readFor(milliseconds(200)), "");
    EXPECT_EQ(first.ask("04"), "7E8 01 44 \r7E9 01 44 \r\r>");
    first.send("AT");
    first.close();
    // The adapter keeps its settings and the car its cleared memory, as a Wi-Fi adapter
    // does between connections.
    EXPECT_EQ(second.readAnswer(), "ELM327 v1.5 (vx414 emulator)\r\r>");
    EXPECT_EQ(second.ask("03"), "7E8 02 43 00 \r7E9 02 43 00 \r\r>");
    EXPECT_EQ(second.ask("07"), "7E8 02 47 00 \r7E9 02 47 00 \r\r>");
    second.close();

    // A client that goes away in the middle of an answer leaves nothing behind for the next.
    Client third = Client::tcp(emulator.port());
    third.send("ATZ\r");
    third.close();
    const Client fourth = Client::tcp(emulator.port());
    EXPECT_EQ(fourth.ask("ATI"), "ATI\rELM327 v1.5 (vx414 emulator)\r\r>");
    // Commands sent together are answered one after the other.
    fourth.send("ATE0\rATH0\r07\r");
    EXPECT_EQ(fourth.readUntil("47 00 \r\r>"), "ATE0\rOK\r\r>OK\r\r>SEARCHING...\r47 00 \r47 00 \r\r>");

    const std::scoped_lock guard(lock);
    EXPECT_NE(received.find("ATH1\r03\r"), std::string::npos) << escapeBytes(received);
    EXPECT_NE(sent.find("7E8 01 44 \r7E9 01 44 \r\r>"), std::string::npos) << escapeBytes(sent);
    EXPECT_EQ(escapeBytes("ATZ\r\n\x01\\"), "ATZ\\r\\n\\x01\\\\");
}

// Paced bytes fall due every 260 us at 38,400 baud; one overdue by the time the loop asks
// must not end the emulator (ppoll refuses a negative wait), and none may oversleep.
TEST(Elm327EmulatorPacing, TheWaitForTheNextByteIsNeverNegativeNorOverASecond) {
    using std::chrono::nanoseconds;
    const struct {
        nanoseconds untilDue;
        time_t seconds;
        long nanos;
    } cases[] = {
        {nanoseconds(-1), 0, 0},
        {std::chrono::milliseconds(-5), 0, 0},
        {nanoseconds(0), 0, 0},
        {nanoseconds(1), 0, 1000},
        {std::chrono::microseconds(260), 0, 260'000},
        {nanoseconds(1'500'001), 0, 1'501'000},
        {nanoseconds(999'999'999), 1, 0},
        {std::chrono::seconds(3), 1, 0},
    };
    for (const auto& c : cases) {
        const timespec wait = pollTimeout(c.untilDue);
        EXPECT_EQ(wait.tv_sec, c.seconds) << c.untilDue.count();
        EXPECT_EQ(wait.tv_nsec, c.nanos) << c.untilDue.count();
    }
}

TEST(Elm327EmulatorArguments, CarsCodesQuirksAndErrors) {
    struct Case {
        std::vector<std::string_view> arguments;
        CarKind car;
        std::size_t pending;
        std::size_t stored;
        std::size_t quirks;
    };
    const Case cases[] = {
        {{}, CarKind::Can11, 2, 4, 0},
        {{"--car", "kwp", "--codes", "many"}, CarKind::Kwp, 2, 9, 0},
        {{"--codes", "none", "--stored", "p0001"}, CarKind::Can11, 0, 1, 0},
        {{"--pending", "none", "--codes", "many"}, CarKind::Can11, 0, 9, 0},
        {{"--stored", "C1234,U0100,P0420", "--quirk", "echo", "--quirk", "lowercase"}, CarKind::Can11, 2, 3, 2},
        {{"--car", "silent", "--tcp", "35000", "--verbose", "--delay", "5"}, CarKind::Silent, 2, 4, 0},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = parseArguments(c.arguments);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
        EXPECT_EQ(parsed.options->adapter.car.kind, c.car);
        EXPECT_EQ(parsed.options->adapter.car.pending.size(), c.pending);
        EXPECT_EQ(parsed.options->adapter.car.stored.size(), c.stored);
        EXPECT_EQ(parsed.options->adapter.quirks.size(), c.quirks);
    }
    const std::vector<std::string_view> tcp = {"--tcp", "35000", "--verbose", "--delay", "5", "--search-ms", "7"};
    const ParsedArguments parsed = parseArguments(tcp);
    ASSERT_TRUE(parsed.options.has_value());
    EXPECT_TRUE(parsed.options->tcp);
    EXPECT_EQ(parsed.options->port, 35000);
    EXPECT_TRUE(parsed.options->verbose);
    EXPECT_EQ(parsed.options->adapter.delayMilliseconds, 5);
    EXPECT_EQ(parsed.options->adapter.searchMilliseconds, 7);

    // The quirks that take HEX[@N], each as often as wanted.
    using Kind = TransientAnswer::Kind;
    const struct {
        std::string_view argument;
        Kind kind;
        std::string_view start;
        int nth;
    } transients[] = {
        {"transient-error=0101", Kind::CanError, "0101", 1},
        {"transient-nodata=03@2", Kind::NoData, "03", 2},
        {"transient-error=a1b@10", Kind::CanError, "A1B", 10},
    };
    std::vector<std::string_view> valued = {"--quirk", "echo"};
    for (const auto& t : transients) valued.insert(valued.end(), {"--quirk", t.argument});
    const ParsedArguments withValues = parseArguments(valued);
    ASSERT_TRUE(withValues.options.has_value()) << withValues.error;
    EXPECT_EQ(withValues.options->adapter.quirks, std::vector<Quirk>{Quirk::Echo});
    const std::vector<TransientAnswer>& given = withValues.options->adapter.transientAnswers;
    ASSERT_EQ(given.size(), std::size(transients));
    for (std::size_t i = 0; i < given.size(); ++i) {
        EXPECT_EQ(given[i].kind, transients[i].kind) << transients[i].argument;
        EXPECT_EQ(given[i].start, transients[i].start) << transients[i].argument;
        EXPECT_EQ(given[i].nth, transients[i].nth) << transients[i].argument;
    }

    const std::vector<std::vector<std::string_view>> bad = {
        {"--car", "tesla"},     {"--car"},         {"--quirk", "loud"}, {"--codes", "all"},
        {"--stored", "P4000"},  {"--pending", "P0300,"}, {"--tcp", "65536"}, {"--tcp", "-1"},
        {"--delay", "soon"},    {"--search-ms", "-5"},   {"--reset-ms", "70000"}, {"can11"}, {"--colour", "red"},
        {"--quirk", "echo=1"},  {"--quirk", "transient-error"}, {"--quirk", "transient-error="},
        {"--quirk", "transient-nodata=01G1"}, {"--quirk", "transient-nodata=@2"}, {"--quirk", "transient-error=0101@"},
        {"--quirk", "transient-error=0101@0"}, {"--quirk", "transient-error=0101@-1"}, {"--quirk", "transient-error=01@2x"},
    };
    for (const auto& arguments : bad) {
        const ParsedArguments result = parseArguments(arguments);
        EXPECT_FALSE(result.options.has_value()) << arguments.back();
        EXPECT_FALSE(result.error.empty()) << arguments.back();
    }

    // The help names every car, preset and quirk, and how to point vx414 at the emulator.
    const std::vector<std::string_view> help = {"--car", "can29", "--help"};
    EXPECT_TRUE(parseArguments(help).help);
    const std::string usage = usageText();
    for (const CarEntry& car : carEntries()) EXPECT_NE(usage.find(" " + std::string(car.name) + " "), std::string::npos);
    for (const QuirkEntry& quirk : quirkEntries()) {
        // Its form at the start of a line of the list, its summary after it on that line or the next.
        const std::string form = quirkForm(quirk);
        const std::size_t at = usage.find("\n" + std::string(24, ' ') + form);
        ASSERT_NE(at, std::string::npos) << form;
        const std::size_t summary = usage.find_first_not_of(" \n", at + 25 + form.size());
        EXPECT_EQ(usage.substr(summary, quirk.summary.size() + 1), std::string(quirk.summary) + "\n") << form;
    }
    for (const char* text : {" many ", "--link elm327:", "--link elm327://127.0.0.1:"}) {
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace vx414::elmemu
