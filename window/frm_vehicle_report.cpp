#include "window/frm_vehicle_report.h"

#include "reader/vehicle_format.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vx414 {

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setAccessibleName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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
}

void addUnitRows(std::vector<QStringList>& rows, const UnitCodes& unit, const char* kind,
                 const std::vector<TroubleCode>& codes)
{
    for (const TroubleCode& code : codes)
        rows.push_back({text(unit.name), text(unit.address), QString::fromLatin1(kind), text(code.text())});
}

}  // namespace

frmVehicleReport::frmVehicleReport(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Vehicle report"));
    setAccessibleName(QStringLiteral("Vehicle report"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    nothingTold = new QLabel(
        QStringLiteral("The last read told nothing about the vehicle beyond its codes. "
                       "An ELM327 adapter reads the VIN, the check-engine light, readiness and the freeze frame."),
        this);
    nothingTold->setWordWrap(true);
    layout->addWidget(nothingTold);

    auto* facts = new QFormLayout;
    vin = valueLabel(QStringLiteral("VIN"), this);
    make = valueLabel(QStringLiteral("Make"), this);
    modelYear = valueLabel(QStringLiteral("Model year"), this);
    mil = valueLabel(QStringLiteral("MIL"), this);
    facts->addRow(QStringLiteral("VIN:"), vin);
    facts->addRow(QStringLiteral("Make:"), make);
    facts->addRow(QStringLiteral("Model year:"), modelYear);
    facts->addRow(QStringLiteral("MIL (check-engine light):"), mil);
    layout->addLayout(facts);

    layout->addWidget(heading(QStringLiteral("Codes per unit"), this));
    unitCodes = table(QStringLiteral("Codes per unit"),
                      {QStringLiteral("Unit"), QStringLiteral("Address"), QStringLiteral("Kind"), QStringLiteral("Code")},
                      this);
    layout->addWidget(unitCodes);

    layout->addWidget(heading(QStringLiteral("Readiness"), this));
    readiness = table(QStringLiteral("Readiness"), {QStringLiteral("Monitor"), QStringLiteral("Status")}, this);
    layout->addWidget(readiness);
    inspection = valueLabel(QStringLiteral("Inspection"), this);
    inspection->setWordWrap(true);
    layout->addWidget(inspection);

    freezeFrameTitle = heading(QStringLiteral("Freeze frame"), this);
    layout->addWidget(freezeFrameTitle);
    freezeFrame = table(QStringLiteral("Freeze frame"), {QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Unit")},
                        this);
    layout->addWidget(freezeFrame);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(560, 720);
}

void frmVehicleReport::showVehicle(const VehicleInfo& vehicle, const QString& makeShown)
{
    nothingTold->setVisible(!hasVehicleDetails(vehicle));
    const QString unknown = QStringLiteral("not read");
    vin->setText(vehicle.vin.empty() ? unknown : text(vehicle.vin));
    make->setText(vehicle.make.empty() || text(vehicle.make).compare(makeShown, Qt::CaseInsensitive) == 0
                      ? makeShown
                      : QStringLiteral("%1 (the VIN names %2)").arg(makeShown, text(vehicle.make)));
    modelYear->setText(vehicle.modelYear > 0 ? QString::number(vehicle.modelYear) : unknown);
    mil->setText(vehicle.mil ? text(milText(vehicle)) : unknown);

    std::vector<QStringList> units;
    for (const UnitCodes& unit : vehicle.units) {
        addUnitRows(units, unit, "Pending", unit.pending);
        addUnitRows(units, unit, "Stored", unit.stored);
        addUnitRows(units, unit, "Permanent", unit.permanent);
    }
    setRows(unitCodes, units);

    std::vector<QStringList> monitors;
    for (const MonitorStatus& m : vehicle.readiness)
        monitors.push_back({text(m.monitor), text(monitorStateText(m.state))});
    setRows(readiness, monitors);
    inspection->setText(vehicle.inspection.empty() ? QString()
                                                   : QStringLiteral("Inspection: %1").arg(text(vehicle.inspection)));
    inspection->setVisible(!vehicle.inspection.empty());

    std::vector<QStringList> values;
    if (vehicle.freezeFrame) {
        for (const FreezeValue& v : vehicle.freezeFrame->values)
            values.push_back({text(v.name), text(quantityText(v.value)), text(v.unit)});
    }
    setRows(freezeFrame, values);
    freezeFrameTitle->setText(vehicle.freezeFrame && vehicle.freezeFrame->code
                                  ? QStringLiteral("Freeze frame (set by %1)").arg(text(vehicle.freezeFrame->code->text()))
                                  : QStringLiteral("Freeze frame"));
}

}  // namespace vx414
