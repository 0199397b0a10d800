// Keys that belong to the whole window rather than to one control: Shift+F10 opens the
// focused control's context menu as the menu key does (many keyboards have no menu key).
// F1 is armed by the first click on Help (frm_main_help.cpp): before it, F1 opens nothing.
#include "window/frm_main.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QShortcut>

namespace vx414 {

void frmMain::armWindowKeys()
{
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
