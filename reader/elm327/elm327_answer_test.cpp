#include "reader/elm327/elm327_answer.h"
#include "reader/elm327/elm327_service_answer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

namespace vx414::elm327 {
namespace {

// "7E8: P0133 P01BB; 7E9: U0100", ": P0133" when headers were off, "NO DATA", or the
// failure's text.
std::string shown(const CodesAnswer& answer) {
    if (!answer.status.isOk()) return answer.status.toString();
    if (answer.noData) return answer.ecus.empty() ? "NO DATA" : "NO DATA with units";
    std::string text;
    for (const EcuCodes& ecu : answer.ecus) {
        if (!text.empty()) text += "; ";
        text += ecu.sender + ":";
        for (const TroubleCode& code : ecu.codes) text += " " + code.toString();
    }
    return text;
}

struct Case {
    const char* what;
    std::string answer;
    Service service;
    int protocol;
    std::string expected;
};

void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(shown(parseCodesAnswer(c.answer, c.service, c.protocol)), c.expected) << c.what;
    }
}

constexpr Service Stored = Service::StoredCodes;
constexpr Service Pending = Service::PendingCodes;

// Seven codes, two bytes each after 43 07: P0133 P01BB P0300 B3BBB P0420 U0100 C0035.
constexpr const char* SevenCodes = "P0133 P01BB P0300 B3BBB P0420 U0100 C0035";

TEST(Elm327Answer, Can11Bit) {
    expectAll({
        {"headers on, blanks, padded to eight bytes", "7E8 06 43 02 01 33 01 BB 00 \r\r>", Stored, 6,
         "7E8: P0133 P01BB"},
        {"headers on, no blanks, padding AA", "7E8064302013301BBAA\r\r>", Stored, 6, "7E8: P0133 P01BB"},
        {"protocol not known yet, search first", "SEARCHING...\r7E8 06 43 02 01 33 01 BB 00 \r\r>", Stored, 0,
         "7E8: P0133 P01BB"},
        {"headers off, formatting on", "43 02 01 33 01 BB \r\r>", Stored, 6, ": P0133 P01BB"},
        {"headers off, protocol not known", "430201BBBBBB\r\r>", Stored, 0, ": P01BB B3BBB"},
        {"pending codes", "7E8 04 47 01 BB BB 00 00 00 \r\r>", Pending, 6, "7E8: B3BBB"},
        {"no codes", "7E8 02 43 00 00 00 00 00 00 \r\r>", Stored, 6, "7E8:"},
        {"no codes, headers off", "43 00 \r\r>", Stored, 8, ":"},
        {"count byte with a padding code inside the frame", "7E8 06 43 01 03 00 00 00 00 \r\r>", Stored, 6,
         "7E8: P0300"},
        {"two units, in the order they answered",
         "7E9 04 43 01 BB BB 00 00 00 \r7E8 06 43 02 01 33 C1 00 00 \r\r>", Stored, 6,
         "7E9: B3BBB; 7E8: P0133 U0100"},
        {"two units, one multi-frame, interleaved",
         "7E8 10 10 43 07 01 33 01 BB \r7E9 04 43 01 C1 00 00 00 00 \r7E8 21 03 00 BB BB 04 20 C1 \r"
         "7E8 22 00 40 35 00 00 00 00 \r\r>",
         Stored, 6, std::string("7E8: ") + SevenCodes + "; 7E9: U0100"},
        {"two multi-frame units interleaved",
         "7E8 10 10 43 07 01 33 01 BB \r7E9 10 0A 43 04 01 02 01 13 \r7E8 21 03 00 BB BB 04 20 C1 \r"
         "7E9 21 01 23 02 22 55 55 55 \r7E8 22 00 40 35 00 00 00 00 \r\r>",
         Stored, 6, std::string("7E8: ") + SevenCodes + "; 7E9: P0102 P0113 P0123 P0222"},
        {"multi-frame, formatted, headers off",
         "010 \r0: 43 07 01 33 01 BB \r1: 03 00 BB BB 04 20 C1 \r2: 00 40 35 00 00 00 00 \r\r>", Stored, 6,
         std::string(": ") + SevenCodes},
        {"multi-frame, formatted, no blanks (as a car sent it)", "00A\r0:430401020113\r1:01230222000000\r\r>",
         Stored, 0, ": P0102 P0113 P0123 P0222"},
        {"multi-frame, formatting off, headers off",
         "10 10 43 07 01 33 01 BB \r21 03 00 BB BB 04 20 C1 \r22 00 40 35 00 00 00 00 \r\r>", Stored, 6,
         std::string(": ") + SevenCodes},
        {"single frame, formatting off, headers off", "04 43 01 01 BB 00 00 00 \r\r>", Stored, 6, ": P01BB"},
        {"lower-case hex", "7e8 06 43 02 01 33 01 bb 00 \r\r>", Stored, 6, "7E8: P0133 P01BB"},
        {"CR LF line ends", "7E8 06 43 02 01 33 01 BB 00\r\n\r\n>", Stored, 6, "7E8: P0133 P01BB"},
        {"clone echo and OK noise", "07\rOK\r7E8 04 47 01 01 BB 00 00 00\r\r>", Pending, 6, "7E8: P01BB"},
        {"echo with the prompt on its line", ">03\r7E8 04 43 01 01 BB 00 00 00\r\r>", Stored, 6, "7E8: P01BB"},
        {"no prompt (clone)", "7E8 04 43 01 01 BB 00 00 00\r", Stored, 6, "7E8: P01BB"},
        {"response pending, then the answer",
         "7E8 03 7F 03 78 00 00 00 00 \r7E8 04 43 01 01 33 00 00 00 \r\r>", Stored, 6, "7E8: P0133"},
        {"NO DATA", "NO DATA\r\r>", Stored, 6, "NO DATA"},
        {"SEARCHING then NO DATA", "SEARCHING...\rNO DATA\r\r>", Stored, 0, "NO DATA"},
        {"250 kbit/s, user CAN protocols", "7E8 04 43 01 01 BB 00 00 00\r\r>", Stored, 11, "7E8: P01BB"},
    });
}

