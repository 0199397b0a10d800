#include "window/vehicle_actions.h"

#include "reader/cleared_read.h"
#include "window/frm_main.h"
#include "window/frm_vehicle_report.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include <map>

namespace vx414 {

namespace {

QString confirmationText(const ReadReport& read, const std::string& folder)
{
    QString codes;
    for (const ReportCode& code : read.codes) {
        if (!codes.isEmpty())
            codes += QStringLiteral(", ");
        codes += QStringLiteral("%1 (%2)").arg(QString::fromStdString(code.code), QString::fromStdString(code.kind));
    }
    if (codes.isEmpty())
        codes = QStringLiteral("none were read");
    return QStringLiteral(
               "Clear the codes in the car?\n\n"
               "This erases in the car:\n"
               "  \u2022 the trouble codes: %1\n"
               "  \u2022 the freeze frame\n"
               "  \u2022 the readiness monitors (the car must be driven again before an inspection)\n\n"
               "The engine must be off and the ignition on.\n\n"
               "The read shown is kept first in %2.")
        .arg(codes, QString::fromStdString(folder));
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

    if (resultsMenu != nullptr) {
        resultsMenu->addSeparator();
        resultsMenu->addAction(reportAction);
        resultsMenu->addAction(clearAction);
        // Offered only where it can work: after a read, through an ELM327 adapter.
        connect(resultsMenu, &QMenu::aboutToShow, this, [this] { clearAction->setEnabled(canClearNow()); });
    }
    // Connected after the window's own handler: an open report follows each read.
    connect(form_.Timer1, &QTimer::timeout, this, [this] {
        if (report_ != nullptr && !form_.FlexList->isHidden())
            showInReport();
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

void VehicleActions::showInReport()
{
    // Each code's definition as the result table shows it for the make chosen.
    std::map<std::string, std::string> definitions;
    for (const ReportCode& code : services_.lastRead().codes)
        definitions.emplace(code.code, code.definition);
    report_->showVehicle(form_.LastVehicle, form_.Vehicle->currentText(), definitions);
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
    const bool opening = report_ == nullptr;
    if (opening) {
        report_ = new frmVehicleReport(&form_);
        connect(report_->copyAction, &QAction::triggered, this, [this] {
            QGuiApplication::clipboard()->setText(QString::fromStdString(reportAsTabText(services_.lastRead())));
        });
        connect(report_->saveAction, &QAction::triggered, this, [this] {
            if (services_.saveRead)
                services_.saveRead();
        });
        connect(report_->printAction, &QAction::triggered, this, [this] {
            if (services_.printRead)
                services_.printRead();
        });
        fitReportToScreen();
    }
    showInReport();
    report_->show();
    report_->raise();
    report_->activateWindow();
    // The window manager's frame is known once the window is up: fit again with it taken off.
    if (opening)
        QTimer::singleShot(0, report_, [this] { fitReportToScreen(); });
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
    const ReadReport read = services_.lastRead();
    const MsgAnswer answer = services_.messageBox.show(confirmationText(read, services_.clearedFolder),
                                                      QStringLiteral("Clear codes in the car"), MsgButtons::OkCancel,
                                                      MsgIcon::Information);
    if (answer != MsgAnswer::Ok)
        return;
    const KeptRead kept = keepReadBeforeClearing(services_.clearedFolder, read);
    if (!kept.ok()) {
        services_.messageBox.show(
            QStringLiteral(" Cannot keep the read before clearing : %1\nNothing was cleared.")
                .arg(QString::fromStdString(kept.error)),
            QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }

    // No read may start on the adapter while it clears.
    clearing_ = true;
    form_.Link->setEnabled(false);
    services_.pointers.setWindowPointer(PointerArrowHourglass);
    if (worker_.joinable())
        worker_.join();  // the last clear's worker, finished by now
    worker_ = std::jthread([this] {
        const LinkStatus status = services_.clearing.clearCodes();
        QMetaObject::invokeMethod(this, [this, status] { clearFinished(status); }, Qt::QueuedConnection);
    });
}

void VehicleActions::clearFinished(LinkStatus status)
{
    clearing_ = false;
    services_.pointers.setWindowPointer(PointerDefault);
    form_.Link->setEnabled(true);
    if (!status.isOk()) {
        services_.messageBox.show(QStringLiteral(" The car did not confirm the clear : %1")
                                      .arg(QString::fromStdString(status.toString())),
                                  QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    // A read shows what the clear left: permanent codes stay until the car has seen the
    // fault gone over its own drive cycles.
    form_.Link_Click();
}

}  // namespace vx414
