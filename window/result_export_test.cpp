// Copy, Save As and Print on the result table and the glossary list, driven as the user
// drives them: the context menu, the keys, the dialogs answered by test doubles, and the
// files and printed pages that come out.
#include "reader/report_encoder.h"
#include "window/print_module.h"
#include "window/platform/save_folder.h"
#include "window/result_export.h"
#include "window/testing/export_dialogs.h"
#include "window/testing/form_fixture.h"
#include "window/testing/pdf_text.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace vx414 {
namespace {

using Grid = ResultExport::Grid;
using testing::FormFixture;
using testing::PdfPrintDialog;
using testing::pdfPages;
using testing::words;
using testing::ScriptedSaveDialog;

// The first block: P0300 pending, P0171 with a definition full of awkward characters,
// P1FFF that the definitions do not hold; the second: U0100 stored.
ReportContent fourCodes()
{
    return {{true, {{0x03, 0x00}, {0x01, 0x71}, {0x1F, 0xFF}}}, {false, {{0xC1, 0x00}}}};
}

const QString kAwkward = QString::fromUtf8("Lean, \"bank 1\"\tsensor \u20AC\u201Cx\u201D");

// A window with a few definitions, the glossary list filled, and the export attached.
struct ExportFixture {
    ExportFixture() : exporter(*f.form, {f.box, saveDialog, printDialog})
    {
        // Print goes through the module the build made, as the program's does through its own.
        EXPECT_NE(loadPrintModule(QStringLiteral(VX414_PRINT_MODULE)), nullptr);
        frmMain& m = *f.form;
        m.Vehicle->addItems({"generic", "audi"});
        m.flexDemo->SetCols(3);
        m.flexDemo->SetRows(4);
        const char* rows[3][2] = {{"P0300", "Random/multiple cylinder misfire detected"},
                                  {"P0171", ""},
                                  {"U0100", "Lost communication with ECM/PCM A"}};
        for (int r = 0; r < 3; ++r) {
            m.flexDemo->SetTextMatrix(r + 1, 1, rows[r][0]);
            m.flexDemo->SetTextMatrix(r + 1, 2, rows[r][1]);
        }
        m.flexDemo->SetTextMatrix(2, 2, kAwkward);

        FlexGrid& g = *m.FlexList1;
        g.SetCols(3);
        g.SetRows(4);
        g.SetFixedRows(1);
        const char* glossary[4][2] = {{"TERM", "DIFINITION"},
                                      {"ABS", "Anti-lock brake system"},
                                      {"ECM", "Engine control module, \"the brain\""},
                                      {"MIL", "Malfunction indicator lamp"}};
        for (int r = 0; r < 4; ++r) {
            g.SetTextMatrix(r, 1, glossary[r][0]);
            g.SetTextMatrix(r, 2, glossary[r][1]);
        }
        m.show();
        m.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m));
    }

    // LINK USB, then the read on Timer1's first tick, through the event loop as in use.
    void read(const ReportContent& content)
    {
        frmMain& m = *f.form;
        m.Link_Click();
        f.device.queueBytes(encodeReport(content));
        ASSERT_TRUE(QTest::qWaitFor([&m] { return m.Link->isEnabled(); }, 5000));
        ASSERT_FALSE(m.FlexList->isHidden());
    }

    FlexGrid* grid(Grid g) const { return g == Grid::Results ? f.form->FlexList : f.form->FlexList1; }

    FormFixture f;
    ScriptedSaveDialog saveDialog;
    PdfPrintDialog printDialog;
    ResultExport exporter;
};

const QString kAllCodes = QString::fromUtf8(
    "TYPE\tVehicle\tCode\tDefinition\n"
    "Pending\tgeneric\tP0300\tRandom/multiple cylinder misfire detected\n"
    "Pending\tgeneric\tP0171\tLean, \"bank 1\" sensor \u20AC\u201Cx\u201D\n"
    "Pending\tgeneric\tP1FFF\tmanufacturer-specific: choose the make\n"
    "Stored\tgeneric\tU0100\tLost communication with ECM/PCM A\n");

