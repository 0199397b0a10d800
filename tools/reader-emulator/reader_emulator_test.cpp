#include "tools/reader-emulator/reader_emulator.h"

#include <gtest/gtest.h>

#include "reader/report_receiver.h"

namespace vx414::emulator {
namespace {

std::string describe(const CodeBlockContent& block) {
    std::string text = block.pending ? "pending[" : "stored[";
    for (const CodeBytes& code : block.codes) {
        if (text.back() != '[') text += ' ';
        text += decodeTroubleCode(code[0], code[1]).text();
    }
    return text + "]";
}

TEST(ReaderEmulatorArguments, BlocksInTheOrderGiven) {
    struct Case {
        std::vector<std::string_view> arguments;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {{"--pending", "P0300", "--stored", "C1234", "u0100"}, "pending[P0300]", "stored[C1234 U0100]"},
        {{"--stored", "C1234", "--pending", "P0300", "P0A80"}, "stored[C1234]", "pending[P0300 P0A80]"},
        {{"P0300", "B0001"}, "pending[P0300 B0001]", "stored[]"},
        {{"--stored", "U3FFF"}, "stored[U3FFF]", "pending[]"},
        {{"--stored", "--stored"}, "stored[]", "stored[]"},
        {{}, "pending[]", "stored[]"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = parseArguments(c.arguments);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
        EXPECT_EQ(describe(parsed.options->content.first), c.first);
        EXPECT_EQ(describe(parsed.options->content.second), c.second);
        EXPECT_EQ(parsed.options->fault, Fault::None);
    }
}

TEST(ReaderEmulatorArguments, OptionsHelpAndErrors) {
    const std::vector<std::string_view> slow = {"--fault", "slow", "--burst", "5", "--pause-ms", "7", "--noise", "10"};
    const ParsedArguments parsed = parseArguments(slow);
    ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
    EXPECT_EQ(parsed.options->fault, Fault::Slow);
    EXPECT_EQ(parsed.options->burst, 5U);
    EXPECT_EQ(parsed.options->pauseMilliseconds, 7);
    EXPECT_EQ(parsed.options->noise, 10U);
    EXPECT_FALSE(parsed.options->faultyRequests.has_value());

    const std::vector<std::string_view> trickle = {"--fault", "trickle", "--gap-ms", "250", "--faulty", "1"};
    const ParsedArguments trickled = parseArguments(trickle);
    ASSERT_TRUE(trickled.options.has_value()) << trickled.error;
    EXPECT_EQ(trickled.options->fault, Fault::Trickle);
    EXPECT_EQ(trickled.options->gapMilliseconds, 250);
    EXPECT_EQ(trickled.options->faultyRequests, std::optional<std::size_t>{1});
    EXPECT_NE(usageText().find("--gap-ms MS"), std::string::npos);

    const std::vector<std::string_view> help = {"P0300", "--help"};
    EXPECT_TRUE(parseArguments(help).help);
    EXPECT_FALSE(parseArguments(help).options.has_value());
    EXPECT_NE(usageText().find("--fault MODE"), std::string::npos);

    const std::vector<std::vector<std::string_view>> bad = {
        {"--fault", "loud"}, {"--fault"}, {"X1234"}, {"P4000"}, {"--noise"}, {"--noise", "-1"}, {"--burst", "0"},
        {"--pause-ms", "ten"}, {"--pending", "--stored", "--pending"}, {"--verbose"}, {"--gap-ms"},
        {"--gap-ms", "10001"}, {"--faulty"}, {"--faulty", "one"},
    };
    for (const auto& arguments : bad) {
        const ParsedArguments result = parseArguments(arguments);
        EXPECT_FALSE(result.options.has_value()) << arguments[0];
        EXPECT_FALSE(result.error.empty()) << arguments[0];
    }
}

TEST(ReaderEmulatorReplies, EachFaultAsTheReceiverSeesIt) {
    // Received from memory; the pty path is covered by the end-to-end test. The waits are
    // narrowed so that the endless cases stay cheap here.
    struct Case {
        Fault fault;
        std::size_t noise;
        bool ok;
        LinkCode code;
    };
    const Case cases[] = {
        {Fault::None, 0, true, LinkCode::Ok},
        {Fault::None, 5000, true, LinkCode::Ok},
        {Fault::Slow, 0, true, LinkCode::Ok},
        {Fault::Trickle, 0, true, LinkCode::Ok},  // its gaps are the emulator's pacing
        {Fault::Silent, 0, false, LinkCode::Timeout},
        {Fault::BadChecksum, 0, false, LinkCode::Protocol},
        {Fault::BadSeparator, 0, false, LinkCode::Protocol},
        {Fault::ValueBB, 0, false, LinkCode::Protocol},
        {Fault::CutOff, 0, false, LinkCode::Timeout},
        {Fault::Babble, 0, false, LinkCode::Protocol},
        {Fault::TooMany, 0, false, LinkCode::Protocol},
    };
    Options options;
    options.content.first = {true, {{0x03, 0x00}}};
    options.content.second = {false, {{0x52, 0x34}, {0xC1, 0x00}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(faultName(c.fault)) + " noise " + std::to_string(c.noise));
        options.fault = c.fault;
        options.noise = c.noise;
        std::vector<std::uint8_t> wire = replyBytes(options);
        if (c.fault == Fault::Babble) {
            const auto babble = babbleBytes(10'000);
            wire.insert(wire.end(), babble.begin(), babble.end());
        }
        MemoryByteSource source(wire);
        ReportBuffer reportBytes{};
        int reportIndex = 0;
        const ReceiveResult result = ReceiveReport(source, reportBytes, reportIndex, {}, ReceiveLimits{10'000, 5'000});
        EXPECT_EQ(result.ok(), c.ok) << result.status.toString();
        EXPECT_EQ(result.status.code(), c.code) << result.status.toString();
        if (c.ok) {
            EXPECT_EQ(result.report.codeCount, 3);
            EXPECT_EQ(result.report.codes[2].text(), "U0100");
        }
    }
}

TEST(ReaderEmulatorReplies, TheFaultGoesToTheFirstRequestsOnly) {
    Options options;
    options.fault = Fault::Trickle;
    for (const std::size_t request : {1U, 2U, 100U}) EXPECT_EQ(faultFor(options, request), Fault::Trickle) << request;
    options.faultyRequests = 1;
    EXPECT_EQ(faultFor(options, 1), Fault::Trickle);
    EXPECT_EQ(faultFor(options, 2), Fault::None);
    options.faultyRequests = 0;
    EXPECT_EQ(faultFor(options, 1), Fault::None);
}

TEST(ReaderEmulatorReplies, NoiseAndBabbleNeverHoldAMarkerTheyMustNot) {
    Options options;
    options.noise = 100'000;
    const std::vector<std::uint8_t> reply = replyBytes(options);
    ASSERT_GT(reply.size(), 100'000U);
    for (std::size_t i = 0; i < 100'000; ++i) ASSERT_NE(reply[i], StartMarker) << i;
    for (const std::uint8_t byte : babbleBytes(100'000)) {
        ASSERT_NE(byte, StartMarker);
        ASSERT_NE(byte, ValueMarker);
    }
}

}  // namespace
}  // namespace vx414::emulator
