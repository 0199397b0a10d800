// "Choose adapter…": what this computer can reach (serial ports, Bluetooth LE devices BlueZ
// knows, the usual Wi-Fi address), each with whether it answered as an ELM327, a place to
// type a host:port or a port's path, and "Automatic", the search LINK USB makes without a
// choice. The listing takes seconds and runs on a thread of its own; the dialog looks at its
// result on a timer, so that a dialog closed before it ends is never touched by it.
#pragma once

#include "reader/adapter_listing.h"
#include "reader/link_name.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace vx414 {

class AdapterDialog final : public QDialog {
    Q_OBJECT
public:
    // `list` runs once, on a thread of its own; `current` is the link chosen now (nothing:
    // automatic), selected in the list.
    AdapterDialog(std::function<AdapterListing()> list, std::optional<LinkName> current, QWidget* parent = nullptr);
    ~AdapterDialog() override;

    // Once accepted: the link chosen, nothing for automatic.
    const std::optional<LinkName>& choice() const { return choice_; }
    // Whether the listing is still running.
    bool looking() const { return looking_; }

    QLabel* status;         // "Looking for adapters…", then what the listing said
    QListWidget* adapters;  // row 0: Automatic, row 1 the link chosen now if any; then one row an adapter; link names as data
    QLineEdit* typed;       // a host:port, a path or a link name; wins over the list when not empty
    QLabel* problem;        // why what was typed is not a link (hidden otherwise)
    QDialogButtonBox* buttons;

    // OK: what was typed when anything was, else the row selected. A typed entry that is
    // not a link is said under it, and the dialog stays open with nothing chosen.
    void accept() override;

private:
    struct Mailbox;
    void takeListing();

    std::shared_ptr<Mailbox> mailbox_;
    QTimer poll_;
    bool looking_ = true;
    std::optional<LinkName> current_;
    std::optional<LinkName> choice_;
};

}  // namespace vx414
