// The help window over the built help file: the first page, links between pages and to the
// web, and what a missing or damaged file shows.
#include "window/help_viewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <vector>

namespace vx414 {
namespace {

QString builtHelpFile()
{
    return qEnvironmentVariable("VX414_BUILD_DIR") + QStringLiteral("/VX-414.chm");
}

// A viewer whose web links are recorded instead of sent to the desktop.
struct Viewer {
    Viewer()
    {
        viewer.browser()->openExternal = [this](const QUrl& url) { external.push_back(url); };
    }
    QString text() const { return viewer.browser()->toPlainText(); }
    QString title() const { return viewer.browser()->documentTitle(); }

    HelpViewer viewer;
    std::vector<QUrl> external;
};

TEST(HelpViewer, OpensTheBuiltFileAtItsDefaultTopicWithItsStylesheetAndPictures)
{
    Viewer v;
    v.viewer.openHelpFile(builtHelpFile());
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/index.htm"));
    EXPECT_EQ(v.title(), QStringLiteral("VX-414 Help"));
    EXPECT_TRUE(v.text().contains(QStringLiteral("desktop companion of the VX-414")));
    // The first page is titled like the help itself: the window shows that title once.
    EXPECT_EQ(v.viewer.windowTitle(), QStringLiteral("VX-414 Help"));

    // The heading takes its colour from the stylesheet inside the help file.
    QTextDocument* doc = v.viewer.browser()->document();
    const QTextBlock heading = doc->begin();
    ASSERT_EQ(heading.text(), QStringLiteral("VX-414 Help"));
    EXPECT_EQ(heading.charFormat().foreground().color(), QColor(0x16, 0x3a, 0x7c));

    // A page's picture comes out of the help file too.
    v.viewer.browser()->setSource(QUrl(QStringLiteral("connecting.htm")));
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/connecting.htm"));
    const QVariant picture = doc->resource(QTextDocument::ImageResource,
                                           QUrl(QStringLiteral("/html/progress-strip.png")));
    ASSERT_TRUE(picture.isValid());
    EXPECT_EQ(picture.value<QImage>().size(), QSize(560, 18));
}

// Esc, Ctrl+W and its Close button each close the help window.
TEST(HelpViewer, ClosesByEscCtrlWOrItsButton)
{
    for (int way = 0; way < 3; ++way) {
        QPointer<HelpViewer> viewer = new HelpViewer;
        viewer->openHelpFile(builtHelpFile());
        viewer->show();
        viewer->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
        if (way == 0)
            QTest::keyClick(viewer->browser(), Qt::Key_Escape);
        else if (way == 1)
            QTest::keyClick(viewer->browser(), Qt::Key_W, Qt::ControlModifier);
        else
            viewer->closeButton->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.isNull(); }, 1000)) << "way " << way;
        delete viewer;
    }
}

TEST(HelpViewer, LinksLeadToOtherPagesAndBackWebLinksLeaveTheWindow)
{
    Viewer v;
    v.viewer.openHelpFile(builtHelpFile());
    v.viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.viewer));
    HelpBrowser* browser = v.viewer.browser();
    browser->setFocus();

    // Keyboard: Tab picks the first link ("Connecting the reader"), Enter follows it.
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/connecting.htm"));
    EXPECT_EQ(v.title(), QStringLiteral("Connecting the reader"));
    EXPECT_EQ(v.viewer.windowTitle(), QStringLiteral("VX-414 Help - Connecting the reader"));
    EXPECT_TRUE(v.text().contains(QStringLiteral("LINK USB")));

    // A relative link from that page to a third one.
    browser->setSource(QUrl(QStringLiteral("trouble.htm")));
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/trouble.htm"));
    EXPECT_TRUE(v.text().contains(QStringLiteral("dialout")));
    browser->backward();
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/connecting.htm"));

    // A link to a page the file does not hold says so in place of the page.
    browser->setSource(QUrl(QStringLiteral("nowhere.htm")));
    EXPECT_TRUE(v.text().contains(QStringLiteral("The page /html/nowhere.htm is not in the help file.")));

    // Web and mail addresses go to the desktop; the page shown stays.
    browser->setSource(QUrl(QStringLiteral("index.htm")));
    const QUrl gpl(QStringLiteral("https://www.gnu.org/licenses/old-licenses/gpl-2.0.html"));
    const QUrl mail(QStringLiteral("mailto:someone@example.org"));
    browser->setSource(gpl);
    browser->setSource(mail);
    EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/index.htm"));
    ASSERT_EQ(v.external.size(), 2u);
    EXPECT_EQ(v.external[0], gpl);
    EXPECT_EQ(v.external[1], mail);
    // Nothing outside the help file is loaded as a resource either.
    EXPECT_TRUE(browser->loadResource(QTextDocument::ImageResource, gpl).toByteArray().isEmpty());
    EXPECT_TRUE(browser->loadResource(QTextDocument::HtmlResource,
                                      QUrl::fromLocalFile(builtHelpFile()))
                    .toByteArray()
                    .isEmpty());
}

TEST(HelpViewer, MissingOrDamagedFileShowsAPlainMessage)
{
    QFile original(builtHelpFile());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Case {
        const char* what;
        QByteArray content;  // null: no file at all
    };
    const Case cases[] = {
        {"missing", QByteArray()},
        {"empty", QByteArray("")},
        {"not a help file", QByteArray("<html>just a page</html>")},
        {"header only", whole.left(96)},
        {"cut in half", whole.left(whole.size() / 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("%1/VX-414.chm").arg(QString::fromLatin1(c.what)));
        if (!c.content.isNull()) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            QFile copy(path);
            ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
            copy.write(c.content);
        }
        Viewer v;
        v.viewer.openHelpFile(path);
        EXPECT_EQ(v.text(), QStringLiteral("The help file %1 cannot be read.").arg(path));
        EXPECT_EQ(v.viewer.currentTopic(), QString());
        // The window stays usable: the good file opens in it afterwards.
        v.viewer.openHelpFile(builtHelpFile());
        EXPECT_EQ(v.viewer.currentTopic(), QStringLiteral("/html/index.htm"));
    }
}

}  // namespace
}  // namespace vx414
