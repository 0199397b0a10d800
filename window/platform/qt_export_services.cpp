#include "window/platform/qt_export_services.h"

#include "window/print_module.h"
#include "window/platform/save_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QStringList>

namespace vx414 {

namespace {
const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kJsonFilter = QStringLiteral("JSON (*.json)");

QString suffixOf(const QString& filter)
{
    return filter == kJsonFilter ? QStringLiteral("json") : QStringLiteral("csv");
}
}  // namespace

std::optional<SaveTarget> QtSaveDialog::askSaveTarget(QWidget* parent, const QString& caption,
                                                      const QString& suggestedName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    folder = saveFolder(folder);
    QFileDialog dialog(parent, caption, QDir(folder).filePath(suggestedName));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kCsvFilter, kJsonFilter});
    // The dialog adds the chosen type's extension to a bare name before it asks whether an
    // existing file may be replaced.
    dialog.setDefaultSuffix(suffixOf(kCsvFilter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    rememberSaveFolder(dialog.selectedFiles().constFirst());
    return SaveTarget{dialog.selectedFiles().constFirst(),
                      dialog.selectedNameFilter() == kJsonFilter ? SaveType::Json : SaveType::Csv};
}

bool QtPrintDialog::askPrinter(QWidget* parent, QPrinter& printer)
{
    // The printer came from the print module, so the module is loaded.
    const PrintModule* module = printModule();
    return module != nullptr && module->askPrinter(parent, printer);
}

}  // namespace vx414
