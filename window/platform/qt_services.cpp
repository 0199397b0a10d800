#include "window/platform/qt_services.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace vx414 {

MsgAnswer QtMessageBox::show(const QString& text, const QString& title, MsgButtons buttons,
                             MsgIcon icon, const QString& informative)
{
    QMessageBox box(icon == MsgIcon::Information ? QMessageBox::Information
                    : icon == MsgIcon::Warning   ? QMessageBox::Warning
                                                 : QMessageBox::NoIcon,
                    title, text,
                    buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                    : QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    box.setAccessibleName(title.trimmed());
    // The pointer may be an hourglass while the box is up; the user still needs an arrow.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    QGuiApplication::restoreOverrideCursor();
    return answer == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

MsgAnswer QtMessageBox::ask(const Question& question)
{
    QMessageBox box(QMessageBox::Warning, question.title, question.text, QMessageBox::NoButton);
    QPushButton* act = box.addButton(question.act, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setAccessibleName(question.title.trimmed());
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QGuiApplication::restoreOverrideCursor();
    return box.clickedButton() == act ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

void QtBeep::beep()
{
    QApplication::beep();
}

static Qt::CursorShape cursorFor(int shape)
{
    switch (shape) {
    case PointerHourglass: return Qt::WaitCursor;
    case PointerArrowHourglass: return Qt::BusyCursor;
    default: return Qt::ArrowCursor;
    }
}

void QtPointers::setWindowPointer(int shape)
{
    if (!window_)
        return;
    if (shape == PointerDefault)
        window_->unsetCursor();
    else
        window_->setCursor(cursorFor(shape));
}

void QtPointers::setScreenPointer(int shape)
{
    // One override at most: setting the hourglass twice and restoring once must leave the
    // program with its normal pointers again.
    if (shape == PointerDefault) {
        if (screenOverridden_)
            QGuiApplication::restoreOverrideCursor();
        screenOverridden_ = false;
        return;
    }
    if (screenOverridden_)
        QGuiApplication::changeOverrideCursor(cursorFor(shape));
    else
        QGuiApplication::setOverrideCursor(cursorFor(shape));
    screenOverridden_ = true;
}

void QtProgramEnd::endNow()
{
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

}  // namespace vx414
