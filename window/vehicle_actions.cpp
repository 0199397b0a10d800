#include "window/vehicle_actions.h"

#include "report/cleared_read.h"
#include "window/demo_mark.h"
#include "window/frm_main.h"
#include "window/frm_vehicle_report.h"
#include "window/previous_reads.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <map>

namespace vx414 {

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// What the engine's speed, read just before, says of the car's state. A speed not read is
// never taken for an engine that is off.
QString engineLine(const EngineSpeed& engine)
{
    if (!engine.rpm)
        return QStringLiteral("The engine's speed could not be read (%1): the engine must be off and the ignition on.")
            .arg(text(engine.notRead));
    if (*engine.rpm > 0)
        return QStringLiteral("The engine is running (%1 rpm). Turn it off and leave the ignition on: with the "
                              "engine running, the car may refuse the clear or set its codes again at once.")
            .arg(std::lround(*engine.rpm));
    return QStringLiteral("The engine is off (0 rpm). Keep the ignition on.");
}

// The question before a clear: what it erases, and apart, what it leaves. A clear (service
// 04) never erases permanent codes: the car drops each only once its own drive cycles have
// found the fault gone. With nothing a clear can erase, what it would still do (reset the
// readiness monitors) is the question.
Question clearQuestion(const ReadReport& read, const EngineSpeed& engine, const QString& title,
                       const std::string& folder)
{
    QStringList erased;
    QStringList kept;
    for (const ReportCode& code : read.codes)
        (code.kind == "Permanent" ? kept : erased) << QStringLiteral("%1 (%2)").arg(text(code.code), text(code.kind));
    const bool permanentNotRead = std::any_of(read.vehicle.notRead.begin(), read.vehicle.notRead.end(),
                                              [](const ItemNotRead& item) { return item.item == VehicleItem::Permanent; });
    const QString demo = read.fromEmulator()
                             ? QStringLiteral("This is a demo: these codes come from an emulator, not from a car.\n\n")
                             : QString();
    const QString keptWhere = QStringLiteral("The read shown is kept first in %1.").arg(QString::fromStdString(folder));
    if (erased.isEmpty()) {
        const QString holds = kept.isEmpty()
                                  ? QStringLiteral("The car holds no pending or stored codes.")
                                  : QStringLiteral("The car holds only permanent codes: %1. A clear cannot erase them; "
                                                   "the car drops each once its own drive cycles find the fault gone.")
                                        .arg(kept.join(QStringLiteral(", ")));
        return {demo + QStringLiteral("Reset the readiness monitors?\n\n%1\n\n"
                                      "A clear now erases nothing but the readiness monitors' progress: the car "
                                      "must be driven again before an inspection.\n\n%2\n\n%3")
                           .arg(holds, engineLine(engine), keptWhere),
                title, QStringLiteral("Reset monitors")};
    }
    const QString stays = !kept.isEmpty() ? kept.join(QStringLiteral(", "))
                          : permanentNotRead ? QStringLiteral("not read; whatever the car holds stays")
                                             : QStringLiteral("none");
    return {demo + QStringLiteral("Clear the codes in the car?\n\n"
                                  "This erases in the car:\n"
                                  "  \u2022 the trouble codes: %1\n"
                                  "  \u2022 the check-engine light (MIL)\n"
                                  "  \u2022 the freeze frame\n"
                                  "  \u2022 the readiness monitors (the car must be driven again before an inspection)\n\n"
                                  "This stays: a clear never erases permanent codes; the car drops each once its own "
                                  "drive cycles find the fault gone.\n"
                                  "  \u2022 permanent codes: %2\n\n"
                                  "%3\n\n%4")
                       .arg(erased.join(QStringLiteral(", ")), stays, engineLine(engine), keptWhere),
            title, QStringLiteral("Clear codes")};
}

// "engine (7E8), 7E9": a unit by its name from the read, with its address; "a unit" when
// the adapter showed no headers.
QString unitsInWords(const std::vector<std::string>& senders, const VehicleInfo& vehicle)
{
    QStringList units;
    for (const std::string& sender : senders) {
        QString name;
        for (const UnitCodes& unit : vehicle.units)
            if (unit.address == sender && !unit.name.empty())
                name = text(unit.name);
        units << (sender.empty() ? QStringLiteral("a unit")
                  : name.isEmpty() ? text(sender)
                                   : QStringLiteral("%1 (%2)").arg(name, text(sender)));
    }
    return units.join(QStringLiteral(", "));
}

}  // namespace

