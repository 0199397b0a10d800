// The program's own help window: the pages, pictures and stylesheets of a compiled HTML help
// file, read from the file itself and shown in a text browser. Nothing is fetched from the
// network; addresses outside the help file go to the desktop's browser.
#pragma once

#include "window/chm_file.h"

#include <QTextBrowser>
#include <QWidget>

#include <functional>
#include <memory>

class QPushButton;

namespace vx414 {

// The help window's title for a page: "VX-414 Help - " and the page's title, or the page's
// title alone where it already begins with "VX-414 Help".
QString helpWindowTitle(const QString& pageTitle);

class HelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // The help file the pages come from; none shows nothing. Not owned.
    void setHelpFile(const ChmFile* file) { file_ = file; }

    // Where addresses outside the help file (web, mail) go: the desktop's browser unless a
    // caller says otherwise.
    std::function<void(const QUrl&)> openExternal;

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    const ChmFile* file_ = nullptr;
};

class HelpViewer final : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    ~HelpViewer() override;

    // Opens `path` at its default topic, or says in the window that it cannot be read.
    void openHelpFile(const QString& path);

    HelpBrowser* browser() const { return browser_; }
    // The page shown, as a path inside the help file; empty while a message is shown.
    QString currentTopic() const;

    // Closes the window, as Esc and Ctrl+W do.
    QPushButton* closeButton;

private:
    void showMessage(const QString& text);
    void goHome();

    std::unique_ptr<ChmFile> file_;
    QString home_;
    HelpBrowser* browser_;
    QPushButton* contents_;
    QPushButton* back_;
    QPushButton* forward_;
};

}  // namespace vx414
