// The Vehicle report window on its own: it fits small and scaled screens with its Close
// button in reach, says "not read" for what the read could not learn, and writes its
// numbers the same way in a decimal-comma locale. Registered twice: as it is, and with
// QT_SCALE_FACTOR=2 (a 2x desktop), where the offscreen screen's 800x800 is 400x400.
#include "tests/decimal_comma_locale.h"
#include "window/frm_vehicle_report.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TroubleCode code(std::uint8_t high, std::uint8_t low) { return decodeTroubleCode(high, low); }

// A car with much to show: three units with codes, every monitor, a full freeze frame.
VehicleInfo busyCar()
{
    VehicleInfo v;
    v.vin = "WAUZZZ8K9BA123456";
    v.make = "audi";
    v.modelYear = 2011;
    v.mil = true;
    v.storedCount = 3;
    for (const char* m : {"Misfire", "Fuel system", "Comprehensive components", "Catalyst", "Heated catalyst",
                          "Evaporative system", "Secondary air system", "A/C refrigerant", "Oxygen sensor",
                          "Oxygen sensor heater", "EGR/VVT system"})
        v.readiness.push_back({m, MonitorState::Incomplete});
    v.inspection = "Fails the inspection (the check-engine light is on)";
    v.inspectionVerdict = InspectionVerdict::Fails;
    v.freezeFrame = FreezeFrame{code(0x01, 0x71),
                                {{"Engine speed", 1726.5, "rpm"},
                                 {"Coolant temperature", 83, "\u00B0C"},
                                 {"Short term fuel trim, bank 1", -3.90625, "%"},
                                 {"Intake manifold pressure", 101, "kPa"},
                                 {"Vehicle speed", 60, "km/h"}}};
    for (const char* address : {"7E8", "7E9", "7EA"}) {
        UnitCodes unit{address, "engine", {}, {}, {}};
        for (std::uint8_t i = 1; i <= 6; ++i) unit.stored.push_back(code(0x03, i));
        v.units.push_back(unit);
    }
    return v;
}

QString labelText(const QWidget& window, const QString& accessibleName)
{
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->accessibleName() == accessibleName)
            return label->isHidden() ? QStringLiteral("(hidden)") : label->text();
    return QStringLiteral("(no label named %1)").arg(accessibleName);
}

TEST(VehicleReportWindow, FitsSmallAndScaledScreensWithCloseInReach)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QSize whole = screen->availableGeometry().size();  // in the scaled (logical) pixels
    const struct {
        const char* name;
        QSize available;
    } screens[] = {
        {"this screen", whole},
        {"1024x600 netbook", QSize(1024, 600).boundedTo(whole)},
        {"a 2x 1024x600 screen", QSize(512, 300)},
        {"very small", QSize(360, 240)},
    };
    for (const auto& s : screens) {
        SCOPED_TRACE(s.name);
        frmVehicleReport window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.showVehicle(busyCar(), QStringLiteral("audi"));
        window.fitToScreen(s.available);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_LE(window.width(), s.available.width());
        EXPECT_LE(window.height(), s.available.height());
        // Close is shown whole inside the window, not scrolled away.
        const QRect close(window.closeButton->mapTo(&window, QPoint(0, 0)), window.closeButton->size());
        EXPECT_TRUE(window.closeButton->isVisible());
        EXPECT_TRUE(window.rect().contains(close)) << close.y() << " " << close.height() << " in " << window.height();
        // What does not fit scrolls.
        if (window.height() < 500) {
            EXPECT_GT(window.scroll->verticalScrollBar()->maximum(), 0);
        }
        QTest::mouseClick(window.closeButton, Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
    }
}

TEST(VehicleReportWindow, WhatWasNotReadSaysSoAndNeverNone)
{
    VehicleInfo stopped;
    stopped.notRead = {{VehicleItem::Readiness, "the read was stopped"},
                       {VehicleItem::FreezeFrame, "the read was stopped"},
                       {VehicleItem::Permanent, "the read was stopped"},
                       {VehicleItem::Vin, "the read was stopped"}};
    VehicleInfo slow = busyCar();
    slow.notRead = {{VehicleItem::Permanent, "no answer in time"}};
    VehicleInfo misread = busyCar();
    misread.vin = "1FTFW1ET5DFC10312";
    misread.vinWarning = "check digit does not match: read it off the windscreen";
    misread.modelYear = 0;
    const struct {
        const char* name;
        VehicleInfo vehicle;
        std::vector<std::pair<QString, QString>> labels;  // accessible name, text
        QString frameTitle;
    } cases[] = {
        {"stopped after the codes", stopped,
         {{"VIN", "not read (the read was stopped)"},
          {"MIL", "not read (the read was stopped)"},
          {"Model year", "not read"},
          {"Not read", "Readiness: not read (the read was stopped)\nFreeze frame: not read (the read was stopped)\n"
                       "Permanent codes: not read (the read was stopped)\nVIN: not read (the read was stopped)"},
          {"Permanent codes", "Permanent codes: not read (the read was stopped)"},
          {"Readiness not read", "not read (the read was stopped)"},
          {"Inspection", "(hidden)"}},
         "Freeze frame: not read (the read was stopped)"},
        {"permanent codes too slow", slow,
         {{"VIN", "WAUZZZ8K9BA123456"},
          {"Not read", "Permanent codes: not read (no answer in time)"},
          {"Permanent codes", "Permanent codes: not read (no answer in time)"},
          {"Readiness not read", "(hidden)"}},
         "Freeze frame (set by P0171)"},
        {"a VIN kept with its warning", misread,
         {{"VIN", "1FTFW1ET5DFC10312 (check digit does not match: read it off the windscreen)"},
          {"Model year", "unknown"},
          {"Not read", "(hidden)"},
          {"Permanent codes", "(hidden)"}},
         "Freeze frame (set by P0171)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frmVehicleReport window;
        window.showVehicle(c.vehicle, QStringLiteral("audi"));
        for (const auto& [name, text] : c.labels) EXPECT_EQ(labelText(window, name), text) << name.toStdString();
        EXPECT_EQ(window.freezeFrameTitle->text(), c.frameTitle);
        for (const QLabel* label : window.findChildren<QLabel*>())
            EXPECT_FALSE(label->text().contains(QStringLiteral("none"), Qt::CaseInsensitive)) << label->text().toStdString();
    }
}

TEST(VehicleReportWindow, NumbersAreWholeWithAPointInADecimalCommaLocale)
{
    const testing::DecimalCommaLocale german;
    if (!german.ok())
        GTEST_SKIP() << "no de_DE locale could be made here";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    frmVehicleReport window;
    window.showVehicle(busyCar(), QStringLiteral("audi"));
    QLocale::setDefault(QLocale::c());
    QStringList values;
    for (int r = 0; r < window.freezeFrame->rowCount(); ++r) values << window.freezeFrame->item(r, 1)->text();
    EXPECT_EQ(values, (QStringList{"1726.5", "83", "-3.91", "101", "60"}));
    EXPECT_EQ(labelText(window, "Model year"), "2011");
    EXPECT_EQ(labelText(window, "MIL"), "on, 3 stored codes");
}

}  // namespace
}  // namespace vx414
