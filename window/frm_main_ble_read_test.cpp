// LINK USB through a Bluetooth LE adapter: vx414-bluez-mock on a private D-Bus bus, with the
// ELM327 emulator's car behind its characteristics. With nothing named and nothing chosen,
// the search finds it after the serial ports (here none); and EXIT in the middle of a slow
// read ends the program at once.
#include "definitions/test_support.h"
#include "reader/chosen_device_library.h"
#include "tools/bluez-mock/private_bus.h"
#include "tools/read/testing/child_process.h"
#include "window/frm_main.h"
#include "window/logic/command_line.h"
#include "window/testing/form_fixture.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace vx414 {
namespace {

using testing::CountingBeep;
using testing::RecordingPointers;
using testing::RecordingProgramEnd;
using testing::ScriptedMessageBox;

constexpr const char* Car[] = {"--car", "can11", "--pending", "P0171", "--stored", "P0301,P0420"};

// One bus for the whole test program: libdbus reads DBUS_SYSTEM_BUS_ADDRESS once a process.
const testing::PrivateBus& sharedBus()
{
    static const testing::PrivateBus bus;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1);
    return bus;
}

std::unique_ptr<testing::ServingChild> startMock(std::vector<std::string> arguments)
{
    const testing::PrivateBus& bus = sharedBus();
    arguments.insert(arguments.end(), std::begin(Car), std::end(Car));
    auto mock = std::make_unique<testing::ServingChild>(testing::buildProgram("vx414-bluez-mock"), arguments,
                                                        std::map<std::string, std::string>{
                                                            {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    EXPECT_EQ(mock->firstLine(), "ready");
    return mock;
}

// The window as main() makes it, started with `arguments` and nothing kept in a fresh
// configuration folder; the search looks at no serial port of this computer and at no
// /dev/vx414, only at the Bluetooth LE devices on the private bus.
struct BleForm {
    explicit BleForm(std::vector<const char*> arguments = {})
        : device(parseCommandLine(arguments, nullptr, config.path().string()).link,
                 [](const std::optional<LinkName>& link) {
                     return openLink(link, LinkSearch{"/nonexistent/vx414", std::vector<std::string>{}, true});
                 }),
          platform{box, beep, pointers, end, device, QStringLiteral("/nonexistent")},
          form(std::make_unique<frmMain>(platform))
    {
        form->Vehicle->addItem(QStringLiteral("generic"));
        form->show();
    }

    bool waitForReadEnd(int ms)
    {
        QElapsedTimer t;
        t.start();
        while ((!form->Link->isEnabled() || form->CodeCount < 4) && box.shown.empty() && t.elapsed() < ms)
            QTest::qWait(10);
        return form->Link->isEnabled();
    }

    const testing::ScratchFolder config;
    ScriptedMessageBox box;
    CountingBeep beep;
    RecordingPointers pointers;
    RecordingProgramEnd end;
    ChosenDeviceLibrary device;
    Platform platform;
    std::unique_ptr<frmMain> form;
};

TEST(BleRead, LinkUsbWithNothingNamedReadsThroughABluetoothLeAdapter)
{
    ASSERT_FALSE(sharedBus().address().empty()) << "no dbus-daemon";
    ::unsetenv("VX414_LINK");
    const auto mock = startMock({});
    BleForm f;
    ASSERT_FALSE(f.device.chosen());  // automatic
    f.form->Link_Click();
    // The Bluetooth part of the search (5 s), the read, with room for a loaded machine.
    ASSERT_TRUE(f.waitForReadEnd(20000));
    ASSERT_TRUE(f.box.shown.empty()) << f.box.shown[0].informative.toStdString();
    // Pending, stored, and the engine's first stored code as its permanent one, which comes
    // with the rest of the vehicle's picture after the codes.
    ASSERT_EQ(f.form->CodeCount, 4);
    const char* codes[] = {"P0171", "P0301", "P0420", "P0301"};
    for (int row = 1; row <= 4; ++row)
        EXPECT_EQ(f.form->FlexList->TextMatrix(row, 2), QString::fromLatin1(codes[row - 1])) << row;
    EXPECT_EQ(f.beep.count, 1);
}

TEST(BleRead, ExitDuringASlowBluetoothLeReadEndsTheProgramAtOnce)
{
    ASSERT_FALSE(sharedBus().address().empty()) << "no dbus-daemon";
    struct Case {
        const char* what;
        std::vector<const char*> arguments;
        int exitAfterMs;  // into the read
    };
    const Case cases[] = {
        // Every notification a second late: the read would take half a minute.
        {"named, mid-answer", {"--link", "elm327:ble:00:1D:A5:68:98:8B"}, 1500},
        {"found by the search, mid-answer", {}, 2500},
        {"named, while connecting", {"--link", "elm327:ble:00:1D:A5:68:98:8B"}, 50},
    };
    for (const Case& c : cases) {
        const auto mock = startMock({"--late-every", "1", "--late", "1000-1000"});
        auto f = std::make_unique<BleForm>(c.arguments);
        f->form->Link_Click();
        QTest::qWait(c.exitAfterMs);
        ASSERT_FALSE(f->form->Link->isEnabled()) << c.what;  // still reading

        QElapsedTimer t;
        t.start();
        f->form->EXITcmd_Click();
        EXPECT_EQ(f->end.count, 1) << c.what;
        EXPECT_TRUE(f->box.shown.empty()) << c.what;
        // The program's end: the window and its link go.
        f.reset();
        // The stop's own bound, with room for a loaded machine; the read had seconds to go.
        EXPECT_LT(t.elapsed(), 1000) << c.what;
    }
}

}  // namespace
}  // namespace vx414
