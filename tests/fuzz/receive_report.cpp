// ReceiveReport from arbitrary bytes: never a write past ReportBytes, the caller told of
// its results in order, and every report it accepts comes through the encoder unchanged.
//
// Input: byte 0 sets the bound of the report after its start marker (16 to 4,096 reads,
// enough for the largest report, few enough that endless cases stay cheap),
// byte 1 is a value that reads as "no byte yet" wherever it appears later, the rest is
// what the reader sends.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "reader/report_encoder.h"
#include "reader/report_receiver.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

class FuzzSource {
public:
    FuzzSource(std::span<const std::uint8_t> bytes, std::uint8_t idle) : bytes_(bytes), idle_(idle) {}
    vx414::LinkByte operator()() {
        if (position_ == bytes_.size()) return std::nullopt;
        const std::uint8_t byte = bytes_[position_++];
        if (byte == idle_) return std::nullopt;
        return byte;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint8_t idle_;
    std::size_t position_ = 0;
};

std::vector<vx414::CodeBytes> codeBytes(std::span<const vx414::TroubleCode> codes) {
    std::vector<vx414::CodeBytes> bytes;
    for (const vx414::TroubleCode& code : codes) {
        const auto pair = vx414::encodeTroubleCode(code.text());
        check(pair.has_value());
        bytes.push_back(*pair);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const vx414::ReceiveLimits limits{4096, 16 * (1 + std::int64_t{data[0]})};
    FuzzSource source(std::span(data + 2, size - 2), data[1]);

    // On the heap and exactly 129 entries, so that AddressSanitizer sees any write past it.
    const auto reportBytes = std::make_unique<vx414::ReportBuffer>();
    int reportIndex = 0;
    int step = 0;
    int firstCount = -1;
    vx414::ReportSink sink;
    sink.startMarkerRead = [&] { check(step++ == 0); };
    sink.blockKindRead = [&](int block, std::string_view kind) {
        check(step++ == (block == 1 ? 1 : 3));
        check(kind == vx414::PendingKind || kind == vx414::StoredKind);
    };
    sink.firstBlockChecked = [&](std::span<const vx414::TroubleCode> codes) {
        check(step++ == 2);
        firstCount = static_cast<int>(codes.size());
    };
    sink.secondBlockChecked = [&](std::span<const vx414::TroubleCode> codes, int total) {
        check(step++ == 4);
        check(total == firstCount + static_cast<int>(codes.size()));
        check(total <= vx414::MaxReportCodes);
    };
    const vx414::ReceiveResult result = vx414::ReceiveReport(source, *reportBytes, reportIndex, sink, limits);
    check(reportIndex >= 0 && reportIndex < static_cast<int>(vx414::ReportSize));
    if (!result.ok()) return 0;

    const vx414::ReaderReport& report = result.report;
    check(step == 5);
    vx414::ReportContent content;
    content.first = {report.firstKind == vx414::PendingKind, codeBytes(report.firstCodes())};
    content.second = {report.secondKind == vx414::PendingKind, codeBytes(report.secondCodes())};
    const std::vector<std::uint8_t> wire = vx414::encodeReport(content);
    vx414::MemoryByteSource again(wire);
    vx414::ReportBuffer againBytes{};
    int againIndex = 0;
    const vx414::ReceiveResult second = vx414::ReceiveReport(again, againBytes, againIndex);
    check(second.ok());
    check(second.report.firstKind == report.firstKind && second.report.secondKind == report.secondKind);
    check(second.report.firstCount == report.firstCount && second.report.codeCount == report.codeCount);
    for (int i = 0; i < report.codeCount; ++i) {
        check(second.report.codes[static_cast<std::size_t>(i)] == report.codes[static_cast<std::size_t>(i)]);
    }
    check(againIndex == reportIndex);
    for (int i = 0; i <= reportIndex; ++i) {
        check(againBytes[static_cast<std::size_t>(i)] == (*reportBytes)[static_cast<std::size_t>(i)]);
    }
    return 0;
}