TEST(ResultExport, MenuAndKeysOnBothGridsOnly)
{
    ExportFixture x;
    x.read(fourCodes());
    for (const Grid g : {Grid::Results, Grid::Glossary}) {
        SCOPED_TRACE(g == Grid::Results ? "result table" : "glossary");
        FlexGrid* grid = x.grid(g);
        if (g == Grid::Glossary) {
            // The list in place of the table, as the Glossary button shows it.
            x.f.form->FlexList->hide();
            grid->Move(500, 2160, 10000, 5000);
            grid->show();
        }
        QMenu* menu = x.exporter.menu(g);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 3);
        const char* texts[3][2] = {{"Copy", "Ctrl+C"}, {"Save As\u2026", "Ctrl+S"}, {"Print\u2026", "Ctrl+P"}};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(menu->actions()[i]->text(), QString::fromUtf8(texts[i][0]));
            EXPECT_EQ(menu->actions()[i]->shortcut().toString(), texts[i][1]);
        }

        // A right click, through the window as the platform delivers it.
        const QPoint inside = grid->viewport()->mapTo(x.f.form.get(), QPoint(40, 40));
        QTest::mouseClick(x.f.form->windowHandle(), Qt::RightButton, {}, inside);
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
        menu->hide();
        // The menu key: the platform turns it into a keyboard context-menu event for the
        // widget with the focus (the offscreen platform does not, so the test sends it).
        grid->setFocus();
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10), grid->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(grid, &menuKey);
        EXPECT_TRUE(menu->isVisible());
        menu->hide();

        // The keys while the grid has the focus.
        grid->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->hasFocus(); }, 2000));
        QApplication::clipboard()->clear();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(QApplication::clipboard()->text().startsWith(g == Grid::Results ? "TYPE\t" : "TERM\t"));
        const int saves = x.saveDialog.asked;
        const int prints = x.printDialog.asked;
        QTest::keyClick(grid, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(x.saveDialog.asked, saves + 1);
        QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(x.printDialog.asked, prints + 1);
    }

}

