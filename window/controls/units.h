// Twips and colour values as the window's layout gives them.
#pragma once

#include <QColor>
#include <QFont>

#include <cmath>
#include <cstdint>

namespace vx414 {

// 1,440 twips per inch: 15 twips per pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    // Nearest pixel, halves away from zero, so that -7 and 7 twips behave alike.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr int twips(int pixels) { return pixels * kTwipsPerPixel; }

// Colours are held as 0xBBGGRR: red in the low byte.
inline QColor colorFromBgr(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

inline std::uint32_t bgrFromColor(const QColor& c)
{
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

// Fonts are given in points at 96 dots per inch; they are set in pixels so that the
// layout, which is in pixels too, does not depend on the screen's reported resolution.
inline QFont arialFont(double points, bool bold = false, bool italic = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

}  // namespace vx414
