// Platform services the window's handlers call: message box, beep, mouse pointers and
// ending the program. Each is a small interface so that tests answer the message box and
// record the rest; the program uses the Qt implementations in qt_services.h.
#pragma once

#include <QString>

namespace vx414 {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Information, Warning };
enum class MsgAnswer { Ok, Cancel };

// A question before something that cannot be undone: a warning whose first button names the
// act ("Clear codes") and whose other is Cancel, the default, so that Enter or closing the
// box does nothing.
struct Question {
    QString text;
    QString title;
    QString act;  // the first button's text
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal: returns once the user has answered. Closing the box counts as Cancel.
    // `informative`, when not empty, is a second paragraph under the text (why it happened).
    virtual MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                           MsgIcon icon, const QString& informative = QString()) = 0;
    // Modal: Ok when the user pressed the act's button, Cancel otherwise.
    virtual MsgAnswer ask(const Question& question) = 0;
};

class Beep {
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};

// Pointer values as the handlers use them.
enum PointerShape : int {
    PointerDefault = 0,
    PointerHourglass = 11,       // the whole program is busy
    PointerArrowHourglass = 13,  // busy, but the pointer still points
};

// Two independent pointers: the main window's own (set while a read is prepared) and the
// screen's, which overrides every window of the program while a make or the glossary
// loads. Restoring one never touches the other.
class Pointers {
public:
    virtual ~Pointers() = default;
    virtual void setWindowPointer(int shape) = 0;
    virtual void setScreenPointer(int shape) = 0;
};

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    // Ends the program at once: no window is asked to close, no unload handling runs.
    // A caller must return right after calling it (a test double only records the call).
    virtual void endNow() = 0;
};

}  // namespace vx414
