// The about box: the product's name and version, closed with its OK button, Enter or Esc.
#pragma once

#include "window/frm_main.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace vx414 {

class frmAbout final : public QWidget {
    Q_OBJECT
public:
    // Shown without an owner: the box is a window of its own, not one of the main window's.
    frmAbout();

    QLabel* Image1;
    QLabel* Label_Name;
    QLabel* lblVersion;
    QPushButton* cmdOK;
    // The etched separator: element 1 the grey line, element 0 the white one under it.
    std::array<LineControl, 2> Line1;

    // Unloads the box: it closes and is discarded.
    void cmdOK_Click();

    // True once the box has been unloaded, while it waits to be discarded.
    bool unloaded() const { return unloaded_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool unloaded_ = false;
};

}  // namespace vx414
