// The vehicle's picture in the window: "Vehicle report…" (Ctrl+I) opens the report window,
// "Clear codes in the car…" clears the codes through an ELM327 adapter after a read,
// "Previous reads…" lists the reads kept before each clear and shows one in the report
// window. All sit in the result table's context menu; there are no buttons for them on the
// window. The report window's Copy acts on the read it shows; its Save As and Print act on
// the whole last read, as the result table's do, and are off while a kept read is shown.
#pragma once

#include "reader/link_status.h"
#include "report/report_format.h"
#include "window/platform/car_clearing.h"
#include "window/platform/services.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>
#include <thread>

class QAction;
class QMenu;

namespace vx414 {

class frmMain;
class frmVehicleReport;
class PreviousReadsWindow;

struct VehicleServices {
    MessageBox& messageBox;
    Pointers& pointers;
    CarClearing& clearing;
    // The read the result table shows, as Save As writes it (ResultExport::readReport).
    std::function<ReadReport()> lastRead;
    // Where the read is kept before a clear (clearedReadsFolder()).
    std::string clearedFolder;
    // The result table's Save As and Print of the whole read (ResultExport::saveAs and
    // print on the results), for the report window's own; nothing when not given.
    std::function<void()> saveRead{};
    std::function<void()> printRead{};
    // Stops live data polling, if it runs, before a clear (LiveActions::stopForClear): the
    // clear and the polling never use the adapter at once. Returns within the link's stop
    // bound, without waiting on the adapter; nothing when there is no live data.
    std::function<void()> stopLiveData{};
};

class VehicleActions final : public QObject {
    Q_OBJECT
public:
    // The actions go into `resultsMenu`, the result table's context menu.
    VehicleActions(frmMain& form, QMenu* resultsMenu, VehicleServices services);
    ~VehicleActions() override;

    QAction* reportAction;
    QAction* clearAction;
    QAction* previousAction;

    // Opens the report window, or brings it forward with the last read's contents.
    void showReport();
    frmVehicleReport* reportWindow() const;

    // After a read through an ELM327 adapter: reads the engine's speed on a worker thread,
    // asks (saying whether the engine runs), keeps the read, clears on a worker thread and
    // reads again once the car has answered.
    void clearCodesInCar();
    bool clearing() const { return clearing_; }

    // Lists the kept reads (a message when there are none); nullptr until first listed.
    void showPreviousReads();
    PreviousReadsWindow* previousReadsWindow() const;

private:
    void openReportWindow();
    void fitReportToScreen();
    // Shows `read` in the report window (opened when needed) under `title`.
    void showRead(const ReadReport& read, const QString& title);
    void showLastRead();
    bool canClearNow();
    // The engine's speed is there: the question, then the clear.
    void askToClear(const EngineSpeed& engine);
    void clearCancelled();
    // Says which units confirmed and which refused (named from `vehicle`, the read before
    // the clear), then reads again when one confirmed.
    void clearFinished(const ClearResult& result, const VehicleInfo& vehicle);

    frmMain& form_;
    VehicleServices services_;
    QPointer<frmVehicleReport> report_;
    ReadReport lastShown_;  // the last read, as the report window shows it
    ReadReport shown_;      // what the report window shows: the last read or a kept one
    QPointer<PreviousReadsWindow> previous_;
    bool clearing_ = false;
    std::jthread worker_;
};

}  // namespace vx414
