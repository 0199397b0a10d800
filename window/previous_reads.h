// "Previous reads…": the reads kept before each clear (report/cleared_listing.h), listed with
// their date, VIN and codes, newest first; one chosen (double click, Enter or "Show") is
// shown in the Vehicle report window. A kept read that cannot be read back is listed with
// the reason and opens to a message; its file is left as it is. Control characters of a
// file are shown as "?", as vx414-read prints them.
#pragma once

#include "report/cleared_listing.h"

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;

namespace vx414 {

class MessageBox;

class PreviousReadsWindow final : public QDialog {
    Q_OBJECT
public:
    // `show` is called with the read chosen.
    PreviousReadsWindow(QWidget* parent, MessageBox& messageBox, std::function<void(const ReadReport&)> show);

    // Lists the reads kept in `folder` afresh. A folder that cannot be listed is one row
    // saying why, so that it does not pass for one where nothing was kept.
    void list(const std::string& folder);
    // Shows the read of the row (0 the newest), as the Show button does.
    void showRow(int row);

    QTableWidget* reads;  // Date, VIN, Codes
    QPushButton* showButton;

private:
    MessageBox& messageBox_;
    std::function<void(const ReadReport&)> show_;
    std::vector<KeptReadEntry> listed_;
};

}  // namespace vx414
