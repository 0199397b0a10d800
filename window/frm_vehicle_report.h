// The "Vehicle report" window: what the last ELM327 read told about the car, for the user
// to read at leisure beside the result table: VIN, make and model year, the check-engine
// light, the codes of each control unit with their definitions, the readiness monitors with
// the inspection verdict, and freeze frame 0 with its units. An item the read could not
// learn says "not read" and why. A window of its own with its title, no larger than the
// screen (its contents scroll, the Close button stays in view), with its own Copy, Save As
// and Print (its Report menu, Ctrl+C, Ctrl+S, Ctrl+P); every value carries an accessible
// name, so that a screen reader reads it.
#pragma once

#include "reader/vehicle_info.h"

#include <QString>
#include <QWidget>

#include <map>
#include <string>

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTableWidget;

namespace vx414 {

class frmVehicleReport final : public QWidget {
    Q_OBJECT
public:
    explicit frmVehicleReport(QWidget* parent = nullptr);

    // Shows `vehicle`; `make` is the make the definitions are for (the Vehicle list's text),
    // `definitions` the definition of each code of the read for that make, by code.
    void showVehicle(const VehicleInfo& vehicle, const QString& make,
                     const std::map<std::string, std::string>& definitions = {});

    // The size it opens with, within `available` (the screen's free area) less the frame
    // the window manager adds.
    void fitToScreen(const QSize& available);

    QLabel* vin;
    QLabel* make;
    QLabel* modelYear;
    // The year the user states; kNoGivenYear ("not given") when none. Changing it is the
    // window's owner's to act on.
    QSpinBox* givenYear;
    static constexpr int kNoGivenYear = 1979;
    QLabel* mil;
    QLabel* notRead;          // the items not read and why; hidden when every item was read
    QTableWidget* unitCodes;  // Unit, Address, Kind, Code, Definition
    QLabel* permanentNotRead;
    QLabel* readinessNotRead;
    QTableWidget* readiness;  // Monitor, Status
    QLabel* inspection;
    QLabel* freezeFrameTitle;
    QTableWidget* freezeFrame;  // Name, Value, Unit
    QLabel* nothingTold;        // shown instead when the read told nothing beyond its codes
    QScrollArea* scroll;
    QPushButton* closeButton;
    QAction* copyAction;
    QAction* saveAction;
    QAction* printAction;
};

}  // namespace vx414
