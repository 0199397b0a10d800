// The vehicle makes: the make list, and choosing a make, which loads its definitions into
// the definitions table behind the generic ones and, after a read, refreshes the results.
#include "window/frm_main.h"

#include <QAbstractItemView>
#include <QApplication>

#include <algorithm>

#include "definitions/generic_extension.h"
#include "definitions/make_names.h"
#include "definitions/make_sections.h"
#include "definitions/section_walk.h"
#include "window/data_text.h"

namespace vx414 {

void frmMain::definevehicle()
{
    for (const MakeSection& make : kMakeSections)
        Vehicle->addItem(QString::fromLatin1(make.name.data(), static_cast<qsizetype>(make.name.size())));
    // Selecting the first entry is a click on it, as if the user had chosen it; the click,
    // which reads the generic definitions, comes with the rest of the data (awaitData).
    Vehicle->setCurrentIndex(0);
}

bool frmMain::Vehicle_KeyPress(QObject* target, const QString& text)
{
    // Printable keys only: arrows, Enter, Escape and Tab keep their meaning.
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    // Keys that come within the interval the list's own search allows make one name.
    const bool continuing = !TypedMake.isEmpty() && TypedMakeAt.isValid() &&
                            TypedMakeAt.elapsed() < QApplication::keyboardInputInterval();
    // A space opens the list, as before, unless it is inside a name being typed ("land r").
    if (text == QStringLiteral(" ") && !continuing)
        return false;
    TypedMake = continuing ? TypedMake + text : text;
    TypedMakeAt.start();
    const MakeSection* make = makeBeginningWith(TypedMake.toStdString());
    if (make == nullptr && continuing) {
        // Nothing begins so: the key may be the start of another name.
        make = makeBeginningWith(text.toStdString());
        if (make != nullptr)
            TypedMake = text;
    }
    const int entry = make == nullptr ? -1
                                      : Vehicle->findText(QString::fromLatin1(make->name.data(),
                                                                              static_cast<qsizetype>(make->name.size())),
                                                          Qt::MatchFixedString);
    // No make begins so: the choice stays, as with the list's own search.
    if (entry < 0)
        return true;
    if (target == Vehicle->view()) {
        // In the open list a key moves the highlight; Enter or a click chooses.
        Vehicle->view()->setCurrentIndex(Vehicle->model()->index(entry, Vehicle->modelColumn()));
        return true;
    }
    // A make picked by typing is chosen, as the list's own search chose it: a click.
    if (entry != Vehicle->currentIndex()) {
        Vehicle->setCurrentIndex(entry);
        emit Vehicle->activated(entry);
    }
    return true;
}

void frmMain::cartypeselect()
{
    const SectionBounds bounds = vx414::cartypeselect(Vehicle->currentText().toStdString());
    MakeStart = bounds.MakeStart;
    MakeEnd = bounds.MakeEnd;
}

DataFileStatus frmMain::appendGenericExtension(int& R)
{
    // Straight into the table, never held in a list of their own first: thousands of
    // records held twice for a moment would stay in the program's memory afterwards.
    ExtensionHeader header;
    bool present = false;
    const int first = R;
    bool tooMany = false;
    const DataFileStatus status = walkGenericExtension(dataSlot_, header, present, [&](const WalkedRecord& record) {
        if (R == first) {
            // The extension has been checked whole by now: its count is sound.
            const int rows = static_cast<int>(header.count);
            tooMany = rows > kMaxDefinitionRows - R;
            if (!tooMany && R + rows > flexDemo->Rows())
                flexDemo->SetRows(R + rows);
        }
        if (tooMany)
            return;
        flexDemo->SetTextMatrix(R, 1, fromDataBytes(record.code));
        flexDemo->SetTextMatrix(R, 2, fromDataBytes(record.definition));
        ++R;
    });
    if (status.ok() && tooMany)
        return DataFileStatus::failure(DataFileCode::TooManyRows, positionOfAddress(header.end));
    return status;
}

void frmMain::Vehicle_Click()
{
    awaitData();
    TXTGlossary->hide();
    LabelVS[0]->show();
    int R = 0;
    // Thousands of cells change below; the table announces them once, at the end.
    const FlexGrid::CellBatch batch(*flexDemo);
    if (datafilecheck() == 2) {
        if (!FormReady)
            GenericCount = 0;
        // Never fewer rows than the generic ones: they may pass the table's first 10,000.
        flexDemo->SetRows(std::max(kDefinitionRows, GenericCount));
        flexDemo->ReserveRows(std::max(kDefinitionRows, GenericCount));
        for (int row = GenericCount + 1; row <= 4999; ++row) {
            flexDemo->SetTextMatrix(row, 1, QString());
            flexDemo->SetTextMatrix(row, 2, QString());
        }
        SelectedMake = Vehicle->currentText();
        platform_.pointers.setScreenPointer(PointerHourglass);
        cartypeselect();
        DataPos = MakeStart;
        R = GenericCount;

        const std::string make = SelectedMake.toStdString();
        DataFileStatus status = datafileopen(dataSlot_, AppFolder.toStdString());
        if (status.ok()) {
            const SectionWalk walk{make, MakeStart, MakeEnd, kMaxDefinitionRows - GenericCount};
            status = walkSection(dataSlot_, walk, [&](const WalkedRecord& record) {
                // The table grows past its first rows: the generic rows alone pass 9,000.
                if (R >= flexDemo->Rows())
                    flexDemo->SetRows(R + kDefinitionRows);
                flexDemo->SetTextMatrix(R, 1, fromDataBytes(record.code));
                flexDemo->SetTextMatrix(R, 2, fromDataBytes(record.definition));
                ++R;
            });
        }
        // The generic load at start-up also takes the generic extension's records, checked
        // whole before any row is written, as generic rows.
        if (status.ok() && !FormReady)
            status = appendGenericExtension(R);
        // The file is closed and the pointer restored on every way out, a failure included,
        // so that one failed load does not make every later one fail.
        datafileclose(dataSlot_);
        platform_.pointers.setScreenPointer(PointerDefault);
        if (endsOnBadPair(status))
            return;
        if (!status.ok()) {
            // Keep the table whole: the generic rows stay (at start-up the rows read so far
            // are the generic rows) and no half-loaded make rows remain.
            if (!FormReady)
                GenericCount = R;
            flexDemo->SetRows(GenericCount);
            platform_.messageBox.show(QString::fromStdString(messageText(status, AppFolder.toStdString())),
                                      QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
            return;
        }
    }

    if (!FormReady) {
        GenericCount = R;
        flexDemo->SetRows(R);
    } else if (equalsIgnoringCase(SelectedMake.toStdString(), "generic")) {
        flexDemo->SetRows(GenericCount);
    } else {
        flexDemo->SetRows(R);
    }
    FlexList->hide();
    flexDemo->hide();
    if (ReadingMode != 1)
        return;
    PrepareResultTable();
    FillResultTable(DecodedCodes, CodeCount, FirstBlockCount, FirstBlockKind, SecondBlockKind, PermanentCount);
}

}  // namespace vx414
