// "Live data…" (Ctrl+L) in the result table's context menu opens the Live data window;
// there is no button for it on the window. The units chosen there are kept between runs.
#pragma once

#include "report/unit_system.h"
#include "window/platform/live_polling.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace vx414 {

class frmMain;
class frmLiveData;

struct LiveServices {
    LivePolling& polling;
    std::function<std::optional<QString>(QWidget* parent)> askRecordingPath;
    // Where the unit choice is kept (unitChoiceFolder()); empty: not kept.
    std::string configFolder;
    // Told of each new choice (the vehicle report shows its values in them).
    std::function<void(UnitSystem)> unitsChanged{};
    // Whether the codes are being cleared through the adapter (VehicleActions::clearing):
    // polling does not start meanwhile.
    std::function<bool()> clearing{};
};

class LiveActions final : public QObject {
    Q_OBJECT
public:
    LiveActions(frmMain& form, QMenu* resultsMenu, LiveServices services, std::optional<UnitSystem> unitsGiven = {});
    ~LiveActions() override;

    QAction* liveAction;

    // Opens the window and starts polling, or brings it forward.
    void showLive();
    frmLiveData* liveWindow() const;
    UnitSystem units() const { return units_; }
    // A clear is about to use the adapter: polling stops, and the window says why.
    void stopForClear();

private:
    frmMain& form_;
    LiveServices services_;
    UnitSystem units_;
    QPointer<frmLiveData> window_;
};

}  // namespace vx414
