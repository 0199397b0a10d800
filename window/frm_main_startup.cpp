// Start-up and shutdown.
#include "window/frm_main.h"

#include "definitions/make_sections.h"
#include "reader/report_receiver.h"

#include <QShowEvent>
#include <QSignalBlocker>

namespace vx414 {

namespace {
// A window that is shown but never painted (started minimised, or on another desktop)
// still reads its data, this long after it was shown, so that a damaged file is reported
// without waiting for a click.
constexpr int kUnpaintedLoadMs = 1000;
}  // namespace

void frmMain::Form_Load()
{
    Label5->hide();
    FormReady = false;
    AppFolder = platform_.programFolder;
    switch (datafilecheck()) {
    case 0: showDataFileMessage(DataFileCode::NotFound); break;
    case 1: showDataFileMessage(DataFileCode::Empty); break;
    default: break;
    }
    platform_.device.DeviceOpen();
    platform_.device.DeviceClose();
    showLinkInTitle();
    NormalColor = 0xC0FFFF;
    HoverColor = 0xFF00FF;
    GlossaryStart = positionOfAddress(GlossaryAddress);
    FlexList1->hide();
    flexDemo->SetCols(3);
    flexDemo->SetColWidth(0, 400);
    flexDemo->SetColWidth(1, 2000);
    flexDemo->SetColWidth(2, 10000);
    flexDemo->SetRows(kDefinitionRows);
    definevehicle();
    // Everything above shows in the first paint; the glossary and the generic definitions
    // go only into hidden tables, so they can wait until the window is on the screen.
    dataPending_ = true;
    if (!deferredLoad_)
        awaitData();
}

void frmMain::awaitData()
{
    if (!dataPending_)
        return;
    dataPending_ = false;
    loadglossary();
    if (programEnded_)
        return;
    // The generic definitions are the first make's: load them as a click on that entry,
    // even when the user has already chosen another one (the click that called us carries
    // on with that choice once they are in).
    const int chosen = Vehicle->currentIndex();
    {
        const QSignalBlocker quiet(Vehicle);
        Vehicle->setCurrentIndex(0);
    }
    Vehicle_Click();
    {
        const QSignalBlocker quiet(Vehicle);
        Vehicle->setCurrentIndex(chosen);
    }
    if (programEnded_)
        return;
    flexDemo->SetHighLight(2);
    FormReady = true;
}

void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (dataPending_ && !event->spontaneous())
        QTimer::singleShot(kUnpaintedLoadMs, this, &frmMain::awaitData);
}

void frmMain::EXITcmd_Click()
{
    platform_.device.DeviceWriteByte(EndByte);
    platform_.device.DeviceOpen();
    platform_.device.DeviceClose();
    programEnded_ = true;
    platform_.programEnd.endNow();
}

}  // namespace vx414
