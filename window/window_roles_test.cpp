// What the program's windows tell assistive technology: their role and their name.
#include "window/window_roles.h"

#include "window/frm_about.h"
#include "window/help_viewer.h"
#include "window/testing/form_fixture.h"

#include <QAccessible>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(WindowRoles, MainAndHelpWindowsAreFramesAndTheAboutBoxADialogEachNamedByItsTitle)
{
    testing::FormFixture f;
    f.form->Help->click();  // no help file in its folder: the help window says so
    ASSERT_NE(f.form->HelpWindow, nullptr);
    f.form->About->click();
    ASSERT_NE(f.form->AboutBox, nullptr);

    struct Case {
        QWidget* window;
        QAccessible::Role role;
        const char* name;
    };
    const Case cases[] = {
        {f.form.get(), QAccessible::Window, "CODE Definition"},
        {f.form->HelpWindow, QAccessible::Window, "VX-414 Help"},
        {f.form->AboutBox, QAccessible::Dialog, "About VX-414"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(c.window);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->role(), c.role);
        EXPECT_EQ(window->text(QAccessible::Name), QString::fromLatin1(c.name));
        // The controls inside are still reached through the window.
        EXPECT_GT(window->childCount(), 0);
    }
    // The role is a matter of description only: the windows keep their kinds.
    EXPECT_EQ(f.form->windowType(), Qt::Window);
    EXPECT_EQ(f.form->HelpWindow->windowType(), Qt::Window);
    EXPECT_EQ(f.form->AboutBox->windowType(), Qt::Tool);

    // Other widgets keep the roles Qt gives them.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.form->Link)->role(), QAccessible::Button);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.form->AboutBox->cmdOK)->role(), QAccessible::Button);
    f.form->AboutBox->cmdOK->click();
    f.form->HelpWindow->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace vx414