// The keyboard and the clipboard as people use them: Tab leaves the grids and the arrows
// move inside; the export keys work wherever the focus is in the window; the context menu
// never slides the table sideways; rows are selected with the mouse and the keys and Copy
// takes them; the clipboard gets plain text; Shift+F10 opens the menu.
TEST(ResultExport, KeyboardAndClipboardAsPeopleUseThem)
{
    ExportFixture x;
    x.read(fourCodes());
    frmMain& m = *x.f.form;
    FlexGrid& t = *m.FlexList;
    const auto focusOn = [](QWidget* w) {
        w->setFocus();
        return QTest::qWaitFor([w] { return w->hasFocus(); }, 2000);
    };
    const auto cell = [&t](int row, int col) { return t.visualRect(t.model()->index(row, col)).topLeft() + QPoint(8, 6); };
    const QStringList all = kAllCodes.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const auto rows = [&all](std::initializer_list<int> picked) {
        QString text = all[0] + QLatin1Char('\n');
        for (const int r : picked)
            text += all[r] + QLatin1Char('\n');
        return text;
    };
    const auto copied = [] { return QApplication::clipboard()->text(); };
    EXPECT_FALSE(t.selectionModel()->hasSelection());  // a fresh read shows nothing selected

    // Tab and Shift+Tab leave the grid wherever its current cell is; the arrows move inside.
    ASSERT_TRUE(focusOn(&t));
    QTest::keyClick(&t, Qt::Key_Down);
    const int row = t.currentIndex().row();
    QTest::keyClick(&t, Qt::Key_Down);
    EXPECT_EQ(t.currentIndex().row(), row + 1);
    EXPECT_TRUE(t.hasFocus());
    QTest::keyClick(&t, Qt::Key_Escape);  // the arrows pick the row they reach; Escape drops it
    EXPECT_FALSE(t.selectionModel()->hasSelection());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } tabs[] = {{Qt::Key_Tab, Qt::NoModifier}, {Qt::Key_Backtab, Qt::ShiftModifier}};
    for (const auto& tab : tabs) {
        ASSERT_TRUE(focusOn(&t));
        QTest::keyClick(&t, tab.key, tab.modifiers);
        EXPECT_FALSE(t.hasFocus()) << "key " << tab.key;
        EXPECT_NE(QApplication::focusWidget(), nullptr);
    }

    // The export keys from controls that are not the grid act on the table; in the search
    // box Ctrl+C is the box's own copy.
    const struct {
        QWidget* from;
        bool copies;
    } places[] = {{m.Link, true}, {m.Vehicle, true}, {m.EXITcmd, true}, {m.CODESearch, false}};
    for (const auto& place : places) {
        SCOPED_TRACE(place.from->objectName().toStdString());
        ASSERT_TRUE(focusOn(place.from));
        QApplication::clipboard()->setText("before");
        const int saves = x.saveDialog.asked;
        const int prints = x.printDialog.asked;
        QTest::keyClick(place.from, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(copied(), place.copies ? kAllCodes : QStringLiteral("before"));
        QTest::keyClick(place.from, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(x.saveDialog.asked, saves + 1);
        QTest::keyClick(place.from, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(x.printDialog.asked, prints + 1);
    }

    // The Definition column is wider than the view, so a scroll to it would show.
    QScrollBar* across = t.horizontalScrollBar();
    ASSERT_GT(across->maximum(), 0);
    ASSERT_EQ(across->value(), 0);
    QMenu* menu = x.exporter.menu(Grid::Results);
    const QModelIndex before = t.currentIndex();
    QTest::mouseClick(m.windowHandle(), Qt::RightButton, {}, t.viewport()->mapTo(&m, cell(2, 3)));
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    // A view scrolls to a clicked cell a little after the click (past the double-click
    // time), so the check waits that long.
    QTest::qWait(QApplication::doubleClickInterval() + 400);
    menu->hide();
    EXPECT_EQ(across->value(), 0) << "right click";
    EXPECT_EQ(t.currentIndex(), before) << "right click";
    EXPECT_FALSE(t.selectionModel()->hasSelection()) << "right click";
    ASSERT_TRUE(focusOn(&t));
    QTest::keyClick(&t, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) << "Shift+F10";
    menu->hide();
    QTest::keyClick(&t, Qt::Key_S, Qt::ControlModifier);  // the Save dialog, cancelled
    EXPECT_EQ(across->value(), 0) << "Shift+F10 and Save";
    // Moving onto the Definition column from the Code column shows its start, as it is.
    QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, cell(1, 2));
    QTest::keyClick(&t, Qt::Key_Right);
    EXPECT_EQ(t.currentIndex().column(), 3);
    EXPECT_EQ(across->value(), 0) << "arrow onto Definition";
    // Scrolled to read the end of a long definition, a click on it leaves the view there.
    across->setValue(across->maximum());
    QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, QPoint(t.viewport()->width() - 20, cell(2, 3).y()));
    QTest::qWait(QApplication::doubleClickInterval() + 400);
    EXPECT_EQ(across->value(), across->maximum()) << "click on the far end of a definition";
    across->setValue(0);
    QTest::keyClick(&t, Qt::Key_Escape);

    // Rows picked with the mouse and the keys; Escape clears; nothing picked copies all.
    const struct {
        const char* how;
        std::function<void()> pick;
        QString expected;
    } selections[] = {
        {"click", [&] { QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, cell(2, 0)); }, rows({2})},
        {"Shift+click", [&] { QTest::mouseClick(t.viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(3, 1)); },
         rows({2, 3})},
        {"Ctrl+click", [&] { QTest::mouseClick(t.viewport(), Qt::LeftButton, Qt::ControlModifier, cell(1, 3)); },
         rows({1, 2, 3})},
        {"click, Shift+Down",
         [&] {
             QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, cell(3, 2));
             QTest::keyClick(&t, Qt::Key_Down, Qt::ShiftModifier);
         },
         rows({3, 4})},
        {"Escape", [&] { QTest::keyClick(&t, Qt::Key_Escape); }, kAllCodes},
    };
    for (const auto& selection : selections) {
        selection.pick();
        QTest::keyClick(m.Link, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(copied(), selection.expected) << selection.how;
    }
    EXPECT_FALSE(t.selectionModel()->hasSelection());

    // The glossary in the table's place: the same keys act on it, and Tab leaves it too.
    FlexGrid& g = *m.FlexList1;
    t.hide();
    g.Move(500, 2160, 10000, 5000);
    g.show();
    ASSERT_TRUE(focusOn(m.Link));
    QTest::keyClick(m.Link, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(copied().startsWith("TERM\tDIFINITION\nABS\t")) << copied().toStdString();
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, g.visualRect(g.model()->index(3, 1)).center());
    QTest::keyClick(&g, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copied(), "TERM\tDIFINITION\nMIL\tMalfunction indicator lamp\n");
    QTest::keyClick(&g, Qt::Key_Tab);
    EXPECT_FALSE(g.hasFocus());
}

