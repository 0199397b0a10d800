#include "bench/window/plain_window.h"

#include "definitions/make_sections.h"
#include "window/artwork.h"
#include "window/controls/units.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>

namespace vx414::bench {

namespace {

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

void paint(QWidget* w, QPalette::ColorRole role, std::uint32_t bgr)
{
    QPalette p = w->palette();
    p.setColor(role, colorFromBgr(bgr));
    w->setPalette(p);
}

QLabel* label(QWidget* parent, const QString& text, const QFont& font, int left, int top, int width,
              int height)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(l, left, top, width, height);
    return l;
}

QTableWidget* hiddenTable(QWidget* parent, int left, int top, int width, int height)
{
    auto* t = new QTableWidget(parent);
    place(t, left, top, width, height);
    t->hide();
    return t;
}

}  // namespace

PlainWindow::PlainWindow()
{
    setWindowTitle(QStringLiteral("CODE Definition"));
    setFont(arialFont(12));
    setAttribute(Qt::WA_OpaquePaintEvent);
    paint(this, QPalette::Window, 0xFFFFFF);
    resize(pixels(12525), pixels(8520));

    const QCursor hand(Qt::PointingHandCursor);
    int left = 480;
    for (const char* caption : {"LINK USB", "Glossary", "HELP", "About", "EXIT"}) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setFont(arialFont(12, true));
        b->setCursor(hand);
        place(b, left, 600, 1575, 375);
        left += 1680;
    }

    auto* makes = new QComboBox(this);
    makes->setFont(arialFont(12, true));
    makes->setCursor(hand);
    makes->setMaxVisibleItems(20);
    paint(makes, QPalette::Button, 0xC0FFFF);
    paint(makes, QPalette::Base, 0xC0FFFF);
    place(makes, 480, 1440, 3135, 405);
    for (const MakeSection& make : kMakeSections)
        makes->addItem(QString::fromLatin1(make.name.data(), static_cast<qsizetype>(make.name.size())));

    auto* search = new QLineEdit(this);
    search->setFont(arialFont(12, true));
    paint(search, QPalette::Base, 0xFFFFC0);
    place(search, 3840, 1440, 1575, 390);
    auto* heading = new QLineEdit(this);
    place(heading, 480, 1440, 2880, 400);
    heading->hide();

    hiddenTable(this, 480, 2160, 7965, 375);
    hiddenTable(this, 480, 2160, 2445, 435);
    hiddenTable(this, 960, 6480, 3165, 1275);
    auto* strip = new QWidget(this);
    strip->hide();

    QLabel* title = label(this, QStringLiteral("VX-414 EOBD / OBD-II DTC Reader"), arialFont(14.25, false, true),
                          480, 120, 5895, 495);
    paint(title, QPalette::WindowText, 0x00FFFF);
    label(this, QStringLiteral("Vehicle Search"), arialFont(12, true), 360, 1080, 2295, 495)
        ->setForegroundRole(QPalette::HighlightedText);
    label(this, QStringLiteral("CODE Search"), arialFont(12, true), 3480, 1080, 2295, 495)
        ->setForegroundRole(QPalette::HighlightedText);
    for (const int top : {2520, 2880, 4920, 5280})
        label(this, QString(), arialFont(12, true), 600, top, 9120, 375)->hide();
    label(this, QStringLiteral("Label5"), arialFont(12, true), 600, 4200, 9105, 345)->hide();
    QLabel* reader = label(this, QString(), font(), 9240, 600, 960, 900);
    reader->setPixmap(artwork::codeReader());
    label(this, QString(), font(), 5640, 1080, 3180, 585)->hide();
}

void PlainWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    artwork::paintBackground(p);
    p.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 3));
    p.drawLine(0, pixels(2160), pixels(15240), pixels(2160));
    p.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 5));
    p.drawLine(pixels(480), pixels(2160), pixels(480), pixels(11040));
}

}  // namespace vx414::bench