VehicleActions::VehicleActions(frmMain& form, QMenu* resultsMenu, VehicleServices services)
    : QObject(&form), form_(form), services_(std::move(services))
{
    reportAction = new QAction(QStringLiteral("Vehicle report\u2026"), &form_);
    reportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    reportAction->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(reportAction);
    connect(reportAction, &QAction::triggered, this, &VehicleActions::showReport);

    clearAction = new QAction(QStringLiteral("Clear codes in the car\u2026"), &form_);
    connect(clearAction, &QAction::triggered, this, &VehicleActions::clearCodesInCar);

    previousAction = new QAction(QStringLiteral("Previous reads\u2026"), &form_);
    connect(previousAction, &QAction::triggered, this, &VehicleActions::showPreviousReads);

    if (resultsMenu != nullptr) {
        resultsMenu->addSeparator();
        resultsMenu->addAction(reportAction);
        resultsMenu->addAction(clearAction);
        resultsMenu->addAction(previousAction);
        // Offered only where it can work: after a read, through an ELM327 adapter.
        connect(resultsMenu, &QMenu::aboutToShow, this, [this] { clearAction->setEnabled(canClearNow()); });
    }
    // Connected after the window's own handler: an open report follows each read.
    connect(form_.Timer1, &QTimer::timeout, this, [this] {
        if (report_ != nullptr && !form_.FlexList->isHidden())
            showLastRead();
    });
}

VehicleActions::~VehicleActions()
{
    // The clear's own bound (the adapter's exchange bound) limits this wait.
    if (worker_.joinable())
        worker_.join();
}

frmVehicleReport* VehicleActions::reportWindow() const
{
    return report_;
}

void VehicleActions::showRead(const ReadReport& read, const QString& title)
{
    openReportWindow();
    shown_ = read;
    report_->setWindowTitle(title);
    // Save As and Print write the result table's read; a kept read is only copied.
    report_->saveAction->setEnabled(&read == &lastShown_);
    report_->printAction->setEnabled(&read == &lastShown_);
    // A year is given for the car of the last read; a kept read stays as it was kept.
    report_->givenYear->setEnabled(&read == &lastShown_);
    // Each code's definition as the read gave it for its make, or what was said in its place.
    std::map<std::string, std::string> definitions;
    for (const ReportCode& code : read.codes)
        definitions.emplace(code.code, code.definition.empty() ? code.note : code.definition);
    report_->showVehicle(read.vehicle, text(read.make), definitions);
}

void VehicleActions::showLastRead()
{
    lastShown_ = services_.lastRead();
    lastShown_.vehicle = form_.LastVehicle;
    lastShown_.make = form_.Vehicle->currentText().toStdString();
    showRead(lastShown_, QStringLiteral("Vehicle report") + demoMark(form_.LastReadEmulator));
}

void VehicleActions::openReportWindow()
{
    if (report_ != nullptr)
        return;
    report_ = new frmVehicleReport(&form_);
    connect(report_->copyAction, &QAction::triggered, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(reportAsTabText(shown_)));
    });
    connect(report_->saveAction, &QAction::triggered, this, [this] {
        if (services_.saveRead)
            services_.saveRead();
    });
    connect(report_->givenYear, &QSpinBox::valueChanged, this, [this](int year) {
        form_.giveModelYear(year == frmVehicleReport::kNoGivenYear ? 0 : year);
        showLastRead();
    });
    connect(report_->printAction, &QAction::triggered, this, [this] {
        if (services_.printRead)
            services_.printRead();
    });
    fitReportToScreen();
    // The window manager's frame is known once the window is up: fit again with it taken off.
    QTimer::singleShot(0, report_, [this] { fitReportToScreen(); });
}

void VehicleActions::fitReportToScreen()
{
    if (report_ == nullptr)
        return;
    if (const QScreen* screen = report_->screen())
        report_->fitToScreen(screen->availableGeometry().size());
}

void VehicleActions::showReport()
{
    showLastRead();
    report_->show();
    report_->raise();
    report_->activateWindow();
}

bool VehicleActions::canClearNow()
{
    const bool readShown = form_.ReadingMode == 1 && !form_.FlexList->isHidden() && form_.Link->isEnabled();
    return !clearing_ && readShown && services_.clearing.canClear();
}

