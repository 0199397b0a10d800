// ReceiveReport over a device library: a whole report from the link when it gives one,
// else the byte frame.
#include <vector>

#include "reader/report_receiver.h"
#include "reader/trouble_code.h"

namespace vx414 {
namespace {

constexpr std::uint8_t PendingBit = 0x80;
constexpr int LargestBlockCount = 0x7F;  // N fits in a head's seven bits

// The values the frame would carry for this report, in frame order, as far as heads can
// still describe the blocks; the caller stores as many as ReportBytes holds.
std::vector<std::uint8_t> frameValues(const LinkReport& report) {
    std::vector<std::uint8_t> values{StartMarker};
    const auto block = [&values](const std::vector<TroubleCode>& codes, bool pending) {
        const int n = 2 * static_cast<int>(codes.size()) + 1;
        if (n > LargestBlockCount) return false;
        const auto head = static_cast<std::uint8_t>((pending ? PendingBit : 0U) | static_cast<unsigned>(n));
        unsigned sum = head;
        values.push_back(head);
        for (const TroubleCode& code : codes) {
            const auto bytes = encodeTroubleCode(code.text());
            if (!bytes) return false;
            for (const std::uint8_t b : *bytes) {
                values.push_back(b);
                sum += b;
            }
        }
        values.push_back(static_cast<std::uint8_t>(sum & 0xFFU));
        return true;
    };
    if (!block(report.pending, true)) return values;
    values.push_back(StartMarker);
    block(report.stored, false);
    return values;
}

ReceiveResult deliver(const LinkReport& report, ReportBuffer& reportBytes, int& reportIndex, const ReportSink& sink) {
    ReceiveResult result;
    if (!report.status.isOk()) {
        result.status = report.status;
        return result;
    }
    const std::size_t total = report.pending.size() + report.stored.size();
    if (total > static_cast<std::size_t>(MaxLinkReportCodes)) {
        result.status = LinkStatus(LinkCode::Protocol, "more codes than the program holds");
        return result;
    }

    const std::vector<std::uint8_t> values = frameValues(report);
    for (std::size_t i = 0; i < values.size() && i < reportBytes.size(); ++i) {
        reportBytes[i] = values[i];
        reportIndex = static_cast<int>(i);
    }

    ReaderReport& out = result.report;
    std::size_t next = 0;
    for (const TroubleCode& code : report.pending) out.codes[next++] = code;
    for (const TroubleCode& code : report.stored) out.codes[next++] = code;
    out.firstKind = PendingKind;
    out.secondKind = StoredKind;
    out.firstCount = static_cast<int>(report.pending.size());
    out.codeCount = static_cast<int>(total);

    if (sink.startMarkerRead) sink.startMarkerRead();
    if (sink.blockKindRead) sink.blockKindRead(1, PendingKind);
    if (sink.firstBlockChecked) sink.firstBlockChecked(out.firstCodes());
    if (sink.blockKindRead) sink.blockKindRead(2, StoredKind);
    if (sink.secondBlockChecked) sink.secondBlockChecked(out.secondCodes(), out.codeCount);
    result.vehicle = report.vehicle;
    return result;
}

}  // namespace

ReceiveResult ReceiveReport(DeviceLibrary& link, ReportBuffer& reportBytes, int& reportIndex, const ReportSink& sink,
                            const ReceiveLimits& limits) {
    if (const std::optional<LinkReport> report = link.DeviceReadReport()) {
        return deliver(*report, reportBytes, reportIndex, sink);
    }
    return ReceiveReport(ByteSource(link), reportBytes, reportIndex, sink, limits);
}

}  // namespace vx414
