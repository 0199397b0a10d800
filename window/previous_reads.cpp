#include "window/previous_reads.h"

#include "window/platform/services.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vx414 {

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A kept file's text with its control characters (C0, DEL, C1) shown as "?".
QString shown(std::string_view s)
{
    QString out = text(s);
    for (QChar& c : out)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = QLatin1Char('?');
    return out;
}

}  // namespace

PreviousReadsWindow::PreviousReadsWindow(QWidget* parent, MessageBox& messageBox,
                                         std::function<void(const ReadReport&)> show)
    : QDialog(parent), messageBox_(messageBox), show_(std::move(show))
{
    setWindowTitle(QStringLiteral("Previous reads"));
    setAccessibleName(QStringLiteral("Previous reads"));
    reads = new QTableWidget(0, 3, this);
    reads->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("VIN"), QStringLiteral("Codes")});
    reads->setAccessibleName(QStringLiteral("Reads kept before clearing"));
    reads->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reads->setSelectionBehavior(QAbstractItemView::SelectRows);
    reads->setSelectionMode(QAbstractItemView::SingleSelection);
    reads->verticalHeader()->hide();
    reads->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    showButton = buttons->addButton(QStringLiteral("Show"), QDialogButtonBox::ActionRole);
    showButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(showButton, &QPushButton::clicked, this, [this] { showRow(reads->currentRow()); });
    connect(reads, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { showRow(row); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(reads);
    layout->addWidget(buttons);
    resize(720, 360);
}

void PreviousReadsWindow::list(const std::string& folder)
{
    KeptReadList kept = listKeptReads(folder);
    listed_ = std::move(kept.reads);
    if (!kept.error.empty()) {
        reads->setRowCount(1);
        const QString cells[] = {QString(), QString(), QStringLiteral("cannot list the kept reads: %1").arg(shown(kept.error))};
        for (int column = 0; column < 3; ++column)
            reads->setItem(0, column, new QTableWidgetItem(cells[column]));
        reads->resizeColumnsToContents();
        showButton->setEnabled(false);
        return;
    }
    reads->setRowCount(static_cast<int>(listed_.size()));
    for (int row = 0; row < reads->rowCount(); ++row) {
        const KeptReadEntry& previous = listed_[static_cast<std::size_t>(row)];
        QStringList cells;
        if (previous.ok()) {
            cells = {shown(previous.time) + (previous.fromEmulator() ? QStringLiteral(" (demo)") : QString()),
                     previous.vin.empty() ? QStringLiteral("not read") : shown(previous.vin), shown(previous.codes)};
        } else {
            // Listed all the same, so that a damaged file is not silently lost: its name,
            // and the reason without the folder, which the whole text in the tip holds.
            const std::string name = previous.path.substr(previous.path.rfind('/') + 1);
            const std::string prefix = previous.path + ": ";
            const std::string_view reason = std::string_view(previous.error).starts_with(prefix)
                                                ? std::string_view(previous.error).substr(prefix.size())
                                                : std::string_view(previous.error);
            cells = {shown(name), QString(), QStringLiteral("cannot be read: %1").arg(shown(reason))};
        }
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (!previous.ok())
                item->setToolTip(shown(previous.error));
            reads->setItem(row, column, item);
        }
    }
    reads->resizeColumnsToContents();
    if (reads->rowCount() > 0)
        reads->selectRow(0);
    showButton->setEnabled(reads->rowCount() > 0);
}

void PreviousReadsWindow::showRow(int row)
{
    if (row < 0 || row >= static_cast<int>(listed_.size()))
        return;
    // Read again: the file may have changed since it was listed.
    const PreviousRead previous = openPreviousRead(listed_[static_cast<std::size_t>(row)].path);
    if (!previous.read) {
        messageBox_.show(QStringLiteral(" Cannot open the kept read : %1").arg(shown(previous.error)),
                         QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    show_(*previous.read);
}

}  // namespace vx414
