// ReceiveReport over a device library that hands over whole reports: the same sink calls
// as a received frame, every code as the link gave it (the values the frame cannot carry
// included), ReportBytes as the frame would have left it, and the byte frame for a link
// that gives no report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/testing/recording_device_library.h"
#include "reader/report_encoder.h"
#include "reader/report_receiver.h"

namespace vx414 {
namespace {

TroubleCode code(std::string_view text) {
    const auto bytes = encodeTroubleCode(text);
    EXPECT_TRUE(bytes.has_value()) << text;
    return bytes ? decodeTroubleCode((*bytes)[0], (*bytes)[1]) : TroubleCode{};
}

std::vector<TroubleCode> codes(std::initializer_list<std::string_view> texts) {
    std::vector<TroubleCode> out;
    for (const std::string_view t : texts) out.push_back(code(t));
    return out;
}

// Every sink call, as one line.
struct SinkLog {
    std::string text;
    ReportSink sink() {
        ReportSink s;
        s.startMarkerRead = [this] { text += "start "; };
        s.blockKindRead = [this](int block, std::string_view kind) {
            text += "kind" + std::to_string(block) + "=" + std::string(kind) + " ";
        };
        s.firstBlockChecked = [this](std::span<const TroubleCode> cs) {
            text += "first[";
            for (const TroubleCode& c : cs) text += c.toString() + ",";
            text += "] ";
        };
        s.secondBlockChecked = [this](std::span<const TroubleCode> cs, int total) {
            text += "second[";
            for (const TroubleCode& c : cs) text += c.toString() + ",";
            text += "] total=" + std::to_string(total);
        };
        return s;
    }
};

struct Received {
    ReceiveResult result;
    ReportBuffer bytes{};
    int index = -1;
    std::string sinkText;
};

Received receive(LinkReport report) {
    RecordingDeviceLibrary link;
    link.giveReport(std::move(report));
    Received r;
    SinkLog log;
    const ReportSink sink = log.sink();
    // A DeviceLibrary& argument: the whole-report overload, not the byte source.
    r.result = ReceiveReport(link, r.bytes, r.index, sink);
    r.sinkText = log.text;
    EXPECT_EQ(link.readCount(), 0u) << "a link with a report is not read byte by byte";
    return r;
}

TEST(LinkReport, CodesTheByteFrameCannotCarryComeThroughAsSent) {
    struct Case {
        const char* what;
        std::vector<TroubleCode> pending;
        std::vector<TroubleCode> stored;
        std::string sinkText;
        std::vector<std::uint8_t> frame;  // ReportBytes from index 0
    };
    const std::vector<Case> cases = {
        {"a code byte 0xBB (P01BB)", codes({"P01BB"}), {},
         "start kind1=Pending first[P01BB,] kind2=Stored second[] total=1",
         {0xAA, 0x83, 0x01, 0xBB, 0x3F, 0xAA, 0x01, 0x01}},
        {"both code bytes 0xBB (B3BBB)", {}, codes({"B3BBB"}),
         "start kind1=Pending first[] kind2=Stored second[B3BBB,] total=1",
         {0xAA, 0x81, 0x81, 0xAA, 0x03, 0xBB, 0xBB, 0x79}},
        // 0x03 + 0x00 + 0xB8 = 0xBB: the frame would lose this block's checksum.
        {"a block whose checksum is 0xBB", {}, codes({"P00B8"}),
         "start kind1=Pending first[] kind2=Stored second[P00B8,] total=1",
         {0xAA, 0x81, 0x81, 0xAA, 0x03, 0x00, 0xB8, 0xBB}},
        {"no codes at all", {}, {}, "start kind1=Pending first[] kind2=Stored second[] total=0",
         {0xAA, 0x81, 0x81, 0xAA, 0x01, 0x01}},
        {"several codes, in the order the adapter gave them", codes({"P0300", "U0100"}), codes({"C1234", "P0171", "P0300"}),
         "start kind1=Pending first[P0300,U0100,] kind2=Stored second[C1234,P0171,P0300,] total=5",
         {0xAA, 0x85, 0x03, 0x00, 0xC1, 0x00, 0x49, 0xAA, 0x07, 0x52, 0x34, 0x01, 0x71, 0x03, 0x00, 0x02}},
    };
    for (const Case& c : cases) {
        const Received r = receive({LinkStatus::ok(), c.pending, c.stored});
        ASSERT_TRUE(r.result.ok()) << c.what;
        EXPECT_EQ(r.sinkText, c.sinkText) << c.what;
        const std::vector<std::uint8_t> frame(r.bytes.begin(), r.bytes.begin() + static_cast<long>(c.frame.size()));
        EXPECT_EQ(frame, c.frame) << c.what;
        EXPECT_EQ(r.index, static_cast<int>(c.frame.size()) - 1) << c.what;
        const ReaderReport& report = r.result.report;
        EXPECT_EQ(report.firstKind, "Pending") << c.what;
        EXPECT_EQ(report.secondKind, "Stored") << c.what;
        EXPECT_EQ(std::vector<TroubleCode>(report.firstCodes().begin(), report.firstCodes().end()), c.pending) << c.what;
        EXPECT_EQ(std::vector<TroubleCode>(report.secondCodes().begin(), report.secondCodes().end()), c.stored) << c.what;
    }
}

TEST(LinkReport, MoreCodesThanTheFrameHoldsAreAllDeliveredUpToTheCap) {
    std::vector<TroubleCode> pending;
    std::vector<TroubleCode> stored;
    for (int i = 0; i < 70; ++i) pending.push_back(decodeTroubleCode(0x01, static_cast<std::uint8_t>(i)));
    for (int i = 0; i < 50; ++i) stored.push_back(decodeTroubleCode(0x42, static_cast<std::uint8_t>(i)));
    ReportSink sink;
    std::vector<TroubleCode> first;
    std::vector<TroubleCode> second;
    int total = -1;
    sink.firstBlockChecked = [&](std::span<const TroubleCode> cs) { first.assign(cs.begin(), cs.end()); };
    sink.secondBlockChecked = [&](std::span<const TroubleCode> cs, int t) {
        second.assign(cs.begin(), cs.end());
        total = t;
    };
    RecordingDeviceLibrary link;
    link.giveReport({LinkStatus::ok(), pending, stored});
    ReportBuffer bytes{};
    int index = -1;
    const ReceiveResult r = ReceiveReport(link, bytes, index, sink);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(first, pending);
    EXPECT_EQ(second, stored);
    EXPECT_EQ(total, 120);
    // 70 codes need N = 141, more than a head's seven bits: ReportBytes keeps what the
    // frame could describe (the first start marker) and nothing is written past it.
    EXPECT_EQ(index, 0);
    EXPECT_EQ(bytes[0], StartMarker);
    EXPECT_EQ(bytes[1], 0);

    // 61 codes that fit heads but not ReportBytes: filled to its last entry, not past it.
    std::vector<TroubleCode> many(40, code("P0420"));
    link.giveReport({LinkStatus::ok(), many, many});
    bytes.fill(0);
    ASSERT_TRUE(ReceiveReport(link, bytes, index).ok());
    EXPECT_EQ(index, 128);
    EXPECT_EQ(bytes[1], 0x80 | 81);
    EXPECT_EQ(bytes[83], StartMarker);
    EXPECT_EQ(bytes[84], 81);

    // Above the cap the read fails rather than drop codes.
    link.giveReport({LinkStatus::ok(), std::vector<TroubleCode>(MaxLinkReportCodes, code("P0300")), {code("P0301")}});
    const ReceiveResult over = ReceiveReport(link, bytes, index, sink);
    EXPECT_EQ(over.status.code(), LinkCode::Protocol);
    link.giveReport({LinkStatus::ok(), std::vector<TroubleCode>(MaxLinkReportCodes, code("P0300")), {}});
    EXPECT_TRUE(ReceiveReport(link, bytes, index).ok());
}

TEST(LinkReport, AFailedReportDeliversNothing) {
    for (const LinkCode failure : {LinkCode::NoDevice, LinkCode::Io, LinkCode::Timeout, LinkCode::Protocol}) {
        const Received r = receive({LinkStatus(failure, "adapter failed"), codes({"P0300"}), codes({"P0171"})});
        EXPECT_FALSE(r.result.ok());
        EXPECT_EQ(r.result.status.code(), failure);
        EXPECT_EQ(r.sinkText, "");
        EXPECT_EQ(r.index, -1);
        EXPECT_EQ(r.bytes[0], 0);
    }
}

TEST(LinkReport, ALinkWithoutAReportIsReadByteByByte) {
    RecordingDeviceLibrary link;
    ReportContent content;
    content.first.pending = true;
    content.first.codes.push_back({0x03, 0x00});
    link.DeviceOpen();
    link.queueBytes(encodeReport(content));
    ReportBuffer bytes{};
    int index = 0;
    const ReceiveResult r = ReceiveReport(link, bytes, index);
    ASSERT_TRUE(r.ok()) << r.status.toString();
    EXPECT_EQ(r.report.firstCodes()[0], code("P0300"));
    EXPECT_GT(link.readCount(), 0u);
}

}  // namespace
}  // namespace vx414
