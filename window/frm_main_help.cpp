// The two information buttons: Help opens the help file in the program's help window, About
// shows the about box.
#include "window/frm_about.h"
#include "window/frm_main.h"
#include "window/help_viewer.h"


namespace vx414 {

void frmMain::Help_Click()
{
    // The folder exactly as the platform gave it: a root folder gives a doubled separator.
    HelpFile = platform_.programFolder + QStringLiteral("/VX-414.chm");
    Help->HelpContextID = 0;
    showHelp();
}

void frmMain::showHelp()
{
    // Every control's help context is 0, so F1 opens the default topic wherever it is
    // pressed. Before the first click on Help, F1 opens the file that click would name.
    // The help window is the main window's: it closes with it.
    const QString file = HelpFile.isEmpty() ? platform_.programFolder + QStringLiteral("/VX-414.chm") : HelpFile;
    if (HelpWindow == nullptr)
        HelpWindow = new HelpViewer(this);
    HelpWindow->openHelpFile(file);
    HelpWindow->show();
    HelpWindow->raise();
    HelpWindow->activateWindow();
}

void frmMain::About_Click()
{
    if (AboutBox == nullptr || AboutBox->unloaded())
        AboutBox = new frmAbout;
    AboutBox->show();
    AboutBox->raise();
    AboutBox->activateWindow();
}

}  // namespace vx414
