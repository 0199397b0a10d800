#include "reader/report_receiver.h"

#include <optional>

namespace vx414 {
namespace {

// Indexes of ReportBytes that must stay free after the first block: the separator's start
// marker, the second head and at least its checksum (N2 >= 1).
constexpr int SecondBlockMinimum = 3;
constexpr int LastIndex = static_cast<int>(ReportSize) - 1;

class Receiver {
public:
    Receiver(ByteSource source, ReportBuffer& reportBytes, int& reportIndex, const ReportSink& sink,
             const ReceiveLimits& limits)
        : source_(source), bytes_(reportBytes), index_(reportIndex), sink_(sink), limits_(limits) {}

    ReceiveResult run() {
        if (!leadIn()) return result();
        if (!block(1)) return result();
        if (!separator()) return result();
        if (!block(2)) return result();
        trailer();
        return result();
    }

private:
    // The reads after the first start marker, which share one bound.
    struct Wait {
        std::int64_t reads = 0;
        std::int64_t idle = 0;       // "no byte yet"
        std::int64_t discarded = 0;  // bytes that were not what a wait was for
    };

    ReceiveResult result() const { return {status_, report_}; }

    bool fail(LinkCode code, const char* reason) {
        status_ = LinkStatus(code, reason, index_);
        return false;
    }

    // The bound ran out: a timeout when the reader mostly said nothing, and a protocol
    // failure when it mostly babbled.
    bool waitRanOut(const Wait& wait, const char* reason) {
        return fail(wait.idle >= wait.discarded ? LinkCode::Timeout : LinkCode::Protocol, reason);
    }

    std::optional<std::uint8_t> next(Wait& wait) {
        while (wait.reads < limits_.body) {
            ++wait.reads;
            if (const LinkByte byte = source_()) return *byte;
            ++wait.idle;
        }
        return std::nullopt;
    }

    void store(int index, std::uint8_t value) {
        // Every caller has checked the report's size against ReportBytes; this guard only
        // keeps a mistake there from writing out of bounds.
        if (index < 0 || index > LastIndex) return;
        bytes_[static_cast<std::size_t>(index)] = value;
        index_ = index;
    }

    std::uint8_t stored(int index) const { return bytes_[static_cast<std::size_t>(index)]; }

    // Discards bytes up to a value marker, skips further markers, and takes the next byte.
    std::optional<std::uint8_t> value() {
        Wait& wait = body_;
        for (;;) {
            const auto byte = next(wait);
            if (!byte) {
                waitRanOut(wait, "no value marker");
                return std::nullopt;
            }
            if (*byte == ValueMarker) break;
            ++wait.discarded;
        }
        for (;;) {
            const auto byte = next(wait);
            if (!byte) {
                waitRanOut(wait, "no value after its marker");
                return std::nullopt;
            }
            if (*byte != ValueMarker) return byte;
            ++wait.discarded;
        }
    }

    bool leadIn() {
        for (std::int64_t reads = 0; reads < limits_.leadIn; ++reads) {
            const LinkByte byte = source_();
            if (byte && *byte == StartMarker) {
                store(0, StartMarker);
                if (sink_.startMarkerRead) sink_.startMarkerRead();
                return true;
            }
        }
        return fail(LinkCode::Timeout, "no start marker");
    }

    bool block(int number) {
        const int headIndex = index_ + 1;
        const auto head = value();
        if (!head) return false;
        store(headIndex, *head);
        const std::string_view kind = kindText(*head);
        if (sink_.blockKindRead) sink_.blockKindRead(number, kind);

        const int n = *head & 0x7F;
        if (n == 0 || n % 2 == 0) return fail(LinkCode::Protocol, "block head with an even or zero count");
        const int room = LastIndex - headIndex - (number == 1 ? SecondBlockMinimum : 0);
        if (n > room) return fail(LinkCode::Protocol, "report longer than ReportBytes holds");

        unsigned sum = *head;
        for (int i = 1; i < n; ++i) {
            const auto code = value();
            if (!code) return false;
            store(headIndex + i, *code);
            sum += *code;
        }
        const auto checksum = value();
        if (!checksum) return false;
        store(headIndex + n, *checksum);
        if ((sum & 0xFFU) != *checksum) return fail(LinkCode::Protocol, "checksum does not match");

        const int count = (n - 1) / 2;
        const int first = report_.codeCount;
        for (int i = 0; i < count; ++i) {
            report_.codes[static_cast<std::size_t>(first + i)] =
                decodeTroubleCode(stored(headIndex + 1 + 2 * i), stored(headIndex + 2 + 2 * i));
        }
        report_.codeCount = first + count;
        const std::span<const TroubleCode> codes(report_.codes.data() + first, static_cast<std::size_t>(count));
        if (number == 1) {
            report_.firstKind = kind;
            report_.firstCount = count;
            if (sink_.firstBlockChecked) sink_.firstBlockChecked(codes);
        } else {
            report_.secondKind = kind;
            if (sink_.secondBlockChecked) sink_.secondBlockChecked(codes, report_.codeCount);
        }
        return true;
    }

    bool separator() {
        Wait& wait = body_;
        for (;;) {
            const auto byte = next(wait);
            if (!byte) return waitRanOut(wait, "no separator");
            if (*byte == ValueMarker) break;
            ++wait.discarded;
        }
        for (;;) {
            const auto byte = next(wait);
            if (!byte) return waitRanOut(wait, "separator not ended");
            if (*byte == StartMarker) break;
            if (*byte != ValueMarker) return fail(LinkCode::Protocol, "separator holds a byte other than BB and AA");
            ++wait.discarded;
        }
        store(index_ + 1, StartMarker);
        return true;
    }

    bool trailer() {
        Wait& wait = body_;
        for (;;) {
            const auto byte = next(wait);
            if (!byte) return waitRanOut(wait, "no trailer");
            if (*byte == ValueMarker) return true;
            ++wait.discarded;
        }
    }

    ByteSource source_;
    ReportBuffer& bytes_;
    int& index_;
    const ReportSink& sink_;
    const ReceiveLimits& limits_;
    LinkStatus status_;
    ReaderReport report_;
    Wait body_;
};

}  // namespace

ReceiveResult ReceiveReport(ByteSource source, ReportBuffer& reportBytes, int& reportIndex, const ReportSink& sink,
                            const ReceiveLimits& limits) {
    return Receiver(source, reportBytes, reportIndex, sink, limits).run();
}

}  // namespace vx414
