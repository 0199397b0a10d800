// Start-up and shutdown.
#include "window/frm_main.h"

#include "definitions/make_sections.h"
#include "reader/report_receiver.h"

namespace vx414 {

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
    NormalColor = 0xC0FFFF;
    HoverColor = 0xFF00FF;
    GlossaryStart = positionOfAddress(GlossaryAddress);
    FlexList1->hide();
    loadglossary();
    if (programEnded_)
        return;
    flexDemo->SetCols(3);
    flexDemo->SetColWidth(0, 400);
    flexDemo->SetColWidth(1, 2000);
    flexDemo->SetColWidth(2, 10000);
    flexDemo->SetRows(kDefinitionRows);
    definevehicle();
    if (programEnded_)
        return;
    flexDemo->SetHighLight(2);
    FormReady = true;
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
