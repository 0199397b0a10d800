// The window as it opens: every control where the layout puts it, with its texts, fonts,
// colours, visibility and tab order.
#include "window/frm_main.h"

#include "window/artwork.h"
#include "window/controls/units.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace vx414 {
namespace {

// The window as created; nothing here runs Form_Load.
struct Fixture : testing::FormFixture {
    frmMain& form = *FormFixture::form;
};

struct Bounds {
    QWidget* widget;
    const char* name;
    int left, top, width, height;
};

void expectBounds(const Bounds& b)
{
    SCOPED_TRACE(b.name);
    ASSERT_NE(b.widget, nullptr);
    const QRect g = b.widget->geometry();
    // Within one pixel (15 twips) of the design.
    EXPECT_NEAR(twips(g.x()), b.left, 15);
    EXPECT_NEAR(twips(g.y()), b.top, 15);
    EXPECT_NEAR(twips(g.width()), b.width, 15);
    EXPECT_NEAR(twips(g.height()), b.height, 15);
}

TEST(WindowLayout, WindowItself)
{
    Fixture f;
    EXPECT_EQ(f.form.windowTitle(), "CODE Definition");
    EXPECT_EQ(f.form.ScaleWidth(), 12525);
    EXPECT_EQ(f.form.ScaleHeight(), 8520);
    EXPECT_EQ(bgrFromColor(f.form.palette().color(QPalette::Window)), 0xFFFFFFu);
    EXPECT_EQ(bgrFromColor(f.form.palette().color(QPalette::WindowText)), 0x000000u);
    EXPECT_EQ(f.form.font().pixelSize(), 16);  // Arial 12 pt at 96 dpi
    EXPECT_FALSE(f.form.font().bold());
    EXPECT_FALSE(f.form.windowIcon().isNull());
    EXPECT_EQ(f.form.Line2.y1, 2160);
    EXPECT_EQ(f.form.Line2.x2, 15240);
    EXPECT_EQ(f.form.Line1.y2, 11040);
}

TEST(WindowLayout, ASmallScreenGetsTheLargestWindowThatFits)
{
    // Pixels of the screen's available area, the frame included (835 x 568 is the design's
    // client area).
    const QSize design(835, 568);
    const struct {
        QSize available;
        bool shrinks;
    } cases[] = {
        {{1600, 1000}, false},
        {{800, 500}, true},  // 1,600 x 1,000 at a scale factor of 2
        {{1024, 500}, true},
        {{640, 900}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.available.width()) + "x" + std::to_string(c.available.height()));
        Fixture f;
        f.form.show();
        const QSize frame = f.form.frameGeometry().size() - f.form.size();
        f.form.fitToScreen(c.available);
        EXPECT_EQ(f.form.size(), design.boundedTo(c.available - frame));
        if (!c.shrinks)
            continue;
        // The whole window, frame and all, is on the screen.
        EXPECT_LE(f.form.frameGeometry().width(), c.available.width());
        EXPECT_LE(f.form.frameGeometry().height(), c.available.height());
        // Form_Resize re-fitted the never-shown grid to the window's edges.
        EXPECT_EQ(f.form.flexDemo->Left() + f.form.flexDemo->Width(), f.form.ScaleWidth());
        EXPECT_EQ(f.form.flexDemo->Top() + f.form.flexDemo->Height(), f.form.ScaleHeight());
    }
}

TEST(WindowLayout, EveryControlHasItsDesignBounds)
{
    Fixture f;
    frmMain& m = f.form;
    const Bounds table[] = {
        {m.Link, "Link", 480, 600, 1575, 375},
        {m.Glossary, "Glossary", 2160, 600, 1575, 375},
        {m.Help, "Help", 3840, 600, 1575, 375},
        {m.About, "About", 5520, 600, 1575, 375},
        {m.EXITcmd, "EXITcmd", 7200, 600, 1575, 375},
        {m.Vehicle, "Vehicle", 480, 1440, 3135, 405},
        {m.CODESearch, "CODESearch", 3840, 1440, 1575, 390},
        {m.TXTGlossary, "TXTGlossary", 480, 1440, 2880, 400},
        {m.flexDemo, "flexDemo", 480, 2160, 7965, 375},
        {m.FlexList, "FlexList", 480, 2160, 2445, 435},
        {m.FlexList1, "FlexList1", 960, 6480, 3165, 1275},
        {m.picProcessBar, "picProcessBar", 0, 0, 12525, 135},
        {m.Label_PN, "Label_PN", 480, 120, 5895, 495},
        {m.LabelVS[0], "LabelVS(0)", 360, 1080, 2295, 495},
        {m.LabelCS[1], "LabelCS(1)", 3480, 1080, 2295, 495},
        {m.Label1, "Label1", 600, 2520, 1575, 375},
        {m.Label2, "Label2", 600, 2880, 9120, 345},
        {m.Label3, "Label3", 600, 4920, 1695, 375},
        {m.Label4, "Label4", 600, 5280, 9120, 345},
        {m.Label5, "Label5", 600, 4200, 9105, 345},
        {m.Image2, "Image2", 9240, 600, 960, 900},
        {m.Image1, "Image1", 5640, 1080, 3180, 585},
    };
    for (const Bounds& b : table)
        expectBounds(b);
}

