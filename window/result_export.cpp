#include "window/result_export.h"

#include "definitions/code_meaning.h"

#include "window/frm_main.h"
#include "window/print_module.h"
#include "report/unit_system.h"
#include "report/vehicle_format.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSaveFile>
#include <QToolTip>
#include <QShortcut>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

namespace vx414 {

namespace {

bool wanted(const std::vector<int>* rows, int row)
{
    return rows == nullptr || std::find(rows->begin(), rows->end(), row) != rows->end();
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

ResultExport::ResultExport(frmMain& form, ExportServices services)
    : QObject(&form), form_(form), services_(services)
{
    attach(Grid::Results);
    attach(Grid::Glossary);
}

FlexGrid* ResultExport::gridOf(Grid grid) const
{
    return grid == Grid::Results ? form_.FlexList : form_.FlexList1;
}

QMenu* ResultExport::menu(Grid grid) const
{
    return menus_[grid == Grid::Results ? 0 : 1];
}

void ResultExport::attach(Grid grid)
{
    FlexGrid* g = gridOf(grid);
    auto* m = new QMenu(g);
    const auto add = [&](const QString& text, const QKeySequence& keys, void (ResultExport::*act)(Grid)) {
        auto* action = new QAction(text, g);
        // The menu shows the keys; the window-wide shortcut below is what answers them, so
        // the action's own is bound to the menu alone and never competes with it.
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, grid, act] { (this->*act)(grid); });
        m->addAction(action);
        addWindowKey(keys, act);
    };
    add(QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &ResultExport::copy);
    add(QStringLiteral("Save As\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S), &ResultExport::saveAs);
    add(QStringLiteral("Print\u2026"), QKeySequence(Qt::CTRL | Qt::Key_P), &ResultExport::print);
    menus_[grid == Grid::Results ? 0 : 1] = m;

    // Rows are what Copy takes, so whole rows are selected, several at a time.
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::ExtendedSelection);
    g->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(g, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& position) { showMenu(grid, position); });
}

void ResultExport::addWindowKey(const QKeySequence& keys, void (ResultExport::*act)(Grid))
{
    // One shortcut for both grids' entries: the keys act on the grid that is shown.
    if (std::find(windowKeys_.begin(), windowKeys_.end(), keys) != windowKeys_.end())
        return;
    windowKeys_.push_back(keys);
    auto* shortcut = new QShortcut(keys, &form_);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, act] {
        if (const std::optional<Grid> grid = shownGrid())
            (this->*act)(*grid);
    });
}

std::optional<ResultExport::Grid> ResultExport::shownGrid() const
{
    if (!form_.FlexList1->isHidden())
        return Grid::Glossary;
    if (!form_.FlexList->isHidden())
        return Grid::Results;
    return std::nullopt;
}

void ResultExport::showMenu(Grid grid, const QPoint& position)
{
    // The position is in the grid's viewport, as for every scroll area.
    menu(grid)->popup(gridOf(grid)->viewport()->mapToGlobal(position));
}

std::vector<int> ResultExport::selectedRows(Grid grid) const
{
    const QItemSelectionModel* selection = gridOf(grid)->selectionModel();
    std::set<int> rows;
    if (selection != nullptr) {
        for (const QModelIndex& index : selection->selectedIndexes())
            rows.insert(index.row());
    }
    return {rows.begin(), rows.end()};
}

ReadReport ResultExport::readReport(const std::vector<int>* rows) const
{
    ReadReport report{form_.LastReadTime.value_or(localTimeNow()), form_.Vehicle->currentText().toStdString(), {}};
    const int count = std::min(form_.CodeCount, static_cast<int>(form_.DecodedCodes.size()) - 1);
    for (int r = 1; r <= count; ++r) {
        if (!wanted(rows, r))
            continue;
        // The kind comes from the read itself: the table leaves it blank for a code the
        // definitions do not hold. The definition is the one the table shows for the make.
        const QString kind = r <= form_.FirstBlockCount                    ? form_.FirstBlockKind
                             : r > form_.CodeCount - form_.PermanentCount ? QStringLiteral("Permanent")
                                                                          : form_.SecondBlockKind;
        // Whose the definition is, by the one rule the table was filled by; a cell without
        // a definition may hold the words said in its place, which are no definition.
        const QString& code = form_.DecodedCodes[static_cast<std::size_t>(r)];
        const int row = form_.meaningRowOf(code);
        const std::string cell = form_.FlexList->TextMatrix(r, 3).toStdString();
        ReportCode entry{kind.toStdString(), code.toStdString(), row >= 0 ? cell : std::string()};
        if (row >= 0)
            entry.definitionSource = row < form_.GenericCount ? std::string(kGenericSource) : report.make;
        else
            entry.note = cell;
        report.codes.push_back(std::move(entry));
    }
    attachVehicle(report, units_ ? vehicleInUnits(form_.LastVehicle, units_()) : form_.LastVehicle);
    if (!form_.LastReadEmulator.empty())
        report.source = kEmulatorSource;
    return report;
}

