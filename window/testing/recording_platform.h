// Test doubles of the platform services: the message box answers as the test says and
// every service records what it was asked to do.
#pragma once

#include "window/platform/services.h"

#include <QString>

#include <deque>
#include <vector>

namespace vx414::testing {

struct ShownMessage {
    QString text;
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
    QString informative;
    QString act;  // a question's act button ("Clear codes"); empty for a message
};

class ScriptedMessageBox final : public MessageBox {
public:
    MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                   MsgIcon icon, const QString& informative) override
    {
        shown.push_back({text, title, buttons, icon, informative, QString()});
        return next();
    }

    // A question is recorded among the messages, with the icon of its warning.
    MsgAnswer ask(const Question& question) override
    {
        shown.push_back({question.text, question.title, MsgButtons::OkCancel, MsgIcon::Warning, QString(), question.act});
        return next();
    }

    std::deque<MsgAnswer> answers;  // answered in order; Ok once they run out
    std::vector<ShownMessage> shown;

private:
    MsgAnswer next()
    {
        if (answers.empty())
            return MsgAnswer::Ok;
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class CountingBeep final : public Beep {
public:
    void beep() override { ++count; }
    int count = 0;
};

class RecordingPointers final : public Pointers {
public:
    void setWindowPointer(int shape) override
    {
        window = shape;
        windowHistory.push_back(shape);
    }
    void setScreenPointer(int shape) override
    {
        screen = shape;
        screenHistory.push_back(shape);
    }
    int window = PointerDefault;
    int screen = PointerDefault;
    std::vector<int> windowHistory;
    std::vector<int> screenHistory;
};

class RecordingProgramEnd final : public ProgramEnd {
public:
    void endNow() override { ++count; }
    int count = 0;
};

}  // namespace vx414::testing
