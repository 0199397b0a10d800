// The vehicle's picture in the read's formats: the JSON members a script reads, the text
// sections a person reads, the unit of each code.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "report/report_format.h"
#include "report/vehicle_format.h"
#include "tests/decimal_comma_locale.h"

namespace vx414 {
namespace {

TroubleCode code(std::string_view text) {
    const auto bytes = encodeTroubleCode(text);
    EXPECT_TRUE(bytes.has_value()) << text;
    return bytes ? decodeTroubleCode((*bytes)[0], (*bytes)[1]) : TroubleCode{};
}

QJsonObject parsed(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return doc.object();
}

// A petrol car with its light on: two units, a freeze frame, one incomplete monitor.
VehicleInfo petrolCar() {
    VehicleInfo v;
    v.vin = "WAUZZZ8K9BA123456";
    v.make = "audi";
    v.modelYear = 2011;
    v.mil = true;
    v.storedCount = 2;
    v.readiness = {{"Misfire", MonitorState::Complete},
                   {"Catalyst", MonitorState::Incomplete},
                   {"Secondary air", MonitorState::NotSupported}};
    v.inspection = "Fails the inspection (the check-engine light is on)";
    v.inspectionVerdict = InspectionVerdict::Fails;
    v.incompleteMonitors = {"Catalyst"};
    v.freezeFrame = FreezeFrame{code("P0301"),
                                {{"Engine speed", 1726.5, "rpm"},
                                 {"Coolant temperature", 88, "\u00B0C"},
                                 {"Short term fuel trim, bank 1", -3.90625, "%"}}};
    v.units = {{"7E8", "engine", {}, {code("P0301"), code("P0420")}, {code("P0301")}},
               {"7E9", "", {code("P0700")}, {}, {}}};
    v.permanent = {code("P0301")};
    return v;
}

ReadReport reportOf(const VehicleInfo& vehicle) {
    ReadReport report{LocalTime{2026, 12, 8, 4, 30, 0, 60}, "audi", {}, {}};
    report.codes = {{"Pending", "P0700", "Transmission control system", ""},
                    {"Stored", "P0301", "Cylinder 1 misfire", ""},
                    {"Stored", "P0420", "Catalyst efficiency", ""},
                    {"Permanent", "P0301", "Cylinder 1 misfire", ""}};
    attachVehicle(report, vehicle);
    return report;
}

TEST(VehicleFormat, JsonCarriesTheVehicleAndStaysTheSameShapeWithout) {
    VehicleInfo lightOff = petrolCar();
    lightOff.mil = false;
    lightOff.freezeFrame = FreezeFrame{std::nullopt, {}};
    const struct {
        const char* name;
        VehicleInfo vehicle;
        QJsonValue vin, modelYear, mil, inspection;
        std::vector<std::pair<QString, QString>> readiness;
        QJsonValue frameCode;            // Undefined: no freeze frame at all (null)
        std::vector<QString> frameUnits;
        std::vector<QString> codeUnits;  // in the order of reportOf's codes
    } cases[] = {
        {"petrol car", petrolCar(), QStringLiteral("WAUZZZ8K9BA123456"), 2011, true,
         QStringLiteral("Fails the inspection (the check-engine light is on)"),
         {{"Misfire", "complete"}, {"Catalyst", "incomplete"}, {"Secondary air", "not supported"}},
         QStringLiteral("P0301"), {"rpm", "\u00B0C", "%"}, {"7E9", "engine", "engine", "engine"}},
        {"light off, empty frame", lightOff, QStringLiteral("WAUZZZ8K9BA123456"), 2011, false,
         QStringLiteral("Fails the inspection (the check-engine light is on)"),
         {{"Misfire", "complete"}, {"Catalyst", "incomplete"}, {"Secondary air", "not supported"}},
         QJsonValue::Null, {}, {"7E9", "engine", "engine", "engine"}},
        {"the VX-414 reader", VehicleInfo{}, QJsonValue::Null, QJsonValue::Null, QJsonValue::Null,
         QJsonValue::Null, {}, QJsonValue::Undefined, {}, {"", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject json = parsed(reportAsJson(reportOf(c.vehicle)));
        EXPECT_EQ(json["version"].toInt(), ReportJsonVersion);
        EXPECT_EQ(json["make"].toString(), QStringLiteral("audi"));
        EXPECT_EQ(json["vin"], c.vin);
        EXPECT_EQ(json["model_year"], c.modelYear);
        EXPECT_EQ(json["mil"], c.mil);
        EXPECT_EQ(json["inspection"], c.inspection);
        EXPECT_EQ(json["inspection_verdict"], c.inspection.isNull() ? QJsonValue::Null : QJsonValue("fails"));
        // The verdict is a guide, in JSON as on every other view.
        EXPECT_EQ(json["inspection_note"],
                  c.inspection.isNull() ? QJsonValue::Null : QJsonValue(QString::fromUtf8(InspectionGuideNote.data())));
        EXPECT_EQ(json["incomplete_monitors"].toArray(),
                  c.inspection.isNull() ? QJsonArray{} : QJsonArray{QStringLiteral("Catalyst")});
        EXPECT_TRUE(json["vin_warning"].isNull());
        EXPECT_EQ(json["not_read"].toArray(), QJsonArray{});
        EXPECT_EQ(json["not_read_reasons"].toObject(), QJsonObject{});
        EXPECT_EQ(json["total"].toInt(), 4);

        const QJsonArray codes = json["codes"].toArray();
        ASSERT_EQ(codes.size(), 4);
        const char* const kinds[] = {"Pending", "Stored", "Stored", "Permanent"};
        for (qsizetype i = 0; i < 4; ++i) {
            EXPECT_EQ(codes[i]["kind"].toString(), QString::fromLatin1(kinds[i]));
            EXPECT_EQ(codes[i]["unit"].toString(), c.codeUnits[static_cast<std::size_t>(i)]) << i;
        }

        const QJsonArray readiness = json["readiness"].toArray();
        ASSERT_TRUE(json["readiness"].isArray());
        ASSERT_EQ(readiness.size(), static_cast<qsizetype>(c.readiness.size()));
        for (qsizetype i = 0; i < readiness.size(); ++i) {
            EXPECT_EQ(readiness[i]["monitor"].toString(), c.readiness[static_cast<std::size_t>(i)].first);
            EXPECT_EQ(readiness[i]["status"].toString(), c.readiness[static_cast<std::size_t>(i)].second);
        }

        if (c.frameCode.isUndefined()) {
            EXPECT_TRUE(json["freeze_frame"].isNull());
            continue;
        }
        const QJsonObject frame = json["freeze_frame"].toObject();
        EXPECT_EQ(frame["code"], c.frameCode);
        const QJsonArray values = frame["values"].toArray();
        ASSERT_EQ(values.size(), static_cast<qsizetype>(c.frameUnits.size()));
        for (qsizetype i = 0; i < values.size(); ++i) {
            const FreezeValue& expected = c.vehicle.freezeFrame->values[static_cast<std::size_t>(i)];
            EXPECT_EQ(values[i]["name"].toString().toStdString(), expected.name);
            EXPECT_EQ(values[i]["value"].toDouble(), expected.value);  // exact: shortest round-trip form
            EXPECT_EQ(values[i]["unit"].toString(), c.frameUnits[static_cast<std::size_t>(i)]);
        }
    }

    // A value JSON cannot hold is null, never a bare "nan" that breaks the document.
    VehicleInfo broken;
    broken.freezeFrame = FreezeFrame{code("P0100"), {{"Engine speed", std::numeric_limits<double>::quiet_NaN(), "rpm"}}};
    const QJsonObject json = parsed(reportAsJson(reportOf(broken)));
    EXPECT_TRUE(json["freeze_frame"]["values"][0]["value"].isNull());
}

TEST(VehicleFormat, TextSectionsForPeople) {
    VehicleInfo diesel;
    diesel.compressionIgnition = true;
    diesel.mil = false;
    diesel.readiness = {{"NOx/SCR monitor", MonitorState::Incomplete}, {"EGR/VVT", MonitorState::Complete}};
    VehicleInfo vinOnly;
    vinOnly.vin = "1G1JC5444R7252367";
    const struct {
        const char* name;
        VehicleInfo vehicle;
        std::string text;
        std::string tab;
    } cases[] = {
        {"petrol car", petrolCar(),
         "VIN: WAUZZZ8K9BA123456\n"
         "Model year: 2011\n"
         "MIL: on, 2 stored codes\n"
         "\n"
         "Readiness:\n"
         "  Misfire        complete\n"
         "  Catalyst       incomplete\n"
         "  Secondary air  not supported\n"
         "Inspection: Fails the inspection (the check-engine light is on)\n"
         "  A guide to US emissions (I/M) inspections: local programs differ.\n"
         "\n"
         "Freeze frame (P0301):\n"
         "  Engine speed                  1726.5 rpm\n"
         "  Coolant temperature           88 \u00B0C\n"
         "  Short term fuel trim, bank 1  -3.91%\n",
         "VIN\tWAUZZZ8K9BA123456\nMake from the VIN\taudi\nModel year\t2011\nMIL\ton, 2 stored codes\n"
         "\n"
         "Monitor\tStatus\nMisfire\tcomplete\nCatalyst\tincomplete\nSecondary air\tnot supported\n"
         "Inspection\tFails the inspection (the check-engine light is on)\tA guide to US emissions (I/M) "
         "inspections: local programs differ.\n"
         "\n"
         "Freeze frame\tP0301\nName\tValue\tUnit\nEngine speed\t1726.5\trpm\n"
         "Coolant temperature\t88\t\u00B0C\nShort term fuel trim, bank 1\t-3.91\t%\n"},
        {"diesel, light off, no VIN", diesel,
         "MIL: off\n\nReadiness (compression ignition):\n  NOx/SCR monitor  incomplete\n  EGR/VVT          complete\n",
         "MIL\toff\n\nMonitor\tStatus\nNOx/SCR monitor\tincomplete\nEGR/VVT\tcomplete\n"},
        {"a VIN alone: its year unknown", vinOnly, "VIN: 1G1JC5444R7252367\nModel year: unknown\n",
         "VIN\t1G1JC5444R7252367\nModel year\tunknown\n"},
        {"the VX-414 reader", VehicleInfo{}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(vehicleAsText(c.vehicle), c.text);
        EXPECT_EQ(vehicleAsTabText(c.vehicle), c.tab);
        EXPECT_EQ(hasVehicleDetails(c.vehicle), !c.text.empty());
        // The clipboard's text carries the sections below the codes, and nothing more for
        // a read without them.
        const std::string copied = reportAsTabText(reportOf(c.vehicle));
        EXPECT_EQ(copied.ends_with(c.tab.empty() ? "Permanent\taudi\tP0301\tCylinder 1 misfire\n" : "\n" + c.tab), true) << copied;
    }
}

// Each item that was asked and not learned says so, with its reason, in every format, and
// never reads as "none".
TEST(VehicleFormat, WhatWasNotReadSaysSo) {
    const ItemNotRead slow{VehicleItem::Permanent, "no answer in time"};
    VehicleInfo permanent = petrolCar();
    permanent.permanent.clear();
    permanent.units[0].permanent.clear();
    permanent.notRead = {slow};
    VehicleInfo stopped;  // the read was stopped right after the codes
    stopped.notRead = {{VehicleItem::Readiness, "the read was stopped"},
                       {VehicleItem::FreezeFrame, "the read was stopped"},
                       {VehicleItem::Permanent, "the read was stopped"},
                       {VehicleItem::Vin, "the read was stopped"}};
    VehicleInfo misread;
    misread.vin = "1FTFW1ET5DFC10312";
    misread.vinWarning = "check digit does not match: read it off the windscreen";
    misread.make = "ford";
    misread.modelYear = 2013;
    misread.notRead = {{VehicleItem::FreezeFrame, ""}};
    const struct {
        const char* name;
        VehicleInfo vehicle;
        std::vector<std::string> inText;  // lines vehicleAsText holds
        std::vector<std::string> inTab;
        QJsonArray notRead;
        QJsonObject reasons;
        QJsonValue vinWarning;
    } cases[] = {
        {"permanent codes too slow", permanent,
         {"Permanent codes: not read (no answer in time)\n", "Readiness:\n", "Freeze frame (P0301):\n"},
         {"Permanent codes\tnot read (no answer in time)\n"},
         {"permanent"},
         {{"permanent", "no answer in time"}},
         QJsonValue::Null},
        {"stopped after the codes", stopped,
         {"VIN: not read (the read was stopped)\n", "MIL: not read (the read was stopped)\n",
          "Permanent codes: not read (the read was stopped)\n", "\nReadiness: not read (the read was stopped)\n",
          "\nFreeze frame: not read (the read was stopped)\n"},
         {"Readiness\tnot read (the read was stopped)\n", "Freeze frame\tnot read (the read was stopped)\n",
          "Permanent codes\tnot read (the read was stopped)\n", "VIN\tnot read (the read was stopped)\n"},
         {"readiness", "freeze_frame", "permanent", "vin"},
         {{"readiness", "the read was stopped"},
          {"freeze_frame", "the read was stopped"},
          {"permanent", "the read was stopped"},
          {"vin", "the read was stopped"}},
         QJsonValue::Null},
        {"a VIN with a wrong check digit, no reason given", misread,
         {"VIN: 1FTFW1ET5DFC10312 (check digit does not match: read it off the windscreen)\n", "Model year: 2013\n",
          "\nFreeze frame: not read\n"},
         {"VIN\t1FTFW1ET5DFC10312\n", "VIN warning\tcheck digit does not match: read it off the windscreen\n",
          "Freeze frame\tnot read\n"},
         {"freeze_frame"},
         {{"freeze_frame", ""}},
         QStringLiteral("check digit does not match: read it off the windscreen")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(hasVehicleDetails(c.vehicle));
        const std::string text = vehicleAsText(c.vehicle);
        for (const std::string& line : c.inText) EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        EXPECT_EQ(text.find("none"), std::string::npos) << text;
        const std::string tab = vehicleAsTabText(c.vehicle);
        for (const std::string& line : c.inTab) EXPECT_NE(tab.find(line), std::string::npos) << line << "\n" << tab;
        const QJsonObject json = parsed(reportAsJson(reportOf(c.vehicle)));
        EXPECT_EQ(json["not_read"].toArray(), c.notRead);
        EXPECT_EQ(json["not_read_reasons"].toObject(), c.reasons);
        EXPECT_EQ(json["vin_warning"], c.vinWarning);
    }
}

TEST(VehicleFormat, UnitsAndQuantities) {
    const VehicleInfo car = petrolCar();
    VehicleInfo twoUnits = car;
    twoUnits.units.push_back({"7EA", "transmission", {}, {code("P0420")}, {}});
    const struct {
        const VehicleInfo* vehicle;
        const char* kind;
        const char* code;
        const char* unit;
    } units[] = {
        {&car, "Stored", "P0420", "engine"},
        {&car, "Pending", "P0700", "7E9"},       // a unit without a name goes by its address
        {&car, "Pending", "P0420", ""},          // sent, but as a stored code only
        {&car, "Permanent", "P0301", "engine"},
        {&car, "Stored", "P0171", ""},
        {&twoUnits, "Stored", "P0420", "engine, transmission"},
    };
    for (const auto& u : units)
        EXPECT_EQ(unitOfCode(*u.vehicle, u.kind, u.code), u.unit) << u.kind << ' ' << u.code;

    const struct {
        double value;
        const char* text;
    } quantities[] = {
        {1726.5, "1726.5"}, {88, "88"}, {-3.90625, "-3.91"}, {99.996, "100"},
        {-0.001, "0"},      {0.1, "0.1"}, {std::nan(""), "?"},
    };
    for (const auto& q : quantities) EXPECT_EQ(quantityText(q.value), q.text) << q.value;

    VehicleInfo oneCode;
    oneCode.mil = true;
    oneCode.storedCount = 1;
    EXPECT_EQ(milText(oneCode), "on, 1 stored code");
    EXPECT_EQ(milText(VehicleInfo{}), "unknown");

    // The same where printf writes a decimal comma: never "83," nor "1726,5".
    const testing::DecimalCommaLocale german;
    if (!german.ok()) GTEST_SKIP() << "no de_DE locale could be made here";
    for (const auto& q : quantities) EXPECT_EQ(quantityText(q.value), q.text) << q.value << " in de_DE";
}

}  // namespace
}  // namespace vx414