TEST(Elm327Answer, Can29Bit) {
    expectAll({
        {"headers on, blanks", "18 DA F1 10 06 43 02 01 33 01 BB 00 \r\r>", Stored, 7, "18DAF110: P0133 P01BB"},
        {"headers on, no blanks", "18DAF110064302013301BB00\r\r>", Stored, 7, "18DAF110: P0133 P01BB"},
        {"protocol not known yet", "SEARCHING...\r18DAF110044301BBBB000000\r\r>", Stored, 0, "18DAF110: B3BBB"},
        {"two units",
         "18 DA F1 10 04 43 01 01 BB 00 00 00 \r18 DA F1 18 04 43 01 BB BB 00 00 00 \r\r>", Stored, 9,
         "18DAF110: P01BB; 18DAF118: B3BBB"},
        {"multi-frame",
         "18 DA F1 10 10 10 43 07 01 33 01 BB \r18 DA F1 10 21 03 00 BB BB 04 20 C1 \r"
         "18 DA F1 10 22 00 40 35 00 00 00 00 \r\r>",
         Stored, 7, std::string("18DAF110: ") + SevenCodes},
        {"multi-frame and a single frame, interleaved, protocol not known",
         "18DAF11010104707013301BB\r18DAF11A04470101BB000000\r18DAF110210300BBBB0420C1\r"
         "18DAF1102200403500000000\r\r>",
         Pending, 0, "18DAF110: P0133 P01BB P0300 B3BBB P0420 U0100 C0035; 18DAF11A: P01BB"},
        {"headers off", "47 01 BB BB \r\r>", Pending, 7, ": B3BBB"},
        {"no codes", "18 DA F1 10 02 43 00 AA AA AA AA AA \r\r>", Stored, 7, "18DAF110:"},
    });
}

