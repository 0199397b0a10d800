// The emulated adapter on a real pseudo-terminal, read as a client reads it; and its state
// machine fed byte by byte where the pauses within a reply matter.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/elm327-emulator/elm327_test_client.h"

namespace vx414::elmemu {
namespace {

using testing::Client;
using testing::optionsFrom;
using testing::RunningEmulator;
using std::chrono::milliseconds;

struct Exchange {
    const char* command;
    const char* answer;  // all the client receives, up to and with the prompt
};

void expectExchanges(const Client& client, std::span<const Exchange> exchanges) {
    for (const Exchange& exchange : exchanges) {
        EXPECT_EQ(escapeBytes(client.ask(exchange.command)), escapeBytes(exchange.answer))
            << "after " << exchange.command;
    }
}

TEST(Elm327Adapter, CommandsSettingsAndProtocolsOnATerminal) {
    const std::string overlong(80, '0');
    RunningEmulator running(optionsFrom({}));
    ASSERT_FALSE(running.emulator().address().empty()) << running.emulator().error();
    const Client client = Client::terminal(running.emulator().address());
    ASSERT_TRUE(client.open());
    const Exchange exchanges[] = {
        {"ATZ", "ATZ\r\r\rELM327 v1.5 (vx414 emulator)\r\r>"},
        {"ate0", "ate0\rOK\r\r>"},  // echoed: echo was still on when it arrived
        {"AT I", "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"AT@1", "OBDII to RS232 Interpreter\r\r>"},
        {"ATDP", "AUTO\r\r>"},
        {"ATDPN", "A0\r\r>"},
        {"ATRV", "12.6V\r\r>"},
        {"ATXYZ", "?\r\r>"},
        {"01 00", "SEARCHING...\r41 00 BE 3F A8 13 \r41 00 98 18 80 01 \r\r>"},
        {"atdpn", "A6\r\r>"},
        {"ATDP", "AUTO, ISO 15765-4 (CAN 11/500)\r\r>"},
        {"", "AUTO, ISO 15765-4 (CAN 11/500)\r\r>"},  // a bare CR repeats the last command
        {"ATL1", "OK\r\n\r\n>"},
        {"0100", "41 00 BE 3F A8 13 \r\n41 00 98 18 80 01 \r\n\r\n>"},
        {"ATL0", "OK\r\r>"},
        {"ATS0", "OK\r\r>"},
        {"0101", "410183076500\r410181076500\r\r>"},  // lamp on, three and one stored
        {"ATS1", "OK\r\r>"},
        {"0904", "NO DATA\r\r>"},  // no unit has calibration IDs
        {"01G0", "?\r\r>"},
        {"ATSP6", "OK\r\r>"},
        {"ATDPN", "6\r\r>"},
        {"0100", "41 00 BE 3F A8 13 \r41 00 98 18 80 01 \r\r>"},  // no search
        {"ATSP A7", "OK\r\r>"},
        {"ATDPN", "A7\r\r>"},
        {"0100", "SEARCHING...\r41 00 BE 3F A8 13 \r41 00 98 18 80 01 \r\r>"},
        {"ATDPN", "A6\r\r>"},
        {"ATSP8", "OK\r\r>"},
        {"0100", "CAN ERROR\r\r>"},
        {"ATTP3", "OK\r\r>"},
        {"0100", "BUS INIT: ...ERROR\r\r>"},
        {"ATTP2", "OK\r\r>"},
        {"0100", "NO DATA\r\r>"},
        {"ATSPD", "?\r\r>"},
        {"ATWS", "\r\rELM327 v1.5 (vx414 emulator)\r\r>"},
        {"ATDPN", "ATDPN\r8\r\r>"},  // echo on again; ATSP is kept over a reset, ATTP is not
        {"ATSP0", "ATSP0\rOK\r\r>"},
        {"ATE0", "ATE0\rOK\r\r>"},
        {"ATST 32", "OK\r\r>"},
        {"ATAT2", "OK\r\r>"},
        {"ATD", "OK\r\r>"},
        {overlong.c_str(), "?\r\r>"},
    };
    expectExchanges(client, exchanges);
}

TEST(Elm327Adapter, CodesOfTheCan11CarInEveryDisplayForm) {
    RunningEmulator running(optionsFrom({}));
    const Client client = Client::terminal(running.emulator().address());
    ASSERT_TRUE(client.open());
    // Engine 7E8: P0420 P0133 C1234 (eight bytes: a first and a consecutive frame);
    // transmission 7E9: U0100. Pending: P0300 and P0171.
    const Exchange exchanges[] = {
        {"ATE0", "ATE0\rOK\r\r>"},
        {"03", "SEARCHING...\r008\r0: 43 03 04 20 01 33 \r43 01 C1 00 \r1: 52 34 00 00 00 00 00 \r\r>"},
        {"07", "47 01 03 00 \r47 01 01 71 \r\r>"},
        {"ATH1", "OK\r\r>"},
        {"03", "7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>"},
        {"07", "7E8 04 47 01 03 00 \r7E9 04 47 01 01 71 \r\r>"},
        {"ATS0", "OK\r\r>"},
        {"03", "7E81008430304200133\r7E9044301C100\r7E82152340000000000\r\r>"},
        {"ATCAF0", "OK\r\r>"},
        {"03", "7E81008430304200133\r7E9044301C100000000\r7E82152340000000000\r\r>"},
        {"ATH0", "OK\r\r>"},
        {"03", "1008430304200133\r044301C100000000\r2152340000000000\r\r>"},
        {"ATCAF1", "OK\r\r>"},
        {"03", "008\r0:430304200133\r4301C100\r1:52340000000000\r\r>"},
        {"ATS1", "OK\r\r>"},
        {"04", "44 \r44 \r\r>"},
        {"03", "43 00 \r43 00 \r\r>"},
        {"07", "47 00 \r47 00 \r\r>"},
    };
    expectExchanges(client, exchanges);

    // Eight codes in the engine unit: three frames, numbered 0, 1, 2.
    RunningEmulator many(optionsFrom({"--codes", "many"}));
    const Client manyClient = Client::terminal(many.emulator().address());
    const Exchange manyExchanges[] = {
        {"ATE0", "ATE0\rOK\r\r>"},
        {"03",
         "SEARCHING...\r012\r0: 43 08 01 01 01 13 \r43 01 C1 00 \r1: 01 28 03 00 03 01 04 \r"
         "2: 20 04 42 93 18 00 00 \r\r>"},
        {"ATH1", "OK\r\r>"},
        {"03",
         "7E8 10 12 43 08 01 01 01 13 \r7E9 04 43 01 C1 00 \r7E8 21 01 28 03 00 03 01 04 \r"
         "7E8 22 20 04 42 93 18 00 00 \r\r>"},
    };
    expectExchanges(manyClient, manyExchanges);
}

TEST(Elm327Adapter, StoredCodesOfEveryCarWithHeadersOnAndOff) {
    // Codes P0420 P0133 C1234 U0100. Legacy buses carry three codes a frame with 0000 as
    // padding and close each frame with a check byte: the J1850 CRC or the K-line sum.
    struct Case {
        const char* car;
        const char* withHeaders;  // the first request: search, bus initialisation
        const char* withoutHeaders;
        const char* protocolNumber;
    };
    const Case cases[] = {
        {"can29",
         "SEARCHING...\r18 DA F1 10 10 08 43 03 04 20 01 33 \r18 DA F1 18 04 43 01 C1 00 \r"
         "18 DA F1 10 21 52 34 00 00 00 00 00 \r\r>",
         "008\r0: 43 03 04 20 01 33 \r43 01 C1 00 \r1: 52 34 00 00 00 00 00 \r\r>", "A7\r\r>"},
        {"iso9141",
         "SEARCHING...\rBUS INIT: ...OK\r48 6B 11 43 04 20 01 33 52 34 E5 \r48 6B 11 43 C1 00 00 00 00 00 C8 \r\r>",
         "43 04 20 01 33 52 34 \r43 C1 00 00 00 00 00 \r\r>", "A3\r\r>"},
        {"j1850vpw",
         "SEARCHING...\r48 6B 10 43 04 20 01 33 52 34 B5 \r48 6B 18 43 C1 00 00 00 00 00 C4 \r\r>",
         "43 04 20 01 33 52 34 \r43 C1 00 00 00 00 00 \r\r>", "A2\r\r>"},
        {"j1850pwm",
         "SEARCHING...\r41 6B 10 43 04 20 01 33 52 34 F3 \r41 6B 18 43 C1 00 00 00 00 00 82 \r\r>",
         "43 04 20 01 33 52 34 \r43 C1 00 00 00 00 00 \r\r>", "A1\r\r>"},
        {"kwp",
         "SEARCHING...\rBUS INIT: ...OK\r87 F1 11 43 04 20 01 33 52 34 AA \r87 F1 11 43 C1 00 00 00 00 00 8D \r\r>",
         "43 04 20 01 33 52 34 \r43 C1 00 00 00 00 00 \r\r>", "A5\r\r>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.car);
        RunningEmulator running(optionsFrom({"--car", c.car}));
        const Client client = Client::terminal(running.emulator().address());
        ASSERT_TRUE(client.open());
        const Exchange exchanges[] = {
            {"ATE0", "ATE0\rOK\r\r>"}, {"ATH1", "OK\r\r>"}, {"03", c.withHeaders},
            {"ATH0", "OK\r\r>"},       {"03", c.withoutHeaders}, {"ATDPN", c.protocolNumber},
        };
        expectExchanges(client, exchanges);
    }
    // The check byte of a J1850 PWM frame recorded from a real adapter:
    // 41 6B 10 41 00 BF DF B9 91 78.
    const std::uint8_t data[] = {0x41, 0x00, 0xBF, 0xDF, 0xB9, 0x91};
    EXPECT_EQ(frameCheck(PwmProtocol, 0x416B10, data), 0x78);
}

TEST(Elm327Adapter, VinReadinessFreezeFrameAndPermanentCodesOfEachCar) {
    // After ATE0 and a first 0100 (the search). The engine unit holds the VIN, frame 0 and
    // the permanent code (its first stored code, P0420); clearing leaves the permanent code
    // and makes every supported monitor incomplete.
    struct Case {
        std::vector<std::string_view> arguments;
        std::vector<Exchange> exchanges;
    };
    const std::vector<Case> cases = {
        {{"--car", "can11"},
         {{"ATH1", "OK\r\r>"},
          {"0900", "7E8 06 49 00 40 00 00 00 \r\r>"},
          {"0902", "7E8 10 14 49 02 01 31 46 41 \r7E8 21 48 50 33 46 32 37 43 \r7E8 22 4C 31 32 33 34 35 36 \r\r>"},
          {"0101", "7E8 06 41 01 83 07 65 00 \r7E9 06 41 01 81 07 65 00 \r\r>"},
          {"020000", "7E8 07 42 00 00 5E 3B 80 00 \r\r>"},
          {"020200", "7E8 05 42 02 00 04 20 \r\r>"},
          {"020C00", "7E8 05 42 0C 00 0C 80 \r\r>"},
          {"020500", "7E8 04 42 05 00 7B \r\r>"},
          {"020C01", "NO DATA\r\r>"},
          // Several PIDs a request: one message a unit, in as many frames as it takes.
          {"010001", "7E8 10 0B 41 00 BE 3F A8 13 \r7E9 10 0B 41 00 98 18 80 01 \r7E8 21 01 83 07 65 00 00 00 \r"
                     "7E9 21 01 81 07 65 00 00 00 \r\r>"},
          {"0200000200", "7E8 10 0B 42 00 00 5E 3B 80 \r7E8 21 00 02 00 04 20 00 00 \r\r>"},
          {"020C000500", "7E8 10 08 42 0C 00 0C 80 05 \r7E8 21 00 7B 00 00 00 00 00 \r\r>"},
          {"020C000E00", "7E8 05 42 0C 00 0C 80 \r\r>"},  // a PID the frame does not hold is left out
          {"0A", "7E8 04 4A 01 04 20 \r7E9 02 4A 00 \r\r>"},
          {"04", "7E8 01 44 \r7E9 01 44 \r\r>"},
          {"0101", "7E8 06 41 01 00 07 65 65 \r7E9 06 41 01 00 07 65 65 \r\r>"},
          {"020200", "7E8 05 42 02 00 00 00 \r\r>"},
          {"020C00", "NO DATA\r\r>"},
          {"0A", "7E8 04 4A 01 04 20 \r7E9 02 4A 00 \r\r>"}}},
        // Legacy frames: 09 00 with a message count, the VIN in five numbered frames.
        {{"--car", "iso9141"},
         {{"0900", "49 00 01 40 00 00 00 \r\r>"},
          {"0902", "49 02 01 00 00 00 4A \r49 02 02 54 44 4B 42 \r49 02 03 32 30 55 32 \r49 02 04 39 33 34 37 \r"
                   "49 02 05 39 33 38 37 \r\r>"},
          {"0101", "41 01 84 07 65 04 \r\r>"},
          {"020D00", "42 0D 00 00 \r\r>"},
          {"0A", "4A 04 20 00 00 00 00 \r\r>"}}},
        {{"--car", "can29"},
         {{"ATH1", "OK\r\r>"},
          {"0902", "18 DA F1 10 10 14 49 02 01 57 56 57 \r18 DA F1 10 21 5A 5A 5A 31 4B 5A 36 \r"
                   "18 DA F1 10 22 57 31 32 33 34 35 36 \r\r>"}}},
        {{"--vehicle", "diesel"},
         {{"0101", "41 01 83 0F EB 40 \r41 01 81 0F EB 40 \r\r>"},
          {"0902", "014\r0: 49 02 01 57 56 57 \r1: 5A 5A 5A 33 43 5A 45 \r2: 45 31 32 33 34 35 36 \r\r>"}}},
        {{"--car", "nocodes"}, {{"0A", "NO DATA\r\r>"}, {"020200", "42 02 00 00 00 \r\r>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        RunningEmulator running(optionsFrom(c.arguments));
        const Client client = Client::terminal(running.emulator().address());
        ASSERT_TRUE(client.open());
        client.ask("ATE0");
        client.ask("0100");
        expectExchanges(client, c.exchanges);
    }
}

TEST(Elm327Adapter, AnAnswerCountEndsTheWaitForFurtherUnits) {
    // With a real chip's timing the prompt follows the last answer after 200 ms, unless the
    // request said how many answers to wait for and that many frames have come.
    using Clock = std::chrono::steady_clock;
    RunningEmulator running(optionsFrom({"--timed"}));
    const Client client = Client::terminal(running.emulator().address());
    ASSERT_TRUE(client.open());
    client.ask("ATE0");
    client.ask("0100");
    struct Case {
        const char* request;
        bool waits;
    };
    const Case cases[] = {{"0101", true}, {"01012", false}, {"0101 1", false}, {"01013", true}, {"0A2", false}};
    for (const Case& c : cases) {
        const Clock::time_point start = Clock::now();
        const std::string answer = client.ask(c.request);
        const auto took = Clock::now() - start;
        EXPECT_TRUE(answer.starts_with("41 01") || answer.starts_with("4A")) << c.request << ": " << answer;
        if (c.waits) {
            EXPECT_GE(took, milliseconds(200)) << c.request;
        } else {
            EXPECT_LT(took, milliseconds(150)) << c.request;
        }
    }
}

TEST(Elm327Adapter, NoCodesNoCarSlowSearchSilenceAndStopping) {
    using Clock = std::chrono::steady_clock;
    {
        RunningEmulator running(optionsFrom({"--car", "nocodes"}));
        const Client client = Client::terminal(running.emulator().address());
        const Exchange exchanges[] = {{"ATE0", "ATE0\rOK\r\r>"}, {"03", "SEARCHING...\rNO DATA\r\r>"},
                                      {"07", "NO DATA\r\r>"},    {"ATDPN", "A6\r\r>"}};
        expectExchanges(client, exchanges);
    }
    {
        RunningEmulator running(optionsFrom({"--car", "nocar", "--search-ms", "300"}));
        const Client client = Client::terminal(running.emulator().address());
        client.ask("ATE0");
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(client.ask("03"), "SEARCHING...\rUNABLE TO CONNECT\r\r>");
        EXPECT_GE(Clock::now() - start, milliseconds(280));
        EXPECT_EQ(client.ask("ATDPN"), "A0\r\r>");
    }
    {
        RunningEmulator running(optionsFrom({"--car", "slow", "--search-ms", "600"}));
        const Client client = Client::terminal(running.emulator().address());
        client.ask("ATE0");
        const Clock::time_point start = Clock::now();
        client.send("03\r");
        // The search shows at once; the initialisation's dots come as it goes.
        EXPECT_EQ(client.readUntil("BUS INIT: "), "SEARCHING...\rBUS INIT: ");
        EXPECT_LT(Clock::now() - start, milliseconds(500));
        const std::string rest = client.readAnswer();
        EXPECT_GE(Clock::now() - start, milliseconds(580));
        EXPECT_EQ(rest, "...OK\r43 04 20 01 33 52 34 \r43 C1 00 00 00 00 00 \r\r>");
        // Once initialised, the bus answers at once.
        EXPECT_EQ(client.ask("07"), "47 03 00 01 71 00 00 \r\r>");

        // A character during the initialisation stops it; the next request starts again.
        EXPECT_EQ(client.ask("ATPC"), "OK\r\r>");
        client.send("03\r");
        EXPECT_EQ(client.readUntil("BUS INIT: "), "BUS INIT: ");
        client.send("x");
        EXPECT_EQ(client.readAnswer(), "STOPPED\r\r>");
        EXPECT_EQ(client.ask("07"), "BUS INIT: ...OK\r47 03 00 01 71 00 00 \r\r>");
    }
    {
        RunningEmulator running(optionsFrom({"--car", "silent"}));
        const Client client = Client::terminal(running.emulator().address());
        client.send("ATZ\r");
        EXPECT_EQ(client.readFor(milliseconds(300)), "");
    }
}

TEST(Elm327Adapter, EachCloneQuirkAsAClientSeesIt) {
    // After ATE0, ATH1 and a first 0100, the stored codes twice, then ATI.
    struct Case {
        const char* quirk;
        const char* first;
        const char* second;
        const char* identity;
    };
    const char* normal = "7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>";
    const Case cases[] = {
        {"echo", "03\r7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>",
         "03\r7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>",
         "ATI\rELM327 v1.5 (vx414 emulator)\r\r>"},
        {"lowercase", "7e8 10 08 43 03 04 20 01 33 \r7e9 04 43 01 c1 00 \r7e8 21 52 34 00 00 00 00 00 \r\r>",
         "7e8 10 08 43 03 04 20 01 33 \r7e9 04 43 01 c1 00 \r7e8 21 52 34 00 00 00 00 00 \r\r>",
         "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"ok-noise", "OK\r7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>",
         "OK\r7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>",
         "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"no-prompt", "7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r",
         "7E8 10 08 43 03 04 20 01 33 \r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r",
         "ELM327 v1.5 (vx414 emulator)\r\r>"},
        // Reset: the adapter is back to its defaults (echo on, automatic search).
        {"reset", "7E8 10 08 43 03 04 20 01 33 \r\r\rELM327 v1.5 (vx414 emulator)\r\r>",
         "03\rSEARCHING...\r008\r0: 43 03 04 20 01 33 \r43 01 C1 00 \r1: 52 34 00 00 00 00 00 \r\r>",
         "ATI\rELM327 v1.5 (vx414 emulator)\r\r>"},
        {"garbage",
         "7E8 10 08 43 03 04 20 01 33 \r#?4%3 Z1 ~&\r7E9 04 43 01 C1 00 \r7E8 21 52 34 00 00 00 00 00 \r\r>", normal,
         "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"can-error", "CAN ERROR\r\r>", "CAN ERROR\r\r>", "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"buffer-full", "BUFFER FULL\r\r>", "BUFFER FULL\r\r>", "ELM327 v1.5 (vx414 emulator)\r\r>"},
        {"unit-refuses", "7E8 10 08 43 03 04 20 01 33 \r7E9 03 7F 03 11 \r7E8 21 52 34 00 00 00 00 00 \r\r>",
         "7E8 10 08 43 03 04 20 01 33 \r7E9 03 7F 03 11 \r7E8 21 52 34 00 00 00 00 00 \r\r>", "ELM327 v1.5 (vx414 emulator)\r\r>"},
        // The second unit 350 ms after the first, the prompt after both.
        {"late-unit", "7E8 10 08 43 03 04 20 01 33 \r7E8 21 52 34 00 00 00 00 00 \r7E9 04 43 01 C1 00 \r\r>",
         "7E8 10 08 43 03 04 20 01 33 \r7E8 21 52 34 00 00 00 00 00 \r7E9 04 43 01 C1 00 \r\r>", "ELM327 v1.5 (vx414 emulator)\r\r>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quirk);
        RunningEmulator running(optionsFrom({"--quirk", c.quirk}));
        const Client client = Client::terminal(running.emulator().address());
        ASSERT_TRUE(client.open());
        // Without a prompt the client can only wait; the answer is complete after a pause.
        auto answer = [&client](std::string_view request) {
            client.send(std::string(request) + "\r");
            return client.readAnswer(milliseconds(400));
        };
        answer("ATE0");
        answer("ATH1");
        answer("0100");
        EXPECT_EQ(escapeBytes(answer("03")), escapeBytes(c.first));
        EXPECT_EQ(escapeBytes(answer("03")), escapeBytes(c.second));
        EXPECT_EQ(escapeBytes(answer("ATI")), escapeBytes(c.identity));
    }
}

TEST(Elm327Adapter, AdaptersThatKnowLessAnswerWithAQuestionMark) {
    struct Case {
        const char* quirk;
        std::vector<Exchange> exchanges;
    };
    const Case cases[] = {
        {"no-atws", {{"ATE0", "ATE0\rOK\r\r>"}, {"ATWS", "?\r\r>"}, {"ATZ", "\r\rELM327 v1.5 (vx414 emulator)\r\r>"}}},
        {"no-dpn", {{"ATE0", "ATE0\rOK\r\r>"}, {"ATDPN", "?\r\r>"}, {"ATDP", "AUTO\r\r>"}}},
        {"no-spa", {{"ATE0", "ATE0\rOK\r\r>"}, {"ATSPA6", "?\r\r>"}, {"ATSP0", "OK\r\r>"}, {"ATSP6", "OK\r\r>"}}},
        {"multi-refuse",
         {{"ATE0", "ATE0\rOK\r\r>"},
          {"ATH1", "OK\r\r>"},
          {"0100", "SEARCHING...\r7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 01 \r\r>"},
          {"010001", "7E8 03 7F 01 12 \r7E9 03 7F 01 12 \r\r>"},
          {"0101", "7E8 06 41 01 83 07 65 00 \r7E9 06 41 01 81 07 65 00 \r\r>"}}},
        {"multi-short",
         {{"ATE0", "ATE0\rOK\r\r>"},
          {"ATH1", "OK\r\r>"},
          {"0100", "SEARCHING...\r7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 01 \r\r>"},
          {"010001", "7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 01 \r\r>"}}},
        // The first unit asks for time; its answer follows, then the other unit's.
        {"pending-78",
         {{"ATE0", "ATE0\rOK\r\r>"},
          {"ATH1", "OK\r\r>"},
          {"03", "SEARCHING...\r7E8 03 7F 03 78 \r7E8 10 08 43 03 04 20 01 33 \r7E8 21 52 34 00 00 00 00 00 \r"
                 "7E9 04 43 01 C1 00 \r\r>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quirk);
        RunningEmulator running(optionsFrom({"--quirk", c.quirk}));
        const Client client = Client::terminal(running.emulator().address());
        ASSERT_TRUE(client.open());
        expectExchanges(client, c.exchanges);
    }
}

// What the adapter sends back for a command fed to it byte by byte, with each pause before a
// piece of the reply shown as [ms].
std::string exchange(Adapter& adapter, std::string_view command) {
    std::string shown;
    for (const char byte : std::string(command) + "\r") {
        const std::optional<Reply> reply = adapter.receive(byte);
        if (!reply) continue;
        for (const Step& step : reply->steps) {
            if (step.delayMilliseconds > 0) shown += "[" + std::to_string(step.delayMilliseconds) + "]";
            shown += step.text;
        }
    }
    return shown;
}

TEST(Elm327Adapter, LessCooperativeAdaptersAndCars) {
    // The can11 car with the default codes, behind an adapter that waits 200 ms for further
    // units; after ATE0 and ATSP6 (no search).
    struct Case {
        std::vector<std::string_view> quirks;
        std::vector<Exchange> exchanges;
    };
    const char* both0101 = "41 01 83 07 65 00 \r41 01 81 07 65 00 \r[200]\r>";
    const Case cases[] = {
        {{"multi-nodata"},
         {{"010001", "[200]NO DATA\r\r>"}, {"0200000200", "[200]NO DATA\r\r>"}, {"0101", both0101}}},
        {{"multi-engine-silent"},
         {{"ATH1", "OK\r\r>"},
          {"010001", "7E9 10 0B 41 00 98 18 80 01 \r7E9 21 01 81 07 65 00 00 00 \r[200]\r>"},
          {"0200000200", "[200]NO DATA\r\r>"},
          {"0100", "7E8 06 41 00 BE 3F A8 13 \r7E9 06 41 00 98 18 80 01 \r[200]\r>"}}},
        {{"headers-stuck-off"}, {{"ATH1", "OK\r\r>"}, {"0101", both0101}}},
        {{"transmission-first"},
         {{"ATH1", "OK\r\r>"},
          {"03", "7E9 04 43 01 C1 00 \r7E8 10 08 43 03 04 20 01 33 \r7E8 21 52 34 00 00 00 00 00 \r[200]\r>"},
          {"010001", "7E9 10 0B 41 00 98 18 80 01 \r7E8 10 0B 41 00 BE 3F A8 13 \r7E9 21 01 81 07 65 00 00 00 \r"
                     "7E8 21 01 83 07 65 00 00 00 \r[200]\r>"}}},
        // Two answers came, as asked; the prompt still waits.
        {{"count-ignored"}, {{"01012", both0101}}},
        // A count of one: the chip stops listening after the first frame, the transmission's,
        // and the engine's answer is lost; the prompt comes at once.
        {{"transmission-first"}, {{"ATH1", "OK\r\r>"}, {"01011", "7E9 06 41 01 81 07 65 00 \r\r>"}}},
        // The second unit's VIN in four frames, then the engine's in three.
        {{"padded-vin"},
         {{"ATH1", "OK\r\r>"},
          {"0900", "7E8 06 49 00 40 00 00 00 \r7E9 06 49 00 40 00 00 00 \r[200]\r>"},
          {"0902", "7E9 10 17 49 02 01 31 46 41 \r7E8 10 14 49 02 01 31 46 41 \r7E9 21 48 50 33 46 32 37 43 \r"
                   "7E9 22 4C 31 32 33 34 35 36 \r7E9 23 00 00 00 00 00 00 00 \r7E8 21 48 50 33 46 32 37 43 \r"
                   "7E8 22 4C 31 32 33 34 35 36 \r[200]\r>"}}},
        {{"frame-lister"},
         {{"ATH1", "OK\r\r>"},
          {"020000", "7E9 07 42 00 00 5E 3B 80 00 \r7E8 07 42 00 00 5E 3B 80 00 \r[200]\r>"},
          {"020200", "7E9 05 42 02 00 00 00 \r7E8 05 42 02 00 04 20 \r[200]\r>"},
          {"020C000500", "7E9 10 08 42 0C 00 00 00 05 \r7E8 10 08 42 0C 00 0C 80 05 \r7E9 21 00 00 00 00 00 00 00 \r"
                         "7E8 21 00 7B 00 00 00 00 00 \r[200]\r>"}}},
        // The second 0101 (typed with spaces and an answer count) fails once.
        {{"transient-error=0101@2"},
         {{"0101", both0101}, {"0100", "41 00 BE 3F A8 13 \r41 00 98 18 80 01 \r[200]\r>"},
          {"01 01 1", "CAN ERROR\r[200]\r>"}, {"0101", both0101}}},
        {{"transient-nodata=03", "transient-error=07@2"},
         {{"07", "47 01 03 00 \r47 01 01 71 \r[200]\r>"},
          {"03", "[200]NO DATA\r\r>"},
          {"07", "CAN ERROR\r[200]\r>"},
          {"03", "008\r0: 43 03 04 20 01 33 \r43 01 C1 00 \r1: 52 34 00 00 00 00 00 \r[200]\r>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quirks.front());
        AdapterSetup setup = optionsFrom({}).adapter;
        setup.answerTimeoutMilliseconds = 200;
        for (const std::string_view quirk : c.quirks) ASSERT_TRUE(addQuirk(setup, quirk)) << quirk;
        Adapter adapter(setup);
        exchange(adapter, "ATE0");
        exchange(adapter, "ATSP6");
        for (const Exchange& e : c.exchanges) {
            EXPECT_EQ(escapeBytes(exchange(adapter, e.command)), escapeBytes(e.answer)) << "after " << e.command;
        }
    }
}

// A slow Bluetooth adapter: every line of an answer, the echo too, comes late by the
// delay; the prompt follows the last line at once.
TEST(Elm327Adapter, LateLines) {
    using Clock = std::chrono::steady_clock;
    RunningEmulator running(optionsFrom({"--line-delay", "150-150"}));
    const Client client = Client::terminal(running.emulator().address());
    ASSERT_TRUE(client.open());
    struct Case {
        const char* command;
        const char* answer;
        int lines;
    };
    const Case cases[] = {
        {"ATE0", "ATE0\rOK\r\r>", 2},
        {"ATI", "ELM327 v1.5 (vx414 emulator)\r\r>", 1},
        {"0100", "SEARCHING...\r41 00 BE 3F A8 13 \r41 00 98 18 80 01 \r\r>", 3},
    };
    for (const Case& c : cases) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(escapeBytes(client.ask(c.command)), escapeBytes(c.answer)) << c.command;
        const auto took = Clock::now() - start;
        EXPECT_GE(took, milliseconds(150 * c.lines)) << c.command;
        EXPECT_LT(took, milliseconds(150 * c.lines + 250)) << c.command;
    }
}

}  // namespace
}  // namespace vx414::elmemu
