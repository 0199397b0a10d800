// The reader's report: receiving it one byte at a time, checking it and decoding its codes.
//
// The frame, as the reader sends it after the request byte 0x55:
//   lead-in (any bytes) AA
//   BB H1  BB code byte ... BB checksum1      first block: N1 = H1 & 0x7F values after H1
//   BB AA                                     separator (more BBs allowed before the AA)
//   BB H2  BB code byte ... BB checksum2      second block
//   BB                                        trailer
// Every value follows one or more 0xBB markers. Bit 7 of a head marks pending codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <type_traits>

#include "reader/device_library.h"
#include "reader/link_status.h"
#include "reader/trouble_code.h"

namespace vx414 {

inline constexpr std::uint8_t RequestByte = 0x55;
inline constexpr std::uint8_t EndByte = 0xAA;
inline constexpr std::uint8_t StartMarker = 0xAA;
inline constexpr std::uint8_t ValueMarker = 0xBB;

// ReportBytes holds the two start markers and every value, index 0 to 128.
inline constexpr std::size_t ReportSize = 129;
using ReportBuffer = std::array<std::uint8_t, ReportSize>;
// N1 + N2 + 3 <= 128 with both N odd leaves room for 61 codes in all.
inline constexpr int MaxReportCodes = 61;
// The most codes (both blocks together) a link that gathers whole reports may hand over:
// far above what any car reports, so that none is ever dropped; a report above it fails.
inline constexpr int MaxLinkReportCodes = 500;

inline constexpr std::string_view PendingKind = "Pending";
inline constexpr std::string_view StoredKind = "Stored";
inline std::string_view kindText(std::uint8_t head) { return (head & 0x80U) != 0 ? PendingKind : StoredKind; }

// Reads examined while waiting for the first start marker, "no byte yet" included: a
// silent reader on the tty link is noticed after about a second of such calls.
inline constexpr std::int64_t LeadInBound = 3'500'001;
// Our bound for the rest of the report, after the first start marker: one budget of reads,
// bytes and "no byte yet" alike, shared by all its waits (each value with its markers, the
// separator, the trailer). The largest report, 61 codes in about 260 bytes, takes about
// 0.3 s at 9,600 baud; an idle read on the tty link costs about 0.3 to 0.5 us, so the
// budget lasts one to two seconds there, three times the slowest real link or more, and
// no longer than the lead-in's wait. A reader that stops, babbles, or trickles its report
// out a byte just before any one wait would run out fails within this one budget instead
// of holding the window for a wait's time per byte. Counting calls rather than time keeps
// the receiver free of clocks.
inline constexpr std::int64_t BodyBound = 3'500'001;

struct ReceiveLimits {
    std::int64_t leadIn = LeadInBound;
    std::int64_t body = BodyBound;
};

// What a successful report delivers. The codes are kept in one array, the first block's
// then the second's, each in the order received.
struct ReaderReport {
    std::string_view firstKind;
    std::string_view secondKind;
    std::array<TroubleCode, MaxLinkReportCodes> codes{};
    int firstCount = 0;
    int codeCount = 0;

    std::span<const TroubleCode> firstCodes() const {
        return {codes.data(), static_cast<std::size_t>(firstCount)};
    }
    std::span<const TroubleCode> secondCodes() const {
        return {codes.data() + firstCount, static_cast<std::size_t>(codeCount - firstCount)};
    }
};

// Told of each result the moment it is known, so the caller can store it at once; a
// failed report leaves behind what it had delivered before it failed. Empty members are
// not called.
struct ReportSink {
    std::function<void()> startMarkerRead;
    // block is 1 or 2; told as soon as the block's head is read, before it is checked.
    std::function<void(int block, std::string_view kind)> blockKindRead;
    // The first block's codes once its checksum has passed; their count is codes.size().
    std::function<void(std::span<const TroubleCode> codes)> firstBlockChecked;
    // The second block's codes once its checksum has passed, and the codes of both blocks.
    std::function<void(std::span<const TroubleCode> codes, int total)> secondBlockChecked;
};

// A non-owning reference to something that yields LinkBytes: the device library's
// DeviceReadByte, or any callable (a test's buffer, the fuzzer's input).
class ByteSource {
public:
    ByteSource(DeviceLibrary& link)  // NOLINT: a device library is the usual byte source
        : object_(&link), read_([](void* object) { return static_cast<DeviceLibrary*>(object)->DeviceReadByte(); }) {}

    template <class F>
        requires(std::is_invocable_r_v<LinkByte, F&> && !std::is_base_of_v<DeviceLibrary, F> &&
                 !std::is_same_v<std::remove_cv_t<F>, ByteSource>)
    ByteSource(F& callable)  // NOLINT: implicit, like a function reference
        : object_(&callable), read_([](void* object) -> LinkByte { return (*static_cast<F*>(object))(); }) {}

    LinkByte operator()() const { return read_(object_); }

private:
    void* object_;
    LinkByte (*read_)(void*);
};

// Bytes from memory; "no byte yet" once they are used up, like a reader that has stopped.
class MemoryByteSource {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    LinkByte operator()() {
        if (position_ == bytes_.size()) return std::nullopt;
        return bytes_[position_++];
    }
    std::size_t position() const { return position_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

struct ReceiveResult {
    LinkStatus status;
    ReaderReport report;  // complete only when status.isOk()
    // What a link that gathers whole reports told about the car besides the codes (empty
    // for the reader's byte frame).
    VehicleInfo vehicle{};

    bool ok() const { return status.isOk(); }
};

// Reads one report from source, from its lead-in to its trailer, storing the start markers
// and values in reportBytes and the index of the last one stored in reportIndex. Nothing
// is written past reportBytes' 129 entries. Every failure is a LinkCode::Timeout (a bound
// ran out) or LinkCode::Protocol (the bytes do not make a report).
ReceiveResult ReceiveReport(ByteSource source, ReportBuffer& reportBytes, int& reportIndex,
                            const ReportSink& sink = {}, const ReceiveLimits& limits = {});

// Reads one report from a device library: a link that gathers the whole report itself (an
// ELM327 adapter) hands it over through DeviceReadReport, and it is delivered through the
// same sink calls in the same order as a received frame, every code as the link gave it
// (nothing is lost to the frame's 0xBB markers), with up to MaxLinkReportCodes codes.
// ReportBytes is filled as the frame would have filled it, as far as its 129 entries
// reach. A failed LinkReport fails the report. Any other link is read byte by byte as above.
ReceiveResult ReceiveReport(DeviceLibrary& link, ReportBuffer& reportBytes, int& reportIndex,
                            const ReportSink& sink = {}, const ReceiveLimits& limits = {});

}  // namespace vx414
