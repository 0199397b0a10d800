// The vehicle's picture in the window, driven as the user drives it with an ELM327 read
// handed over by the recording library: permanent rows, the make the VIN names, the
// report window, and clearing the codes from the result table's menu.
#include "reader/testing/recording_device_library.h"
#include "reader/report_encoder.h"
#include "window/frm_vehicle_report.h"
#include "window/print_module.h"
#include "window/result_export.h"
#include "window/testing/data_files.h"
#include "window/testing/export_dialogs.h"
#include "window/testing/form_fixture.h"
#include "window/testing/pdf_text.h"
#include "window/platform/qt_services.h"
#include "window/previous_reads.h"
#include "window/vehicle_actions.h"
#include "report/cleared_read.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>
#include <fstream>
#include <functional>

namespace vx414 {
namespace {

using testing::DataFolder;
using testing::FormFixture;

TroubleCode code(std::string_view text)
{
    const auto bytes = encodeTroubleCode(text);
    return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

std::vector<TroubleCode> codes(std::initializer_list<std::string_view> texts)
{
    std::vector<TroubleCode> out;
    for (const std::string_view t : texts)
        out.push_back(code(t));
    return out;
}

PlainSources makeSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.sections["generic"] = {{"P0171", "System too lean (bank 1)", "t"},
                             {"P0300", "Random/multiple cylinder misfire detected", "t"},
                             {"P0420", "Catalyst system efficiency below threshold (bank 1)", "t"}};
    s.sections["audi"] = {{"P0171", "Audi: fuel trim too lean, bank 1", "t"}};
    s.sections["bmw"] = {{"P0171", "BMW: mixture lean, bank 1", "t"}};
    return s;
}

// A petrol car read through an ELM327 adapter.
LinkReport carReport(std::string vinMake)
{
    LinkReport report{LinkStatus::ok(), codes({"P0420"}), codes({"P0171", "P0300"})};
    VehicleInfo& v = report.vehicle;
    v.vin = "WAUZZZ8K9BA123456";
    v.make = std::move(vinMake);
    v.modelYear = 2011;
    v.mil = true;
    v.storedCount = 2;
    v.readiness = {{"Misfire", MonitorState::Complete},
                   {"Catalyst", MonitorState::Incomplete},
                   {"EGR/VVT", MonitorState::NotSupported}};
    v.inspection = "Likely to pass (one monitor incomplete)";
    v.freezeFrame = FreezeFrame{code("P0171"), {{"Engine speed", 1726.5, "rpm"}, {"Coolant temperature", 88, "\u00B0C"}}};
    v.units = {{"7E8", "engine", {}, codes({"P0171", "P0300"}), codes({"P0171"})},
               {"7E9", "transmission", codes({"P0420"}), {}, {}}};
    v.permanent = codes({"P0171"});
    return report;
}

void readWith(FormFixture& f, LinkReport report)
{
    f.form->Link_Click();
    f.device.giveReport(std::move(report));
    f.form->Timer1_Timer();
}

std::vector<QString> column(const FlexGrid& t, int col, int rows)
{
    std::vector<QString> cells;
    for (int r = 1; r <= rows; ++r)
        cells.push_back(t.TextMatrix(r, col));
    return cells;
}

struct Loaded : FormFixture {
    explicit Loaded(const DataFolder& folder) : FormFixture(folder.path()) { form->Form_Load(); }
    void choose(const QString& make)
    {
        form->Vehicle->setCurrentText(make);
        form->Vehicle_Click();
    }
};

TEST(VehicleWindow, PermanentCodesFollowTheStoredOnesAndCountInTheTotal)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    frmMain& m = *f.form;
    LinkReport onlyPermanent{LinkStatus::ok(), {}, {}};
    onlyPermanent.vehicle.permanent = codes({"P0300", "U0100"});
    const struct {
        const char* name;
        LinkReport report;
        std::vector<QString> kinds;  // rows 1.. and the total line
        std::vector<QString> codes;
    } cases[] = {
        {"a car with every kind", carReport(""), {"Pending", "Stored", "Stored", "Permanent", "Total: 4"},
         {"P0420", "P0171", "P0300", "P0171", "*"}},
        // A code the definitions do not hold still has its kind, as in every read.
        {"permanent codes alone", onlyPermanent, {"Permanent", "Permanent", "Total: 2"}, {"P0300", "U0100", "*"}},
        // The next read without permanent codes has none left over.
        {"codes alone", {LinkStatus::ok(), {}, codes({"P0420", "P0300"})}, {"Stored", "Stored", "Total: 2"},
         {"P0420", "P0300", "*"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        readWith(f, c.report);
        const int rows = static_cast<int>(c.kinds.size());
        EXPECT_EQ(column(*m.FlexList, 0, rows), c.kinds);
        EXPECT_EQ(column(*m.FlexList, 2, rows), c.codes);
        EXPECT_EQ(m.PermanentCount, static_cast<int>(c.report.vehicle.permanent.size()));
        EXPECT_EQ(m.CodeCount, rows - 1);
    }
    // A make chosen afterwards refills the rows with their kinds as read.
    readWith(f, carReport(""));
    f.choose("bmw");
    EXPECT_EQ(column(*m.FlexList, 0, 5), (std::vector<QString>{"Pending", "Stored", "Stored", "Permanent", "Total: 4"}));
    EXPECT_EQ(m.FlexList->TextMatrix(4, 3), "BMW: mixture lean, bank 1");
}

TEST(VehicleWindow, TheVinsMakeIsSelectedAndItsDefinitionsFollowUnlessTheUserChoseOne)
{
    DataFolder folder(makeSources());
    const struct {
        const char* name;
        std::vector<QString> chosen;      // the user's choices before the reads
        std::vector<std::string> vins;    // the makes the VINs of successive reads name
        QString make;                     // Vehicle afterwards
        QString p0171;                    // the definition row 2 (P0171, stored) shows
    } cases[] = {
        {"left at generic", {}, {"audi"}, "audi", "Audi: fuel trim too lean, bank 1"},
        {"upper case", {}, {"AUDI"}, "audi", "Audi: fuel trim too lean, bank 1"},
        {"generic picked by the user", {"bmw", "generic"}, {"audi"}, "audi", "Audi: fuel trim too lean, bank 1"},
        {"the user's make stays", {"bmw"}, {"audi"}, "bmw", "BMW: mixture lean, bank 1"},
        {"the VIN's own choice gives way to the next VIN", {}, {"audi", "bmw"}, "bmw", "BMW: mixture lean, bank 1"},
        {"a VIN without a known maker", {}, {""}, "generic", "System too lean (bank 1)"},
        {"a maker not in the list", {}, {"tesla"}, "generic", "System too lean (bank 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded f(folder);
        for (const QString& make : c.chosen)
            f.choose(make);
        for (const std::string& vin : c.vins)
            readWith(f, carReport(vin));
        frmMain& m = *f.form;
        EXPECT_EQ(m.Vehicle->currentText(), c.make);
        EXPECT_EQ(m.SelectedMake, c.make);  // Vehicle_Click ran: the make's definitions are loaded
        EXPECT_EQ(m.FlexList->TextMatrix(2, 2), "P0171");
        EXPECT_EQ(m.FlexList->TextMatrix(2, 1), c.make);
        EXPECT_EQ(m.FlexList->TextMatrix(2, 3), c.p0171);
        EXPECT_EQ(m.FlexList->TextMatrix(4, 0), "Permanent");
        EXPECT_EQ(m.FlexList->TextMatrix(4, 3), c.p0171);
        EXPECT_EQ(m.FlexList->TextMatrix(5, 0), "Total: 4");
        EXPECT_FALSE(m.FlexList->isHidden());
        EXPECT_TRUE(f.box.shown.empty());
    }
}

// Clears as the test says, looking at the disk the moment the car is asked.
class RecordingClearing final : public CarClearing {
public:
    bool canClear() override { return adapter; }
    void endReading() override { readingEndedOn = std::this_thread::get_id(); }
    EngineSpeed engineSpeed() override
    {
        ++engineAsks;
        return engine;
    }
    ClearResult clearCodes() override
    {
        readingEndedFirst = readingEndedOn.has_value();
        ++clears;
        if (onClear)
            onClear();
        return answer;
    }
    bool adapter = true;
    EngineSpeed engine{0.0, ""};
    std::atomic<int> engineAsks = 0;
    ClearResult answer{LinkStatus::ok(), {"7E8"}, {}};
    std::atomic<int> clears = 0;
    std::function<void()> onClear;
    std::optional<std::thread::id> readingEndedOn;  // written before the worker starts, read after it ended
    bool readingEndedFirst = false;
};

struct ActionsFixture {
    // `data` the folder of the definitions file; none by default.
    explicit ActionsFixture(std::string folder, QString data = QStringLiteral("/nonexistent"))
        : f(std::move(data)),
          exporter(*f.form, {f.box, saveDialog, printDialog}),
          actions(*f.form, exporter.menu(ResultExport::Grid::Results),
                  {f.box, f.pointers, clearing, [this] { return exporter.readReport(); }, std::move(folder),
                   [this] { exporter.saveAs(ResultExport::Grid::Results); },
                   [this] { exporter.print(ResultExport::Grid::Results); }})
    {
        if (f.form->Vehicle->count() == 0)
            f.form->Vehicle->addItems({"generic", "audi"});
    }
    FormFixture f;
    testing::ScriptedSaveDialog saveDialog;
    testing::PdfPrintDialog printDialog;
    RecordingClearing clearing;
    ResultExport exporter;
    VehicleActions actions;
};

QString labelText(const QWidget* window, const QString& accessibleName)
{
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (label->accessibleName() == accessibleName)
            return label->text();
    return QStringLiteral("(no label named %1)").arg(accessibleName);
}

std::vector<QStringList> tableRows(const QWidget* window, const QString& accessibleName)
{
    std::vector<QStringList> rows;
    for (const QTableWidget* t : window->findChildren<QTableWidget*>()) {
        if (t->accessibleName() != accessibleName)
            continue;
        for (int r = 0; r < t->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < t->columnCount(); ++c)
                cells << (t->item(r, c) ? t->item(r, c)->text() : QString());
            rows.push_back(cells);
        }
    }
    return rows;
}

TEST(VehicleWindow, TheReportWindowShowsTheLastReadForPeopleAndScreenReaders)
{
    ActionsFixture x("/nonexistent");
    frmMain& m = *x.f.form;
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    QMenu* menu = x.exporter.menu(ResultExport::Grid::Results);
    EXPECT_TRUE(menu->actions().contains(x.actions.reportAction));
    EXPECT_TRUE(menu->actions().contains(x.actions.clearAction));

    readWith(x.f, carReport("audi"));
    m.activateWindow();
    QTest::keyClick(&m, Qt::Key_I, Qt::ControlModifier);
    frmVehicleReport* report = x.actions.reportWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isWindow());
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->windowTitle(), "Vehicle report");
    EXPECT_EQ(report->accessibleName(), "Vehicle report");

