// How the platform's events reach frmMain's handlers.
#include "window/frm_main.h"

#include "window/help_viewer.h"

#include <QCloseEvent>
#include <QMouseEvent>

namespace vx414 {

void frmMain::connectHandlers()
{
    connect(Link, &QPushButton::clicked, this, &frmMain::Link_Click);
    connect(Glossary, &QPushButton::clicked, this, &frmMain::Glossary_Click);
    connect(Help, &QPushButton::clicked, this, &frmMain::Help_Click);
    connect(About, &QPushButton::clicked, this, &frmMain::About_Click);
    connect(EXITcmd, &QPushButton::clicked, this, &frmMain::EXITcmd_Click);
    connect(Link, &CommandButton::mouseMoved, this, &frmMain::Link_MouseMove);
    connect(Glossary, &CommandButton::mouseMoved, this, &frmMain::Glossary_MouseMove);
    connect(Help, &CommandButton::mouseMoved, this, &frmMain::Help_MouseMove);
    connect(About, &CommandButton::mouseMoved, this, &frmMain::About_MouseMove);
    connect(EXITcmd, &CommandButton::mouseMoved, this, &frmMain::EXITcmd_MouseMove);
    // A choice in the list, even of the entry already shown, is a click.
    connect(Vehicle, &QComboBox::activated, this, &frmMain::Vehicle_Click);
    // Typing picks a make by the names people use; the list's own search knows only the
    // entries' names.
    Vehicle->installEventFilter(this);
    Vehicle->view()->installEventFilter(this);
    connect(CODESearch, &QLineEdit::textChanged, this, &frmMain::CODESearch_Change);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(TimerBar, &QTimer::timeout, this, &frmMain::TimerBar_Timer);
    // The adapter's worker tells from its own thread; the report is taken on this one.
    platform_.device.DeviceNotifyReportReady([this] {
        QMetaObject::invokeMethod(this, &frmMain::reportReady, Qt::QueuedConnection);
    });
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::mouseMoveEvent(QMouseEvent* event)
{
    // Only the bare surface counts: a move that a child passed on is not one.
    if (childAt(event->position().toPoint()) == nullptr)
        Form_MouseMove();
    event->accept();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Closing the window leaves the reader alone: no end byte, no reset. The help window is
    // this window's and closes with it; the about box is a window of its own and stays.
    if (HelpWindow != nullptr)
        HelpWindow->close();
    event->accept();
}

}  // namespace vx414
