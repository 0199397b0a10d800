#include "window/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace vx414::artwork {

namespace {

const QColor kBannerTop(0x0B, 0x1E, 0x4A);
const QColor kBannerBottom(0x16, 0x3A, 0x7C);
const QColor kLightBlue(0xDD, 0xEB, 0xF8);
const QColor kSteel(0x9F, 0xB4, 0xD0);

// A four-cylinder engine seen from the front-left, in light strokes on the banner.
void drawEngine(QPainter& p, QPointF origin, double scale)
{
    p.save();
    p.translate(origin);
    p.scale(scale, scale);
    QPen pen(kSteel, 2.0);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(QColor(0x24, 0x4C, 0x94, 160));
    // Block and head.
    p.drawRoundedRect(QRectF(0, 40, 220, 70), 6, 6);
    p.drawRoundedRect(QRectF(-10, 14, 240, 30), 8, 8);
    // Cam cover ribs.
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QRectF(18 + i * 52, 20, 30, 18));
    // Oil pan.
    QPainterPath pan;
    pan.moveTo(10, 110);
    pan.lineTo(210, 110);
    pan.lineTo(190, 130);
    pan.lineTo(30, 130);
    pan.closeSubpath();
    p.drawPath(pan);
    // Crank pulley and belt to the cam.
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(-30, 95), 22, 22);
    p.drawEllipse(QPointF(-30, 95), 8, 8);
    p.drawEllipse(QPointF(-28, 28), 14, 14);
    p.drawLine(QPointF(-52, 95), QPointF(-42, 28));
    p.drawLine(QPointF(-8, 95), QPointF(-14, 28));
    // Intake runners.
    for (int i = 0; i < 4; ++i) {
        QPainterPath runner;
        runner.moveTo(30 + i * 52, 14);
        runner.cubicTo(30 + i * 52, -6, 60 + i * 40, -12, 100 + i * 30, -10);
        p.drawPath(runner);
    }
    // Exhaust pipe.
    QPainterPath exhaust;
    exhaust.moveTo(220, 70);
    exhaust.cubicTo(260, 70, 270, 110, 320, 112);
    p.drawPath(exhaust);
    p.restore();
}

void drawReader(QPainter& p, const QRectF& area)
{
    // Body, screen, four keys and a cable leaving the top towards the left.
    const double w = area.width();
    const double h = area.height();
    p.save();
    p.translate(area.topLeft());
    p.setRenderHint(QPainter::Antialiasing);
    QPen cable(QColor(0x20, 0x20, 0x20), w / 16.0);
    cable.setCapStyle(Qt::RoundCap);
    p.setPen(cable);
    p.setBrush(Qt::NoBrush);
    QPainterPath c;
    c.moveTo(w * 0.55, h * 0.18);
    c.cubicTo(w * 0.55, h * 0.02, w * 0.15, h * 0.02, w * 0.08, h * 0.2);
    p.drawPath(c);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.drawRect(QRectF(w * 0.02, h * 0.18, w * 0.12, h * 0.1));  // the vehicle plug
    QLinearGradient body(0, h * 0.15, w, h);
    body.setColorAt(0, QColor(0xF2, 0xB7, 0x20));
    body.setColorAt(1, QColor(0xB8, 0x7A, 0x00));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(w * 0.3, h * 0.15, w * 0.62, h * 0.82), w * 0.08, w * 0.08);
    p.setBrush(QColor(0x9E, 0xC8, 0x8C));
    p.drawRect(QRectF(w * 0.38, h * 0.24, w * 0.46, h * 0.3));
    p.setPen(QPen(QColor(0x20, 0x40, 0x20), 1));
    p.drawLine(QPointF(w * 0.42, h * 0.34), QPointF(w * 0.78, h * 0.34));
    p.drawLine(QPointF(w * 0.42, h * 0.44), QPointF(w * 0.68, h * 0.44));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QRectF(w * (0.38 + 0.12 * i), h * 0.66, w * 0.09, w * 0.09));
    p.restore();
}

}  // namespace

void paintBackground(QPainter& p)
{
    p.save();
    p.setClipRect(QRect(0, 0, kBackgroundWidth, kBackgroundHeight), Qt::IntersectClip);
    p.fillRect(QRect(0, 0, kBackgroundWidth, kBackgroundHeight), kLightBlue);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient banner(0, 0, 0, kBannerHeight);
    banner.setColorAt(0, kBannerTop);
    banner.setColorAt(1, kBannerBottom);
    p.fillRect(0, 0, 1024, kBannerHeight, banner);
    // A soft light behind the engine and a pale glow under the banner.
    QRadialGradient glow(QPointF(760, 70), 160);
    glow.setColorAt(0, QColor(0x3C, 0x6E, 0xC0, 150));
    glow.setColorAt(1, QColor(0x3C, 0x6E, 0xC0, 0));
    p.fillRect(QRect(600, 0, 424, kBannerHeight), glow);
    drawEngine(p, QPointF(722, 40), 0.4);
    QLinearGradient below(0, kBannerHeight, 0, 768);
    below.setColorAt(0, QColor(0xC9, 0xDE, 0xF4));
    below.setColorAt(0.15, kLightBlue);
    below.setColorAt(1, QColor(0xEE, 0xF5, 0xFC));
    p.fillRect(0, kBannerHeight, 1024, 768 - kBannerHeight, below);
    p.restore();
}

QImage background()
{
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter p(&image);
    paintBackground(p);
    return image;
}

QPixmap codeReader()
{
    QPixmap pix(64, 60);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    drawReader(p, QRectF(0, 0, 64, 60));
    return pix;
}

QPixmap logo()
{
    QPixmap pix(212, 39);
    pix.fill(QColor(0x0B, 0x1E, 0x4A));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(26);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.setPen(QColor(0xFF, 0xD0, 0x30));
    p.drawText(QRect(0, 0, 212, 39), Qt::AlignCenter, QStringLiteral("VX-414"));
    return pix;
}

QCursor buttonCursor()
{
    // A pointing hand: index finger up, the hot spot at its tip.
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.moveTo(10, 1);
    hand.lineTo(14, 1);
    hand.lineTo(14, 12);
    hand.lineTo(26, 14);
    hand.lineTo(26, 26);
    hand.lineTo(22, 31);
    hand.lineTo(10, 31);
    hand.lineTo(4, 20);
    hand.lineTo(6, 17);
    hand.lineTo(10, 20);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.drawLine(QPointF(18, 14), QPointF(18, 20));
    p.drawLine(QPointF(22, 14), QPointF(22, 20));
    return QCursor(pix, 12, 1);
}

QPixmap buttonStrip()
{
    QImage img(105, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 105; ++x) {
        // Fades in and out: strongest in the middle.
        const int alpha = 255 - std::abs(x - 52) * 4;
        img.setPixelColor(x, 0, QColor(0x16, 0x3A, 0x7C, alpha < 0 ? 0 : alpha));
    }
    return QPixmap::fromImage(img);
}

QPixmap aboutBitmap()
{
    QPixmap pix(106, 27);
    pix.fill(QColor(0xFF, 0xFF, 0xC0));
    QPainter p(&pix);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x16, 0x3A, 0x7C));
    p.drawText(QRect(0, 0, 106, 27), Qt::AlignCenter, QStringLiteral("VX-414"));
    return pix;
}

QIcon windowIcon()
{
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    drawReader(p, QRectF(0, 0, 16, 16));
    return QIcon(pix);
}

QPixmap aboutIcon()
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    drawReader(p, QRectF(0, 0, 32, 32));
    return pix;
}

}  // namespace vx414::artwork