TEST(WindowLayout, CaptionsToolTipsAndVisibility)
{
    Fixture f;
    frmMain& m = f.form;
    struct Button {
        CommandButton* b;
        const char* caption;
        const char* tip;
    };
    for (const Button& b : {Button{m.Link, "LINK USB", "USB Link"},
                            Button{m.Glossary, "Glossary", "Glossary"},
                            Button{m.Help, "HELP", "HELP"}, Button{m.About, "About", "ABOUT"},
                            Button{m.EXITcmd, "EXIT", "EXIT"}}) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(b.b->text(), b.caption);
        EXPECT_EQ(b.b->toolTip(), b.tip);
        EXPECT_FALSE(b.b->isHidden());
        EXPECT_TRUE(b.b->isEnabled());
    }
    EXPECT_EQ(m.Vehicle->toolTip(), "Select Vehicle");
    EXPECT_FALSE(m.Vehicle->isEditable());
    EXPECT_EQ(m.Vehicle->count(), 0);
    EXPECT_EQ(m.CODESearch->toolTip(), "CODE Search");
    EXPECT_TRUE(m.CODESearch->text().isEmpty());
    EXPECT_EQ(m.picProcessBar->toolTip(), "Process Bar");
    EXPECT_EQ(m.Label_PN->text(), "VX-414 EOBD / OBD-II DTC Reader");
    EXPECT_EQ(m.LabelVS[0]->text(), "Vehicle Search");
    EXPECT_EQ(m.LabelCS[1]->text(), "CODE Search");
    EXPECT_EQ(m.Label5->text(), "Label5");
    EXPECT_EQ(m.LabelVS[1], nullptr);
    EXPECT_EQ(m.LabelCS[0], nullptr);

    // Hidden as the window is created: everything below the headings.
    for (QWidget* w : {static_cast<QWidget*>(m.TXTGlossary), static_cast<QWidget*>(m.flexDemo),
                       static_cast<QWidget*>(m.FlexList), static_cast<QWidget*>(m.FlexList1),
                       static_cast<QWidget*>(m.picProcessBar), static_cast<QWidget*>(m.Label1),
                       static_cast<QWidget*>(m.Label2), static_cast<QWidget*>(m.Label3),
                       static_cast<QWidget*>(m.Label4), static_cast<QWidget*>(m.Image1)})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    for (QWidget* w : {static_cast<QWidget*>(m.Label_PN), static_cast<QWidget*>(m.LabelVS[0]),
                       static_cast<QWidget*>(m.LabelCS[1]), static_cast<QWidget*>(m.Label5),
                       static_cast<QWidget*>(m.Image2), static_cast<QWidget*>(m.Vehicle),
                       static_cast<QWidget*>(m.CODESearch)})
        EXPECT_FALSE(w->isHidden());

    EXPECT_FALSE(m.Timer1->isActive());
    EXPECT_EQ(m.Timer1->interval(), 0);
    EXPECT_FALSE(m.TimerBar->isActive());
    EXPECT_EQ(m.TimerBar->interval(), 50);
    EXPECT_EQ(m.Image2->pixmap().size(), QSize(64, 60));
    // The logo is there whenever the label is seen, in a window shown before or after it.
    m.Image1->show();
    m.show();
    EXPECT_EQ(m.Image1->pixmap().size(), QSize(212, 39));
    m.Image1->hide();
    m.Image1->show();
    EXPECT_EQ(m.Image1->pixmap().size(), QSize(212, 39));
}

