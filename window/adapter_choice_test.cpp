// "Choose adapter…": opened by a right-click on LINK USB or Ctrl+K, listing off the window's
// thread, a typed entry checked before anything is kept, and a Wi-Fi adapter chosen there
// read through by LINK USB now and at the next start (the ELM327 emulator on 127.0.0.1).
#include "window/adapter_choice.h"

#include "definitions/test_support.h"
#include "reader/link_choice.h"
#include "tools/elm327-emulator/elm327_test_client.h"
#include "window/frm_main.h"
#include "window/logic/command_line.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace vx414 {
namespace {

using testing::CountingBeep;
using testing::RecordingPointers;
using testing::RecordingProgramEnd;
using testing::ScriptedMessageBox;

// A listing that waits until the test lets it end (five seconds at most), as the real one
// takes seconds probing ports; shared with its thread, which may outlive the dialog.
struct HeldListing {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool finished = false;
    AdapterListing listing;

    void release()
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    bool waitFinished()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [this] { return finished; });
    }
    static std::function<AdapterListing(const std::string&)> of(std::shared_ptr<HeldListing> held)
    {
        return [held](const std::string&) {
            std::unique_lock lock(held->mutex);
            held->changed.wait_for(lock, std::chrono::seconds(5), [&] { return held->released; });
            held->finished = true;
            held->changed.notify_all();
            return held->listing;
        };
    }
};

// The program's window as main() puts it together: the link in use from the command line
// and the kept choice in `config`; with nothing chosen the search looks at no port of this
// computer and at no Bluetooth device.
struct ChoiceForm {
    ChoiceForm(std::string config, std::function<AdapterListing(const std::string&)> list)
        : folder(std::move(config)),
          device(parseCommandLine({}, nullptr, folder).link,
                 [](const std::optional<LinkName>& link) {
                     return openLink(link, LinkSearch{"/nonexistent/vx414", std::vector<std::string>{}, false});
                 }),
          platform{box, beep, pointers, end, device, QStringLiteral("/nonexistent")},
          form(std::make_unique<frmMain>(platform)),
          choice(new AdapterChoice(*form, {device, std::move(list), folder, box}))
    {
        form->Vehicle->addItem(QStringLiteral("generic"));
        form->show();
    }

    // Runs the event loop until `done`, `ms` at most.
    template <typename Done>
    static bool waitFor(Done done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QTest::qWait(10);
        return done();
    }

    // LINK USB, and the codes it shows once the read has ended and the permanent codes,
    // which come with the rest of the vehicle's picture, are there (8 s at most).
    std::vector<QString> readCodes(int expected)
    {
        form->Link_Click();
        if (!waitFor([&] { return form->Link->isEnabled() && form->CodeCount >= expected; }, 8000) ||
            !box.shown.empty())
            return {};
        std::vector<QString> codes;
        for (int row = 1; row <= form->CodeCount; ++row)
            codes.push_back(form->FlexList->TextMatrix(row, 2));
        return codes;
    }

    std::string folder;
    ScriptedMessageBox box;
    CountingBeep beep;
    RecordingPointers pointers;
    RecordingProgramEnd end;
    ChosenDeviceLibrary device;
    Platform platform;
    std::unique_ptr<frmMain> form;
    AdapterChoice* choice;  // owned by the form
};