TEST(ResultExport, CopyPutsTheSelectedRowsOrAllOnTheClipboard)
{
    ExportFixture x;
    x.read(fourCodes());
    FlexGrid& t = *x.f.form->FlexList;
    const struct {
        int row, rowSel;  // -1: nothing selected
        QString expected;
    } cases[] = {
        {-1, -1, kAllCodes},
        {2, 3, QString::fromUtf8("TYPE\tVehicle\tCode\tDefinition\n"
                                 "Pending\tgeneric\tP0171\tLean, \"bank 1\" sensor \u20AC\u201Cx\u201D\n"
                                 "Pending\tgeneric\tP1FFF\tmanufacturer-specific: choose the make\n")},
        // The total line and a filler row are not codes: with only them selected, every code.
        {4, 6, QString::fromUtf8("TYPE\tVehicle\tCode\tDefinition\n"
                                 "Stored\tgeneric\tU0100\tLost communication with ECM/PCM A\n")},
        {5, 7, kAllCodes},
    };
    for (const auto& c : cases) {
        t.selectionModel()->clearSelection();
        if (c.row >= 0) {
            t.SetRow(c.row);
            t.SetRowSel(c.rowSel);
        }
        x.exporter.copy(Grid::Results);
        EXPECT_EQ(QApplication::clipboard()->text(), c.expected) << "rows " << c.row << " to " << c.rowSel;
    }

    // The glossary: the entry the code search found, or all of them.
    x.f.form->ReadingMode = 0;  // as the Glossary button leaves the window
    x.f.form->LabelVS[0]->hide();
    x.f.form->CODESearch->setText("ECM");
    ASSERT_EQ(x.f.form->FlexList1->Row(), 2);
    x.exporter.copy(Grid::Glossary);
    EXPECT_EQ(QApplication::clipboard()->text(), "TERM\tDIFINITION\nECM\tEngine control module, \"the brain\"\n");
    x.f.form->FlexList1->selectionModel()->clearSelection();
    x.exporter.copy(Grid::Glossary);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "TERM\tDIFINITION\nABS\tAnti-lock brake system\nECM\tEngine control module, \"the brain\"\n"
              "MIL\tMalfunction indicator lamp\n");
}

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << path.toStdString();
    return doc.object();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(ResultExport, SaveAsWritesCsvOrJsonWhereTheUserChose)
{
    ExportFixture x;
    const QDateTime beforeRead = QDateTime::currentDateTime().addSecs(-1);
    x.read(fourCodes());
    // The saved time is the read's, not the saving's.
    QTest::qWait(1100);
    // Whole seconds, as the file gives the time.
    QDateTime beforeSave = QDateTime::currentDateTime();
    beforeSave.setTime(QTime(beforeSave.time().hour(), beforeSave.time().minute(), beforeSave.time().second()));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray csv = QString::fromUtf8(
        "time,make,kind,code,definition,unit,vin,source\r\n"
        "%1,generic,Pending,P0300,Random/multiple cylinder misfire detected,,,\r\n"
        "%1,generic,Pending,P0171,\"Lean, \"\"bank 1\"\"\tsensor \u20AC\u201Cx\u201D\",,,\r\n"
        "%1,generic,Pending,P1FFF,,,,\r\n"
        "%1,generic,Stored,U0100,Lost communication with ECM/PCM A,,,\r\n").toUtf8();
    const struct {
        QString answer;
        SaveType type;
        QString written;  // the file that must appear
        bool json;
    } cases[] = {
        {"codes", SaveType::Csv, "codes.csv", false},
        {"codes", SaveType::Json, "codes.json", true},
        {"chosen.json", SaveType::Csv, "chosen.json", true},  // the typed extension decides
        {"chosen.CSV", SaveType::Json, "chosen.CSV", false},
        {"notes.txt", SaveType::Json, "notes.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        x.saveDialog.answer = SaveTarget{dir.filePath(c.answer), c.type};
        x.exporter.saveAs(Grid::Results);
        const QString path = dir.filePath(c.written);
        ASSERT_TRUE(QFile::exists(path));
        if (!c.json) {
            const QByteArray saved = readAll(path);
            const QByteArray time = saved.mid(saved.indexOf("\r\n") + 2, 25);
            EXPECT_EQ(saved, QString::fromUtf8(csv).arg(QString::fromLatin1(time)).toUtf8());
            continue;
        }
        const QJsonObject json = readJson(path);
        EXPECT_EQ(json["make"].toString(), "generic");
        EXPECT_EQ(json["total"].toInt(), 4);
        const QJsonArray codes = json["codes"].toArray();
        ASSERT_EQ(codes.size(), 4);
        EXPECT_EQ(codes[1].toObject()["definition"].toString(), kAwkward);
        EXPECT_EQ(codes[2].toObject()["kind"].toString(), "Pending");
        EXPECT_EQ(codes[2].toObject()["definition"].toString(), "");
        EXPECT_EQ(codes[3].toObject()["code"].toString(), "U0100");
        const QDateTime time = QDateTime::fromString(json["time"].toString(), Qt::ISODate);
        EXPECT_GE(time, beforeRead);
        EXPECT_LT(time, beforeSave);
        EXPECT_EQ(time.offsetFromUtc(), beforeSave.offsetFromUtc());
    }
    EXPECT_TRUE(x.saveDialog.suggested.startsWith("vx414-codes-"));
    EXPECT_TRUE(x.saveDialog.suggested.endsWith(".csv"));

    // The glossary, as CSV.
    x.saveDialog.answer = SaveTarget{dir.filePath("glossary"), SaveType::Csv};
    x.exporter.saveAs(Grid::Glossary);
    EXPECT_EQ(readAll(dir.filePath("glossary.csv")),
              "term,definition\r\nABS,Anti-lock brake system\r\nECM,\"Engine control module, \"\"the brain\"\"\"\r\n"
              "MIL,Malfunction indicator lamp\r\n");

    // Cancelled: nothing new anywhere; no message at all along the way.
    const int files = static_cast<int>(QDir(dir.path()).entryList(QDir::Files).size());
    x.saveDialog.answer.reset();
    x.exporter.saveAs(Grid::Results);
    x.exporter.saveAs(Grid::Glossary);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), files);
    EXPECT_TRUE(x.f.box.shown.empty());
}