TEST(Elm327Answer, J1850) {
    expectAll({
        {"VPW, headers on: three codes a frame and the check byte", "48 6B 10 43 01 33 01 BB 00 00 92 \r\r>",
         Stored, 2, "486B10: P0133 P01BB"},
        {"PWM, headers on", "41 6B 10 43 01 BB BB BB 03 00 B5 \r\r>", Stored, 1, "416B10: P01BB B3BBB P0300"},
        {"VPW, no blanks, protocol not known", "486B104301BB0000000033\r\r>", Stored, 0, "486B10: P01BB"},
        {"headers off (the data sheet's example)", "43 01 33 00 00 00 00 \r\r>", Stored, 2, ": P0133"},
        {"headers off, protocol not known", "43 01 33 00 00 00 00 \r\r>", Stored, 0, ": P0133"},
        {"headers off, codes that look like a header", "43 F1 10 43 01 00 00 \r\r>", Stored, 1, ": U3110 C0301"},
        {"five codes in two frames",
         "48 6B 10 43 01 33 01 BB 03 00 46 \r48 6B 10 43 BB BB 04 20 00 00 57 \r\r>", Stored, 2,
         "486B10: P0133 P01BB P0300 B3BBB P0420"},
        {"two units", "48 6B 10 43 01 33 00 00 00 00 67 \r48 6B 18 43 C1 00 01 33 00 00 FD \r\r>", Stored, 2,
         "486B10: P0133; 486B18: U0100 P0133"},
        {"no codes", "48 6B 10 43 00 00 00 00 00 00 B0 \r\r>", Stored, 2, "486B10:"},
        {"pending, lower-case", "48 6b 10 47 01 bb 00 00 00 00 5a \r\r>", Pending, 2, "486B10: P01BB"},
        {"NO DATA", "NO DATA\r\r>", Stored, 1, "NO DATA"},
    });
}

TEST(Elm327Answer, Iso9141AndKwp) {
    expectAll({
        {"ISO 9141-2, first read, bus init", "BUS INIT: ...OK\r48 6B 10 43 01 33 01 BB 00 00 F6 \r\r>", Stored,
         3, "486B10: P0133 P01BB"},
        {"ISO 9141-2, search and init, protocol not known",
         "SEARCHING...\rBUS INIT: ...OK\r48 6B 10 43 01 BB BB BB 03 00 3B \r\r>", Stored, 0,
         "486B10: P01BB B3BBB P0300"},
        {"KWP 5-baud, headers on", "87 F1 10 43 01 33 01 BB 00 00 BB \r\r>", Stored, 4, "80F110: P0133 P01BB"},
        {"KWP fast, two units, no blanks", "87F1104301BB0000000087\r87F1184301330000000007\r\r>", Stored, 5,
         "80F110: P01BB; 80F118: P0133"},
        {"KWP, several frames", "87 F1 10 43 01 33 01 BB 03 00 BE \r87 F1 10 43 BB BB 00 00 00 00 41 \r\r>",
         Stored, 5, "80F110: P0133 P01BB P0300 B3BBB"},
        {"KWP, pending, CR LF", "87 F1 10 47 C1 00 00 00 00 00 90 \r\n\r\n>", Pending, 5, "80F110: U0100"},
        {"ISO 9141-2, headers off", "43 01 BB 00 00 00 00 \r\r>", Stored, 3, ": P01BB"},
        {"no codes", "87 F1 10 43 00 00 00 00 00 00 CB \r\r>", Stored, 4, "80F110:"},
    });
}

