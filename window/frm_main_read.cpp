// Reading the codes: LINK USB prepares the window and asks the reader for its report;
// one second later the first tick of Timer1 runs the whole read. A link that gathers the
// whole report on a thread of its own (an ELM327 adapter) tells when the report is there,
// and the tick's work runs then, early or late, without the window ever waiting for it.
#include "window/frm_main.h"

#include "window/demo_mark.h"
#include "window/logic/progress.h"
#include "window/mod_process_bar.h"

namespace vx414 {

namespace {
constexpr int kReadDelayMs = 1000;

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

void frmMain::Link_Click()
{
    awaitData();
    FlexList1->hide();
    Link->setEnabled(false);
    platform_.device.DeviceOpen();
    platform_.device.DeviceClose();
    TXTGlossary->hide();
    flexDemo->hide();
    for (QLabel* label : {Label1, Label2, Label3, Label4})
        label->hide();
    if (LabelVS[0]->isHidden()) {
        LabelVS[0]->show();
        LabelVS[0]->setText(QStringLiteral(" Vehicle ?"));
    } else {
        LabelVS[0]->setText(QStringLiteral("Vehicle Search"));
    }
    platform_.pointers.setWindowPointer(PointerArrowHourglass);
    BarProgress = 0.0f;
    picProcessBar->Cls();
    TimerBar->start();
    picProcessBar->show();

    ReadingMode = 1;
    platform_.device.DeviceOpen();
    platform_.device.DeviceWriteByte(RequestByte);
    ReportIndex = 0;
    ReportBytes.fill(0);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kReadDelayMs);
    Timer1->start();
}

void frmMain::Timer1_Timer()
{
    // Nothing to take yet: the adapter's worker tells when its report is there
    // (reportReady), and the window stays free until then.
    const ReportState wholeReport = platform_.device.DeviceReportState();
    if (wholeReport == ReportState::Gathering) {
        Timer1->stop();
        return;
    }
    // Each result is stored the moment the report delivers it, so a report that fails
    // part-way leaves what it had delivered, and CodeCount that of the last good read.
    ReportSink sink;
    sink.startMarkerRead = [this] { Timer1->stop(); };
    sink.blockKindRead = [this](int block, std::string_view kind) {
        (block == 1 ? FirstBlockKind : SecondBlockKind) =
            latin1(kind);
    };
    sink.firstBlockChecked = [this](std::span<const TroubleCode> codes) {
        int entry = 1;
        for (const TroubleCode& code : codes)
            DecodedCodes[static_cast<std::size_t>(entry++)] = latin1(code.text());
        FirstBlockCount = static_cast<int>(codes.size());
    };
    sink.secondBlockChecked = [this](std::span<const TroubleCode> codes, int total) {
        int entry = FirstBlockCount + 1;
        for (const TroubleCode& code : codes)
            DecodedCodes[static_cast<std::size_t>(entry++)] = latin1(code.text());
        CodeCount = total;
        PermanentCount = 0;
    };
    const ReceiveResult result = ReceiveReport(platform_.device, ReportBytes, ReportIndex, sink);
    if (!result.ok()) {
        readFailed(wholeReport == ReportState::None
                       ? QString()
                       : QString::fromStdString(platform_.device.DeviceFailureCause(result.status)));
        return;
    }

    // The read's time is the codes' arrival: an adapter's report comes before the tick,
    // the reader's on it.
    LastReadTime = platform_.clock();
    LastReadEmulator = platform_.device.DeviceLinkName();
    takeVehicle(result.vehicle);
    PrepareResultTable();
    ClearResultRows();
    FillResultTable(DecodedCodes, CodeCount, FirstBlockCount, FirstBlockKind, SecondBlockKind, PermanentCount);
    WriteTotalLine(CodeCount);
    // Rows picked in the last read's table mean nothing in this one.
    FlexList->clearSelection();
    platform_.beep.beep();
    platform_.device.DeviceWriteByte(EndByte);
    platform_.device.DeviceClose();
    showLinkInTitle();
    Link->setEnabled(true);
    TimerBar->stop();
    picProcessBar->hide();
    picProcessBar->Cls();
    LabelVS[0]->setText(QStringLiteral("Vehicle Search"));
    platform_.pointers.setWindowPointer(PointerDefault);
}

void frmMain::reportReady()
{
    // The report of a read that has since been ended (EXIT, another LINK USB) or already
    // taken by the tick finds nothing Ready, and is dropped.
    if (platform_.device.DeviceReportState() == ReportState::Ready)
        Timer1_Timer();
    // The rest of the vehicle's picture follows the codes on the same call; the library
    // hands it over only after the codes of its read were taken.
    if (std::optional<VehicleInfo> vehicle = platform_.device.DeviceReadVehicle())
        vehicleArrived(*vehicle);
}

void frmMain::vehicleArrived(const VehicleInfo& vehicle)
{
    // The codes are shown already and the read is over for the user (no beep, no progress):
    // the table is laid out again with the permanent rows, as after a read, unless the
    // window has moved on to another view since. A make taken from the VIN refills it by
    // itself (Vehicle_Click).
    takeVehicle(vehicle);
    if (ReadingMode != 1)
        return;
    PrepareResultTable();
    ClearResultRows();
    FillResultTable(DecodedCodes, CodeCount, FirstBlockCount, FirstBlockKind, SecondBlockKind, PermanentCount);
    WriteTotalLine(CodeCount);
}

void frmMain::readFailed(const QString& cause)
{
    platform_.device.DeviceOpen();
    platform_.device.DeviceClose();
    showLinkInTitle();
    LabelVS[0]->setText(QStringLiteral("Vehicle Search"));
    platform_.pointers.setWindowPointer(PointerDefault);
    Link->setEnabled(true);
    TimerBar->stop();
    picProcessBar->hide();
    picProcessBar->Cls();
    FlexList->hide();
    Timer1->stop();
    // The link is closed by now; the library opens it for this one byte so that the
    // reader still learns that the exchange is over.
    platform_.device.DeviceWriteByte(EndByte);
    const MsgAnswer answer = platform_.messageBox.show(
        QStringLiteral(" USB without pending ! Please check USB cable and test again. "),
        QStringLiteral("         Error Msg"), MsgButtons::OkCancel, MsgIcon::Information, cause);
    if (answer != MsgAnswer::Ok)
        platform_.programEnd.endNow();
}

void frmMain::showLinkInTitle()
{
    // Codes from an emulator must never pass for the car's: the emulator announces itself
    // to the link, and the caption says so for as long as the link reaches it.
    setWindowTitle(QStringLiteral("CODE Definition") + demoMark(platform_.device.DeviceLinkName()));
}

void frmMain::TimerBar_Timer()
{
    const BarTick tick = advanceBar(BarProgress);
    BarProgress = tick.progress;
    if (tick.stop)
        TimerBar->stop();
    modProcessBar::drawprocessbar(*picProcessBar, BarProgress, 0xFF00FF);
}

}  // namespace vx414
