#include "window/adapter_dialog.h"

#include "reader/link_choice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>
#include <thread>

namespace vx414 {

namespace {

// How often the dialog looks whether the listing has ended: quick enough to feel at once.
constexpr int kPollMs = 50;

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

QString kindWord(ListedAdapter::Kind kind)
{
    switch (kind) {
    case ListedAdapter::Kind::SerialPort: return QStringLiteral("Serial port");
    case ListedAdapter::Kind::BluetoothLe: return QStringLiteral("Bluetooth LE");
    case ListedAdapter::Kind::WiFi: return QStringLiteral("Wi-Fi");
    }
    return {};
}

QString rowText(const ListedAdapter& adapter)
{
    QString row = kindWord(adapter.kind) + QStringLiteral(": ") + text(adapter.link);
    if (!adapter.name.empty())
        row += QStringLiteral("  \u201c") + text(adapter.name) + QStringLiteral("\u201d");
    if (adapter.rssi)
        row += QStringLiteral("  %1 dBm").arg(*adapter.rssi);
    row += adapter.answered ? QStringLiteral(" \u2014 answered as an ELM327") : QStringLiteral(" \u2014 did not answer");
    if (!adapter.note.empty())
        row += QStringLiteral(" (") + text(adapter.note) + QStringLiteral(")");
    return row;
}

}  // namespace

// Shared by the dialog and the listing's thread; the thread never sees the dialog.
struct AdapterDialog::Mailbox {
    std::mutex mutex;
    std::optional<AdapterListing> listing;
};

AdapterDialog::AdapterDialog(std::function<AdapterListing()> list, std::optional<LinkName> current, QWidget* parent)
    : QDialog(parent), mailbox_(std::make_shared<Mailbox>()), current_(std::move(current))
{
    setWindowTitle(QStringLiteral("Choose adapter\u2026"));
    status = new QLabel(QStringLiteral("Looking for adapters\u2026 (this takes a few seconds)"), this);
    // What the listing says of Bluetooth can be a long sentence: it wraps within the dialog.
    status->setWordWrap(true);
    adapters = new QListWidget(this);
    auto* automatic = new QListWidgetItem(
        QStringLiteral("Automatic: the VX-414 reader, else an ELM327 adapter on a serial port or Bluetooth LE"),
        adapters);
    automatic->setData(Qt::UserRole, QString());
    adapters->setCurrentRow(0);
    auto* typedLabel = new QLabel(QStringLiteral("Or type a Wi-Fi adapter's host:port (192.168.0.10:35000), a port's "
                                                 "path (/dev/rfcomm0) or a link name (elm327:\u2026):"),
                                  this);
    typedLabel->setWordWrap(true);
    typed = new QLineEdit(this);
    typedLabel->setBuddy(typed);
    problem = new QLabel(this);
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #b00000"));
    problem->hide();
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AdapterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AdapterDialog::reject);
    connect(typed, &QLineEdit::textEdited, problem, &QLabel::hide);
    connect(adapters, &QListWidget::itemDoubleClicked, this, [this] {
        typed->clear();
        accept();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status);
    layout->addWidget(adapters, 1);
    layout->addWidget(typedLabel);
    layout->addWidget(typed);
    layout->addWidget(problem);
    layout->addWidget(buttons);
    resize(640, 360);

    if (current_) {
        auto* chosen = new QListWidgetItem(QStringLiteral("Chosen now: ") + text(linkNameText(*current_)), adapters);
        chosen->setData(Qt::UserRole, text(linkNameText(*current_)));
        adapters->setCurrentItem(chosen);
    }
    // A row picked after something was typed is what the user wants now.
    connect(adapters, &QListWidget::itemClicked, typed, &QLineEdit::clear);

    // The listing probes ports and devices for seconds; it must not hold up the window, nor
    // its end a dialog closed before it. It gets its own thread, and holds only the mailbox.
    std::thread([mailbox = mailbox_, list = std::move(list)] {
        AdapterListing listing = list ? list() : AdapterListing{};
        const std::lock_guard lock(mailbox->mutex);
        mailbox->listing = std::move(listing);
    }).detach();
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &AdapterDialog::takeListing);
    poll_.start();
}

AdapterDialog::~AdapterDialog() = default;

void AdapterDialog::takeListing()
{
    std::optional<AdapterListing> listing;
    {
        const std::lock_guard lock(mailbox_->mutex);
        listing = std::move(mailbox_->listing);
    }
    if (!listing)
        return;
    poll_.stop();
    looking_ = false;
    int answered = 0;
    for (const ListedAdapter& adapter : listing->adapters) {
        auto* item = new QListWidgetItem(rowText(adapter), adapters);
        item->setData(Qt::UserRole, text(adapter.link));
        answered += adapter.answered ? 1 : 0;
    }
    QString said = listing->adapters.empty()
                       ? QStringLiteral("No adapter found.")
                       : QStringLiteral("%1 found, %2 answered as an ELM327.")
                             .arg(listing->adapters.size())
                             .arg(answered);
    if (!listing->bluetooth.empty())
        said += QStringLiteral(" Bluetooth: ") + text(listing->bluetooth);
    status->setText(said);
}

void AdapterDialog::accept()
{
    if (!typed->text().trimmed().isEmpty()) {
        const LinkNameParse parsed = parseTypedLink(typed->text().toStdString());
        if (!parsed.name) {
            problem->setText(text(parsed.error));
            problem->show();
            typed->setFocus();
            return;
        }
        choice_ = parsed.name;
    } else {
        const QListWidgetItem* item = adapters->currentItem();
        const QString link = item != nullptr ? item->data(Qt::UserRole).toString() : QString();
        choice_ = link.isEmpty() ? std::nullopt : parseLinkName(link.toStdString()).name;
    }
    QDialog::accept();
}

}  // namespace vx414