TEST(Elm327Answer, FailsWithoutAWrongCode) {
    const std::string refused = "protocol error: car refused the request";
    const std::string broken = "protocol error: broken multi-frame answer";
    const std::string unreadable = "protocol error: unreadable answer";
    const std::string busError = "protocol error: adapter reported a bus error";
    const std::vector<std::pair<Case, std::string>> cases = {
        {{"no car", "SEARCHING...\rUNABLE TO CONNECT\r\r>", Stored, 0, ""}, "protocol error: no car answered"},
        {{"bus init failed", "BUS INIT: ...ERROR\r\r>", Stored, 3, ""}, "protocol error: bus initialisation failed"},
        {{"CAN ERROR", "CAN ERROR\r\r>", Stored, 6, ""}, busError},
        {{"BUS ERROR", "BUS ERROR\r\r>", Stored, 2, ""}, busError},
        {{"DATA ERROR", "DATA ERROR\r\r>", Stored, 2, ""}, busError},
        {{"a check byte the adapter rejected", "48 6B 10 43 01 33 00 00 00 00 68<DATA ERROR\r\r>", Stored, 2, ""},
         busError},
        {{"FB ERROR", "FB ERROR\r\r>", Stored, 1, ""}, busError},
        {{"BUFFER FULL", "7E8 04 43 01 01 BB 00 00 00\rBUFFER FULL\r\r>", Stored, 6, ""},
         "protocol error: adapter buffer full"},
        {{"STOPPED", "STOPPED\r\r>", Stored, 6, ""}, "protocol error: adapter stopped"},
        {{"not understood", "?\r\r>", Stored, 6, ""}, "protocol error: adapter did not understand"},
        {{"LV RESET", "LV RESET\r\r>", Stored, 6, ""}, "protocol error: adapter reset"},
        {{"a reset in the middle of the answer", "7E8 10 10 43 07 01 33 01 BB\r\r\rELM327 v1.5\r\r>", Stored, 6, ""},
         "protocol error: adapter reset"},
        {{"ACT ALERT", "ACT ALERT\r\r>", Stored, 6, ""}, "protocol error: adapter going to sleep"},
        {{"negative response, headers on", "7E8 03 7F 03 11 00 00 00 00\r\r>", Stored, 6, ""}, refused},
        {{"negative response, headers off", "7F 07 12\r\r>", Pending, 0, ""}, refused},
        {{"negative response, legacy", "48 6B 10 7F 03 22 B9\r\r>", Stored, 2, ""}, refused},
        {{"only response pending", "7E8 03 7F 03 78 00 00 00 00\r\r>", Stored, 6, ""},
         "protocol error: answer incomplete"},
        {{"nothing", "", Stored, 6, ""}, "protocol error: no answer"},
        {{"only the prompt", "\r\r>", Stored, 6, ""}, "protocol error: no answer"},
        {{"only the search", "SEARCHING...\r", Stored, 0, ""}, "protocol error: no answer"},
        {{"garbage", "HELLO WORLD\r>", Stored, 6, ""}, unreadable},
        {{"the echo of another request", "03\r7E8 04 47 01 01 BB 00 00 00\r>", Pending, 6, ""}, broken},
        {{"an answer to another request", "7E8 06 41 00 BE 3F B8 13 00\r\r>", Stored, 6, ""},
         "protocol error: answer to another request"},
        {{"pending answer to a stored request", "7E8 04 47 01 01 BB 00 00 00\r\r>", Stored, 6, ""},
         "protocol error: answer to another request"},
        {{"a consecutive frame missing",
          "7E8 10 10 43 07 01 33 01 BB \r7E8 22 00 40 35 00 00 00 00 \r\r>", Stored, 6, ""},
         broken},
        {{"the last frame missing", "7E8 10 10 43 07 01 33 01 BB \r7E8 21 03 00 BB BB 04 20 C1 \r\r>", Stored, 6,
          ""},
         "protocol error: answer incomplete"},
        {{"a consecutive frame without a first", "7E8 21 03 00 BB BB 04 20 C1 \r\r>", Stored, 6, ""}, broken},
        {{"a first frame cut short", "7E8 10 10 43 07 01 33 \r7E8 21 03 00 BB BB 04 20 C1 \r\r>", Stored, 6, ""},
         broken},
        {{"a first frame for a single frame's length", "7E8 10 04 43 01 01 BB \r\r>", Stored, 6, ""}, broken},
        {{"a single frame shorter than its length", "7E8 06 43 02 01 33 01\r\r>", Stored, 6, ""}, broken},
        {{"formatted lines out of order",
          "010\r0: 43 07 01 33 01 BB\r2: 00 40 35 00 00 00 00\r1: 03 00 BB BB 04 20 C1\r\r>", Stored, 6, ""},
         broken},
        {{"a formatted line short of bytes",
          "010\r0: 43 07 01 33 01 BB\r1: 03 00 BB BB 04 20\r2: C1 00 40 35 00 00 00\r\r>", Stored, 6, ""},
         broken},
        {{"a numbered line without a length", "0: 43 07 01 33 01 BB\r\r>", Stored, 6, ""}, broken},
        {{"a count above the codes sent", "7E8 04 43 02 01 BB 00 00 00\r\r>", Stored, 6, ""},
         "protocol error: fewer codes than counted"},
        {{"a code past the count", "7E8 06 43 01 01 BB 01 33 00\r\r>", Stored, 6, ""},
         "protocol error: more codes than counted"},
        {{"a legacy answer where CAN is known", "43 01 33 00 00 00 00\r\r>", Stored, 6, ""}, unreadable},
        {{"a CAN answer where J1850 is known", "7E8 04 43 01 01 BB 00 00 00\r\r>", Stored, 2, ""}, unreadable},
        {{"a legacy frame short of a code", "48 6B 10 43 01 33 01 BB 5E\r\r>", Stored, 2, ""}, unreadable},
        {{"legacy and CAN frames mixed", "7E8 04 43 01 01 BB 00 00 00\r48 6B 10 43 01 33 00 00 00 00 67\r\r>",
          Stored, 0, ""},
         "protocol error: mixed answer forms"},
        {{"a legacy frame, then a formatted CAN answer",
          "43 01 33 00 00 00 00\r00A\r0:430401020113\r1:01230222000000\r\r>", Stored, 0, ""},
         "protocol error: mixed answer forms"},
        {{"NO DATA beside codes", "7E8 04 43 01 01 BB 00 00 00\rNO DATA\r\r>", Stored, 6, ""},
         "protocol error: NO DATA beside an answer"},
        {{"a line longer than any frame", "7E8 04 43 01 01 BB 00 00 00" + std::string(100, ' ') + "\r>", Stored, 6,
          ""},
         "protocol error: line too long"},
        {{"too many bytes for one frame", "7E8 04 43 01 01 BB 00 00 00 00\r>", Stored, 6, ""}, unreadable},
        {{"more bytes than a single frame holds", "43 04 01 33 01 BB 03 00 04 20\r>", Stored, 6, ""}, unreadable},
        {{"a lone digit", "7\r>", Stored, 6, ""}, unreadable},
        {{"five digits", "7E80A\r>", Stored, 6, ""}, broken},
        {{"half a byte", "43 01 33 00 00 00 0\r>", Stored, 2, ""}, unreadable},
        {{"the clear service", "44\r>", Service::ClearCodes, 6, ""}, "protocol error: not a request for codes"},
    };
    for (const auto& [c, expected] : cases) {
        const CodesAnswer answer = parseCodesAnswer(c.answer, c.service, c.protocol);
        EXPECT_EQ(answer.status.code(), LinkCode::Protocol) << c.what;
        EXPECT_EQ(shown(answer), expected) << c.what;
        EXPECT_TRUE(answer.ecus.empty()) << c.what;
    }
}

