#include "window/mod_process_bar.h"

#include "window/controls/units.h"
#include "window/logic/progress.h"
#include "window/logic/whole_numbers.h"

#include <QFontMetrics>
#include <QPainter>

namespace vx414::modProcessBar {

namespace {

// The strip is nine pixels high; a font of eight pixels keeps the percentage readable
// inside it. Everything here is measured in pixels: box, text and positions alike.
QFont stripFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(8);
    f.setBold(true);
    // Plain pixels: the not-xor bar then turns the text exactly white or green.
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

}  // namespace

void drawprocessbar(PictureBox& box, float fraction, std::uint32_t colour)
{
    QImage& surface = box.surface();
    if (surface.isNull())
        return;
    const QColor foreground = colorFromBgr(colour);
    const QColor background = colorFromBgr(0x000000);
    surface.fill(background);

    const QString text = QString::fromStdString(barText(fraction));
    QPainter p(&surface);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    const QFont font = stripFont();
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int width = surface.width();
    const int height = surface.height();
    const auto tw = toInt16(metrics.horizontalAdvance(text));
    const auto th = toInt16(metrics.height());
    const auto x = toInt16(width / 2.0 - (tw ? *tw : 0) / 2.0);
    const auto y = toInt16(height / 2.0 - (th ? *th : 0) / 2.0);

    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (tw && th && x && y) {
        p.fillRect(QRect(*x, *y, *tw, *th), background);
        p.setPen(foreground);
        p.drawText(QPoint(*x, *y + metrics.ascent()), text);
    }

    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (fraction > 0.0f) {
        const int barWidth =
            static_cast<int>(std::lround(static_cast<double>(width) * static_cast<double>(fraction)));
        p.fillRect(QRect(0, 0, barWidth, height), foreground);
    } else {
        p.fillRect(QRect(0, 0, width, height), background);
    }
    p.end();
    box.Refresh();
}

}  // namespace vx414::modProcessBar
