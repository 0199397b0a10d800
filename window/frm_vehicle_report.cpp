#include "window/frm_vehicle_report.h"

#include "report/vehicle_format.h"

#include <QAction>
#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "window/close_keys.h"
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vx414 {

namespace {

// The size the window asks for on a screen with room for it.
constexpr int kWantedWidth = 640;
constexpr int kWantedHeight = 720;

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setAccessibleName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    return label;
}

QTableWidget* table(const QString& name, const QStringList& headings, QWidget* parent)
{
    auto* t = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    t->setAccessibleName(name);
    t->setHorizontalHeaderLabels(headings);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    // The window scrolls, not each table: a table is as tall as its rows.
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setWordWrap(true);
    return t;
}

QLabel* heading(const QString& title, QWidget* parent)
{
    auto* label = new QLabel(title, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

void setRows(QTableWidget* t, const std::vector<QStringList>& rows)
{
    t->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < t->rowCount(); ++r) {
        const QStringList& cells = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < cells.size() && c < t->columnCount(); ++c)
            t->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    t->resizeColumnsToContents();
    t->resizeRowsToContents();
    const int scrollBar = t->horizontalScrollBar()->sizeHint().height();
    t->setFixedHeight(t->horizontalHeader()->sizeHint().height() + t->verticalHeader()->length() +
                      2 * t->frameWidth() + scrollBar);
}

void addUnitRows(std::vector<QStringList>& rows, const UnitCodes& unit, const char* kind,
                 const std::vector<TroubleCode>& codes, const std::map<std::string, std::string>& definitions)
{
    for (const TroubleCode& code : codes) {
        const auto found = definitions.find(std::string(code.text()));
        rows.push_back({text(unit.name), text(unit.address), QString::fromLatin1(kind), text(code.text()),
                        found == definitions.end() ? QString() : text(found->second)});
    }
}

// "not read (no answer in time)" for an item not read, else `otherwise`.
QString orNotRead(const VehicleInfo& vehicle, VehicleItem item, const QString& otherwise)
{
    const ItemNotRead* entry = notReadEntry(vehicle, item);
    return entry == nullptr ? otherwise : text(notReadText(*entry));
}

QAction* menuAction(QMenu* menu, QWidget* window, const QString& title, const QKeySequence& keys)
{
    auto* action = menu->addAction(title);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

}  // namespace

frmVehicleReport::frmVehicleReport(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Vehicle report"));
    setAccessibleName(QStringLiteral("Vehicle report"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* outer = new QVBoxLayout(this);
    auto* menuBar = new QMenuBar(this);
    QMenu* menu = menuBar->addMenu(QStringLiteral("&Report"));
    copyAction = menuAction(menu, this, QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    saveAction = menuAction(menu, this, QStringLiteral("Save As\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S));
    printAction = menuAction(menu, this, QStringLiteral("Print\u2026"), QKeySequence(Qt::CTRL | Qt::Key_P));
    menu->addSeparator();
    QAction* closeAction = menu->addAction(QStringLiteral("Close"));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    outer->setMenuBar(menuBar);

    // Everything but the Close button scrolls, so that the window fits any screen.
    scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* contents = new QWidget(scroll);
    auto* layout = new QVBoxLayout(contents);
    nothingTold = new QLabel(
        QStringLiteral("The last read told nothing about the vehicle beyond its codes. "
                       "An ELM327 adapter reads the VIN, the check-engine light, readiness and the freeze frame."),
        contents);
    nothingTold->setWordWrap(true);
    layout->addWidget(nothingTold);

    auto* facts = new QFormLayout;
    facts->setRowWrapPolicy(QFormLayout::WrapLongRows);
    vin = valueLabel(QStringLiteral("VIN"), contents);
    make = valueLabel(QStringLiteral("Make"), contents);
    modelYear = valueLabel(QStringLiteral("Model year"), contents);
    mil = valueLabel(QStringLiteral("MIL"), contents);
    facts->addRow(QStringLiteral("VIN:"), vin);
    facts->addRow(QStringLiteral("Make:"), make);
    // A year the VIN does not give (or gives wrongly) can be stated here; the verdict is
    // then judged by it. Typing commits on Enter or on leaving the box, not per digit.
    givenYear = new QSpinBox(contents);
    givenYear->setAccessibleName(QStringLiteral("Give the model year"));
    givenYear->setRange(kNoGivenYear, QDate::currentDate().year() + 1);
    givenYear->setSpecialValueText(QStringLiteral("not given"));
    givenYear->setKeyboardTracking(false);
    givenYear->setToolTip(QStringLiteral("The car's model year, when the VIN gives none: the inspection verdict "
                                         "is judged by it"));
    auto* yearRow = new QHBoxLayout;
    yearRow->addWidget(modelYear, 1);
    yearRow->addWidget(new QLabel(QStringLiteral("Give the year:"), contents));
    yearRow->addWidget(givenYear);
    facts->addRow(QStringLiteral("Model year:"), yearRow);
    facts->addRow(QStringLiteral("MIL (check-engine light):"), mil);
    layout->addLayout(facts);
    notRead = valueLabel(QStringLiteral("Not read"), contents);
    layout->addWidget(notRead);

    layout->addWidget(heading(QStringLiteral("Codes per unit"), contents));
    unitCodes = table(QStringLiteral("Codes per unit"),
                      {QStringLiteral("Unit"), QStringLiteral("Address"), QStringLiteral("Kind"), QStringLiteral("Code"),
                       QStringLiteral("Definition")},
                      contents);
    layout->addWidget(unitCodes);
    permanentNotRead = valueLabel(QStringLiteral("Permanent codes"), contents);
    layout->addWidget(permanentNotRead);

    layout->addWidget(heading(QStringLiteral("Readiness"), contents));
    readinessNotRead = valueLabel(QStringLiteral("Readiness not read"), contents);
    layout->addWidget(readinessNotRead);
    readiness = table(QStringLiteral("Readiness"), {QStringLiteral("Monitor"), QStringLiteral("Status")}, contents);
    layout->addWidget(readiness);
    inspection = valueLabel(QStringLiteral("Inspection"), contents);
    layout->addWidget(inspection);

    freezeFrameTitle = heading(QStringLiteral("Freeze frame"), contents);
    layout->addWidget(freezeFrameTitle);
    freezeFrame = table(QStringLiteral("Freeze frame"),
                        {QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Unit")}, contents);
    layout->addWidget(freezeFrame);
    layout->addStretch(1);
    scroll->setWidget(contents);
    outer->addWidget(scroll, 1);

    closeButton = new QPushButton(QStringLiteral("Close"), this);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    outer->addWidget(closeButton, 0, Qt::AlignRight);
    closeOnEscapeAndCtrlW(this);
    resize(kWantedWidth, kWantedHeight);
}

void frmVehicleReport::fitToScreen(const QSize& available)
{
    const QSize frame = (frameGeometry().size() - size()).expandedTo(QSize(0, 0));
    const QSize room = (available - frame).expandedTo(minimumSizeHint());
    resize(std::min(kWantedWidth, room.width()), std::min(kWantedHeight, room.height()));
}

void frmVehicleReport::showVehicle(const VehicleInfo& vehicle, const QString& makeShown,
                                   const std::map<std::string, std::string>& definitions)
{
    nothingTold->setVisible(!hasVehicleDetails(vehicle));
    const QString unknown = QStringLiteral("not read");
    const QString shownVin = text(vinText(vehicle));
    vin->setText(shownVin.isEmpty() ? unknown : shownVin);
    make->setText(vehicle.make.empty() || text(vehicle.make).compare(makeShown, Qt::CaseInsensitive) == 0
                      ? makeShown
                      : QStringLiteral("%1 (the VIN names %2)").arg(makeShown, text(vehicle.make)));
    modelYear->setText(vehicle.modelYear > 0  ? text(modelYearText(vehicle))
                       : vehicle.vin.empty() ? unknown
                                             : QStringLiteral("unknown"));
    {
        const QSignalBlocker quiet(givenYear);
        givenYear->setValue(vehicle.modelYearGiven ? vehicle.modelYear : kNoGivenYear);
    }
    mil->setText(vehicle.mil ? text(milText(vehicle)) : orNotRead(vehicle, VehicleItem::Readiness, unknown));

    QStringList notReadLines;
    for (const ItemNotRead& entry : vehicle.notRead)
        notReadLines << QStringLiteral("%1: %2").arg(text(vehicleItemTitle(entry.item)), text(notReadText(entry)));
    notRead->setText(notReadLines.join(QLatin1Char('\n')));
    notRead->setVisible(!notReadLines.isEmpty());

    std::vector<QStringList> units;
    for (const UnitCodes& unit : vehicle.units) {
        addUnitRows(units, unit, "Pending", unit.pending, definitions);
        addUnitRows(units, unit, "Stored", unit.stored, definitions);
        addUnitRows(units, unit, "Permanent", unit.permanent, definitions);
    }
    setRows(unitCodes, units);
    const ItemNotRead* permanent = notReadEntry(vehicle, VehicleItem::Permanent);
    permanentNotRead->setText(permanent == nullptr ? QString()
                                                   : QStringLiteral("Permanent codes: %1").arg(text(notReadText(*permanent))));
    permanentNotRead->setVisible(permanent != nullptr);

    std::vector<QStringList> monitors;
    for (const MonitorStatus& m : vehicle.readiness)
        monitors.push_back({text(m.monitor), text(monitorStateText(m.state))});
    setRows(readiness, monitors);
    const ItemNotRead* readinessEntry = vehicle.readiness.empty() ? notReadEntry(vehicle, VehicleItem::Readiness) : nullptr;
    readinessNotRead->setText(readinessEntry == nullptr ? QString() : text(notReadText(*readinessEntry)));
    readinessNotRead->setVisible(readinessEntry != nullptr);
    inspection->setText(vehicle.inspection.empty() ? QString()
                                                   : QStringLiteral("Inspection: %1\n%2")
                                                         .arg(text(vehicle.inspection), text(InspectionGuideNote)));
    inspection->setVisible(!vehicle.inspection.empty());

    std::vector<QStringList> values;
    if (vehicle.freezeFrame) {
        for (const FreezeValue& v : vehicle.freezeFrame->values)
            values.push_back({text(v.name), text(quantityText(v.value)), text(v.unit)});
    }
    setRows(freezeFrame, values);
    const QString frameTitle = vehicle.freezeFrame && vehicle.freezeFrame->code
                                   ? QStringLiteral("Freeze frame (set by %1)").arg(text(vehicle.freezeFrame->code->text()))
                                   : QStringLiteral("Freeze frame");
    const ItemNotRead* frameEntry = vehicle.freezeFrame ? nullptr : notReadEntry(vehicle, VehicleItem::FreezeFrame);
    freezeFrameTitle->setText(frameEntry == nullptr ? frameTitle
                                                    : QStringLiteral("Freeze frame: %1").arg(text(notReadText(*frameEntry))));
}

}  // namespace vx414
