// Mouse moves over the buttons and the bare window surface, and resizing the window.
#include "window/controls/units.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

using testing::FormFixture;

struct Shown : FormFixture {
    Shown()
    {
        form->Form_Load();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void moveTo(QWidget* w, QPoint at = {5, 5})
    {
        QTest::mouseMove(w, at);
        QApplication::processEvents();
    }
    std::vector<std::uint32_t> colours() const
    {
        std::vector<std::uint32_t> c;
        for (CommandButton* b : {form->Link, form->Glossary, form->Help, form->About, form->EXITcmd})
            c.push_back(b->BackColor());
        return c;
    }
};

TEST(Hover, OnlyTheHoveredButtonLightsUpAndTheBareSurfaceResetsIt)
{
    Shown s;
    const std::uint32_t face = bgrFromColor(QApplication::palette().color(QPalette::Button));
    const std::uint32_t pale = 0xC0FFFF;
    const std::uint32_t magenta = 0xFF00FF;
    EXPECT_EQ(s.colours(), std::vector<std::uint32_t>(5, face));

    s.moveTo(s.form.get(), {pixels(11000), pixels(6000)});  // bare surface
    EXPECT_EQ(s.colours(), std::vector<std::uint32_t>(5, pale));

    s.moveTo(s.form->Help);
    EXPECT_EQ(s.colours(), (std::vector<std::uint32_t>{pale, pale, magenta, pale, pale}));
    const int repaints = s.form->Help->backColorChanges();
    s.moveTo(s.form->Help, {20, 10});
    EXPECT_EQ(s.form->Help->backColorChanges(), repaints);  // already magenta: no repaint

    s.moveTo(s.form->LabelCS[1]);  // a label is not the bare surface
    EXPECT_EQ(s.form->Help->BackColor(), magenta);
    s.moveTo(s.form->Vehicle);
    EXPECT_EQ(s.form->Help->BackColor(), magenta);

    s.moveTo(s.form.get(), {pixels(11000), pixels(6000)});
    EXPECT_EQ(s.colours(), std::vector<std::uint32_t>(5, pale));
    // The gap between two buttons is bare surface.
    s.moveTo(s.form->About);
    s.moveTo(s.form.get(), {pixels(7150), pixels(780)});
    EXPECT_EQ(s.form->About->BackColor(), pale);
}

TEST(Resize, TheDefinitionsTableFollowsTheWindowAndIgnoresImpossibleSizes)
{
    Shown s;
    frmMain& m = *s.form;
    QApplication::processEvents();
    // The first resize moves the grid to the left edge 500; its width still comes from
    // the left edge it had (480).
    EXPECT_NEAR(m.flexDemo->Left(), 500, 15);
    EXPECT_EQ(m.flexDemo->Top(), 2160);
    EXPECT_NEAR(m.flexDemo->Width(), 12525 - 480, 15);
    EXPECT_NEAR(m.flexDemo->Height(), 8520 - 2160, 15);
    m.resize(m.width() + 1, m.height());
    QApplication::processEvents();
    const int width = m.flexDemo->Width();
    const int height = m.flexDemo->Height();

    m.resize(m.width() + pixels(1500), m.height() + pixels(1500));
    QApplication::processEvents();
    EXPECT_EQ(m.flexDemo->Width(), width + 1500);
    EXPECT_EQ(m.flexDemo->Height(), height + 1500);
    EXPECT_NEAR(m.flexDemo->Left(), 500, 15);
    EXPECT_EQ(m.flexDemo->Top(), 2160);

    const QRect before = m.flexDemo->geometry();
    m.resize(pixels(6000), pixels(1500));  // shorter than the grid's top
    QApplication::processEvents();
    EXPECT_EQ(m.flexDemo->geometry(), before);
    EXPECT_TRUE(m.flexDemo->isHidden());
}

}  // namespace
}  // namespace vx414