// Save As opens where the user last saved, also in the next run, and confirms each file.
TEST(ResultExport, SaveAsRemembersItsFolderAndConfirmsTheFile)
{
    QTemporaryDir state, saved;
    ASSERT_TRUE(state.isValid() && saved.isValid());
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    const QString fallback = QStringLiteral("/fallback");
    const QString gone = saved.filePath("gone");
    QDir().mkpath(gone);
    const struct {
        const char* what;
        std::function<void()> step;
        QString expected;
    } steps[] = {
        {"nothing remembered yet", [] {}, fallback},
        {"a file saved", [&] { rememberSaveFolder(saved.filePath("codes.csv")); }, saved.path()},
        {"a later save elsewhere", [&] { rememberSaveFolder(gone + "/x.json"); }, gone},
        {"that folder removed", [&] { QDir(gone).removeRecursively(); }, fallback},
        {"a damaged state file",
         [&] {
             QFile file(state.filePath("vx414/save-folder"));
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("relative/folder\n");
         },
         fallback},
    };
    for (const auto& step : steps) {
        step.step();
        EXPECT_EQ(saveFolder(fallback), step.expected) << step.what;
    }
    before.isNull() ? qunsetenv("XDG_STATE_HOME") : qputenv("XDG_STATE_HOME", before);

    // The saved file confirmed by a short note by the table; a cancelled save gets none.
    ExportFixture x;
    x.read(fourCodes());
    x.saveDialog.answer = SaveTarget{saved.filePath("note"), SaveType::Csv};
    x.exporter.saveAs(Grid::Results);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Saved: " + saved.filePath("note.csv"));
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    x.saveDialog.answer.reset();
    x.exporter.saveAs(Grid::Results);
    EXPECT_FALSE(QToolTip::isVisible());
    EXPECT_TRUE(x.f.box.shown.empty());
}

