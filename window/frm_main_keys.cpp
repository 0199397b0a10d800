// Keys that belong to the whole window rather than to one control: F1 opens the help from
// the start, and Shift+F10 opens the focused control's context menu as the menu key does
// (many keyboards have no menu key).
#include "window/frm_main.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QShortcut>

namespace vx414 {

void frmMain::armWindowKeys()
{
    helpKey_ = new QShortcut(QKeySequence(Qt::Key_F1), this);
    helpKey_->setContext(Qt::WindowShortcut);
    connect(helpKey_, &QShortcut::activated, this, &frmMain::showHelp);

    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    menuKey->setContext(Qt::WindowShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        QWidget* focused = focusWidget();
        if (focused == nullptr)
            return;
        // Where the menu key puts it: the middle of the control, which for a grid is in
        // its rows.
        const QPoint middle = focused->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, middle, focused->mapToGlobal(middle));
        QApplication::sendEvent(focused, &event);
    });
}

}  // namespace vx414