    const struct {
        const char* name;
        QString text;
    } labels[] = {
        {"VIN", "WAUZZZ8K9BA123456"},
        {"Make", "audi"},  // selected from the VIN
        {"Model year", "2011"},
        {"MIL", "on, 2 stored codes"},
        {"Inspection", "Inspection: Likely to pass (one monitor incomplete)\n"
                       "A guide to US emissions (I/M) inspections: local programs differ."},
    };
    for (const auto& l : labels)
        EXPECT_EQ(labelText(report, l.name), l.text) << l.name;
    using Rows = std::vector<QStringList>;
    // No definitions file here: the definitions are empty (the next test has them).
    EXPECT_EQ(tableRows(report, "Codes per unit"), (Rows{{"engine", "7E8", "Stored", "P0171", ""},
                                                        {"engine", "7E8", "Stored", "P0300", ""},
                                                        {"engine", "7E8", "Permanent", "P0171", ""},
                                                        {"transmission", "7E9", "Pending", "P0420", ""}}));
    EXPECT_EQ(tableRows(report, "Readiness"),
              (Rows{{"Misfire", "complete"}, {"Catalyst", "incomplete"}, {"EGR/VVT", "not supported"}}));
    EXPECT_EQ(tableRows(report, "Freeze frame"),
              (Rows{{"Engine speed", "1726.5", "rpm"}, {"Coolant temperature", "88", "\u00B0C"}}));
    EXPECT_TRUE(report->nothingTold->isHidden());

