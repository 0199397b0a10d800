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

}  // namespace

QString codesInBrief(const ReadReport& read)
{
    QStringList codes;
    for (const ReportCode& code : read.codes)
        codes << QStringLiteral("%1 (%2)").arg(text(code.code), text(code.kind));
    return codes.isEmpty() ? QStringLiteral("no codes") : codes.join(QStringLiteral(", "));
}

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
    listed_ = previousReads(folder);
    reads->setRowCount(static_cast<int>(listed_.size()));
    for (int row = 0; row < reads->rowCount(); ++row) {
        const PreviousRead& previous = listed_[static_cast<std::size_t>(row)];
        QStringList cells;
        if (previous.read) {
            const ReadReport& read = *previous.read;
            cells = {text(readableTime(read.time)) + (read.fromEmulator() ? QStringLiteral(" (demo)") : QString()),
                     read.vehicle.vin.empty() ? QStringLiteral("not read") : text(read.vehicle.vin),
                     codesInBrief(read)};
        } else {
            // Listed all the same, so that a damaged file is not silently lost: its name,
            // and the reason without the folder, which the whole text in the tip holds.
            const std::string name = previous.path.substr(previous.path.rfind('/') + 1);
            const std::string prefix = previous.path + ": ";
            const std::string_view reason = std::string_view(previous.error).starts_with(prefix)
                                                ? std::string_view(previous.error).substr(prefix.size())
                                                : std::string_view(previous.error);
            cells = {text(name), QString(), QStringLiteral("cannot be read: %1").arg(text(reason))};
        }
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (!previous.read)
                item->setToolTip(text(previous.error));
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
        messageBox_.show(QStringLiteral(" Cannot open the kept read : %1").arg(text(previous.error)),
                         QStringLiteral("VX-414"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    show_(*previous.read);
}

}  // namespace vx414
