#include "window/controls/picture_box.h"

#include "window/controls/units.h"

#include <QEvent>
#include <QPainter>

namespace vx414 {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::dockTop(int heightTwips)
{
    dockHeight_ = pixels(heightTwips);
    if (!docked_ && parentWidget())
        parentWidget()->installEventFilter(this);
    docked_ = true;
    followParent();
}

void PictureBox::followParent()
{
    if (docked_ && parentWidget())
        setGeometry(0, 0, parentWidget()->width(), dockHeight_);
}

bool PictureBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        followParent();
    return QWidget::eventFilter(watched, event);
}

void PictureBox::Cls()
{
    surface_.fill(palette().color(QPalette::Window));
    update();
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (surface_.size() == size())
        return;
    QImage next(size(), QImage::Format_RGB32);
    next.fill(palette().color(QPalette::Window));
    if (!surface_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, surface_);
    }
    surface_ = std::move(next);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

}  // namespace vx414