    // A read through the VX-414 reader tells nothing more: the open report follows it
    // (through Timer1's tick, as in use).
    m.Link_Click();
    x.f.device.queueBytes(encodeReport({{true, {}}, {false, {{0x03, 0x00}}}}));
    ASSERT_TRUE(QTest::qWaitFor([&m] { return m.Link->isEnabled(); }, 5000));
    EXPECT_FALSE(report->nothingTold->isHidden());
    EXPECT_EQ(labelText(report, "VIN"), "not read");
    EXPECT_TRUE(tableRows(report, "Readiness").empty());
    EXPECT_TRUE(tableRows(report, "Freeze frame").empty());
    report->close();
}

// A car whose unit keeps no VIN: the user gives its year in the report, the verdict is
// judged by that year's rule, the report says the year was given, and the same car's next
// read keeps it; "not given" takes it back.
TEST(VehicleWindow, AModelYearGivenInTheReportJudgesTheVerdictAgainAndStaysForTheSameCar)
{
    ActionsFixture x("/nonexistent");
    frmMain& m = *x.f.form;
    LinkReport read = carReport("");
    read.vehicle.vin.clear();
    read.vehicle.modelYear = 0;
    read.vehicle.mil = false;
    read.vehicle.readiness.push_back({"Evaporative system", MonitorState::Incomplete});
    read.vehicle.inspection = "Not ready for the inspection (incomplete: Catalyst, Evaporative system)";
    read.vehicle.inspectionVerdict = InspectionVerdict::NotReady;
    read.vehicle.incompleteMonitors = {"Catalyst", "Evaporative system"};
    readWith(x.f, read);
    x.actions.showReport();
    frmVehicleReport* report = x.actions.reportWindow();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(m.LastVehicle.inspectionVerdict, InspectionVerdict::NotReady);

    const struct {
        int given;  // kNoGivenYear: taken back
        std::optional<InspectionVerdict> verdict;
        QString shown;
    } steps[] = {
        {1999, InspectionVerdict::Ready, "1999 (given, not read)"},  // two allowed up to 2000
        {2003, InspectionVerdict::NotReady, "2003 (given, not read)"},
        {frmVehicleReport::kNoGivenYear, InspectionVerdict::NotReady, "not read"},
    };
    for (const auto& s : steps) {
        report->givenYear->setValue(s.given);
        EXPECT_EQ(m.LastVehicle.inspectionVerdict, s.verdict) << s.given;
        EXPECT_EQ(labelText(report, "Model year"), s.shown) << s.given;
        EXPECT_EQ(x.exporter.readReport(nullptr).vehicle.modelYearGiven, s.given != frmVehicleReport::kNoGivenYear);
    }

    report->givenYear->setValue(1998);
    readWith(x.f, read);  // the same car again
    EXPECT_EQ(m.LastVehicle.modelYear, 1998);
    EXPECT_EQ(m.LastVehicle.inspectionVerdict, InspectionVerdict::Ready);
    read.vehicle.vin = "1FTFW1ET9DFC10312";  // another car: its own year
    readWith(x.f, read);
    EXPECT_EQ(m.LastVehicle.modelYear, 0);
    EXPECT_FALSE(m.LastVehicle.modelYearGiven);
    report->close();
}

// The report window's own Copy, Save As and Print, by its keys, act on the whole read, and
// its codes per unit carry the definitions the result table shows for the make.
TEST(VehicleWindow, TheReportWindowCopiesSavesAndPrintsTheReadWithItsDefinitions)
{
    DataFolder folder(makeSources());
    ActionsFixture x("/nonexistent", folder.path());
    x.f.form->Form_Load();
    ASSERT_NE(loadPrintModule(QStringLiteral(VX414_PRINT_MODULE)), nullptr);
    LinkReport read = carReport("");
    read.vehicle.notRead = {{VehicleItem::Vin, "no answer in time"}};
    read.vehicle.vin.clear();
    readWith(x.f, std::move(read));
    x.actions.showReport();
    frmVehicleReport* report = x.actions.reportWindow();
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    using Rows = std::vector<QStringList>;
    EXPECT_EQ(tableRows(report, "Codes per unit"),
              (Rows{{"engine", "7E8", "Stored", "P0171", "System too lean (bank 1)"},
                    {"engine", "7E8", "Stored", "P0300", "Random/multiple cylinder misfire detected"},
                    {"engine", "7E8", "Permanent", "P0171", "System too lean (bank 1)"},
                    {"transmission", "7E9", "Pending", "P0420", "Catalyst system efficiency below threshold (bank 1)"}}));
    EXPECT_EQ(labelText(report, "VIN"), "not read (no answer in time)");

    QTemporaryDir dir;
    x.saveDialog.answer = SaveTarget{dir.filePath("car.json"), SaveType::Json};
    x.printDialog.pdfPath = dir.filePath("car.pdf");
    QApplication::clipboard()->clear();
    report->activateWindow();
    const struct {
        Qt::Key key;
        std::function<QString()> result;
        const char* expected;
    } keys[] = {
        {Qt::Key_C, [] { return QApplication::clipboard()->text(); }, "VIN\tnot read (no answer in time)\n"},
        {Qt::Key_S,
         [&dir] {
             QFile f(dir.filePath("car.json"));
             return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
         },
         "\"not_read\": [\"vin\"]"},
        {Qt::Key_P, [&x] { return testing::words(testing::pdfPages(x.printDialog.pdfPath).join(' ')); },
         "VIN: not read (no answer in time)"},
    };
    for (const auto& k : keys) {
        QTest::keyClick(report, k.key, Qt::ControlModifier);
        const QString result = k.result();
        EXPECT_TRUE(result.contains(QString::fromUtf8(k.expected))) << k.expected << "\n" << result.toStdString();
    }
    EXPECT_EQ(x.saveDialog.asked, 1);
    EXPECT_EQ(x.printDialog.asked, 1);
    EXPECT_TRUE(x.f.box.shown.empty());
    report->close();
}

TEST(VehicleWindow, TheCopyAndThePrintedPageCarryTheVehicle)
{
    ActionsFixture x("/nonexistent");
    readWith(x.f, carReport(""));
    // Print goes through the module the build made, as the program's does through its own.
    ASSERT_NE(loadPrintModule(QStringLiteral(VX414_PRINT_MODULE)), nullptr);
    x.exporter.copy(ResultExport::Grid::Results);
    const QString copied = QApplication::clipboard()->text();
    QTemporaryDir dir;
    x.printDialog.pdfPath = dir.filePath("customer.pdf");
    x.exporter.print(ResultExport::Grid::Results);
    ASSERT_TRUE(x.f.box.shown.empty());
    const QString printed = testing::words(testing::pdfPages(x.printDialog.pdfPath).join(' '));
    const struct {
        const char* copy;
        const char* page;  // words as pdftotext gives them
    } expected[] = {
        {"Permanent\tgeneric\tP0171\t", "Permanent P0171 engine"},
        {"VIN\tWAUZZZ8K9BA123456\n", "VIN: WAUZZZ8K9BA123456"},
        {"MIL\ton, 2 stored codes\n", "MIL (check-engine light): on, 2 stored codes"},
        {"Catalyst\tincomplete\n", "Catalyst incomplete"},
        {"Inspection\tLikely to pass (one monitor incomplete)\tA guide to US emissions (I/M) inspections: local "
         "programs differ.\n",
         "Inspection: Likely to pass (one monitor incomplete)"},
        {"Freeze frame\tP0171\n", "Freeze frame (set by P0171)"},
        {"Engine speed\t1726.5\trpm\n", "Engine speed 1726.5 rpm"},
        {"TYPE\tVehicle\tCode\tDefinition\n", "Trouble code report"},
    };
    for (const auto& e : expected) {
        EXPECT_TRUE(copied.contains(QString::fromUtf8(e.copy))) << e.copy << "\n" << copied.toStdString();
        EXPECT_TRUE(printed.contains(QString::fromUtf8(e.page))) << e.page << "\n" << printed.toStdString();
    }
    EXPECT_TRUE(printed.contains("Vehicle: generic, model year 2011")) << printed.toStdString();
}

TEST(VehicleWindow, ClearingAsksThenKeepsTheReadThenClearsOffTheWindowsThreadAndReadsAgain)
{
    QTemporaryDir scratch;
    const std::filesystem::path kept = std::filesystem::path(scratch.path().toStdString()) / "vx414" / "cleared";
    const std::filesystem::path blocked = std::filesystem::path(scratch.path().toStdString()) / "file" / "cleared";
    std::ofstream(std::filesystem::path(scratch.path().toStdString()) / "file") << "x";
    const auto keptFiles = [&kept] {
        std::vector<std::filesystem::path> files;
        std::error_code missing;
        for (auto it = std::filesystem::directory_iterator(kept, missing);
             !missing && it != std::filesystem::directory_iterator(); ++it)
            files.push_back(it->path());
        return files;
    };
    const ClearResult confirmed{LinkStatus::ok(), {"7E8"}, {}};
    const struct {
        const char* name;
        bool adapter;
        MsgAnswer answer;
        ClearResult carAnswer;
        bool blockKeeping;
        int clears;
        bool readAgain;
        const char* lastMessage;  // the start of the last message shown, "" none
    } cases[] = {
        {"the VX-414 reader", false, MsgAnswer::Ok, confirmed, false, 0, false, ""},
        {"declined", true, MsgAnswer::Cancel, confirmed, false, 0, false, "Clear the codes in the car?"},
        // Which units confirmed and which refused, by the names the read gave them.
        {"accepted", true, MsgAnswer::Ok, confirmed, false, 1, true,
         "The car confirmed: its trouble codes are cleared.\nConfirmed by engine (7E8)."},
        {"one unit refuses", true, MsgAnswer::Ok, {LinkStatus::ok(), {"7E8", "7E0"}, {"7E9"}}, false, 1, true,
         "The car confirmed: its trouble codes are cleared.\nConfirmed by engine (7E8), 7E0.\n"
         "Refused by transmission (7E9): its codes remain."},
        {"headers off", true, MsgAnswer::Ok, {LinkStatus::ok(), {""}, {}}, false, 1, true,
         "The car confirmed: its trouble codes are cleared.\nConfirmed by a unit."},
        {"the car refuses", true, MsgAnswer::Ok,
         {LinkStatus(LinkCode::Protocol, "car refused the request"), {}, {"7E8", "7E9"}}, false, 1, false,
         " The car did not confirm the clear : protocol error: car refused the request\n"
         "Refused by engine (7E8), transmission (7E9): its codes remain."},
        {"the read cannot be kept", true, MsgAnswer::Ok, confirmed, true, 0, false,
         " Cannot keep the read before clearing : "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(kept);
        ActionsFixture x((c.blockKeeping ? blocked : kept).string());
        frmMain& m = *x.f.form;
        readWith(x.f, carReport(""));
        x.f.device.clearLog();
        x.clearing.adapter = c.adapter;
        x.clearing.answer = c.carAnswer;
        x.f.box.answers = {c.answer};
        std::vector<std::filesystem::path> keptAtClear;
        x.clearing.onClear = [&] { keptAtClear = keptFiles(); };

        emit x.exporter.menu(ResultExport::Grid::Results)->aboutToShow();
        EXPECT_EQ(x.actions.clearAction->isEnabled(), c.adapter);
        x.actions.clearAction->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&x] { return !x.actions.clearing(); }, 5000));

