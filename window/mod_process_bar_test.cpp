// The progress strip as the user sees it: its pixels at chosen moments.
#include "window/mod_process_bar.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace vx414 {
namespace {

using testing::FormFixture;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kMagenta = qRgb(255, 0, 255);

std::map<QRgb, int> colours(const QImage& image, QRect area)
{
    std::map<QRgb, int> count;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++count[image.pixel(x, y) | 0xFF000000u];
    return count;
}

struct ShownStrip : FormFixture {
    ShownStrip()
    {
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->picProcessBar->show();
        QApplication::processEvents();
    }
    const QImage& image() { return form->picProcessBar->surface(); }
};

TEST(ProgressStrip, HalfWayIsGreenOnTheLeftBlackOnTheRightTextStraddlingTheEdge)
{
    ShownStrip s;
    PictureBox& box = *s.form->picProcessBar;
    ASSERT_GT(box.width(), 100);
    modProcessBar::drawprocessbar(box, 0.5f, 0xFF00FF);
    const QImage& img = s.image();
    const int w = img.width();
    const int h = img.height();
    const int edge = static_cast<int>(std::lround(w * 0.5));  // the bar covers [0, edge)
    // Away from the text: green under the bar, black beyond it.
    EXPECT_EQ(colours(img, QRect(0, 0, edge - 40, h)), (std::map<QRgb, int>{{kGreen, (edge - 40) * h}}));
    EXPECT_EQ(colours(img, QRect(edge + 40, 0, w - edge - 40, h)),
              (std::map<QRgb, int>{{kBlack, (w - edge - 40) * h}}));
    // The text: white where the bar covers it, magenta beyond; no other colours.
    const auto left = colours(img, QRect(edge - 40, 0, 40, h));
    const auto right = colours(img, QRect(edge, 0, 40, h));
    EXPECT_GT(left.count(kWhite), 0u);
    EXPECT_GT(right.count(kMagenta), 0u);
    for (const auto& [c, n] : left)
        EXPECT_TRUE(c == kWhite || c == kGreen) << std::hex << c;
    for (const auto& [c, n] : right)
        EXPECT_TRUE(c == kMagenta || c == kBlack) << std::hex << c;
}

TEST(ProgressStrip, TicksRunTheBarAndTheTwentyFirstStopsItOnWhite)
{
    ShownStrip s;
    frmMain& m = *s.form;
    m.TimerBar->start();
    for (int tick = 1; tick <= 20; ++tick)
        m.TimerBar_Timer();
    EXPECT_TRUE(m.TimerBar->isActive());
    EXPECT_FLOAT_EQ(m.BarProgress, 1.0000001f);
    // Full: green everywhere but the white text.
    auto full = colours(s.image(), s.image().rect());
    EXPECT_GT(full[kGreen], 0);
    EXPECT_GT(full[kWhite], 0);
    EXPECT_EQ(full.count(kBlack), 0u);
    EXPECT_EQ(full.count(kMagenta), 0u);

    m.TimerBar_Timer();
    EXPECT_FALSE(m.TimerBar->isActive());
    EXPECT_EQ(m.BarProgress, 0.0f);
    // 0%: white with the text green.
    auto stopped = colours(s.image(), s.image().rect());
    EXPECT_GT(stopped[kWhite], stopped[kGreen]);
    EXPECT_GT(stopped[kGreen], 0);
    EXPECT_EQ(stopped.size(), 2u);
}

TEST(ProgressStrip, TheSmallestPositiveFractionDrawsABarAndZeroDoesNot)
{
    ShownStrip s;
    PictureBox& box = *s.form->picProcessBar;
    modProcessBar::drawprocessbar(box, 0.001f, 0xFF00FF);
    EXPECT_EQ(s.image().pixel(0, 0) | 0xFF000000u, kGreen);
    EXPECT_EQ(s.image().pixel(s.image().width() - 1, 0) | 0xFF000000u, kBlack);
    modProcessBar::drawprocessbar(box, 0.0f, 0xFF00FF);
    EXPECT_EQ(s.image().pixel(s.image().width() - 1, 0) | 0xFF000000u, kWhite);
    modProcessBar::drawprocessbar(box, -0.5f, 0xFF00FF);
    EXPECT_EQ(s.image().pixel(0, 0) | 0xFF000000u, kWhite);
}

}  // namespace
}  // namespace vx414