TEST(Elm327Answer, ClearingIsConfirmedOnlyBy44) {
    const struct {
        const char* what;
        const char* answer;
        int protocol;
        const char* expected;
    } cases[] = {
        {"CAN 11-bit, headers on", "7E8 01 44 00 00 00 00 00 00 \r\r>", 6, "ok"},
        {"CAN 11-bit, two units", "7E8 01 44 AA AA AA AA AA AA\r7E9 01 44 AA AA AA AA AA AA\r\r>", 6, "ok"},
        {"CAN 29-bit, no blanks", "18DAF1100144000000000000\r\r>", 7, "ok"},
        {"headers off, protocol not known", "SEARCHING...\r44 \r\r>", 0, "ok"},
        {"J1850, headers on", "48 6B 10 44 52 \r\r>", 2, "ok"},
        {"KWP, headers on, echo", "04\r81 F1 10 44 C6 \r\r>", 5, "ok"},
        {"NO DATA", "NO DATA\r\r>", 6, "protocol error: car did not confirm"},
        {"refused: engine running", "7E8 03 7F 04 22 00 00 00 00\r\r>", 6, "protocol error: car refused the request"},
        {"one unit refuses", "7E8 01 44 00 00 00 00 00 00\r7E9 03 7F 04 22 00 00 00 00\r\r>", 6, "ok"},
        {"both refuse", "7E8 03 7F 04 22 00 00 00 00\r7E9 03 7F 04 22 00 00 00 00\r\r>", 6,
         "protocol error: car refused the request"},
        {"codes instead", "7E8 04 43 01 01 BB 00 00 00\r\r>", 6, "protocol error: answer to another request"},
        {"44 with data", "7E8 02 44 00 00 00 00 00 00\r\r>", 6, "protocol error: unreadable answer"},
        {"no car", "SEARCHING...\rUNABLE TO CONNECT\r\r>", 0, "protocol error: no car answered"},
        {"nothing", "\r\r>", 6, "protocol error: no answer"},
    };
    for (const auto& c : cases) EXPECT_EQ(parseClearAnswer(c.answer, c.protocol).status.toString(), c.expected) << c.what;
}

