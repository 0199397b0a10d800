// The Qt file dialog and print dialog behind Save As and Print.
#pragma once

#include "window/platform/export_services.h"

namespace vx414 {

class QtSaveDialog final : public SaveDialog {
public:
    std::optional<SaveTarget> askSaveTarget(QWidget* parent, const QString& caption,
                                            const QString& suggestedName) override;
};

class QtPrintDialog final : public PrintDialog {
public:
    bool askPrinter(QWidget* parent, QPrinter& printer) override;
};

}  // namespace vx414