std::vector<GlossaryText> ResultExport::glossaryEntries(const std::vector<int>* rows) const
{
    std::vector<GlossaryText> entries;
    const FlexGrid& list = *form_.FlexList1;
    // A list that was never loaded (no data file at start-up) has no entries.
    if (list.Cols() < 3)
        return entries;
    for (int r = list.FixedRows(); r < list.Rows(); ++r) {
        if (wanted(rows, r))
            entries.push_back({list.TextMatrix(r, 1).toStdString(), list.TextMatrix(r, 2).toStdString()});
    }
    return entries;
}

void ResultExport::copy(Grid grid)
{
    const std::vector<int> selected = selectedRows(grid);
    std::string text;
    if (grid == Grid::Results) {
        ReadReport report = readReport(&selected);
        if (report.codes.empty())  // nothing, or only filler rows, selected: every code
            report = readReport();
        text = reportAsTabText(report);
    } else {
        std::vector<GlossaryText> entries = glossaryEntries(&selected);
        if (entries.empty())
            entries = glossaryEntries();
        text = glossaryAsTabText(entries);
    }
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

QString ResultExport::suggestedName(Grid grid) const
{
    if (grid == Grid::Glossary)
        return QStringLiteral("vx414-glossary.csv");
    const LocalTime t = form_.LastReadTime.value_or(localTimeNow());
    return QStringLiteral("vx414-codes-%1%2%3-%4%5.csv")
        .arg(t.year)
        .arg(twoDigits(t.month), twoDigits(t.day), twoDigits(t.hour), twoDigits(t.minute));
}

void ResultExport::saveAs(Grid grid)
{
    const std::optional<SaveTarget> target =
        services_.saveDialog.askSaveTarget(&form_, QStringLiteral("Save As"), suggestedName(grid));
    if (!target || target->path.isEmpty())
        return;
    // An extension the user typed decides the format; a name without one gets the
    // extension of the type chosen in the dialog.
    QString path = target->path;
    SaveType type = target->type;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        type = SaveType::Csv;
    else if (suffix == QLatin1String("json"))
        type = SaveType::Json;
    else if (suffix.isEmpty())
        path += (path.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."))
                + (type == SaveType::Json ? QStringLiteral("json") : QStringLiteral("csv"));

    std::string bytes;
    if (grid == Grid::Results) {
        const ReadReport report = readReport();
        bytes = type == SaveType::Json ? reportAsJson(report) : reportAsCsv(report);
    } else {
        const std::vector<GlossaryText> entries = glossaryEntries();
        bytes = type == SaveType::Json ? glossaryAsJson(entries) : glossaryAsCsv(entries);
    }
    if (writeFile(path, bytes)) {
        // A short note by the grid that the file is there, gone after a few seconds: no
        // box to dismiss after every save.
        FlexGrid* g = gridOf(grid);
        QToolTip::showText(g->mapToGlobal(QPoint(0, 0)), QStringLiteral("Saved: %1").arg(path), g, QRect(), 5000);
    }
}

bool ResultExport::writeFile(const QString& path, const std::string& bytes)
{
    // Written beside the target under another name and renamed over it once every byte is
    // down, so a full disk or a failing write never leaves a half-written file behind.
    // Unbuffered, so that a write the disk cut short shows in the count it returns: a
    // buffered one would report all bytes taken and the cut-off file would be committed.
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
    } else {
        errno = 0;
        const qint64 written = file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        const int writeError = errno;
        if (written != static_cast<qint64>(bytes.size())) {
            // A short write sets no error of the file's own; the system's says why.
            reason = file.error() != QFileDevice::NoError ? file.errorString()
                     : writeError != 0 ? QString::fromLocal8Bit(std::strerror(writeError))
                                       : QStringLiteral("Not every byte could be written");
            file.cancelWriting();
        } else if (!file.commit()) {
            reason = file.errorString();
        } else {
            return true;
        }
    }
    services_.messageBox.show(QStringLiteral(" Cannot save file : %1\n%2").arg(path, reason),
                              QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
    return false;
}

void ResultExport::print(Grid grid)
{
    const PrintModule* module = printModule();
    if (module == nullptr) {
        services_.messageBox.show(QStringLiteral(" Cannot print : the print module %1 cannot be loaded")
                                      .arg(QLatin1String(kPrintModuleFile)),
                                  QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    const std::unique_ptr<QPrinter, void (*)(QPrinter*)> printer(
        module->newPrinter(grid == Grid::Results ? QStringLiteral("VX-414 codes") : QStringLiteral("VX-414 glossary")),
        module->deletePrinter);
    if (!services_.printDialog.askPrinter(&form_, *printer))
        return;
    const bool printed = grid == Grid::Results ? module->printReport(readReport(), *printer)
                                               : module->printGlossary(glossaryEntries(), *printer);
    if (printed)
        return;
    services_.messageBox.show(QStringLiteral(" Cannot print to : %1").arg(module->destination(*printer)),
                              QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
}

}  // namespace vx414
