// A drawing surface whose drawing persists (it is kept in an image and repainted from
// it). Docked to the top of its parent, it follows the parent's width.
#pragma once

#include <QImage>
#include <QWidget>

namespace vx414 {

class PictureBox final : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Keeps the box at the top of its parent, as wide as the parent's client area.
    void dockTop(int heightTwips);

    QImage& surface() { return surface_; }
    const QImage& surface() const { return surface_; }
    // Clears the drawing to the background colour.
    void Cls();
    void Refresh() { repaint(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void followParent();

    QImage surface_;
    bool docked_ = false;
    int dockHeight_ = 0;
};

}  // namespace vx414
