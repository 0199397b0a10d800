#include "window/print_module.h"

#include "window/platform/app_folder.h"

#include <QLibrary>

namespace vx414 {

namespace {

using Entry = const PrintModule* (*)();

// Set once, by the first load that succeeds; a failed load is tried again on the next
// Print, since the file may have been put back in the meantime.
const PrintModule* loaded = nullptr;

}  // namespace

const PrintModule* loadPrintModule(const QString& path)
{
    if (loaded != nullptr)
        return loaded;
    // Never unloaded: printers and dialogs made by the module may outlive any one call.
    QLibrary library(path);
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!library.load())
        return nullptr;
    const auto entry = reinterpret_cast<Entry>(library.resolve(kPrintModuleEntry));
    if (entry == nullptr)
        return nullptr;
    loaded = entry();
    return loaded;
}

const PrintModule* printModule()
{
    if (loaded != nullptr)
        return loaded;
    return loadPrintModule(programFolder() + QLatin1Char('/') + QLatin1String(kPrintModuleFile));
}

}  // namespace vx414