TEST(ChooseAdapter, OpensOffTheWindowsThreadListsAndClosesWithoutWaiting)
{
    const testing::ScratchFolder config;
    auto held = std::make_shared<HeldListing>();
    held->listing.adapters = {
        {ListedAdapter::Kind::SerialPort, "elm327:/dev/ttyUSB0", "", std::nullopt, true, ""},
        {ListedAdapter::Kind::BluetoothLe, "elm327:ble:00:1D:A5:68:98:8B", "OBDII", -67, false, "refused the connection"},
        {ListedAdapter::Kind::WiFi, "elm327://192.168.0.10:35000", "", std::nullopt, false, "not reachable"},
    };
    ChoiceForm f(config.path().string(), HeldListing::of(held));

    enum class Open { RightClick, CtrlK, RightClickWhileReading };
    struct Case {
        const char* what;
        Open how;
        bool opens;
    };
    const Case cases[] = {
        {"right-click on LINK USB", Open::RightClick, true},
        {"Ctrl+K", Open::CtrlK, true},
        {"right-click while LINK USB is disabled", Open::RightClickWhileReading, false},
    };
    for (const Case& c : cases) {
        f.form->Link->setEnabled(c.how != Open::RightClickWhileReading);
        f.form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(f.form.get())) << c.what;
        QElapsedTimer t;
        t.start();
        if (c.how == Open::CtrlK) {
            QTest::keyClick(f.form.get(), Qt::Key_K, Qt::ControlModifier);
        } else {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4), f.form->Link->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(f.form->Link, &event);
        }
        QTest::qWait(100);  // the window keeps turning while the listing waits
        EXPECT_LT(t.elapsed(), 1000) << c.what;
        QPointer<AdapterDialog> dialog = f.choice->dialog();
        ASSERT_EQ(dialog != nullptr, c.opens) << c.what;
        if (!c.opens)
            continue;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Choose adapter\u2026"));
        EXPECT_TRUE(dialog->looking()) << c.what;
        EXPECT_TRUE(dialog->status->text().startsWith(QStringLiteral("Looking for adapters"))) << c.what;
        ASSERT_EQ(dialog->adapters->count(), 1) << c.what;  // Automatic, chosen
        EXPECT_TRUE(dialog->adapters->item(0)->text().startsWith(QStringLiteral("Automatic"))) << c.what;
        EXPECT_EQ(dialog->adapters->currentRow(), 0) << c.what;
        dialog->reject();
        ASSERT_TRUE(ChoiceForm::waitFor([&] { return dialog.isNull(); }, 1000)) << c.what;
    }

    // The listing of the dialogs closed ends on its own and touches none of them.
    held->release();
    ASSERT_TRUE(held->waitFinished());
    QTest::qWait(100);

    // Opened again, the listing shows every adapter with whether it answered.
    f.form->Link->setEnabled(true);
    AdapterDialog* dialog = f.choice->openDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ChoiceForm::waitFor([&] { return !dialog->looking(); }, 2000));
    ASSERT_EQ(dialog->adapters->count(), 4);
    EXPECT_EQ(dialog->adapters->item(1)->text(),
              QStringLiteral("Serial port: elm327:/dev/ttyUSB0 \u2014 answered as an ELM327"));
    EXPECT_EQ(dialog->adapters->item(2)->text(),
              QStringLiteral("Bluetooth LE: elm327:ble:00:1D:A5:68:98:8B  \u201cOBDII\u201d  -67 dBm \u2014 did not "
                             "answer (refused the connection)"));
    EXPECT_EQ(dialog->adapters->item(3)->text(),
              QStringLiteral("Wi-Fi: elm327://192.168.0.10:35000 \u2014 did not answer (not reachable)"));
    EXPECT_EQ(dialog->status->text(), QStringLiteral("3 found, 1 answered as an ELM327."));

    // A row chosen is the link from now on, and kept.
    dialog->adapters->setCurrentRow(1);
    dialog->buttons->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(f.device.chosen());
    EXPECT_EQ(linkNameText(*f.device.chosen()), "elm327:/dev/ttyUSB0");
    const std::optional<LinkName> kept = loadLinkChoice(f.folder);
    ASSERT_TRUE(kept);
    EXPECT_EQ(linkNameText(*kept), "elm327:/dev/ttyUSB0");
}