// The largest answer one unit can give: 2046 codes in a 4094-byte message, 585 formatted
// lines whose numbers go round from F to 0 many times.
std::string formattedAnswer(std::size_t codes) {
    std::vector<int> bytes = {0x43, static_cast<int>(codes % 256)};
    for (std::size_t i = 0; i < codes; ++i) {
        bytes.push_back(static_cast<int>(0x01 + i / 256 % 0x3F));
        bytes.push_back(static_cast<int>(i % 256));
    }
    char text[16];
    std::snprintf(text, sizeof text, "%03zX\r", bytes.size());
    std::string answer = text;
    std::size_t at = 0;
    for (unsigned line = 0; at < bytes.size(); ++line) {
        std::snprintf(text, sizeof text, "%X:", line % 16);
        answer += text;
        const std::size_t take = line == 0 ? 6 : 7;
        for (std::size_t i = 0; i < take; ++i, ++at) {
            std::snprintf(text, sizeof text, "%02X", at < bytes.size() ? bytes[at] : 0);
            answer += text;
        }
        answer += "\r";
    }
    return answer + "\r>";
}

TEST(Elm327Answer, BoundsOfOneAnswer) {
    // The count byte holds the number modulo 256 here: it must still not exceed the codes.
    const CodesAnswer largest = parseCodesAnswer(formattedAnswer(2046), Stored, 6);
    ASSERT_TRUE(largest.status.isOk()) << largest.status.toString();
    ASSERT_EQ(largest.ecus.size(), 1U);
    ASSERT_EQ(largest.ecus[0].codes.size(), 2046U);
    EXPECT_EQ(largest.ecus[0].codes[0].toString(), "P0100");
    EXPECT_EQ(largest.ecus[0].codes[2045].toString(), "P08FD");

    // A legacy unit has no length of its own: past 2046 codes the read fails.
    std::string frames;
    for (int i = 0; i < 683; ++i) frames += "48 6B 10 43 01 01 01 02 01 03 69\r";
    EXPECT_EQ(parseCodesAnswer(frames, Stored, 2).status.toString(), "protocol error: too many codes");

    // Thousands of senders: the read fails at the 33rd.
    std::string senders;
    for (int i = 0; i < 4000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "18DAF1%02X044301BBBB000000\r", i % 256);
        senders += line;
    }
    EXPECT_EQ(parseCodesAnswer(senders, Stored, 7).status.toString(), "protocol error: too many control units");

    // One long line without an end, and a megabyte of frames: a failure, not a hang.
    EXPECT_EQ(parseCodesAnswer(std::string(1 << 20, '4'), Stored, 6).status.toString(),
              "protocol error: line too long");
    std::string many;
    while (many.size() < (1 << 20)) many += "7E8 02 43 00 00 00 00 00 00\r";
    EXPECT_TRUE(parseCodesAnswer(many, Stored, 6).status.isOk());
}

