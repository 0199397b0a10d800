#include "window/frm_about.h"

#include "window/artwork.h"
#include "window/controls/units.h"
#include "window/window_roles.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

namespace vx414 {

namespace {

constexpr std::uint32_t kPaleYellow = 0xC0FFFF;

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

}  // namespace

frmAbout::frmAbout()
    // A tool window: fixed frame with a title and a close box, no minimize or maximize, and
    // kept out of the task bar.
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      Line1{{{120, 1320, 6000, 1320, 2, 0xFFFFFF, true}, {120, 1320, 6030, 1320, 1, 0x808080, true}}}
{
    registerWindowRoles();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A tool window does not keep the program running by default; this one is a window of
    // its own, and the program ends only when the last of its windows has closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(QStringLiteral("About VX-414"));
    setWindowIcon(QIcon(artwork::aboutIcon()));
    setFixedSize(pixels(6255), pixels(1950));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colorFromBgr(kPaleYellow));
    setPalette(pal);
    setAutoFillBackground(true);
    // Where the box opens is free; it opens where it was designed to, near the screen's
    // top-left corner.
    move(pixels(2340), pixels(1935));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(artwork::aboutIcon());
    place(Image1, 600, 480, 480, 480);

    Label_Name = new QLabel(QStringLiteral("VURA Zivi Vodode"), this);
    Label_Name->setObjectName(QStringLiteral("Label_Name"));
    Label_Name->setFont(arialFont(14.25, true));
    QPalette black = Label_Name->palette();
    black.setColor(QPalette::WindowText, colorFromBgr(0x000000));
    Label_Name->setPalette(black);
    place(Label_Name, 1800, 240, 2715, 330);

    lblVersion = new QLabel(QStringLiteral("V2.0"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(arialFont(14.25));
    place(lblVersion, 4800, 240, 600, 330);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setCursor(artwork::buttonCursor());
    place(cmdOK, 4800, 1440, 1260, 345);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // Tab order cmdOK, lblVersion, Label_Name; only the button takes the focus.
    setTabOrder(cmdOK, lblVersion);
    setTabOrder(lblVersion, Label_Name);
    cmdOK->setFocus();
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::paintEvent(QPaintEvent*)
{
    // Element 0 first, element 1 over it: the grey line on the white one's upper pixel row
    // leaves the white showing below it, which gives the etched look.
    QPainter p(this);
    for (const LineControl& line : Line1) {
        if (!line.visible)
            continue;
        const int x1 = pixels(line.x1);
        const int x2 = pixels(line.x2);
        const int y = pixels(line.y1);
        p.fillRect(QRect(x1, y, x2 - x1 + 1, line.widthPixels), colorFromBgr(line.color));
    }
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    // The OK button is the box's default and its cancel button.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        cmdOK->click();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void frmAbout::closeEvent(QCloseEvent* event)
{
    unloaded_ = true;
    event->accept();
}

}  // namespace vx414
