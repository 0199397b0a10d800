// LINK USB against the ELM327 emulator, through the real window, the real device library
// and the real session: on a pseudo-terminal and over loopback TCP, cars of every
// protocol, no codes, no car, a silent adapter, each clone quirk, and the read after a
// failure. The emulator runs as a child process, as an adapter would on its own.
#include "reader/elm327/elm327_device_library.h"
#include "reader/link_name.h"
#include "tests/testing/emulator_process.h"
#include "tests/testing/read_time.h"
#include "tests/testing/window_on_link.h"
#include "window/frm_vehicle_report.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

namespace vx414 {
namespace {

// The ELM327 emulator; link() is the adapter's link name: elm327:/dev/pts/N, or
// elm327://127.0.0.1:PORT.
class Emulator {
public:
    explicit Emulator(const QStringList& arguments) : process_(QStringLiteral("vx414-elm327-emulator"), arguments) {}
    std::string link() const
    {
        const QString& where = process_.firstLine();
        if (where.isEmpty())
            return {};
        return (where.startsWith('/') ? "elm327:" : "elm327://") + where.toStdString();
    }

private:
    testing::EmulatorProcess process_;
};

struct LiveForm : testing::WindowOnLink<std::unique_ptr<DeviceLibrary>> {
    explicit LiveForm(const std::string& link) : WindowOnLink(makeDeviceLibrary(parseLinkName(link).name))
    {
        form.Vehicle->addItem("generic");
        form.show();
    }