        EXPECT_EQ(x.clearing.clears, c.clears);
        if (*c.lastMessage == '\0') {
            EXPECT_TRUE(x.f.box.shown.empty());
        } else {
            ASSERT_FALSE(x.f.box.shown.empty());
            EXPECT_TRUE(x.f.box.shown.back().text.startsWith(QString::fromUtf8(c.lastMessage)))
                << x.f.box.shown.back().text.toStdString();
            // The question is a warning whose button names the act.
            EXPECT_EQ(x.f.box.shown.front().icon, MsgIcon::Warning);
            EXPECT_EQ(x.f.box.shown.front().act, "Clear codes");
        }
        if (c.clears == 1) {
            // The read still at work was ended on the window's thread, before the clear.
            EXPECT_TRUE(x.clearing.readingEndedFirst);
            EXPECT_EQ(x.clearing.readingEndedOn, std::this_thread::get_id());
            // On disk before the car was asked, with everything the read showed.
            ASSERT_EQ(keptAtClear.size(), 1U);
            std::ifstream file(keptAtClear[0]);
            const std::string json((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            EXPECT_NE(json.find("\"vin\": \"WAUZZZ8K9BA123456\""), std::string::npos) << json;
            EXPECT_NE(json.find("{\"kind\": \"Permanent\", \"code\": \"P0171\""), std::string::npos) << json;
            EXPECT_NE(json.find("\"freeze_frame\": {"), std::string::npos) << json;
        } else {
            EXPECT_TRUE(keptFiles().empty());
        }
        // Nothing reached the link but the read that shows what the clear left.
        EXPECT_EQ(x.f.device.callText(), c.readAgain ? "Open Close Open Write(55)" : "");
        EXPECT_EQ(m.Link->isEnabled(), !c.readAgain);
        EXPECT_EQ(x.f.pointers.window, c.readAgain ? PointerArrowHourglass : PointerDefault);
        if (c.readAgain) {
            x.f.device.giveReport({LinkStatus::ok(), {}, {}});
            m.Timer1_Timer();
            EXPECT_EQ(m.FlexList->TextMatrix(1, 0), "Total: 0");
            EXPECT_EQ(m.PermanentCount, 0);
        }
    }
}

TEST(VehicleWindow, TheClearQuestionSaysWhatIsErasedAndApartThePermanentCodesThatStay)
{
    LinkReport permanentNotRead = carReport("");
    permanentNotRead.vehicle.permanent.clear();
    permanentNotRead.vehicle.notRead = {{VehicleItem::Permanent, "no answer in time"}};
    LinkReport noPermanent = carReport("");
    noPermanent.vehicle.permanent.clear();
    const struct {
        const char* name;
        LinkReport report;
        const char* erasedCodes;  // after "the trouble codes: "
        const char* staying;      // after "permanent codes: "
    } cases[] = {
        {"every kind", carReport(""), "P0420 (Pending), P0171 (Stored), P0300 (Stored)", "P0171 (Permanent)"},
        {"none permanent", noPermanent, "P0420 (Pending), P0171 (Stored), P0300 (Stored)", "none"},
        // Nothing not read is said to be none.
        {"permanent codes not read", permanentNotRead, "P0420 (Pending), P0171 (Stored), P0300 (Stored)",
         "not read; whatever the car holds stays"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ActionsFixture x("/nonexistent/kept");
        readWith(x.f, c.report);
        x.f.box.answers = {MsgAnswer::Cancel};
        x.actions.clearAction->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&x] { return !x.actions.clearing(); }, 5000));
        ASSERT_EQ(x.f.box.shown.size(), 1U);
        const testing::ShownMessage& asked = x.f.box.shown[0];
        const qsizetype stays = asked.text.indexOf("This stays: a clear never erases permanent codes");
        ASSERT_GT(stays, 0) << asked.text.toStdString();
        const QString erased = asked.text.left(stays);
        const QString kept = asked.text.mid(stays);
        EXPECT_TRUE(erased.contains(QStringLiteral("the trouble codes: %1\n").arg(c.erasedCodes))) << erased.toStdString();
        EXPECT_FALSE(erased.contains("Permanent")) << erased.toStdString();
        for (const char* what : {"the check-engine light (MIL)", "the freeze frame", "the readiness monitors"})
            EXPECT_TRUE(erased.contains(what)) << what;
        EXPECT_TRUE(kept.contains(QStringLiteral("permanent codes: %1\n").arg(c.staying))) << kept.toStdString();
        EXPECT_TRUE(kept.contains("The engine is off (0 rpm). Keep the ignition on."));
        EXPECT_TRUE(kept.contains("The read shown is kept first in /nonexistent/kept."));
        EXPECT_EQ(x.clearing.clears, 0);
    }
}

