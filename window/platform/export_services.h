// The dialogs behind Save As and Print: small interfaces, so that tests answer them;
// the program uses the Qt implementations in qt_export_services.h.
#pragma once

#include <QString>

#include <optional>

class QPrinter;
class QWidget;

namespace vx414 {

enum class SaveType { Csv, Json };

// Where the user chose to save, and the file type picked in the dialog.
struct SaveTarget {
    QString path;
    SaveType type;
};

class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // Modal. suggestedName is a bare file name (with the first type's extension);
    // nothing when the user cancels.
    virtual std::optional<SaveTarget> askSaveTarget(QWidget* parent, const QString& caption,
                                                    const QString& suggestedName) = 0;
};

class PrintDialog {
public:
    virtual ~PrintDialog() = default;
    // Modal. Sets the printer up as the user chose (a printer, or a PDF file); false when
    // the user cancels.
    virtual bool askPrinter(QWidget* parent, QPrinter& printer) = 0;
};

}  // namespace vx414