    struct Read {
        bool ok = false;
        qint64 ms = 0;  // click to the window ready again
        QStringList codes;
        QStringList permanent;
        int pending = -1;  // codes of the first block, "Pending"
        QString total;
    };
    // One click on LINK USB, waited for (the read ends within ten seconds of it), and with
    // `wholeRead` the vehicle's part after the codes too.
    Read read(bool wholeRead = true)
    {
        const std::size_t messages = box.shown.size();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form.Link, Qt::LeftButton);
        Read r;
        if (!QTest::qWaitFor([&] { return form.Link->isEnabled(); }, 15000))
            return r;
        r.ms = clock.elapsed();
        r.ok = box.shown.size() == messages && !form.FlexList->isHidden();
        if (!r.ok)
            return r;
        // The codes are shown; the vehicle's part (the permanent rows) follows within the
        // read's ten seconds, and is waited for as a user reading the table would.
        Elm327DeviceLibrary* adapter = asElm327(*device);
        r.ok = adapter != nullptr && (!wholeRead || QTest::qWaitFor([&] { return !adapter->readingVehicle(); }, 12000));
        const FlexGrid& t = *form.FlexList;
        // The pending and stored codes; the car's permanent codes (service 0A) follow them.
        for (int row = 1; row <= form.CodeCount; ++row)
            (row > form.CodeCount - form.PermanentCount ? r.permanent : r.codes) << t.TextMatrix(row, 2);
        if (form.FirstBlockKind == "Pending" && form.SecondBlockKind == "Stored")
            r.pending = form.FirstBlockCount;
        r.total = t.TextMatrix(form.CodeCount + 1, 0);
        return r;
    }
};

const QStringList kDefaultCodes = {"P0300", "P0171", "P0420", "P0133", "C1234", "U0100"};
const QStringList kManyCodes = {"P0300", "P0171", "P0101", "P0113", "P0128", "P0300",
                                "P0301", "P0420", "P0442", "B1318", "U0100"};

TEST(Elm327EndToEnd, CarsOfEveryProtocolOnAPseudoTerminalAndOverTcp)
{
    struct Case {
        QStringList arguments;
        QStringList codes;
        int pending;
        qint64 withinMs;
    };
    const Case cases[] = {
        // two units, the stored codes in a multi-frame answer
        {{"--car", "can11", "--codes", "many"}, kManyCodes, 2, 2500},
        {{"--car", "can11", "--codes", "many", "--tcp", "0"}, kManyCodes, 2, 2500},
        {{"--car", "can29", "--codes", "many", "--tcp", "0"}, kManyCodes, 2, 2500},
        {{"--car", "can29"}, kDefaultCodes, 2, 2500},
        {{"--car", "iso9141"}, kDefaultCodes, 2, 10000},
        {{"--car", "j1850vpw", "--codes", "many"}, kManyCodes, 2, 10000},
        {{"--car", "j1850pwm"}, kDefaultCodes, 2, 10000},
        {{"--car", "kwp", "--tcp", "0"}, kDefaultCodes, 2, 10000},
        // a 5-baud initialisation of four seconds is waited for, not cut off
        {{"--car", "slow", "--pending", "P0128", "--stored", "P0300,P01BB"}, {"P0128", "P0300", "P01BB"}, 1, 10000},
        {{"--car", "nocodes"}, {}, 0, 2500},
        {{"--codes", "none"}, {}, 0, 2500},
    };
    for (const Case& c : cases) {
        const QString what = c.arguments.join(' ');
        Emulator emulator(c.arguments);
        ASSERT_FALSE(emulator.link().empty()) << what.toStdString();
        LiveForm live(emulator.link());
        const LiveForm::Read r = live.read();
        ASSERT_TRUE(r.ok) << what.toStdString() << ": the read failed after " << r.ms << " ms";
        EXPECT_EQ(r.codes, c.codes) << what.toStdString();
        EXPECT_EQ(r.pending, c.pending) << what.toStdString();
        // The emulator's engine keeps its first stored code as a permanent one.
        EXPECT_LE(r.permanent.size(), 1) << what.toStdString();
        for (const QString& code : r.permanent)
            EXPECT_TRUE(c.codes.contains(code)) << what.toStdString() << ": permanent " << code.toStdString();
        EXPECT_EQ(r.total, QStringLiteral("Total: %1").arg(c.codes.size() + r.permanent.size())) << what.toStdString();
        EXPECT_LT(r.ms, c.withinMs) << what.toStdString();
        std::printf("[  timing  ] %s: click to table %lld ms\n", qPrintable(what), static_cast<long long>(r.ms));
        EXPECT_EQ(live.beep.count, 1) << what.toStdString();
        // The emulator announces itself: on its pseudo-terminal by its size, over a socket in
        // its banner.
        EXPECT_EQ(live.form.windowTitle(), QStringLiteral("CODE Definition \u2014 demo: ELM327 emulator"))
            << what.toStdString();

        // The next read: the adapter kept set up, the same codes again.
        const LiveForm::Read again = live.read();
        EXPECT_TRUE(again.ok) << what.toStdString();
        EXPECT_EQ(again.codes, c.codes) << what.toStdString();
    }
}

// A user who clicks again as soon as the codes are shown, while the adapter still answers
// for the vehicle's part: that answer is cut short, and the new read gets its codes (the
// adapter must not be sent a command before its prompt) and then its vehicle.
TEST(Elm327EndToEnd, ASecondClickWhileTheVehicleIsReadGetsItsCodes)
{
    Emulator emulator({"--car", "can11", "--codes", "many", "--timed"});
    ASSERT_FALSE(emulator.link().empty());
    LiveForm live(emulator.link());
    Elm327DeviceLibrary* adapter = asElm327(*live.device);
    ASSERT_NE(adapter, nullptr);
    for (int click = 1; click <= 3; ++click) {
        const LiveForm::Read r = live.read(false);
        ASSERT_TRUE(r.ok) << "click " << click << " failed after " << r.ms << " ms: "
                          << (live.box.shown.empty() ? "" : live.box.shown.back().informative.toStdString());
        EXPECT_EQ(r.codes, kManyCodes) << "click " << click;
        // Each click lands in the vehicle's part of the read before it.
        ASSERT_TRUE(adapter->readingVehicle()) << "click " << click;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !adapter->readingVehicle(); }, 12000));
    EXPECT_EQ(live.form.PermanentCount, 1);
    EXPECT_TRUE(live.box.shown.empty());
}

