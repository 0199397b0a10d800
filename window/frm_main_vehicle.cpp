// What an ELM327 adapter's read tells besides the codes: its permanent codes join the
// result table after the stored ones, and the make its VIN names is selected as if the
// user had picked it, so that the make's own definitions apply.
#include "window/frm_main.h"

#include "reader/obd/monitor_status.h"

namespace vx414 {

void frmMain::takeVehicle(const VehicleInfo& vehicle)
{
    LastVehicle = vehicle;
    LastReadModelYear = vehicle.modelYear;
    // A year the user gave holds for the same car's later reads, not for another car's.
    if (GivenModelYear > 0 && vehicle.vin == GivenModelYearVin)
        obd::giveModelYear(LastVehicle, GivenModelYear, LastReadModelYear);
    PermanentCount = 0;
    for (const TroubleCode& code : vehicle.permanent) {
        if (CodeCount + 1 >= static_cast<int>(DecodedCodes.size()))
            break;  // the table holds MaxLinkReportCodes codes; the kept read has them all
        ++CodeCount;
        ++PermanentCount;
        DecodedCodes[static_cast<std::size_t>(CodeCount)] =
            QString::fromLatin1(code.text().data(), static_cast<qsizetype>(code.text().size()));
    }

    if (vehicle.make.empty())
        return;
    const QString current = Vehicle->currentText();
    const bool usersChoice = current.compare(QStringLiteral("generic"), Qt::CaseInsensitive) != 0
                             && current != VinMake;
    if (usersChoice)
        return;
    // The make list's entries are compared without regard to case.
    const int entry = Vehicle->findText(QString::fromStdString(vehicle.make), Qt::MatchFixedString);
    if (entry < 0)
        return;
    VinMake = Vehicle->itemText(entry);
    if (entry == Vehicle->currentIndex())
        return;  // its definitions are loaded already
    Vehicle->setCurrentIndex(entry);
    Vehicle_Click();
}

void frmMain::giveModelYear(int year)
{
    GivenModelYear = year;
    GivenModelYearVin = LastVehicle.vin;
    obd::giveModelYear(LastVehicle, year, LastReadModelYear);
}

}  // namespace vx414
