#include "window/adapter_choice.h"

#include "reader/link_choice.h"
#include "window/adapter_dialog.h"
#include "window/frm_main.h"

#include <QShortcut>

namespace vx414 {

AdapterChoice::AdapterChoice(frmMain& form, AdapterChoiceServices services)
    : QObject(&form), form_(form), services_(std::move(services))
{
    // The button's own context menu is the dialog: a right-click, or the menu key and
    // Shift+F10 with the button focused.
    form_.Link->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(form_.Link, &QWidget::customContextMenuRequested, this, [this] { openDialog(); });
    key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &form_);
    key->setContext(Qt::WindowShortcut);
    connect(key, &QShortcut::activated, this, [this] { openDialog(); });
}

AdapterDialog* AdapterChoice::openDialog()
{
    if (!form_.Link->isEnabled())
        return nullptr;
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return dialog_;
    }
    // The adapter the last read went through stays open for the next one (and the rest of
    // the vehicle's picture or live data may be on it now): the listing leaves it be.
    dialog_ = new AdapterDialog([list = services_.list, inUse = services_.link.DeviceAdapterInUse()] {
        return list ? list(inUse) : AdapterListing{};
    },
                                services_.link.chosen(), &form_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog_, &QDialog::accepted, this, [this] {
        if (dialog_)
            chosen(dialog_->choice());
    });
    // Window-modal: the window's buttons wait, its event loop does not.
    dialog_->open();
    return dialog_;
}

void AdapterChoice::chosen(const std::optional<LinkName>& link)
{
    // A read started from the keyboard while the dialog was open would be on the old link;
    // the dialog is window-modal, so none is.
    services_.link.choose(link);
    if (services_.configFolder.empty() || saveLinkChoice(services_.configFolder, link))
        return;
    services_.messageBox.show(QStringLiteral("The adapter chosen is used until the program ends, but could not be "
                                             "kept for the next start."),
                              QStringLiteral("Choose adapter"), MsgButtons::Ok, MsgIcon::Warning,
                              QStringLiteral("%1/link cannot be written.")
                                  .arg(QString::fromStdString(services_.configFolder)));
}

}  // namespace vx414