TEST(Elm327Answer, MergeKeepsEachCodeOnceInTheOrderTheUnitsAnswered) {
    const CodesAnswer answer = parseCodesAnswer(
        "7E9 06 43 02 C1 00 01 BB 00 \r7E8 10 10 43 07 01 33 01 BB \r7E8 21 03 00 BB BB 04 20 C1 \r"
        "7E8 22 00 40 35 00 00 00 00 \r\r>",
        Stored, 6);
    ASSERT_TRUE(answer.status.isOk()) << answer.status.toString();
    std::string merged;
    for (const TroubleCode& code : mergeCodes(answer.ecus)) merged += code.toString() + " ";
    EXPECT_EQ(merged, "U0100 P01BB P0133 P0300 B3BBB P0420 C0035 ");
    EXPECT_TRUE(mergeCodes({}).empty());
}

TEST(Elm327Answer, UnpaddedAndRefusedUnits) {
    expectAll({
        // ISO 14230 units that send only the codes they hold: the first byte counts the data.
        {"KWP, one code", "83 F1 11 43 01 71 C0 \r\r>", Stored, 5, "80F111: P0171"},
        {"KWP, two codes", "85 F1 11 43 01 71 04 20 E7 \r\r>", Stored, 5, "80F111: P0171 P0420"},
        {"KWP, none", "81 F1 11 43 C6 \r\r>", Stored, 4, "80F111:"},
        {"KWP, unpadded, protocol not known", "83F1114301 71C0\r\r>", Stored, 0,
         "80F111: P0171"},
        // One unit, whatever length its format byte counts: 87 F1 10 and 83 F1 10 are the same.
        {"KWP, three then one", "87 F1 10 43 01 33 01 BB 03 00 BE \r83 F1 10 43 04 20 7A \r\r>", Stored, 5,
         "80F110: P0133 P01BB P0300 P0420"},
        {"headers off, one code", "43 01 71 \r\r>", Stored, 5, ": P0171"},
        // A unit that does not support the service has no codes; the others keep theirs.
        {"CAN, second unit refuses", "7E8 04 43 01 01 71 00 00 00 \r7E9 03 7F 03 11 00 00 00 00 \r\r>", Stored, 6,
         "7E8: P0171; 7E9:"},
        {"CAN, first unit refuses", "7E9 03 7F 07 11 00 00 00 00 \r7E8 04 47 01 01 71 00 00 00 \r\r>", Pending, 6,
         "7E9:; 7E8: P0171"},
        {"KWP, a unit refuses", "83 F1 11 43 01 71 C0 \r83 F1 18 7F 03 11 9D \r\r>", Stored, 5, "80F111: P0171; 80F118:"},
        {"response pending, then the answer", "7E8 03 7F 03 78 00 00 00 00 \r7E8 04 43 01 01 71 00 00 00 \r\r>",
         Stored, 6, "7E8: P0171"},
        {"KWP, a count that is not the frame's", "84 F1 11 43 01 71 C0 \r\r>", Stored, 5,
         "protocol error: unreadable answer"},
    });
}

