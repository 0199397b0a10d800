// Draws the manual's picture of the progress strip with the program's own drawing code,
// part way through a read, enlarged so that its nine pixels can be seen.
#include "window/controls/picture_box.h"
#include "window/mod_process_bar.h"

#include <QApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    vx414::PictureBox box;
    box.resize(280, 9);
    // The drawing surface follows the box's size, which a box takes on when it is shown.
    box.setAttribute(Qt::WA_DontShowOnScreen);
    box.show();
    vx414::modProcessBar::drawprocessbar(box, 0.4f, 0xFF00FF);
    const QImage strip = box.surface();
    const QImage picture = strip.scaled(strip.width() * 2, strip.height() * 2, Qt::IgnoreAspectRatio,
                                        Qt::FastTransformation);
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