TEST(WindowLayout, FontsAndColours)
{
    Fixture f;
    frmMain& m = f.form;
    struct FontCase {
        QWidget* w;
        const char* name;
        int pixelSize;
        bool bold;
        bool italic;
    };
    const FontCase fonts[] = {
        {m.Link, "Link", 16, true, false},          {m.EXITcmd, "EXITcmd", 16, true, false},
        {m.Vehicle, "Vehicle", 16, true, false},    {m.CODESearch, "CODESearch", 16, true, false},
        {m.TXTGlossary, "TXTGlossary", 16, false, false},
        {m.Label_PN, "Label_PN", 19, false, true},  // 14.25 pt
        {m.LabelVS[0], "LabelVS", 16, true, false}, {m.Label2, "Label2", 16, true, false},
        {m.Label5, "Label5", 16, true, false},
    };
    for (const FontCase& c : fonts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.w->font().family(), "Arial");
        EXPECT_EQ(c.w->font().pixelSize(), c.pixelSize);
        EXPECT_EQ(c.w->font().bold(), c.bold);
        EXPECT_EQ(c.w->font().italic(), c.italic);
    }
    // Arial resolves to a font with Arial's metrics (Liberation Sans on Debian).
    EXPECT_TRUE(QFontInfo(m.Link->font()).family().contains("Arial") ||
                QFontInfo(m.Link->font()).family().contains("Liberation Sans"))
        << QFontInfo(m.Link->font()).family().toStdString();

    EXPECT_EQ(bgrFromColor(m.Vehicle->palette().color(QPalette::Button)), 0xC0FFFFu);
    EXPECT_EQ(bgrFromColor(m.CODESearch->palette().color(QPalette::Base)), 0xFFFFC0u);
    EXPECT_EQ(bgrFromColor(m.TXTGlossary->palette().color(QPalette::Text)), 0x0000FFu);
    EXPECT_EQ(m.TXTGlossary->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(m.Label_PN->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    for (QLabel* l : {m.Label1, m.Label2, m.Label3, m.Label4}) {
        EXPECT_TRUE(l->autoFillBackground());
        EXPECT_EQ(bgrFromColor(l->palette().color(QPalette::Window)), 0xFFFFC0u);
    }
    EXPECT_TRUE(m.Label2->wordWrap());
    EXPECT_TRUE(m.Label4->wordWrap());
    // Buttons keep the platform's face until the hover first recolours them.
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (CommandButton* b : {m.Link, m.Glossary, m.Help, m.About, m.EXITcmd})
        EXPECT_EQ(b->BackColor(), bgrFromColor(face));
}

TEST(WindowLayout, FocusStartsInVehicleAndTabVisitsTheButtonsThenSearch)
{
    Fixture f;
    f.form.show();
    f.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.form));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.form.Vehicle);

    const std::vector<QWidget*> expected = {f.form.Link,  f.form.Glossary, f.form.Help,
                                            f.form.About, f.form.EXITcmd, f.form.CODESearch,
                                            f.form.Vehicle};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next)
            << "expected " << next->objectName().toStdString() << ", focus is on "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                            : std::string("nothing"));
    }
}

TEST(WindowLayout, TheBareSurfaceShowsTheBackgroundPictureAtItsNaturalSize)
{
    Fixture f;
    for (QWidget* child : f.form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->hide();
    f.form.Line1.visible = false;
    f.form.Line2.visible = false;
    const QImage picture = artwork::background();
    ASSERT_EQ(picture.size(), QSize(1024, 768));
    // Smaller than the picture: its top left part; larger: the picture, then the white
    // of the window.
    for (const QSize size : {QSize(835, 568), QSize(1100, 800)}) {
        f.form.resize(size);
        const QImage shot = f.form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shot.size(), size);
        const QRect shared = QRect(QPoint(0, 0), size).intersected(picture.rect());
        EXPECT_EQ(shot.copy(shared), picture.copy(shared)) << size.width();
        if (size.width() > picture.width()) {
            EXPECT_EQ(shot.pixel(1050, 10), 0xFFFFFFFFu);
            EXPECT_EQ(shot.pixel(10, 790), 0xFFFFFFFFu);
        }
    }
    EXPECT_NE(picture.pixel(10, 10), picture.pixel(10, 300));  // banner above, light blue below
}

TEST(WindowLayout, ProgressStripFollowsTheWindowWidth)
{
    Fixture f;
    f.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.form));
    f.form.resize(pixels(12525) + 100, pixels(8520));
    QApplication::processEvents();
    EXPECT_EQ(f.form.picProcessBar->width(), f.form.width());
    EXPECT_EQ(f.form.picProcessBar->height(), pixels(135));
    EXPECT_EQ(f.form.picProcessBar->pos(), QPoint(0, 0));
}

TEST(WindowLayout, SharedPlacesShowTheControlCodeShows)
{
    Fixture f;
    frmMain& m = f.form;
    m.show();
    m.TXTGlossary->show();
    m.FlexList->show();
    m.flexDemo->show();
    const QPoint glossaryPoint = m.TXTGlossary->geometry().center();
    EXPECT_EQ(m.childAt(glossaryPoint), m.TXTGlossary);
    const QWidget* atList = m.childAt(m.FlexList->geometry().topLeft() + QPoint(2, 2));
    ASSERT_NE(atList, nullptr);
    EXPECT_TRUE(atList == m.FlexList || m.FlexList->isAncestorOf(atList));
}

}  // namespace
}  // namespace vx414
