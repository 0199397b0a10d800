// The "Vehicle report" window: what the last ELM327 read told about the car, for the user
// to read at leisure beside the result table: VIN, make and model year, the check-engine
// light, the codes of each control unit, the readiness monitors with the inspection
// verdict, and freeze frame 0 with its units. A window of its own with its title; every
// value carries an accessible name, so that a screen reader reads it.
#pragma once

#include "reader/vehicle_info.h"

#include <QString>
#include <QWidget>

class QLabel;
class QTableWidget;

namespace vx414 {

class frmVehicleReport final : public QWidget {
    Q_OBJECT
public:
    explicit frmVehicleReport(QWidget* parent = nullptr);

    // Shows `vehicle`; `make` is the make the definitions are for (the Vehicle list's text).
    void showVehicle(const VehicleInfo& vehicle, const QString& make);

    QLabel* vin;
    QLabel* make;
    QLabel* modelYear;
    QLabel* mil;
    QTableWidget* unitCodes;  // Unit, Address, Kind, Code
    QTableWidget* readiness;  // Monitor, Status
    QLabel* inspection;
    QLabel* freezeFrameTitle;
    QTableWidget* freezeFrame;  // Name, Value, Unit
    QLabel* nothingTold;        // shown instead when the read told nothing beyond its codes
};

}  // namespace vx414
