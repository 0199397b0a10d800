// A "graphical" command button: its background colour can be read and set at run time.
// Until the first change it shows the platform's button face.
#pragma once

#include <QPixmap>
#include <QPushButton>

#include <cstdint>

namespace vx414 {

class CommandButton final : public QPushButton {
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);

    std::uint32_t BackColor() const;          // 0xBBGGRR
    void SetBackColor(std::uint32_t bgr);
    // How many times the background colour was actually changed: a repaint each.
    int backColorChanges() const { return backColorChanges_; }

    // The decorative strip drawn under the caption.
    void setStrip(const QPixmap& strip) { strip_ = strip; }
    // Help context number: which topic F1 opens on this button (0 = the default topic).
    int HelpContextID = 0;

signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap strip_;
    int backColorChanges_ = 0;
};

}  // namespace vx414
