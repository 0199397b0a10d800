// The glossary: read once at start-up into FlexList1, shown by the Glossary button.
#include "window/frm_main.h"

#include "definitions/items.h"
#include "definitions/make_sections.h"
#include "window/data_text.h"

namespace vx414 {

void frmMain::loadglossary()
{
    if (datafilecheck() != 2)
        return;
    FlexList1->SetFocusRect(0);
    FlexList1->SetCols(3);
    FlexList1->SetFixedCols(0);
    FlexList1->SetColWidth(0, 310);
    FlexList1->SetColWidth(1, 1825);
    FlexList1->SetColWidth(2, OuterWidth());
    FlexList1->SetRows(kGlossaryEntries + 1);
    FlexList1->SetFixedRows(1);
    FlexList1->SetTextMatrix(0, 0, QString());
    FlexList1->SetTextMatrix(0, 1, QStringLiteral("TERM"));
    FlexList1->SetTextMatrix(0, 2, QStringLiteral("DIFINITION"));

    DataPos = GlossaryStart;
    const FlexGrid::CellBatch batch(*FlexList1);
    DataFileStatus status = datafileopen(dataSlot_, AppFolder.toStdString());
    for (int row = 1; status.ok() && row <= kGlossaryEntries; ++row) {
        status = readitem1(dataSlot_, DataPos, ItemText);
        if (!status.ok())
            break;
        const QString term = fromDataBytes(ItemText);
        status = readitem1(dataSlot_, DataPos, ItemText);
        if (!status.ok())
            break;
        FlexList1->SetTextMatrix(row, 0, QString());
        FlexList1->SetTextMatrix(row, 1, term);
        FlexList1->SetTextMatrix(row, 2, fromDataBytes(ItemText));
    }
    datafileclose(dataSlot_);
    endsOnLoadFailure(status);
}

void frmMain::Glossary_Click()
{
    awaitData();
    ReadingMode = 0;
    TXTGlossary->show();
    flexDemo->hide();
    FlexList->hide();
    FlexList1->hide();
    LabelVS[0]->hide();
    TXTGlossary->setText(QStringLiteral("Glossary"));
    if (datafilecheck() == 0) {
        showDataFileMessage(DataFileCode::NotFound);
        return;
    }
    if (datafilecheck() == 1) {
        showDataFileMessage(DataFileCode::Empty);
        return;
    }
    platform_.pointers.setScreenPointer(PointerHourglass);
    // Whole twips in ordinary ints, as Form_Resize reckons them: a maximised window on a
    // wide screen (over 32,767 twips, about 2,184 pixels) must not leave the list at its
    // design size. A negative width or height (a window narrower or shorter than
    // FlexList's corner) is refused by the grid, which keeps the list where it was.
    const int top = FlexList->Top();
    const int width = ScaleWidth() - FlexList->Left();
    const int height = ScaleHeight() - FlexList->Top();
    FlexList1->Move(500, top, width, height);
    FlexList1->SetColWidth(2, 9650);
    platform_.pointers.setScreenPointer(PointerDefault);
    FlexList1->show();
}

}  // namespace vx414
