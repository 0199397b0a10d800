#include "window/window_roles.h"

#include "window/frm_about.h"
#include "window/frm_main.h"
#include "window/help_viewer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace vx414 {

namespace {

// Qt describes a plain top-level QWidget as a client area, which a screen reader hears as
// a "filler" without a title. The windows keep their kind and look; only the role they
// report changes. Asked once per class of a widget's ancestry, most derived first.
QAccessibleInterface* windowInterface(const QString& className, QObject* object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String(frmMain::staticMetaObject.className()) ||
        className == QLatin1String(HelpViewer::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String(frmAbout::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    return nullptr;
}

}  // namespace

void registerWindowRoles()
{
    static const bool registered = [] {
        QAccessible::installFactory(windowInterface);
        return true;
    }();
    (void)registered;
}

}  // namespace vx414