// "7E8: 41 00 BE 3F A8 13 / refused 11", units joined by "; ".
std::string shown(const ServiceAnswer& answer) {
    if (!answer.status.isOk()) return answer.status.toString();
    if (answer.noData) return answer.units.empty() ? "NO DATA" : "NO DATA with units";
    std::string text;
    for (const UnitMessages& unit : answer.units) {
        if (!text.empty()) text += "; ";
        text += unit.sender + ":";
        for (const std::vector<std::uint8_t>& message : unit.messages) {
            if (&message != &unit.messages.front()) text += " /";
            for (const std::uint8_t byte : message) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", byte);
                text += hex;
            }
        }
        if (unit.refusal) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " refused %02X", *unit.refusal);
            text += hex;
        }
    }
    return text;
}

TEST(Elm327Answer, ServiceAnswersUnitByUnit) {
    const struct {
        const char* what;
        std::string answer;
        std::uint8_t service;
        int protocol;
        std::string expected;
    } cases[] = {
        {"01 00 from two CAN units", "7E8 06 41 00 BE 3F A8 13 00 \r7E9 06 41 00 98 18 80 01 00 \r\r>", 0x01, 6,
         "7E8: 41 00 BE 3F A8 13; 7E9: 41 00 98 18 80 01"},
        {"09 02, CAN multi-frame",
         "7E8 10 14 49 02 01 31 44 34 \r7E8 21 47 50 30 30 52 35 35 \r7E8 22 42 31 32 33 34 35 36 \r\r>", 0x09, 6,
         "7E8: 49 02 01 31 44 34 47 50 30 30 52 35 35 42 31 32 33 34 35 36"},
        {"09 02, CAN multi-frame, formatted, headers off",
         "014\r0: 49 02 01 31 44 34 \r1: 47 50 30 30 52 35 35 \r2: 42 31 32 33 34 35 36 \r\r>", 0x09, 0,
         ": 49 02 01 31 44 34 47 50 30 30 52 35 35 42 31 32 33 34 35 36"},
        {"09 02 in five J1850 frames",
         "48 6B 10 49 02 01 00 00 00 31 00\r48 6B 10 49 02 02 44 34 47 50 00\r48 6B 10 49 02 03 30 30 52 35 00\r"
         "48 6B 10 49 02 04 35 42 31 32 00\r48 6B 10 49 02 05 33 34 35 36 00\r\r>",
         0x09, 2,
         "486B10: 49 02 01 00 00 00 31 / 49 02 02 44 34 47 50 / 49 02 03 30 30 52 35 / 49 02 04 35 42 31 32 / "
         "49 02 05 33 34 35 36"},
        {"a refusal beside an answer", "7E8 02 4A 00 00 00 00 00 00 \r7E9 03 7F 0A 11 00 00 00 00 \r\r>", 0x0A, 6,
         "7E8: 4A 00; 7E9: refused 11"},
        {"a 29-bit unit", "18DAF110064100BE3FA813\r\r>", 0x01, 7, "18DAF110: 41 00 BE 3F A8 13"},
        {"NO DATA", "NO DATA\r\r>", 0x01, 6, "NO DATA"},
        {"an answer to another service", "7E8 06 41 00 BE 3F A8 13 00 \r\r>", 0x09, 6,
         "protocol error: answer to another request"},
        {"the adapter's error", "CAN ERROR\r\r>", 0x01, 6, "protocol error: adapter reported a bus error"},
    };
    for (const auto& c : cases) EXPECT_EQ(shown(parseServiceAnswer(c.answer, c.service, c.protocol)), c.expected) << c.what;
}

}  // namespace
}  // namespace vx414::elm327
