// Printing lives in a module of its own (modules/libvx414-print.so in the program's folder),
// loaded the first time the user prints: it holds everything that needs Qt's print support,
// so the program starts without loading that library and the printing system's behind it.
#pragma once

#include "report/report_format.h"

#include <QString>

#include <span>

class QPrinter;
class QWidget;

namespace vx414 {

// What the module offers, as plain functions so that one lookup by name finds them all.
struct PrintModule {
    // A high-resolution printer for a document of this name, with 15 mm margins.
    QPrinter* (*newPrinter)(const QString& documentName);
    void (*deletePrinter)(QPrinter* printer);
    // Qt's print dialog on `printer`: false when the user cancels.
    bool (*askPrinter)(QWidget* parent, QPrinter& printer);
    // The pages (report_print.h): false when nothing could be printed.
    bool (*printReport)(const ReadReport& report, QPrinter& printer);
    bool (*printGlossary)(std::span<const GlossaryText> entries, QPrinter& printer);
    // Where the pages went, for a message: the output file, else the printer's name.
    QString (*destination)(const QPrinter& printer);
};

// The module's file, relative to the program's folder (a folder of its own, so that the
// package's library folder gets no shared object that ldconfig would have to know about),
// and the one function it exports (extern "C"), which returns its PrintModule.
inline constexpr char kPrintModuleFile[] = "modules/libvx414-print.so";
inline constexpr char kPrintModuleEntry[] = "vx414_print_module";

// The print module, loaded from the program's folder the first time it is asked for; null,
// then and later, when it cannot be loaded (missing file, or not this module).
const PrintModule* printModule();
// Loads the module from `path` and makes it the one printModule() answers with, unless one
// is already loaded (a test's build tree, where the program's folder is not the tests').
const PrintModule* loadPrintModule(const QString& path);

}  // namespace vx414
