// The reference for the program's start-up: the same window written plainly in Qt, with
// the same controls where they are, their captions, fonts and colours, the make list and
// the pictures the user sees, and no logic behind them: no data file, no reader, no
// handlers, stock Qt controls.
#pragma once

#include <QWidget>

namespace vx414::bench {

class PlainWindow final : public QWidget {
public:
    PlainWindow();

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vx414::bench
