// Test doubles of the Save As and Print dialogs: each answers as the test says and counts
// how often it was asked.
#pragma once

#include "window/platform/export_services.h"

#include <QPrinter>
#include <QString>

#include <optional>

namespace vx414::testing {

class ScriptedSaveDialog final : public SaveDialog {
public:
    std::optional<SaveTarget> askSaveTarget(QWidget*, const QString&, const QString& suggestedName) override
    {
        ++asked;
        suggested = suggestedName;
        return answer;
    }

    std::optional<SaveTarget> answer;  // nothing: the user cancels
    int asked = 0;
    QString suggested;
};

// Answers the print dialog with "print to a PDF file", or cancels.
class PdfPrintDialog final : public PrintDialog {
public:
    bool askPrinter(QWidget*, QPrinter& printer) override
    {
        ++asked;
        if (pdfPath.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return true;
    }

    QString pdfPath;  // empty: the user cancels
    int asked = 0;
};

}  // namespace vx414::testing