TEST(ResultExport, AReadWithoutCodesSavesARowOfKindNoneAndAnEmptyArray)
{
    ExportFixture x;
    x.read({{true, {}}, {false, {}}});
    QTemporaryDir dir;
    x.saveDialog.answer = SaveTarget{dir.filePath("none.csv"), SaveType::Csv};
    x.exporter.saveAs(Grid::Results);
    // A clean car still leaves a row: kind None, no code.
    const QByteArray none = readAll(dir.filePath("none.csv"));
    EXPECT_TRUE(none.startsWith("time,make,kind,code,definition,unit,vin,source\r\n")) << none.toStdString();
    EXPECT_TRUE(none.endsWith(",generic,None,,,,,\r\n")) << none.toStdString();
    EXPECT_EQ(none.count("\r\n"), 2) << none.toStdString();
    x.saveDialog.answer = SaveTarget{dir.filePath("none.json"), SaveType::Json};
    x.exporter.saveAs(Grid::Results);
    const QJsonObject json = readJson(dir.filePath("none.json"));
    EXPECT_TRUE(json["codes"].isArray());
    EXPECT_TRUE(json["codes"].toArray().isEmpty());
    EXPECT_EQ(json["total"].toInt(-1), 0);
}

// Limits the size of files this process may write, so that a write fails as on a full
// disk; the old limit is back when it ends.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(ResultExport, AFileThatCannotBeWrittenGivesAMessageAndLeavesTheOldOne)
{
    ExportFixture x;
    x.read(fourCodes());
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString old = dir.filePath("old.csv");
    QFile oldFile(old);
    ASSERT_TRUE(oldFile.open(QIODevice::WriteOnly));
    oldFile.write("what was there\n");
    oldFile.close();
    const QString readOnly = dir.filePath("readonly");
    ASSERT_TRUE(QDir(dir.path()).mkdir("readonly"));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);

    struct Case {
        QString path;
        bool diskFull;
    };
    std::vector<Case> cases = {
        {dir.filePath("missing/codes.csv"), false},  // a folder that is not there
        {dir.filePath("plain/codes.csv"), false},    // a "folder" that is a file
        {old, true},                                  // the disk fills while writing
    };
    // The superuser writes into read-only folders; the case only means something for others.
    if (geteuid() != 0)
        cases.push_back({readOnly + "/codes.csv", false});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        x.f.box.shown.clear();
        x.saveDialog.answer = SaveTarget{c.path, SaveType::Csv};
        if (c.diskFull) {
            const FileSizeLimit limit(64);
            x.exporter.saveAs(Grid::Results);
        } else {
            x.exporter.saveAs(Grid::Results);
        }
        ASSERT_EQ(x.f.box.shown.size(), 1u);
        const QString text = x.f.box.shown[0].text;
        EXPECT_TRUE(text.startsWith(" Cannot save file : " + c.path + "\n")) << text.toStdString();
        EXPECT_GT(text.size(), (" Cannot save file : " + c.path + "\n").size()) << "no reason given";
        EXPECT_EQ(x.f.box.shown[0].title, "VX-414");
    }
    // The old file is as it was, and no half-written file is left beside it.
    EXPECT_EQ(readAll(old), "what was there\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"old.csv", "plain"}));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(ResultExport, PrintsTheReadToAPdfWithEveryCodeAndPageNumbers)
{
    ExportFixture x;
    // Thirty codes with long definitions fill more than one page.
    ReportContent many{{true, {}}, {false, {}}};
    frmMain& m = *x.f.form;
    m.flexDemo->SetRows(31);
    for (int i = 0; i < 30; ++i) {
        const auto low = static_cast<std::uint8_t>(0x10 + i);
        (i < 20 ? many.first : many.second).codes.push_back({0x02, low});
        const QString code = QStringLiteral("P02%1").arg(low, 2, 16, QLatin1Char('0')).toUpper();
        m.flexDemo->SetTextMatrix(i + 1, 1, code);
        m.flexDemo->SetTextMatrix(i + 1, 2, QStringLiteral("Definition of %1: ").arg(code) +
                                                QStringLiteral("injector circuit range and performance, ").repeated(4) +
                                                QStringLiteral("end of %1").arg(code));
    }
    x.read(many);
    QTemporaryDir dir;
    x.printDialog.pdfPath = dir.filePath("codes.pdf");
    x.exporter.print(Grid::Results);
    EXPECT_TRUE(x.f.box.shown.empty());

    const QStringList pages = pdfPages(x.printDialog.pdfPath);
    ASSERT_GE(pages.size(), 2);
    const QString all = words(pages.join(' '));
    EXPECT_TRUE(all.contains("Trouble code report"));
    EXPECT_TRUE(all.contains("Vehicle: generic"));
    EXPECT_TRUE(all.contains("Read on: " + QDateTime::currentDateTime().toString("yyyy-MM-dd")));
    for (int i = 0; i < 30; ++i) {
        const QString code = QStringLiteral("P02%1").arg(0x10 + i, 2, 16, QLatin1Char('0')).toUpper();
        EXPECT_EQ(all.count(code), 1 + 2) << code.toStdString();  // its row, and twice in its definition
        EXPECT_TRUE(all.contains("end of " + code)) << "the definition is cut: " << code.toStdString();
    }
    EXPECT_TRUE(words(pages.last()).contains("Total: 30"));
    for (int p = 0; p < pages.size(); ++p)
        EXPECT_TRUE(words(pages[p]).contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())))
            << "page " << p + 1;

    // The glossary as a two-column list of its terms, all 832 of them, on numbered pages.
    FlexGrid& list = *m.FlexList1;
    list.SetRows(833);
    for (int r = 4; r < 833; ++r) {
        list.SetTextMatrix(r, 1, QStringLiteral("Term%1").arg(r));
        list.SetTextMatrix(r, 2, QStringLiteral("Explanation of term %1").arg(r));
    }
    x.printDialog.pdfPath = dir.filePath("glossary.pdf");
    x.exporter.print(Grid::Glossary);
    const QStringList glossaryPages = pdfPages(x.printDialog.pdfPath);
    ASSERT_GE(glossaryPages.size(), 10);
    const QString glossary = words(glossaryPages.join(' '));
    EXPECT_TRUE(glossary.contains("VX-414 glossary 832 terms Term Definition ABS Anti-lock brake system"));
    EXPECT_TRUE(glossary.contains("ECM Engine control module, \"the brain\""));
    EXPECT_TRUE(glossary.contains("MIL Malfunction indicator lamp"));
    EXPECT_TRUE(glossary.contains("Term4 Explanation of term 4"));
    EXPECT_TRUE(glossary.contains("Term832 Explanation of term 832"));
    for (int p = 0; p < glossaryPages.size(); ++p) {
        EXPECT_TRUE(words(glossaryPages[p]).contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(glossaryPages.size())))
            << "page " << p + 1;
    }

    // Cancelled: nothing printed.
    x.printDialog.pdfPath.clear();
    x.exporter.print(Grid::Results);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"codes.pdf", "glossary.pdf"}));
}

TEST(ResultExport, PrintsNoCodesAndReportsAPdfThatCannotBeWritten)
{
    ExportFixture x;
    x.read({{true, {}}, {false, {}}});
    QTemporaryDir dir;
    x.printDialog.pdfPath = dir.filePath("none.pdf");
    x.exporter.print(Grid::Results);
    const QString text = words(pdfPages(x.printDialog.pdfPath).join(' '));
    EXPECT_TRUE(text.contains("No codes"));
    EXPECT_TRUE(text.contains("Total: 0"));
    EXPECT_TRUE(x.f.box.shown.empty());

    x.printDialog.pdfPath = dir.filePath("missing/none.pdf");
    x.exporter.print(Grid::Results);
    ASSERT_EQ(x.f.box.shown.size(), 1u);
    EXPECT_EQ(x.f.box.shown[0].text, " Cannot print to : " + x.printDialog.pdfPath);
}

}  // namespace
}  // namespace vx414
