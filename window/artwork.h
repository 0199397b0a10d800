// The window's pictures, drawn in code at the sizes the layout asks for: the background
// with its banner, the code reader, the logo, the buttons' pointer and strip, and icons.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

class QPainter;

namespace vx414::artwork {

QImage background();        // 1024 x 768: dark-blue banner 144 pixels high, light blue below
// Paints the background picture with its top left at the painter's origin, inside its
// 1024 x 768 pixels. The window paints it like this rather than keeping it as an image:
// three megabytes less, and only what a paint event needs gets drawn.
void paintBackground(QPainter& painter);
QPixmap codeReader();       // 64 x 60: the hand-held reader with its cable
QPixmap logo();             // 212 x 39
QCursor buttonCursor();     // 32 x 32, hot spot at the finger's tip
QPixmap buttonStrip();      // 105 x 1
QPixmap aboutBitmap();      // 106 x 27
QIcon windowIcon();         // 16 x 16
QPixmap aboutIcon();        // 32 x 32

inline constexpr int kBannerHeight = 144;
inline constexpr int kBackgroundWidth = 1024;
inline constexpr int kBackgroundHeight = 768;

}  // namespace vx414::artwork