void VehicleActions::clearCodesInCar()
{
    if (!canClearNow())
        return;
    // From here no read may start on the adapter, nor live polling (which asks clearing()):
    // the engine's speed is asked first, then the clear, and polling that runs is stopped
    // before the worker touches the link.
    clearing_ = true;
    form_.Link->setEnabled(false);
    if (services_.stopLiveData)
        services_.stopLiveData();
    // The rest of the vehicle's picture of the last read may still be coming: it ends here,
    // on the window's thread that takes it, not on the worker.
    services_.clearing.endReading();
    services_.pointers.setWindowPointer(PointerArrowHourglass);
    if (worker_.joinable())
        worker_.join();  // the last clear's worker, finished by now
    worker_ = std::jthread([this] {
        const EngineSpeed engine = services_.clearing.engineSpeed();
        QMetaObject::invokeMethod(this, [this, engine] { askToClear(engine); }, Qt::QueuedConnection);
    });
}

void VehicleActions::clearCancelled()
{
    clearing_ = false;
    services_.pointers.setWindowPointer(PointerDefault);
    form_.Link->setEnabled(true);
}

void VehicleActions::askToClear(const EngineSpeed& engine)
{
    services_.pointers.setWindowPointer(PointerDefault);
    const ReadReport read = services_.lastRead();
    const MsgAnswer answer = services_.messageBox.ask(clearQuestion(
        read, engine, QStringLiteral("Clear codes in the car") + demoMark(form_.LastReadEmulator), services_.clearedFolder));
    if (answer != MsgAnswer::Ok) {
        clearCancelled();
        return;
    }
    const KeptRead kept = keepReadBeforeClearing(services_.clearedFolder, read);
    if (!kept.ok()) {
        clearCancelled();
        services_.messageBox.show(
            QStringLiteral(" Cannot keep the read before clearing : %1\nNothing was cleared.")
                .arg(QString::fromStdString(kept.error)),
            QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    services_.pointers.setWindowPointer(PointerArrowHourglass);
    if (worker_.joinable())
        worker_.join();  // it asked for the engine's speed, and has ended
    worker_ = std::jthread([this, vehicle = read.vehicle] {
        const ClearResult result = services_.clearing.clearCodes();
        QMetaObject::invokeMethod(
            this, [this, result, vehicle] { clearFinished(result, vehicle); }, Qt::QueuedConnection);
    });
}

void VehicleActions::clearFinished(const ClearResult& result, const VehicleInfo& vehicle)
{
    clearing_ = false;
    services_.pointers.setWindowPointer(PointerDefault);
    form_.Link->setEnabled(true);
    const QString refused = result.refused.empty()
                                ? QString()
                                : QStringLiteral("\nRefused by %1: its codes remain.").arg(unitsInWords(result.refused, vehicle));
    if (!result.status.isOk()) {
        services_.messageBox.show(QStringLiteral(" The car did not confirm the clear : %1%2")
                                      .arg(QString::fromStdString(result.status.toString()), refused),
                                  QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    services_.messageBox.show(QStringLiteral("The car confirmed: its trouble codes are cleared.\nConfirmed by %1.%2")
                                  .arg(unitsInWords(result.confirmed, vehicle), refused),
                              QStringLiteral("Clear codes in the car"), MsgButtons::Ok, MsgIcon::Information);
    // A read shows what the clear left: permanent codes stay until the car has seen the
    // fault gone over its own drive cycles.
    form_.Link_Click();
}

void VehicleActions::showPreviousReads()
{
    if (previous_ == nullptr) {
        previous_ = new PreviousReadsWindow(&form_, services_.messageBox, [this](const ReadReport& read) {
            showRead(read, QStringLiteral("Vehicle report \u2014 kept read of %1").arg(text(readableTime(read.time))) +
                               demoMark(read.source));
            report_->show();
            report_->raise();
            report_->activateWindow();
        });
    }
    previous_->list(services_.clearedFolder);
    if (previous_->reads->rowCount() == 0) {
        services_.messageBox.show(QStringLiteral("No read has been kept yet: a read is kept in %1 before each clear.")
                                      .arg(QString::fromStdString(services_.clearedFolder)),
                                  QStringLiteral("Previous reads"), MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    previous_->show();
    previous_->raise();
    previous_->activateWindow();
}

PreviousReadsWindow* VehicleActions::previousReadsWindow() const
{
    return previous_;
}

}  // namespace vx414