// The engine's speed is asked before the question, off the window's thread; a running engine
// is said (Cancel stays the default), a speed not read is never taken for an engine that is
// off, and with nothing a clear can erase, resetting the monitors is the question.
TEST(VehicleWindow, TheClearQuestionSaysWhetherTheEngineRunsAndWhatAClearStillDoes)
{
    LinkReport permanentOnly{LinkStatus::ok(), {}, {}};
    permanentOnly.vehicle.permanent = codes({"P0171"});
    const struct {
        const char* name;
        LinkReport report;
        EngineSpeed engine;
        const char* emulator;  // what the link's device announced
        std::vector<QString> said;
        const char* title;
        const char* act;
    } cases[] = {
        {"the engine runs", carReport(""), {2125.0, ""}, "",
         {"Clear the codes in the car?",
          "The engine is running (2125 rpm). Turn it off and leave the ignition on: with the engine running, the car "
          "may refuse the clear or set its codes again at once."},
         "Clear codes in the car", "Clear codes"},
        {"its speed not read", carReport(""), {std::nullopt, "the car does not give it"}, "",
         {"The engine's speed could not be read (the car does not give it): the engine must be off and the ignition "
          "on."},
         "Clear codes in the car", "Clear codes"},
        {"only a permanent code", permanentOnly, {0.0, ""}, "",
         {"Reset the readiness monitors?\n\nThe car holds only permanent codes: P0171 (Permanent). A clear cannot "
          "erase them",
          "A clear now erases nothing but the readiness monitors' progress", "The engine is off (0 rpm)."},
         "Clear codes in the car", "Reset monitors"},
        {"the emulator's codes", carReport(""), {800.0, ""}, "ELM327 emulator",
         {"This is a demo: these codes come from an emulator, not from a car.\n\nClear the codes in the car?",
          "The engine is running (800 rpm)."},
         "Clear codes in the car \u2014 demo: ELM327 emulator", "Clear codes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ActionsFixture x("/nonexistent/kept");
        x.f.device.linkName = c.emulator;
        readWith(x.f, c.report);
        x.clearing.engine = c.engine;
        x.f.box.answers = {MsgAnswer::Cancel};
        x.actions.clearAction->trigger();
        EXPECT_TRUE(x.actions.clearing());  // no read meanwhile
        EXPECT_FALSE(x.f.form->Link->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&x] { return !x.actions.clearing(); }, 5000));
        EXPECT_EQ(x.clearing.engineAsks, 1);
        ASSERT_EQ(x.f.box.shown.size(), 1U);
        const testing::ShownMessage& asked = x.f.box.shown[0];
        for (const QString& words : c.said)
            EXPECT_TRUE(asked.text.contains(words)) << words.toStdString() << "\n" << asked.text.toStdString();
        EXPECT_EQ(asked.title, QString::fromUtf8(c.title));
        EXPECT_EQ(asked.act, QString::fromUtf8(c.act));
        // Declined: nothing cleared, and the window is as it was.
        EXPECT_EQ(x.clearing.clears, 0);
        EXPECT_TRUE(x.f.form->Link->isEnabled());
        EXPECT_EQ(x.f.pointers.window, PointerDefault);
    }
}

