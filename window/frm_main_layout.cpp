// frmMain as it is created, before Form_Load runs: every control with its caption, font,
// colours, bounds (twips), tab order and shown or hidden state.
#include "window/frm_main.h"

#include "window/artwork.h"
#include "window/controls/units.h"
#include "window/window_roles.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

namespace vx414 {

namespace {

constexpr std::uint32_t kPaleYellow = 0xC0FFFF;
constexpr std::uint32_t kPaleCyan = 0xFFFFC0;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kRuleGrey = 0xE0E0E0;

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

void setColor(QWidget* w, QPalette::ColorRole role, std::uint32_t bgr)
{
    QPalette p = w->palette();
    p.setColor(role, colorFromBgr(bgr));
    w->setPalette(p);
}

CommandButton* makeButton(QWidget* parent, const QString& caption, const QString& tip, int left,
                          const QCursor& hand, const QPixmap& strip)
{
    auto* b = new CommandButton(caption, parent);
    b->setToolTip(tip);
    b->setFont(arialFont(12, true));
    b->setCursor(hand);
    b->setStrip(strip);
    b->setAccessibleName(caption);
    place(b, left, 600, 1575, 375);
    return b;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, const QFont& font, int left, int top,
                  int width, int height)
{
    auto* l = new QLabel(caption, parent);
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(l, left, top, width, height);
    return l;
}

QLabel* makeDefinitionLabel(QWidget* parent, int left, int top, int width, int height,
                            bool wraps)
{
    QLabel* l = makeLabel(parent, QString(), arialFont(12, true), left, top, width, height);
    l->setAutoFillBackground(true);
    setColor(l, QPalette::Window, kPaleCyan);
    l->setWordWrap(wraps);
    l->hide();
    return l;
}

FlexGrid* makeGrid(QWidget* parent, const QString& name, int left, int top, int width,
                   int height)
{
    auto* g = new FlexGrid(parent);
    g->setObjectName(name);
    g->Move(left, top, width, height);
    g->hide();
    return g;
}

}  // namespace

frmMain::frmMain(Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform)
{
    registerWindowRoles();
    createControls();
    arrangeTabOrder();
    connectHandlers();
    armWindowKeys();
}

frmMain::~frmMain()
{
    // The link outlives the window: it must not tell a window that is gone.
    platform_.device.DeviceNotifyReportReady({});
}

void frmMain::createControls()
{
    showLinkInTitle();
    setWindowIcon(artwork::windowIcon());
    setFont(arialFont(12));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setColor(this, QPalette::Window, 0xFFFFFF);
    setColor(this, QPalette::WindowText, 0x000000);
    setMouseTracking(true);
    resize(pixels(12525), pixels(8520));

    // One hand pointer and one strip, drawn once and shared by every control that shows them.
    const QCursor hand = artwork::buttonCursor();
    const QPixmap strip = artwork::buttonStrip();
    Link = makeButton(this, QStringLiteral("LINK USB"), QStringLiteral("USB Link"), 480, hand, strip);
    Link->setObjectName(QStringLiteral("Link"));
    Glossary = makeButton(this, QStringLiteral("Glossary"), QStringLiteral("Glossary"), 2160, hand,
                          strip);
    Glossary->setObjectName(QStringLiteral("Glossary"));
    Help = makeButton(this, QStringLiteral("HELP"), QStringLiteral("HELP"), 3840, hand,
                          strip);
    Help->setObjectName(QStringLiteral("Help"));
    About = makeButton(this, QStringLiteral("About"), QStringLiteral("ABOUT"), 5520, hand,
                          strip);
    About->setObjectName(QStringLiteral("About"));
    EXITcmd = makeButton(this, QStringLiteral("EXIT"), QStringLiteral("EXIT"), 7200, hand,
                          strip);
    EXITcmd->setObjectName(QStringLiteral("EXITcmd"));

    Vehicle = new QComboBox(this);
    Vehicle->setObjectName(QStringLiteral("Vehicle"));
    Vehicle->setEditable(false);
    Vehicle->setToolTip(QStringLiteral("Select Vehicle"));
    Vehicle->setAccessibleName(QStringLiteral("Vehicle make"));
    Vehicle->setFont(arialFont(12, true));
    Vehicle->setCursor(hand);
    Vehicle->setMaxVisibleItems(20);
    setColor(Vehicle, QPalette::Button, kPaleYellow);
    setColor(Vehicle, QPalette::Base, kPaleYellow);
    place(Vehicle, 480, 1440, 3135, 405);

    CODESearch = new QLineEdit(this);
    CODESearch->setObjectName(QStringLiteral("CODESearch"));
    CODESearch->setToolTip(QStringLiteral("CODE Search"));
    CODESearch->setAccessibleName(QStringLiteral("Code search"));
    CODESearch->setFont(arialFont(12, true));
    setColor(CODESearch, QPalette::Base, kPaleCyan);
    place(CODESearch, 3840, 1440, 1575, 390);

    TXTGlossary = new QLineEdit(this);
    TXTGlossary->setObjectName(QStringLiteral("TXTGlossary"));
    TXTGlossary->setAccessibleName(QStringLiteral("List heading"));
    TXTGlossary->setFont(arialFont(12));
    setColor(TXTGlossary, QPalette::Text, kRed);
    place(TXTGlossary, 480, 1440, 2880, 400);
    TXTGlossary->hide();

    flexDemo = makeGrid(this, QStringLiteral("flexDemo"), 480, 2160, 7965, 375);
    flexDemo->setAccessibleName(QStringLiteral("Definitions table"));
    FlexList = makeGrid(this, QStringLiteral("FlexList"), 480, 2160, 2445, 435);
    FlexList->setAccessibleName(QStringLiteral("Result table"));
    FlexList1 = makeGrid(this, QStringLiteral("FlexList1"), 960, 6480, 3165, 1275);
    FlexList1->setAccessibleName(QStringLiteral("Glossary"));

    picProcessBar = new PictureBox(this);
    picProcessBar->setObjectName(QStringLiteral("picProcessBar"));
    picProcessBar->setToolTip(QStringLiteral("Process Bar"));
    picProcessBar->setAccessibleName(QStringLiteral("Progress"));
    picProcessBar->dockTop(135);
    picProcessBar->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(0);
    TimerBar = new QTimer(this);
    TimerBar->setInterval(50);

    Label_PN = makeLabel(this, QStringLiteral("VX-414 EOBD / OBD-II DTC Reader"),
                         arialFont(14.25, false, true), 480, 120, 5895, 495);
    setColor(Label_PN, QPalette::WindowText, kYellow);

    QLabel* vehicleHeading = makeLabel(this, QStringLiteral("Vehicle Search"),
                                       arialFont(12, true), 360, 1080, 2295, 495);
    vehicleHeading->setForegroundRole(QPalette::HighlightedText);
    LabelVS.add(0, vehicleHeading);
    QLabel* codeHeading = makeLabel(this, QStringLiteral("CODE Search"), arialFont(12, true),
                                    3480, 1080, 2295, 495);
    codeHeading->setForegroundRole(QPalette::HighlightedText);
    LabelCS.add(1, codeHeading);

    Label1 = makeDefinitionLabel(this, 600, 2520, 1575, 375, false);
    Label2 = makeDefinitionLabel(this, 600, 2880, 9120, 345, true);
    Label3 = makeDefinitionLabel(this, 600, 4920, 1695, 375, false);
    Label4 = makeDefinitionLabel(this, 600, 5280, 9120, 345, true);
    Label5 = makeLabel(this, QStringLiteral("Label5"), arialFont(12, true), 600, 4200, 9105, 345);

    Image2 = new QLabel(this);
    Image2->setPixmap(artwork::codeReader());
    Image2->setAccessibleName(QStringLiteral("Code reader"));
    Image2->setScaledContents(false);
    place(Image2, 9240, 600, 960, 900);
    Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new QLabel(this);
    place(Image1, 5640, 1080, 3180, 585);
    Image1->hide();
    // The logo is drawn the first time the label is shown (eventFilter), not for a label
    // that stays hidden.
    Image1->installEventFilter(this);

    Line2 = {0, 2160, 15240, 2160, 3, kRuleGrey, true};
    Line1 = {480, 2160, 480, 11040, 5, kRuleGrey, true};

    // Where two controls share a place, the one that code shows is the one to see.
    TXTGlossary->raise();
    FlexList->raise();
    picProcessBar->raise();
}

void frmMain::arrangeTabOrder()
{
    const QList<QWidget*> order = {Vehicle, Link,     Glossary, Help,     About,    EXITcmd,
                                   CODESearch, TXTGlossary, flexDemo, FlexList, FlexList1};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (QLabel* l : {Label_PN, LabelVS[0], LabelCS[1], Label1, Label2, Label3, Label4, Label5,
                      Image2, Image1})
        l->setFocusPolicy(Qt::NoFocus);
    Vehicle->setFocus();
}

int frmMain::ScaleWidth() const { return twips(width()); }
int frmMain::ScaleHeight() const { return twips(height()); }

int frmMain::OuterWidth() const
{
    // The frame is known only once the window manager has decorated the window; before
    // that the outer width is the client width.
    const int frame = frameGeometry().width();
    return twips(frame > 0 ? frame : width());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::Show && Image1->pixmap().isNull())
        Image1->setPixmap(artwork::logo());
    if ((watched == Vehicle || watched == Vehicle->view()) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier &&
            Vehicle_KeyPress(watched, key->text()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::paintEvent(QPaintEvent*)
{
    // The data Form_Load left for later is read once this paint is on the screen: the
    // timer runs after the paint event and the flush of the window that follows it.
    if (dataPending_ && !loadQueued_) {
        loadQueued_ = true;
        QTimer::singleShot(0, this, &frmMain::awaitData);
    }
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    artwork::paintBackground(p);
    for (const LineControl* line : {&Line2, &Line1}) {
        if (!line->visible)
            continue;
        QPen pen(colorFromBgr(line->color), line->widthPixels);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(pixels(line->x1), pixels(line->y1), pixels(line->x2), pixels(line->y2));
    }
}

}  // namespace vx414
