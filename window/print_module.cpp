// The print module: Qt's printer and print dialog, and the printed pages.
#include "window/print_module.h"

#include "window/report_print.h"

#include <QAbstractPrintDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace vx414 {

namespace {

QPrinter* newPrinter(const QString& documentName)
{
    auto* printer = new QPrinter(QPrinter::HighResolution);
    printer->setDocName(documentName);
    printer->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    return printer;
}

void deletePrinter(QPrinter* printer) { delete printer; }

bool askPrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    // The whole report prints; page ranges are the printer's business.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

bool printTheReport(const ReadReport& report, QPrinter& printer) { return printReport(report, printer); }

bool printTheGlossary(std::span<const GlossaryText> entries, QPrinter& printer)
{
    return printGlossary(entries, printer);
}

QString destination(const QPrinter& printer)
{
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

const PrintModule kModule{newPrinter, deletePrinter, askPrinter, printTheReport, printTheGlossary, destination};

}  // namespace

}  // namespace vx414

extern "C" __attribute__((visibility("default"))) const vx414::PrintModule* vx414_print_module()
{
    return &vx414::kModule;
}