TEST(Elm327EndToEnd, NoCarOrASilentAdapterFailsWithinThreeSeconds)
{
    for (const QStringList& arguments : {QStringList{"--car", "nocar"}, QStringList{"--car", "silent"},
                                         QStringList{"--car", "silent", "--tcp", "0"}}) {
        const std::string what = arguments.join(' ').toStdString();
        Emulator emulator(arguments);
        ASSERT_FALSE(emulator.link().empty()) << what;
        LiveForm live(emulator.link());
        const LiveForm::Read r = live.read();
        EXPECT_FALSE(r.ok) << what;
        ASSERT_EQ(live.box.shown.size(), 1u) << what;
        EXPECT_EQ(live.box.shown[0].text, " USB without pending ! Please check USB cable and test again. ");
        EXPECT_TRUE(live.form.FlexList->isHidden()) << what;
        EXPECT_GT(r.ms, 900) << what;  // the read runs on the tick a second after the click
        EXPECT_LT(r.ms, 3500) << what;
        std::printf("[  timing  ] %s: click to failure %lld ms\n", what.c_str(), static_cast<long long>(r.ms));
        EXPECT_EQ(live.end.count, 0) << what;
    }
}

TEST(Elm327EndToEnd, CloneQuirksAndTheReadAfterAFailure)
{
    struct Case {
        const char* quirk;
        bool firstReadOk;  // the quirks that break one answer fail the first read only
        bool laterReadsOk;
    };
    const Case cases[] = {
        {"echo", true, true},      {"lowercase", true, true}, {"ok-noise", true, true},
        {"no-prompt", true, true}, {"reset", false, true},    {"garbage", false, true},
        {"can-error", false, false}, {"buffer-full", false, false},
        // Adapters that know less, and units that take their time.
        {"no-atws", true, true},   {"no-dpn", true, true},
        {"late-unit", true, true}, {"pending-78", true, true},
    };
    for (const Case& c : cases) {
        Emulator emulator({"--car", "can11", "--codes", "many", "--quirk", c.quirk});
        ASSERT_FALSE(emulator.link().empty()) << c.quirk;
        LiveForm live(emulator.link());
        const LiveForm::Read first = live.read();
        EXPECT_EQ(first.ok, c.firstReadOk) << c.quirk << " after " << first.ms << " ms";
        if (first.ok) {
            EXPECT_EQ(first.codes, kManyCodes) << c.quirk;
        }
        EXPECT_LT(first.ms, 10500) << c.quirk;
        const LiveForm::Read second = live.read();
        EXPECT_EQ(second.ok, c.laterReadsOk) << c.quirk << " after " << second.ms << " ms";
        if (second.ok) {
            EXPECT_EQ(second.codes, kManyCodes) << c.quirk;
        }
        // Never a wrong code: a failed read shows no table at all.
        EXPECT_EQ(live.form.FlexList->isHidden(), !c.laterReadsOk) << c.quirk;
    }
}

// Three adapters that cooperate less than the emulator does by default, as the Vehicle
// report shows their read: the engine's light on though the transmission's "off" came first
// without headers; a VIN padded to four frames; a frame two units answered without headers,
// said not read rather than shown as another unit's.
TEST(Elm327EndToEnd, TheVehicleReportOnAdaptersThatCooperateLess)
{
    struct Case {
        QStringList quirks;
        QString mil;
        QString vin;
        QString frameTitle;
        int frameValues;
    };
    const Case cases[] = {
        {{"headers-stuck-off", "transmission-first"}, "on, 1 stored code", "1FAHP3F27CL123456",
         "Freeze frame (set by P0420)", 10},
        {{"padded-vin"}, "on, 1 stored code", "1FAHP3F27CL123456", "Freeze frame (set by P0420)", 10},
        {{"headers-stuck-off", "frame-lister"}, "on, 1 stored code", "1FAHP3F27CL123456",
         "Freeze frame: not read (the adapter does not show which unit answered)", 0},
    };
    for (const Case& c : cases) {
        QStringList arguments = {"--car", "can11", "--pending", "P0300,P0171", "--stored", "P0420"};
        for (const QString& quirk : c.quirks)
            arguments << "--quirk" << quirk;
        const std::string what = c.quirks.join(' ').toStdString();
        Emulator emulator(arguments);
        ASSERT_FALSE(emulator.link().empty()) << what;
        LiveForm live(emulator.link());
        const LiveForm::Read r = live.read();
        ASSERT_TRUE(r.ok) << what;
        QStringList codes = r.codes;
        codes.sort();  // the pending codes in the order their units answered
        EXPECT_EQ(codes, QStringList({"P0171", "P0300", "P0420"})) << what;
        frmVehicleReport report;
        report.showVehicle(live.form.LastVehicle, QStringLiteral("generic"));
        EXPECT_EQ(report.mil->text(), c.mil) << what;
        EXPECT_EQ(report.vin->text(), c.vin) << what;
        EXPECT_EQ(report.freezeFrameTitle->text(), c.frameTitle) << what;
        EXPECT_EQ(report.freezeFrame->rowCount(), c.frameValues) << what;
    }
}