// The program's own box, answered as a user would: Enter and Escape cancel, only the act's
// button clears.
TEST(VehicleWindow, TheClearQuestionIsAWarningWhoseDefaultIsCancel)
{
    const struct {
        const char* name;
        std::function<void(QMessageBox&)> answer;
        MsgAnswer expected;
    } cases[] = {
        {"Enter", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, MsgAnswer::Cancel},
        {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, MsgAnswer::Cancel},
        {"Clear codes", [](QMessageBox& box) { box.buttons().front()->click(); }, MsgAnswer::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList buttons;
        QString defaultButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (const QAbstractButton* b : box->buttons())
                buttons << b->text();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            icon = box->icon();
            c.answer(*box);
        });
        QtMessageBox messageBox;
        const MsgAnswer answer = messageBox.ask({"Clear the codes in the car?", "Clear codes in the car", "Clear codes"});
        EXPECT_EQ(answer, c.expected);
        EXPECT_EQ(icon, QMessageBox::Warning);
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Cancel", "Clear codes"}));
        EXPECT_EQ(defaultButton, "Cancel");
    }
}

TEST(VehicleWindow, PreviousReadsAreListedNewestFirstAndOpenInTheVehicleReport)
{
    QTemporaryDir scratch;
    const std::string folder = scratch.filePath("cleared").toStdString();
    ReadReport older{LocalTime{2026, 12, 1, 8, 0, 0, 60}, "bmw", {{"Stored", "P0420", "Catalyst", ""}}, {}};
    ReadReport newer{LocalTime{2026, 12, 7, 22, 49, 1, 60}, "audi",
                     {{"Pending", "P0300", "Misfire", "engine"}, {"Permanent", "P0171", "Lean", "engine"}}, {}};
    newer.vehicle.vin = "WAUZZZ8K9BA123456";
    newer.vehicle.modelYear = 2011;
    ASSERT_TRUE(keepReadBeforeClearing(folder, older).ok());
    ASSERT_TRUE(keepReadBeforeClearing(folder, newer).ok());
    // A damaged kept read, between the two, and a file that is none.
    const std::string damaged = folder + "/vx414-cleared-20261203-120000.json";
    const std::string damagedBytes = "{\n  \"version\": 2,\n  \"time\": \"2026-12-03T12:00:00+01:00\",\n  \"co";
    std::ofstream(damaged) << damagedBytes;
    std::ofstream(folder + "/notes.txt") << "x";

    ActionsFixture x(folder);
    EXPECT_TRUE(x.exporter.menu(ResultExport::Grid::Results)->actions().contains(x.actions.previousAction));
    x.actions.previousAction->trigger();
    PreviousReadsWindow* window = x.actions.previousReadsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Previous reads");
    using Rows = std::vector<QStringList>;
    EXPECT_EQ(tableRows(window, "Reads kept before clearing"),
              (Rows{{"2026-12-07 22:49:01 UTC+01:00", "WAUZZZ8K9BA123456", "P0300 (Pending), P0171 (Permanent)"},
                    {"vx414-cleared-20261203-120000.json", "",
                     QString::fromStdString("cannot be read: bad JSON at byte " + std::to_string(damagedBytes.size() + 1) +
                                            ": the text ends inside a string")},
                    {"2026-12-01 08:00:00 UTC+01:00", "not read", "P0420 (Stored)"}}));

    const struct {
        const char* name;
        int row;
        QString title;    // the report window's, "" when it does not change
        QString vin;
        QString message;  // the message shown, "" none
    } cases[] = {
        {"the newest", 0, QString::fromUtf8("Vehicle report \u2014 kept read of 2026-12-07 22:49:01 UTC+01:00"),
         "WAUZZZ8K9BA123456", ""},
        {"a damaged one", 1, "", "",
         QString::fromStdString(" Cannot open the kept read : " + damaged +
                                ": bad JSON at byte " + std::to_string(damagedBytes.size() + 1) + ": the text ends inside a string")},
        {"the VX-414 reader's", 2, QString::fromUtf8("Vehicle report \u2014 kept read of 2026-12-01 08:00:00 UTC+01:00"),
         "not read", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        x.f.box.shown.clear();
        const QString titleBefore = x.actions.reportWindow() ? x.actions.reportWindow()->windowTitle() : QString();
        window->showRow(c.row);
        frmVehicleReport* report = x.actions.reportWindow();
        if (c.title.isEmpty()) {
            // The report window keeps what it showed.
            EXPECT_EQ(report ? report->windowTitle() : QString(), titleBefore);
        } else {
            ASSERT_NE(report, nullptr);
            EXPECT_TRUE(report->isVisible());
            EXPECT_EQ(report->windowTitle(), c.title);
            EXPECT_EQ(labelText(report, "VIN"), c.vin);
        }
        EXPECT_EQ(x.f.box.shown.empty() ? QString() : x.f.box.shown.back().text, c.message);
    }
    // The newest read's codes by unit, rebuilt from the file, each with the definition kept with it.
    EXPECT_EQ(tableRows(x.actions.reportWindow(), "Codes per unit").size(), 0U);  // the last shown: no units
    window->showRow(0);
    EXPECT_EQ(tableRows(x.actions.reportWindow(), "Codes per unit"),
              (Rows{{"engine", "", "Pending", "P0300", "Misfire"}, {"engine", "", "Permanent", "P0171", "Lean"}}));
    // The damaged file is left as it was.
    std::ifstream file(damaged);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), damagedBytes);
    // The report goes back to the last read with its own title.
    x.actions.showReport();
    EXPECT_EQ(x.actions.reportWindow()->windowTitle(), "Vehicle report");
    x.actions.reportWindow()->close();
    window->close();

    // With nothing kept, a message says where reads are kept.
    ActionsFixture none(scratch.filePath("nothing").toStdString());
    none.actions.previousAction->trigger();
    ASSERT_EQ(none.f.box.shown.size(), 1U);
    EXPECT_TRUE(none.f.box.shown[0].text.startsWith("No read has been kept yet: a read is kept in "));
    EXPECT_TRUE(none.actions.previousReadsWindow() == nullptr || !none.actions.previousReadsWindow()->isVisible());
}

