#include "window/controls/command_button.h"

#include "window/controls/units.h"

#include <QMouseEvent>
#include <QPainter>

namespace vx414 {

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    setMouseTracking(true);
    setAutoFillBackground(true);
}

std::uint32_t CommandButton::BackColor() const
{
    return bgrFromColor(palette().color(QPalette::Button));
}

void CommandButton::SetBackColor(std::uint32_t bgr)
{
    if (BackColor() == bgr)
        return;
    QPalette p = palette();
    const QColor c = colorFromBgr(bgr);
    p.setColor(QPalette::Button, c);
    p.setColor(QPalette::Window, c);
    setPalette(p);
    ++backColorChanges_;
}

void CommandButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    emit mouseMoved();
    // Handled here: the window behind the button must not take it as a move over its
    // bare surface.
    event->accept();
}

void CommandButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (strip_.isNull())
        return;
    QPainter painter(this);
    const int x = (width() - strip_.width()) / 2;
    painter.drawPixmap(x, height() - 5, strip_);
}

}  // namespace vx414
