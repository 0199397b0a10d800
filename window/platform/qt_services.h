// The Qt implementations of the platform services.
#pragma once

#include "window/platform/services.h"

#include <QPointer>
#include <QWidget>

namespace vx414 {

class QtMessageBox final : public MessageBox {
public:
    MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                   MsgIcon icon, const QString& informative) override;
    MsgAnswer ask(const Question& question) override;
};

class QtBeep final : public Beep {
public:
    void beep() override;
};

class QtPointers final : public Pointers {
public:
    // The window whose own pointer setWindowPointer changes; may be set after construction.
    void setWindow(QWidget* window) { window_ = window; }
    void setWindowPointer(int shape) override;
    void setScreenPointer(int shape) override;

private:
    QPointer<QWidget> window_;
    bool screenOverridden_ = false;
};

class QtProgramEnd final : public ProgramEnd {
public:
    [[noreturn]] void endNow() override;
};

}  // namespace vx414
