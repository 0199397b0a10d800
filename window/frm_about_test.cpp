// The about box: how it looks, and how the main window's About button and the box's own
// keys load and unload it.
#include "window/frm_about.h"

#include "window/artwork.h"
#include "window/controls/units.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace vx414 {
namespace {

void expectBounds(const QWidget* w, int left, int top, int width, int height)
{
    SCOPED_TRACE(w->objectName().toStdString());
    const QRect g = w->geometry();
    EXPECT_NEAR(twips(g.x()), left, 15);
    EXPECT_NEAR(twips(g.y()), top, 15);
    EXPECT_NEAR(twips(g.width()), width, 15);
    EXPECT_NEAR(twips(g.height()), height, 15);
}

int aboutBoxes()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmAbout*>(w) != nullptr && !static_cast<frmAbout*>(w)->unloaded())
            ++n;
    return n;
}

void discardClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(AboutBox, LayoutTextsFontsAndColours)
{
    frmAbout box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About VX-414"));
    EXPECT_EQ(box.parentWidget(), nullptr);
    EXPECT_EQ(box.size(), QSize(pixels(6255), pixels(1950)));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());  // not resizable
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);  // kept out of the task bar
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(box.windowIcon().availableSizes().contains(QSize(32, 32)));

    expectBounds(box.Image1, 600, 480, 480, 480);
    expectBounds(box.Label_Name, 1800, 240, 2715, 330);
    expectBounds(box.lblVersion, 4800, 240, 600, 330);
    expectBounds(box.cmdOK, 4800, 1440, 1260, 345);
    EXPECT_EQ(box.Image1->pixmap().size(), QSize(32, 32));

    EXPECT_EQ(box.Label_Name->text(), QStringLiteral("VURA Zivi Vodode"));
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("V2.0"));
    EXPECT_EQ(box.cmdOK->text(), QStringLiteral("OK"));
    for (QLabel* label : {box.Label_Name, box.lblVersion}) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->font().family(), QStringLiteral("Arial"));
        EXPECT_EQ(label->font().pixelSize(), 19);  // 14.25 pt at 96 dpi
        EXPECT_FALSE(label->autoFillBackground());  // transparent
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_TRUE(box.Label_Name->font().bold());
    EXPECT_FALSE(box.lblVersion->font().bold());
    EXPECT_EQ(bgrFromColor(box.Label_Name->palette().color(QPalette::WindowText)), 0x000000u);
    EXPECT_TRUE(box.cmdOK->isDefault());
    EXPECT_EQ(box.cmdOK->cursor().pixmap().toImage(),
              artwork::buttonCursor().pixmap().toImage());
    EXPECT_EQ(box.cmdOK->cursor().hotSpot(), artwork::buttonCursor().hotSpot());

    // As drawn: pale yellow, with the etched rule 88 pixels down (1320 twips): grey over
    // white, the grey reaching two pixels further right.
    const QImage shot = box.grab().toImage();
    const auto at = [&](int x, int y) { return bgrFromColor(shot.pixelColor(x, y)); };
    EXPECT_EQ(at(2, 2), 0xC0FFFFu);
    EXPECT_EQ(at(200, 60), 0xC0FFFFu);
    EXPECT_EQ(at(200, 88), 0x808080u);
    EXPECT_EQ(at(200, 89), 0xFFFFFFu);
    EXPECT_EQ(at(200, 90), 0xC0FFFFu);
    EXPECT_EQ(at(8, 88), 0x808080u);
    EXPECT_EQ(at(7, 88), 0xC0FFFFu);
    EXPECT_EQ(at(402, 88), 0x808080u);
    EXPECT_EQ(at(403, 88), 0xC0FFFFu);
    EXPECT_EQ(at(400, 89), 0xFFFFFFu);
    EXPECT_EQ(at(401, 89), 0xC0FFFFu);
}

