#include "window/help_viewer.h"

#include "window/window_roles.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>

#include "window/close_keys.h"
#include <QVBoxLayout>

namespace vx414 {

namespace {

// Pages inside the help file are addressed as "chm:/html/index.htm". A scheme of its own
// keeps the browser from resolving relative links against the local disk, and any other
// scheme (https:, mailto:, file:) points outside the help file.
const QString kScheme = QStringLiteral("chm");

bool isInsideHelpFile(const QUrl& url) { return url.scheme() == kScheme; }

const QString kHelpTitle = QStringLiteral("VX-414 Help");

QByteArray missingPage(const QString& path)
{
    return QStringLiteral("<html><body><p>The page %1 is not in the help file.</p></body></html>")
        .arg(path.toHtmlEscaped())
        .toUtf8();
}

}  // namespace

QString helpWindowTitle(const QString& pageTitle)
{
    if (pageTitle.isEmpty())
        return kHelpTitle;
    // The first page is titled like the help itself: its title is shown once.
    if (pageTitle.startsWith(kHelpTitle))
        return pageTitle;
    return kHelpTitle + QStringLiteral(" - ") + pageTitle;
}

HelpBrowser::HelpBrowser(QWidget* parent)
    : QTextBrowser(parent), openExternal([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    // Answer every request here, found or not, so that nothing falls through to loading
    // from the disk or the network.
    const QUrl url = source().resolved(name);
    if (file_ == nullptr || !isInsideHelpFile(url))
        return QByteArray();
    const QString path = url.path();
    if (std::optional<QByteArray> bytes = file_->read(path))
        return *bytes;
    if (type == QTextDocument::HtmlResource)
        return missingPage(path);
    return QByteArray();
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    const QUrl url = source().resolved(name);
    if (url.scheme().isEmpty())
        return;  // a relative address with no page to be relative to
    if (!isInsideHelpFile(url)) {
        if (openExternal)
            openExternal(url);
        return;
    }
    QTextBrowser::doSetSource(url, type);
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    registerWindowRoles();
    setWindowTitle(kHelpTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(720, 560);

    contents_ = new QPushButton(tr("Contents"), this);
    back_ = new QPushButton(tr("Back"), this);
    forward_ = new QPushButton(tr("Forward"), this);
    closeButton = new QPushButton(tr("Close"), this);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    browser_ = new HelpBrowser(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents_);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);

    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeOnEscapeAndCtrlW(this);
    connect(contents_, &QPushButton::clicked, this, &HelpViewer::goHome);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(helpWindowTitle(browser_->documentTitle())); });
}

HelpViewer::~HelpViewer()
{
    // The browser must not ask a closed file for anything while it is torn down.
    browser_->setHelpFile(nullptr);
}

void HelpViewer::openHelpFile(const QString& path)
{
    browser_->setHelpFile(nullptr);
    file_ = ChmFile::open(path);
    std::optional<QString> topic;
    if (file_ != nullptr)
        topic = file_->defaultTopic();
    // A help file cut short can still open; it is usable only if its first page reads whole.
    if (!topic || !file_->read(*topic)) {
        file_.reset();
        home_.clear();
        showMessage(QStringLiteral("The help file %1 cannot be read.").arg(path));
        return;
    }
    home_ = *topic;
    browser_->setHelpFile(file_.get());
    browser_->clearHistory();
    goHome();
}

QString HelpViewer::currentTopic() const
{
    return file_ != nullptr ? browser_->source().path() : QString();
}

void HelpViewer::showMessage(const QString& text)
{
    browser_->clear();
    browser_->clearHistory();
    browser_->setPlainText(text);
    contents_->setEnabled(false);
    setWindowTitle(kHelpTitle);
}

void HelpViewer::goHome()
{
    if (home_.isEmpty())
        return;
    contents_->setEnabled(true);
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(home_);
    browser_->setSource(url, QTextDocument::HtmlResource);
}

}  // namespace vx414