TEST(ChooseAdapter, AWiFiAdapterTypedInIsReadThroughNowAndAtTheNextStart)
{
    const testing::ScratchFolder config;
    const std::string folder = (config.path() / "vx414").string();
    elmemu::testing::RunningEmulator car{
        elmemu::testing::optionsFrom({"--tcp", "0", "--car", "can11", "--pending", "P0171", "--stored", "P0301,P0420"})};
    ASSERT_GT(car.emulator().port(), 0) << car.emulator().error();
    const std::string typedIn = "127.0.0.1:" + std::to_string(car.emulator().port());
    // Pending, stored, and the engine's first stored code as its permanent one.
    const std::vector<QString> codes = {"P0171", "P0301", "P0420", "P0301"};

    {
        ChoiceForm f(folder, [](const std::string&) { return AdapterListing{}; });
        // Entries that are not a link are said and keep nothing; the dialog stays open.
        struct Case {
            const char* typed;
            const char* problem;  // part of it
        };
        const Case refused[] = {
            {"192.168.0.10", "neither a host:port"},
            {"127.0.0.1:99999", "neither a host:port"},
            {"/dev/ttyUSB0?baud=7", "bad baud rate"},
            {"elm327:ble:00:1D", "bad Bluetooth address"},
        };
        AdapterDialog* dialog = f.choice->openDialog();
        ASSERT_NE(dialog, nullptr);
        for (const Case& c : refused) {
            dialog->typed->setText(QString::fromLatin1(c.typed));
            dialog->buttons->button(QDialogButtonBox::Ok)->click();
            EXPECT_TRUE(dialog->isVisible()) << c.typed;
            EXPECT_FALSE(dialog->problem->isHidden()) << c.typed;
            EXPECT_TRUE(dialog->problem->text().contains(QString::fromLatin1(c.problem)))
                << c.typed << ": " << dialog->problem->text().toStdString();
            EXPECT_FALSE(f.device.chosen()) << c.typed;
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder) / "link")) << c.typed;
        }
        dialog->typed->setText(QString::fromStdString(typedIn));
        dialog->buttons->button(QDialogButtonBox::Ok)->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(f.readCodes(4), codes);
        EXPECT_TRUE(f.box.shown.empty());
    }
    // The next start, told nothing, reads through the same adapter.
    std::string kept;
    std::getline(std::ifstream(std::filesystem::path(folder) / "link"), kept);
    EXPECT_EQ(kept, "elm327://" + typedIn);
    // Written on the listing's thread before it hands its listing over, read after.
    auto inUse = std::make_shared<std::string>();
    ChoiceForm next(folder, [inUse](const std::string& held) {
        *inUse = held;
        return AdapterListing{};
    });
    EXPECT_EQ(next.readCodes(4), codes);

    // The adapter stays open for the next read: the listing is told to leave it be, since a
    // second connection's probe would talk into that conversation.
    AdapterDialog* dialog = next.choice->openDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ChoiceForm::waitFor([&] { return !dialog->looking(); }, 5000));
    EXPECT_EQ(*inUse, "elm327://" + typedIn);

    // Automatic chosen again is kept as such.
    dialog->adapters->setCurrentRow(0);
    dialog->buttons->button(QDialogButtonBox::Ok)->click();
    EXPECT_FALSE(next.device.chosen());
    std::getline(std::ifstream(std::filesystem::path(folder) / "link"), kept);
    EXPECT_EQ(kept, "automatic");
}

// A choice that cannot be kept is still used, and the user is told it will not last.
TEST(ChooseAdapter, AChoiceThatCannotBeKeptIsSaid)
{
    const testing::ScratchFolder config;
    std::ofstream(config.path() / "file") << "x";
    ChoiceForm f((config.path() / "file" / "vx414").string(), [](const std::string&) { return AdapterListing{}; });
    AdapterDialog* dialog = f.choice->openDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->typed->setText(QStringLiteral("127.0.0.1:35000"));
    dialog->buttons->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(f.device.chosen());
    ASSERT_EQ(f.box.shown.size(), 1u);
    EXPECT_TRUE(f.box.shown[0].text.contains(QStringLiteral("could not be kept")));
}

}  // namespace
}  // namespace vx414