// What a kept file holds is shown with its control characters as "?", and a folder that
// cannot be listed says why instead of passing for an empty one.
TEST(VehicleWindow, PreviousReadsShowNoControlCharactersAndNameAFolderFault)
{
    QTemporaryDir scratch;
    const std::string kept = scratch.filePath("kept").toStdString();
    ReadReport hostile{LocalTime{2026, 12, 3, 12, 0, 0, 60}, "audi", {}, {}};
    hostile.vehicle.vin = "WAU\x1b[2J\nZZZ";
    ASSERT_TRUE(keepReadBeforeClearing(kept, hostile).ok());
    std::string badKind = reportAsJson(hostile);
    badKind.replace(badKind.find("\"codes\": []"), std::string_view("\"codes\": []").size(),
                    R"("codes": [{"kind": "\u001b[2J\n", "code": "P0301", "definition": ""}])");
    std::ofstream(kept + "/vx414-cleared-20261201-000000.json") << badKind;
    const std::string file = scratch.filePath("file").toStdString();
    std::ofstream(file) << "x";
    using Rows = std::vector<QStringList>;
    const struct {
        std::string folder;
        Rows rows;
    } cases[] = {
        {kept,
         {{"2026-12-03 12:00:00 UTC+01:00", "WAU?[2J?ZZZ", "no codes"},
          {"vx414-cleared-20261201-000000.json", "", QString::fromStdString("cannot be read: not a vx414 read at byte " +
                                                                   std::to_string(badKind.find("{\"kind\"") + 1) +
                                                                   ": a code of kind \"?[2J?\"")}}},
        {file, {{"", "", QString::fromStdString("cannot list the kept reads: " + file + " is not a folder")}}},
    };
    for (const auto& c : cases) {
        ActionsFixture x(c.folder);
        x.actions.previousAction->trigger();
        PreviousReadsWindow* window = x.actions.previousReadsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(tableRows(window, "Reads kept before clearing"), c.rows);
        EXPECT_TRUE(x.f.box.shown.empty());
        window->close();
    }
}

// The VIN and the source in every row; an emulator's read is marked in the file and in the
// report window's title, a car's in neither.
TEST(VehicleWindow, SaveAsCsvCarriesTheVinAndTheSourceInEveryRowAfterTheUnit)
{
    ActionsFixture x("/nonexistent");
    QTemporaryDir dir;
    const struct {
        const char* name;
        LinkReport report;
        const char* emulator;  // what the link's device announced
        QString lastColumns;   // of every row after the heading
        QString reportTitle;
    } cases[] = {
        {"read through an adapter", carReport(""), "", "WAUZZZ8K9BA123456,", "Vehicle report"},
        {"the VX-414 reader's", {LinkStatus::ok(), {}, codes({"P0420"})}, "", ",", "Vehicle report"},
        {"the emulator's", carReport(""), "ELM327 emulator", "WAUZZZ8K9BA123456,emulator",
         "Vehicle report \u2014 demo: ELM327 emulator"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        x.f.device.linkName = c.emulator;
        readWith(x.f, c.report);
        const QString path = dir.filePath(QString::fromUtf8(c.name) + ".csv");
        x.saveDialog.answer = SaveTarget{path, SaveType::Csv};
        x.exporter.saveAs(ResultExport::Grid::Results);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList rows = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_GE(rows.size(), 2);
        EXPECT_EQ(rows.takeFirst(), "time,make,kind,code,definition,unit,vin,source");
        for (const QString& row : rows)
            EXPECT_TRUE(row.endsWith("," + c.lastColumns)) << row.toStdString();
        x.actions.showReport();
        EXPECT_EQ(x.actions.reportWindow()->windowTitle(), c.reportTitle);
    }
}

}  // namespace
}  // namespace vx414
