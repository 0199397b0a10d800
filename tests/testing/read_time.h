// The read's time and source as a saved JSON file and a printed page give them, through the
// window's own Save As and Print (ResultExport), for the end-to-end tests of each link kind.
#pragma once

#include "report/report_format.h"
#include "window/frm_main.h"
#include "window/print_module.h"
#include "window/result_export.h"
#include "window/testing/export_dialogs.h"
#include "window/testing/pdf_text.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace vx414::testing {

// A clock the test sets: the window's Platform::clock reads it.
struct TestClock {
    LocalTime now{2026, 12, 10, 17, 15, 46, 60};
    std::function<LocalTime()> function()
    {
        return [this] { return now; };
    }
};

struct SavedRead {
    QString json;     // the saved JSON's "time"
    QString source;   // and its "source" ("" when null)
    QString printed;  // the printed page's words
};

// Saves the read shown as JSON and prints it to a PDF, as a user would after it.
inline SavedRead savedAndPrinted(frmMain& form, MessageBox& box)
{
    ScriptedSaveDialog saveDialog;
    PdfPrintDialog printDialog;
    loadPrintModule(QStringLiteral(VX414_PRINT_MODULE));
    ResultExport exporter(form, {box, saveDialog, printDialog});
    QTemporaryDir dir;
    saveDialog.answer = SaveTarget{dir.filePath("read.json"), SaveType::Json};
    exporter.saveAs(ResultExport::Grid::Results);
    printDialog.pdfPath = dir.filePath("read.pdf");
    exporter.print(ResultExport::Grid::Results);
    QFile file(dir.filePath("read.json"));
    SavedRead times;
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
        times.json = saved["time"].toString();
        times.source = saved["source"].toString();
    }
    times.printed = words(pdfPages(printDialog.pdfPath).join(' '));
    return times;
}

}  // namespace vx414::testing
