#include "window/live_actions.h"

#include "window/frm_live_data.h"
#include "window/frm_main.h"

#include <QAction>
#include <QMenu>

namespace vx414 {

LiveActions::LiveActions(frmMain& form, QMenu* resultsMenu, LiveServices services, std::optional<UnitSystem> unitsGiven)
    : QObject(&form), form_(form), services_(std::move(services)),
      units_(unitsGiven ? *unitsGiven : loadUnitChoice(services_.configFolder))
{
    // --units on the command line is a choice like the window's: kept for the next run.
    if (unitsGiven && !services_.configFolder.empty())
        saveUnitChoice(services_.configFolder, *unitsGiven);
    liveAction = new QAction(QStringLiteral("Live data\u2026"), &form_);
    liveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    liveAction->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(liveAction);
    connect(liveAction, &QAction::triggered, this, &LiveActions::showLive);
    if (resultsMenu != nullptr)
        resultsMenu->addAction(liveAction);
}

LiveActions::~LiveActions()
{
    // The program's end stops polling at once, as closing the window does.
    delete window_.data();
}

frmLiveData* LiveActions::liveWindow() const
{
    return window_;
}

void LiveActions::stopForClear()
{
    if (window_ != nullptr && window_->polling())
        window_->stop(QStringLiteral("Stopped for a clear of the codes in the car."));
}

void LiveActions::showLive()
{
    if (window_ == nullptr) {
        frmLiveData::Services services{services_.polling, services_.askRecordingPath,
                                       [this](UnitSystem units) {
                                           units_ = units;
                                           if (!services_.configFolder.empty())
                                               saveUnitChoice(services_.configFolder, units);
                                           if (services_.unitsChanged)
                                               services_.unitsChanged(units);
                                       },
                                       services_.clearing};
        window_ = new frmLiveData(std::move(services), units_, &form_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->start();
}

}  // namespace vx414
