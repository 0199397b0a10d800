// vx414: the companion program of the VX-414 trouble-code reader.
#include "reader/device_library.h"
#include "window/frm_main.h"
#include "window/platform/app_folder.h"
#include "window/platform/qt_export_services.h"
#include "window/platform/qt_services.h"
#include "window/result_export.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vx414"));
    // One look everywhere, so that the buttons' background colours show as set.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    vx414::QtMessageBox messageBox;
    vx414::QtBeep beep;
    vx414::QtPointers pointers;
    vx414::QtProgramEnd programEnd;
    const std::unique_ptr<vx414::DeviceLibrary> device = vx414::makeDeviceLibrary();
    vx414::Platform platform{messageBox, beep, pointers, programEnd, *device,
                             vx414::programFolder()};

    vx414::QtSaveDialog saveDialog;
    vx414::QtPrintDialog printDialog;
    vx414::frmMain form(platform);
    new vx414::ResultExport(form, {messageBox, saveDialog, printDialog});  // owned by the form
    pointers.setWindow(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
