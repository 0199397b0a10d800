#include "tools/read/link_read.h"

#include <thread>

#include "reader/report_receiver.h"

namespace vx414::cli {
namespace {

// As the window's Timer1 does: a link that gathers the whole report itself (an ELM327
// adapter) hands it over, the reader's byte frame goes through the receiver.
ReadOutcome receive(DeviceLibrary& link) {
    ReadOutcome outcome;
    ReportBuffer reportBytes{};
    int reportIndex = 0;
    const ReceiveResult result = ReceiveReport(link, reportBytes, reportIndex);
    outcome.status = result.status;
    if (!outcome.ok()) return outcome;
    outcome.vehicle = result.vehicle;
    for (const TroubleCode& code : result.report.firstCodes()) outcome.codes.push_back({result.report.firstKind, code});
    for (const TroubleCode& code : result.report.secondCodes())
        outcome.codes.push_back({result.report.secondKind, code});
    return outcome;
}

}  // namespace

ReadOutcome readCodesOnce(DeviceLibrary& link, std::chrono::milliseconds wait) {
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(RequestByte);
    // A link that gathers the whole report hands it over the moment it is there: the
    // receiver's DeviceReadReport waits for it, within the link's own bound. Only the
    // reader's byte link is given its second to start answering.
    const bool wholeReport = link.DeviceReportState() != ReportState::None;
    if (!wholeReport) std::this_thread::sleep_for(wait);
    ReadOutcome outcome = receive(link);
    outcome.wholeReport = wholeReport;
    if (outcome.ok()) {
        link.DeviceWriteByte(EndByte);
        link.DeviceClose();
        // The output is printed once: an adapter's picture of the vehicle, which follows its
        // codes, is waited for (within the read's own bound).
        if (std::optional<VehicleInfo> vehicle = link.DeviceAwaitVehicle()) outcome.vehicle = std::move(*vehicle);
    } else {
        outcome.codes.clear();
        link.DeviceOpen();
        link.DeviceClose();
        link.DeviceWriteByte(EndByte);
    }
    return outcome;
}

}  // namespace vx414::cli
