#include "reader/report_receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/testing/recording_device_library.h"
#include "reader/report_encoder.h"

namespace vx414 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A reader as the receiver sees it: the given bytes, then whatever `tail` gives (by
// default "no byte yet" for ever, a reader that has stopped).
struct ScriptedReader {
    std::vector<LinkByte> script;
    LinkByte tail = std::nullopt;
    std::size_t position = 0;
    std::size_t reads = 0;

    LinkByte operator()() {
        ++reads;
        return position < script.size() ? script[position++] : tail;
    }
};

std::vector<LinkByte> linkBytes(const Bytes& bytes, std::size_t idleBetween = 0) {
    std::vector<LinkByte> out;
    for (const std::uint8_t byte : bytes) {
        out.insert(out.end(), idleBetween, std::nullopt);
        out.emplace_back(byte);
    }
    return out;
}

std::string joined(std::span<const TroubleCode> codes) {
    std::string text;
    for (const TroubleCode& code : codes) {
        if (!text.empty()) text += ' ';
        text += code.text();
    }
    return text;
}

// Everything the caller sees of one report.
struct Received {
    ReceiveResult result;
    ReportBuffer reportBytes{};
    int reportIndex = 0;
    std::vector<std::string> events;
};

template <class Reader>
Received receive(Reader& reader, const ReceiveLimits& limits = {}) {
    Received r;
    ReportSink sink;
    sink.startMarkerRead = [&] { r.events.push_back("start"); };
    sink.blockKindRead = [&](int block, std::string_view kind) {
        r.events.push_back("kind" + std::to_string(block) + " " + std::string(kind));
    };
    sink.firstBlockChecked = [&](std::span<const TroubleCode> codes) {
        r.events.push_back("first " + std::to_string(codes.size()) + " [" + joined(codes) + "]");
    };
    sink.secondBlockChecked = [&](std::span<const TroubleCode> codes, int total) {
        r.events.push_back("second [" + joined(codes) + "] total " + std::to_string(total));
    };
    r.result = ReceiveReport(reader, r.reportBytes, r.reportIndex, sink, limits);
    return r;
}

Received receive(const Bytes& wire, std::size_t idleBetween = 0) {
    ScriptedReader reader{linkBytes(wire, idleBetween)};
    return receive(reader);
}

ReportContent manyCodes(std::size_t first, std::size_t second) {
    ReportContent content;
    for (std::size_t i = 0; i < first + second; ++i) {
        const CodeBytes code{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(0xFF - i)};
        (i < first ? content.first : content.second).codes.push_back(code);
    }
    return content;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ReceiveReport, GoodReports) {
    struct Case {
        const char* name;
        Bytes wire;
        std::vector<std::string> events;  // also gives kinds and codes
        int reportIndex;
        Bytes reportBytes;  // the first reportIndex + 1 entries; empty: not checked
    };
    const Case cases[] = {
        {"both blocks empty, after a lead-in",
         {0x00, 0x12, 0x55, 0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xAA, 0xBB, 0x01, 0xBB, 0x01, 0xBB},
         {"start", "kind1 Pending", "first 0 []", "kind2 Stored", "second [] total 0"},
         5,
         {0xAA, 0x81, 0x81, 0xAA, 0x01, 0x01}},
        {"one pending code",
         {0xAA, 0xBB, 0x83, 0xBB, 0x03, 0xBB, 0x00, 0xBB, 0x86, 0xBB, 0xAA, 0xBB, 0x01, 0xBB, 0x01, 0xBB},
         {"start", "kind1 Pending", "first 1 [P0300]", "kind2 Stored", "second [] total 1"},
         7,
         {0xAA, 0x83, 0x03, 0x00, 0x86, 0xAA, 0x01, 0x01}},
        {"two stored codes in the second block",
         {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xAA, 0xBB, 0x05, 0xBB, 0x52, 0xBB, 0x34, 0xBB, 0xC1, 0xBB, 0x00, 0xBB,
          0x4C, 0xBB},
         {"start", "kind1 Pending", "first 0 []", "kind2 Stored", "second [C1234 U0100] total 2"},
         9,
         {0xAA, 0x81, 0x81, 0xAA, 0x05, 0x52, 0x34, 0xC1, 0x00, 0x4C}},
        {"checksum is the low byte of 0x105",
         {0xAA, 0xBB, 0x83, 0xBB, 0x40, 0xBB, 0x42, 0xBB, 0x05, 0xBB, 0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB},
         {"start", "kind1 Pending", "first 1 [C0042]", "kind2 Pending", "second [] total 1"},
         7,
         {}},
        {"stored first, pending second",
         {0xAA, 0xBB, 0x03, 0xBB, 0xFF, 0xBB, 0xFF, 0xBB, 0x01, 0xBB, 0xAA, 0xBB, 0x83, 0xBB, 0x0A, 0xBB, 0x80, 0xBB,
          0x0D, 0xBB},
         {"start", "kind1 Stored", "first 1 [U3FFF]", "kind2 Pending", "second [P0A80] total 2"},
         9,
         {}},
        {"repeated markers and stray bytes before values, separator and trailer",
         {0x11, 0xAA, 0x22, 0xAA, 0xBB, 0xBB, 0xBB, 0x83, 0x33, 0xBB, 0x03, 0xAA, 0x00, 0xBB, 0xBB, 0x00, 0x44,
          0xBB, 0x86, 0x55, 0xBB, 0xBB, 0xBB, 0xAA, 0x66, 0xBB, 0x01, 0xBB, 0x01, 0x77, 0xAA, 0xBB},
         {"start", "kind1 Pending", "first 1 [P0300]", "kind2 Stored", "second [] total 1"},
         7,
         {0xAA, 0x83, 0x03, 0x00, 0x86, 0xAA, 0x01, 0x01}},
        {"61 codes, 30 and 31: ReportBytes filled to index 127, its last for two odd counts",
         encodeReport(manyCodes(30, 31)),
         {},
         127,
         {}},
        {"61 codes in the first block, none in the second",
         encodeReport(manyCodes(61, 0)),
         {},
         127,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::size_t idle : {std::size_t{0}, std::size_t{1000}}) {
            SCOPED_TRACE(idle == 0 ? "all at once" : "trickled, 1000 idle reads before each byte");
            const Received r = receive(c.wire, idle);
            ASSERT_TRUE(r.result.ok()) << r.result.status.toString();
            if (!c.events.empty()) {
                EXPECT_EQ(r.events, c.events);
            }
            EXPECT_EQ(r.reportIndex, c.reportIndex);
            if (!c.reportBytes.empty()) {
                EXPECT_EQ(Bytes(r.reportBytes.begin(), r.reportBytes.begin() + c.reportIndex + 1), c.reportBytes);
            }
        }
    }
}

TEST(ReceiveReport, LargestReportsKeepEveryCodeInOrder) {
    for (const auto& [first, second] : {std::pair<std::size_t, std::size_t>{30, 31}, {61, 0}, {0, 61}}) {
        const ReportContent content = manyCodes(first, second);
        const Received r = receive(encodeReport(content));
        ASSERT_TRUE(r.result.ok()) << first << "+" << second;
        const ReaderReport& report = r.result.report;
        ASSERT_EQ(report.firstCount, static_cast<int>(first));
        ASSERT_EQ(report.codeCount, 61);
        for (std::size_t i = 0; i < 61; ++i) {
            const CodeBytes& sent = i < first ? content.first.codes[i] : content.second.codes[i - first];
            EXPECT_EQ(report.codes[i], decodeTroubleCode(sent[0], sent[1])) << i;
        }
        EXPECT_EQ(report.firstKind, "Pending");
        EXPECT_EQ(report.secondKind, "Stored");
    }
}

TEST(ReceiveReport, ReadsNothingAfterTheTrailer) {
    const Bytes report = encodeReport({});
    ScriptedReader reader{linkBytes(concat(report, {0xAA, 0xBB, 0x83}))};
    ASSERT_TRUE(receive(reader).result.ok());
    EXPECT_EQ(reader.reads, report.size());
}

TEST(ReceiveReport, BadReportsFailAndKeepWhatTheyDelivered) {
    const Bytes emptySecond = {0xBB, 0xAA, 0xBB, 0x01, 0xBB, 0x01, 0xBB};
    struct Case {
        const char* name;
        Bytes wire;
        LinkByte tail;  // what the reader sends for ever after wire
        LinkCode code;
        std::vector<std::string> events;
        int reportIndex;
    };
    const Case cases[] = {
        {"first checksum off by one",
         concat({0xAA, 0xBB, 0x83, 0xBB, 0x03, 0xBB, 0x00, 0xBB, 0x87}, emptySecond), std::nullopt,
         LinkCode::Protocol, {"start", "kind1 Pending"}, 4},
        {"second checksum wrong",
         {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xAA, 0xBB, 0x05, 0xBB, 0x52, 0xBB, 0x34, 0xBB, 0xC1, 0xBB, 0x00, 0xBB,
          0x4D, 0xBB},
         std::nullopt, LinkCode::Protocol, {"start", "kind1 Pending", "first 0 []", "kind2 Stored"}, 9},
        {"separator BB 00 AA",
         {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0x00, 0xAA, 0xBB, 0x01, 0xBB, 0x01, 0xBB}, std::nullopt,
         LinkCode::Protocol, {"start", "kind1 Pending", "first 0 []"}, 2},
        {"a code byte equal to BB is skipped as a marker",
         concat({0xAA, 0xBB, 0x83, 0xBB, 0xBB, 0xBB, 0x00, 0xBB, 0x3E}, emptySecond), std::nullopt,
         LinkCode::Protocol, {"start", "kind1 Pending"}, 4},
        {"62 codes, 31 and 31", encodeReport(manyCodes(31, 31)), std::nullopt, LinkCode::Protocol,
         {"start", "kind1 Pending", "first 31 [P00FF P01FE P02FD P03FC P04FB P05FA P06F9 P07F8 P08F7 P09F6 P0AF5 "
                                    "P0BF4 P0CF3 P0DF2 P0EF1 P0FF0 P10EF P11EE P12ED P13EC P14EB P15EA P16E9 "
                                    "P17E8 P18E7 P19E6 P1AE5 P1BE4 P1CE3 P1DE2 P1EE1]",
          "kind2 Stored"},
         66},
        {"62 codes in the first block", encodeReport(manyCodes(62, 0)), std::nullopt, LinkCode::Protocol,
         {"start", "kind1 Pending"}, 1},
        {"a head that counts 127 values", {0xAA, 0xBB, 0xFF}, 0x00, LinkCode::Protocol, {"start", "kind1 Pending"}, 1},
        {"first head with N = 0", {0xAA, 0xBB, 0x80, 0xBB, 0x80}, std::nullopt, LinkCode::Protocol,
         {"start", "kind1 Pending"}, 1},
        {"first head with an even N", {0xAA, 0xBB, 0x04, 0xBB, 0x52, 0xBB, 0x34, 0xBB, 0x01, 0xBB, 0x8B},
         std::nullopt, LinkCode::Protocol, {"start", "kind1 Stored"}, 1},
        {"second head with an even N", {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xAA, 0xBB, 0x82}, std::nullopt,
         LinkCode::Protocol, {"start", "kind1 Pending", "first 0 []", "kind2 Pending"}, 4},
        {"reader stops mid-block", {0xAA, 0xBB, 0x85, 0xBB, 0x03, 0xBB, 0x00}, std::nullopt, LinkCode::Timeout,
         {"start", "kind1 Pending"}, 3},
        {"reader stops between marker and value", {0xAA, 0xBB, 0x85, 0xBB}, std::nullopt, LinkCode::Timeout,
         {"start", "kind1 Pending"}, 1},
        {"reader stops in the separator", {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xBB}, std::nullopt, LinkCode::Timeout,
         {"start", "kind1 Pending", "first 0 []"}, 2},
        {"no trailer after a good second block",
         {0xAA, 0xBB, 0x81, 0xBB, 0x81, 0xBB, 0xAA, 0xBB, 0x01, 0xBB, 0x01}, std::nullopt, LinkCode::Timeout,
         {"start", "kind1 Pending", "first 0 []", "kind2 Stored", "second [] total 0"}, 5},
        {"endless bytes that are never a marker", {0xAA, 0xBB, 0x83}, 0x11, LinkCode::Protocol,
         {"start", "kind1 Pending"}, 1},
        {"endless markers, never a value", {0xAA, 0xBB, 0x83}, 0xBB, LinkCode::Protocol, {"start", "kind1 Pending"},
         1},
        {"endless start markers in the separator", {0xAA, 0xBB, 0x81, 0xBB, 0x81}, 0xAA, LinkCode::Protocol,
         {"start", "kind1 Pending", "first 0 []"}, 2},
        {"a silent reader", {}, std::nullopt, LinkCode::Timeout, {}, 0},
        {"lead-in that never holds AA", {}, 0xBB, LinkCode::Timeout, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedReader reader{linkBytes(c.wire), c.tail};
        const Received r = receive(reader);
        EXPECT_FALSE(r.result.ok());
        EXPECT_EQ(r.result.status.code(), c.code) << r.result.status.toString();
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(r.reportIndex, c.reportIndex);
        // The report gives up when the lead-in's or the body's bound runs out, never later.
        EXPECT_LE(reader.reads, static_cast<std::size_t>(LeadInBound + BodyBound));
    }
}

TEST(ReceiveReport, LeadInExaminesAtMost3500001Reads) {
    struct Case {
        std::size_t before;  // reads before the AA
        bool idle;           // those reads find no byte (else the byte 0x00)
        bool ok;
    };
    for (const Case c : {Case{3'500'000, false, true}, Case{3'500'001, false, false}, Case{3'500'000, true, true},
                         Case{3'500'001, true, false}}) {
        SCOPED_TRACE(std::to_string(c.before) + (c.idle ? " idle reads" : " bytes"));
        ScriptedReader reader{std::vector<LinkByte>(c.before, c.idle ? LinkByte{} : LinkByte{0x00})};
        for (const std::uint8_t byte : encodeReport({})) reader.script.emplace_back(byte);
        const Received r = receive(reader);
        EXPECT_EQ(r.result.ok(), c.ok) << r.result.status.toString();
        if (!c.ok) {
            EXPECT_EQ(reader.reads, 3'500'001U);
        }
    }
}

TEST(ReceiveReport, AllWaitsAfterTheStartMarkerShareOneBound) {
    // Idle reads placed before the bytes after the start marker of an empty report: all
    // before one wait, or spread over every byte. Up to the bound in all, reads that carry
    // bytes included, the report comes through; one read more and it fails, however the
    // reads were spread, after exactly the bound.
    const Bytes wire = encodeReport({});  // AA BB 81 BB 81 BB AA BB 01 BB 01 BB
    const std::size_t bodyBytes = wire.size() - 1;
    const std::size_t idleInAll = static_cast<std::size_t>(BodyBound) - bodyBytes;
    struct Spread {
        const char* name;
        std::size_t at;  // all idle reads before wire[at]; 0: spread over every byte
    };
    for (const Spread s : {Spread{"before the first head", 1}, Spread{"before the separator", 5},
                           Spread{"before the trailer", 11}, Spread{"spread over every byte", 0}}) {
        for (const bool over : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (over ? ", one read over" : ", at the bound"));
            const std::size_t idle = idleInAll + (over ? 1 : 0);
            ScriptedReader reader{{wire[0]}};
            for (std::size_t i = 1; i < wire.size(); ++i) {
                std::size_t before = 0;
                if (s.at == i) before = idle;
                if (s.at == 0) before = idle / bodyBytes + (i == wire.size() - 1 ? idle % bodyBytes : 0);
                reader.script.insert(reader.script.end(), before, std::nullopt);
                reader.script.emplace_back(wire[i]);
            }
            const Received r = receive(reader);
            EXPECT_EQ(r.result.ok(), !over) << r.result.status.toString();
            if (over) {
                EXPECT_EQ(r.result.status.code(), LinkCode::Timeout);
                EXPECT_EQ(reader.reads, 1 + static_cast<std::size_t>(BodyBound));
            }
        }
    }
}

// A reader that sends its bytes one at a time with `gap` reads of "no byte yet" before
// each byte after the first; it never runs out of bytes to send.
struct TricklingReader {
    Bytes bytes;
    std::size_t gap;
    std::size_t reads = 0;
    std::size_t sent = 0;
    std::size_t idle = 0;

    LinkByte operator()() {
        ++reads;
        if (sent > 0 && idle < gap) {
            ++idle;
            return std::nullopt;
        }
        idle = 0;
        return sent < bytes.size() ? LinkByte{bytes[sent++]} : LinkByte{};
    }
};

TEST(ReceiveReport, ATricklingReaderFailsWithinTheBoundAndASlowLinkDoesNot) {
    const Bytes largest = encodeReport(manyCodes(30, 31));
    // A serial link at 9,600 baud carries a byte every 1.04 ms; polled every 0.1 us, which
    // is faster than an idle read() on a tty, that is 10,400 idle reads per byte.
    TricklingReader slowLink{largest, 10'400};
    const Received fine = receive(slowLink);
    ASSERT_TRUE(fine.result.ok()) << fine.result.status.toString();
    EXPECT_EQ(fine.result.report.codeCount, 61);

    // A byte just before a wait of the lead-in's size would run out: each value's wait
    // (its marker and itself) takes 3,500,000 reads, within such a bound on its own; the
    // whole report would take 260 of them.
    TricklingReader trickle{largest, static_cast<std::size_t>(LeadInBound - 1) / 2 - 1};
    const Received r = receive(trickle);
    EXPECT_FALSE(r.result.ok());
    EXPECT_EQ(r.result.status.code(), LinkCode::Timeout) << r.result.status.toString();
    EXPECT_EQ(trickle.reads, 1 + static_cast<std::size_t>(BodyBound));
    EXPECT_EQ(r.events, (std::vector<std::string>{"start", "kind1 Pending"}));
}

TEST(ReceiveReport, LimitsCanBeNarrowed) {
    ScriptedReader silent;
    const Received r = receive(silent, ReceiveLimits{10, 10});
    EXPECT_FALSE(r.result.ok());
    EXPECT_EQ(silent.reads, 10U);

    ScriptedReader stops{linkBytes({0xAA, 0xBB})};
    EXPECT_FALSE(receive(stops, ReceiveLimits{10, 5}).result.ok());
    EXPECT_EQ(stops.reads, 2U + 4U);  // the marker counts toward its wait
}

TEST(ReceiveReport, ReadsThroughTheDeviceLibrary) {
    RecordingDeviceLibrary link;
    link.DeviceOpen();
    link.queueNoBytes(5);
    link.queueBytes(encodeReport({{true, {{0x03, 0x00}}}, {false, {{0x52, 0x34}, {0xC1, 0x00}}}}));
    ReportBuffer reportBytes{};
    int reportIndex = 0;
    const ReceiveResult result = ReceiveReport(link, reportBytes, reportIndex);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(joined(result.report.firstCodes()), "P0300");
    EXPECT_EQ(joined(result.report.secondCodes()), "C1234 U0100");
    EXPECT_EQ(link.scriptLeft(), 0U);
    EXPECT_EQ(link.callText(), "Open Read");
}

}  // namespace
}  // namespace vx414
