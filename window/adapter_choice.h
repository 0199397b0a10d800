// Right-click on LINK USB (or Ctrl+K on the window) opens "Choose adapter…"; the link chosen
// there is the one the next LINK USB reads through, and is kept for the next start. The
// window's buttons and texts stay as they are.
#pragma once

#include "reader/adapter_listing.h"
#include "reader/chosen_device_library.h"
#include "window/adapter_dialog.h"
#include "window/platform/services.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>

class QShortcut;

namespace vx414 {

class frmMain;

struct AdapterChoiceServices {
    ChosenDeviceLibrary& link;  // the window's link
    // What the dialog lists; runs on a thread of its own (listAdaptersAsSetUp, with the Wi-Fi
    // address the user set), given the adapter the link holds open, which it must not probe.
    std::function<AdapterListing(const std::string& inUse)> list;
    // Where the choice is kept (unitChoiceFolder()); empty: not kept.
    std::string configFolder;
    MessageBox& messageBox;  // a choice that could not be kept is said
};

class AdapterChoice final : public QObject {
    Q_OBJECT
public:
    AdapterChoice(frmMain& form, AdapterChoiceServices services);  // owned by the form

    // Opens the dialog, or brings the open one forward; nothing while LINK USB is disabled
    // (a read or a clear runs on the link), when it returns nullptr.
    AdapterDialog* openDialog();
    AdapterDialog* dialog() const { return dialog_; }

    QShortcut* key;  // Ctrl+K

private:
    void chosen(const std::optional<LinkName>& link);

    frmMain& form_;
    AdapterChoiceServices services_;
    QPointer<AdapterDialog> dialog_;
};

}  // namespace vx414