TEST(AboutBox, AboutShowsOneModelessBoxAndBringsItBack)
{
    testing::FormFixture f;
    f.form->show();
    ASSERT_EQ(f.form->AboutBox, nullptr);

    f.form->About->click();
    QPointer<frmAbout> box = f.form->AboutBox;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(aboutBoxes(), 1);

    // Hidden behind other windows or not, a second click shows the same box.
    box->hide();
    f.form->About->click();
    EXPECT_EQ(f.form->AboutBox, box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(aboutBoxes(), 1);

    box->cmdOK->click();
    discardClosedWindows();
}

TEST(AboutBox, OkEnterAndEscUnloadItAndTheNextClickLoadsItAfresh)
{
    struct Way {
        const char* what;
        std::function<void(frmAbout&)> close;
    };
    const Way ways[] = {
        {"OK clicked", [](frmAbout& b) { QTest::mouseClick(b.cmdOK, Qt::LeftButton); }},
        {"Enter on the button", [](frmAbout& b) { QTest::keyClick(b.cmdOK, Qt::Key_Return); }},
        {"keypad Enter on the box", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Enter); }},
        {"Esc on the box", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Escape); }},
        {"Esc on the button", [](frmAbout& b) { QTest::keyClick(b.cmdOK, Qt::Key_Escape); }},
        {"title bar's close box", [](frmAbout& b) { b.close(); }},
    };
    testing::FormFixture f;
    f.form->show();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        f.form->About->click();
        QPointer<frmAbout> box = f.form->AboutBox;
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(box->isVisible());

        way.close(*box);
        ASSERT_FALSE(box.isNull());
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(aboutBoxes(), 0);
        discardClosedWindows();
        EXPECT_TRUE(box.isNull());  // discarded, not just hidden
        EXPECT_TRUE(f.form->AboutBox.isNull());
        EXPECT_TRUE(f.form->isVisible());
    }

    // Loaded afresh: a new box, not the last one shown again.
    f.form->About->click();
    QPointer<frmAbout> fresh = f.form->AboutBox;
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->isVisible());
    // Clicking About again before the closed box is discarded loads a new one as well.
    fresh->cmdOK->click();
    f.form->About->click();
    EXPECT_NE(f.form->AboutBox, fresh);
    EXPECT_TRUE(f.form->AboutBox->isVisible());
    EXPECT_EQ(aboutBoxes(), 1);
    f.form->AboutBox->cmdOK->click();
    discardClosedWindows();
}

TEST(AboutBox, OutlivesTheMainWindowAndTheProgramEndsWithTheLastWindow)
{
    // The program's own event loop: it ends when its last window has closed.
    testing::FormFixture f;
    f.form->show();
    f.form->About->click();
    QPointer<frmAbout> box = f.form->AboutBox;
    ASSERT_NE(box, nullptr);

    bool boxOpenAfterTheMainWindowClosed = false;
    bool boxClosed = false;
    QTimer::singleShot(0, f.form.get(), [&] { f.form->close(); });
    QTimer::singleShot(200, [&] {
        boxOpenAfterTheMainWindowClosed = !box.isNull() && box->isVisible();
        boxClosed = true;
        if (!box.isNull())
            box->cmdOK->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(2); });
    watchdog.start(5000);
    const int status = QApplication::exec();

    EXPECT_EQ(status, 0) << "the last window closed, yet the program did not end";
    EXPECT_TRUE(boxClosed) << "the program ended while the about box was still open";
    EXPECT_TRUE(boxOpenAfterTheMainWindowClosed);
    EXPECT_EQ(f.end.count, 0);
    discardClosedWindows();

    // EXIT, by contrast, ends everything at once, the about box open or not.
    testing::FormFixture g;
    g.form->show();
    g.form->About->click();
    g.form->EXITcmd->click();
    EXPECT_EQ(g.end.count, 1);
    g.form->AboutBox->cmdOK->click();
    discardClosedWindows();
}

}  // namespace
}  // namespace vx414
