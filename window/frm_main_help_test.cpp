// The main window's Help button and F1: the help file it names, the window it opens, and F1
// before and after the first click.
#include "window/frm_main.h"

#include "window/frm_about.h"
#include "window/help_viewer.h"
#include "window/testing/form_fixture.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

QString buildDir() { return qEnvironmentVariable("VX414_BUILD_DIR"); }

// The main window shown and active, as the user sees it; F1 needs an active window.
struct ShownForm : testing::FormFixture {
    explicit ShownForm(QString folder) : FormFixture(std::move(folder))
    {
        form->show();
        activate();
    }
    void activate()
    {
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void closeHelp()
    {
        if (form->HelpWindow != nullptr)
            form->HelpWindow->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(form->HelpWindow.isNull());
    }
};

TEST(HelpButton, OpensTheHelpFileBesideTheProgramAtItsDefaultTopic)
{
    ShownForm f(buildDir());
    EXPECT_TRUE(f.form->HelpFile.isEmpty());
    f.form->Help->HelpContextID = 7;

    f.form->Help->click();
    EXPECT_EQ(f.form->HelpFile, buildDir() + QStringLiteral("/VX-414.chm"));
    EXPECT_EQ(f.form->Help->HelpContextID, 0);
    ASSERT_NE(f.form->HelpWindow, nullptr);
    EXPECT_TRUE(f.form->HelpWindow->isVisible());
    EXPECT_TRUE(f.form->HelpWindow->isWindow());
    EXPECT_EQ(f.form->HelpWindow->currentTopic(), QStringLiteral("/html/index.htm"));
    EXPECT_EQ(f.form->HelpWindow->browser()->documentTitle(), QStringLiteral("VX-414 Help"));

    // Clicking again, after wandering off, brings the one window back to the first page.
    QPointer<HelpViewer> first = f.form->HelpWindow;
    first->browser()->setSource(QUrl(QStringLiteral("glossary.htm")));
    ASSERT_EQ(first->currentTopic(), QStringLiteral("/html/glossary.htm"));
    f.form->Help->click();
    EXPECT_EQ(f.form->HelpWindow, first);
    EXPECT_EQ(first->currentTopic(), QStringLiteral("/html/index.htm"));
}

TEST(HelpButton, F1OpensTheHelpBeforeAndAfterTheFirstClick)
{
    ShownForm f(buildDir());
    // Before: F1 opens the help file beside the program at its first page; the Help
    // button's own state is left for its click.
    f.form->Link->setFocus();
    QTest::keyClick(f.form->Link, Qt::Key_F1);
    ASSERT_NE(f.form->HelpWindow, nullptr);
    EXPECT_TRUE(f.form->HelpWindow->isVisible());
    EXPECT_EQ(f.form->HelpWindow->currentTopic(), QStringLiteral("/html/index.htm"));
    EXPECT_TRUE(f.form->HelpFile.isEmpty());
    f.closeHelp();
    f.activate();

    f.form->Help->click();
    ASSERT_NE(f.form->HelpWindow, nullptr);
    f.closeHelp();
    f.activate();

    // After: F1 in any control of the main window opens the same help at its first page.
    for (QWidget* w : {static_cast<QWidget*>(f.form->CODESearch), static_cast<QWidget*>(f.form->Vehicle),
                       static_cast<QWidget*>(f.form->EXITcmd)}) {
        SCOPED_TRACE(w->objectName().toStdString());
        w->setFocus();
        QTest::keyClick(w, Qt::Key_F1);
        ASSERT_NE(f.form->HelpWindow, nullptr);
        EXPECT_TRUE(f.form->HelpWindow->isVisible());
        EXPECT_EQ(f.form->HelpWindow->currentTopic(), QStringLiteral("/html/index.htm"));
        f.closeHelp();
        f.activate();
    }
}

TEST(HelpButton, TheHelpWindowClosesWithTheMainWindow)
{
    ShownForm f(buildDir());
    f.form->Help->click();
    QPointer<HelpViewer> help = f.form->HelpWindow;
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(help->isVisible());
    f.form->About->click();  // the about box, a window of its own, keeps the program running
    EXPECT_TRUE(f.form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull() || !help->isVisible());
    ASSERT_NE(f.form->AboutBox, nullptr);
    EXPECT_TRUE(f.form->AboutBox->isVisible());
    f.form->AboutBox->cmdOK->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(HelpButton, MissingHelpFileIsSaidInTheHelpWindowAndTheProgramCarriesOn)
{
    // A root folder as the program's folder: the separator is doubled, not tidied.
    ShownForm f(QStringLiteral("/"));
    f.form->Help->click();
    EXPECT_EQ(f.form->HelpFile, QStringLiteral("//VX-414.chm"));
    ASSERT_NE(f.form->HelpWindow, nullptr);
    EXPECT_EQ(f.form->HelpWindow->browser()->toPlainText(),
              QStringLiteral("The help file //VX-414.chm cannot be read."));
    EXPECT_TRUE(f.box.shown.empty());  // no message box of the program's own
    EXPECT_TRUE(f.form->isVisible());
    EXPECT_TRUE(f.form->About->isEnabled());
}

}  // namespace
}  // namespace vx414