// The read's time is when the codes came, not when the file is saved or the page printed:
// an adapter hands its report over before the one-second tick.
TEST(Elm327EndToEnd, SavedAndPrintedWithTheReadsOwnTimeAndTheDemosMark)
{
    Emulator emulator({"--car", "can11"});
    ASSERT_FALSE(emulator.link().empty());
    LiveForm live(emulator.link());
    testing::TestClock clock;
    live.platform.clock = clock.function();
    ASSERT_TRUE(live.read().ok);
    clock.now.minute = 16;  // a minute and more later
    clock.now.second = 54;
    const testing::SavedRead times = testing::savedAndPrinted(live.form, live.box);
    EXPECT_EQ(times.json, "2026-12-10T17:15:46+01:00");
    EXPECT_TRUE(times.printed.contains("Read on: 2026-12-10 17:15:46 UTC+01:00")) << times.printed.toStdString();
    // And an emulator's read passes for a car's nowhere.
    EXPECT_EQ(times.source, "emulator");
    EXPECT_TRUE(times.printed.startsWith("Trouble code report DEMO: read from an emulator, not from a car Read on:"))
        << times.printed.toStdString();
}

TEST(Elm327EndToEnd, AWiFiAdapterSwitchedOffFailsWithinTheBound)
{
    auto emulator = std::make_unique<Emulator>(QStringList{"--car", "can11", "--tcp", "0"});
    const std::string link = emulator->link();
    ASSERT_FALSE(link.empty());
    LiveForm live(link);
    EXPECT_TRUE(live.read().ok);
    emulator.reset();  // the Wi-Fi adapter is switched off
    const LiveForm::Read gone = live.read();
    EXPECT_FALSE(gone.ok);
    EXPECT_LT(gone.ms, 3500);
    EXPECT_EQ(live.box.shown.size(), 1u);
}

// The program itself: a bad link name ends it before any window with one line and status
// 2; --help lists the forms. (QT_QPA_PLATFORM is unset: no window could open anyway.)
TEST(Elm327EndToEnd, TheProgramsCommandLine)
{
    struct Case {
        QStringList arguments;
        QString environment;
        int status;
        QString output;  // part of stdout (status 0) or of the one stderr line (status 2)
    };
    const Case cases[] = {
        {{"--link", "bluetooth:/dev/rfcomm0"}, {}, 2, "vx414: --link: unknown link scheme \"bluetooth:\""},
        {{"--link", "elm327://192.168.0.10"}, {}, 2, "vx414: --link: bad host:port"},
        {{"--frobnicate"}, {}, 2, "vx414: unknown option \"--frobnicate\""},
        {{}, "elm327://host:0", 2, "vx414: VX414_LINK: bad host:port"},
        {{"--help"}, "bogus://x", 0, "elm327://HOST:PORT"},
    };
    for (const Case& c : cases) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        if (c.environment.isEmpty())
            environment.remove("VX414_LINK");
        else
            environment.insert("VX414_LINK", c.environment);
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("VX414_BUILD_DIR") + "/vx414", c.arguments);
        ASSERT_TRUE(program.waitForFinished(10000)) << c.arguments.join(' ').toStdString();
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status) << err.toStdString();
        if (c.status == 0) {
            EXPECT_TRUE(out.contains(c.output)) << out.toStdString();
        } else {
            EXPECT_TRUE(err.startsWith(c.output)) << err.toStdString();
            EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        }
    }
}

}  // namespace
}  // namespace vx414
