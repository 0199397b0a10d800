// vx414: the companion program of the VX-414 trouble-code reader.
#include "reader/device_library.h"
#include "reader/link_name.h"
#include "window/frm_main.h"
#include "window/logic/command_line.h"
#include "window/platform/app_folder.h"
#include "window/platform/qt_export_services.h"
#include "window/platform/qt_services.h"
#include "window/result_export.h"
#include "window/vehicle_actions.h"
#include "window/live_actions.h"
#include "window/platform/live_polling.h"
#include "report/cleared_read.h"
#include "window/platform/car_clearing.h"
#include "window/adapter_choice.h"
#include "reader/adapter_listing.h"
#include "reader/chosen_device_library.h"

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

int main(int argc, char** argv)
{
    // The command line is read before Qt sees it and before any window, so that --help
    // and a bad link name need no display.
    const std::span<const char* const> arguments(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    // Settings kept between runs: the units, and the adapter chosen in "Choose adapter…".
    const std::string configFolder = vx414::unitChoiceFolder();
    const vx414::CommandLine line =
        vx414::parseCommandLine(arguments, std::getenv(vx414::LinkEnvironmentVariable), configFolder);
    if (line.action == vx414::CommandLine::Action::Help || line.action == vx414::CommandLine::Action::Version) {
        std::fputs(line.message.c_str(), stdout);
        return 0;
    }
    if (line.action == vx414::CommandLine::Action::Fail) {
        std::fprintf(stderr, "vx414: %s\n", line.message.c_str());
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vx414"));
    // One look everywhere, so that the buttons' background colours show as set.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    vx414::QtMessageBox messageBox;
    vx414::QtBeep beep;
    vx414::QtPointers pointers;
    vx414::QtProgramEnd programEnd;
    // "Choose adapter…" may change the link between reads.
    const auto device = std::make_unique<vx414::ChosenDeviceLibrary>(
        line.link, [](const std::optional<vx414::LinkName>& link) { return vx414::openLink(link); });
    vx414::Platform platform{messageBox, beep, pointers, programEnd, *device,
                             vx414::programFolder()};

    vx414::QtSaveDialog saveDialog;
    vx414::QtPrintDialog printDialog;
    // Before the form: the clear's worker, joined as the form goes, still uses it.
    vx414::LinkCarClearing clearing(*device);
    // Before the form too: the Live data window stops it as the form goes.
    vx414::LinkLivePolling livePolling(*device);
    vx414::frmMain form(platform);
    auto* exporter = new vx414::ResultExport(form, {messageBox, saveDialog, printDialog});  // owned by the form
    // A clear and live polling take turns on the adapter: the clear stops polling first,
    // and polling does not start while a clear runs.
    vx414::LiveActions* live = nullptr;
    auto* vehicle = new vx414::VehicleActions(
        form, exporter->menu(vx414::ResultExport::Grid::Results),  // owned by the form
        {messageBox, pointers, clearing, [exporter] { return exporter->readReport(); }, vx414::clearedReadsFolder(),
         [exporter] { exporter->saveAs(vx414::ResultExport::Grid::Results); },
         [exporter] { exporter->print(vx414::ResultExport::Grid::Results); },
         [&live] {
             if (live != nullptr)
                 live->stopForClear();
         }});
    live = new vx414::LiveActions(form, exporter->menu(vx414::ResultExport::Grid::Results),  // owned by the form
                                  {livePolling,
                                   [](QWidget* parent) -> std::optional<QString> {
                                       const QString path = QFileDialog::getSaveFileName(
                                           parent, QStringLiteral("Record live data"), QStringLiteral("live-data.csv"),
                                           QStringLiteral("CSV files (*.csv)"));
                                       if (path.isEmpty())
                                           return std::nullopt;
                                       return path;
                                   },
                                   configFolder,
                                   {},
                                   [vehicle] { return vehicle->clearing(); }},
                                  line.units);
    // The vehicle report, its copy, file and printed page give the freeze frame in the
    // units chosen there.
    exporter->setUnits([live] { return live->units(); });
    new vx414::AdapterChoice(form, {*device, vx414::listAdaptersAsSetUp, configFolder, messageBox});  // owned by the form
    pointers.setWindow(&form);
    // The definitions and the glossary are read once the window is on the screen.
    form.SetDeferredLoad(true);
    form.Form_Load();
    if (const QScreen* screen = form.screen())
        form.fitToScreen(screen->availableGeometry().size());
    form.show();
    // The window manager's frame is known once the window is up; fit again with it taken
    // off (a window that fits is left as it is).
    QTimer::singleShot(0, &form, [&form] {
        if (const QScreen* screen = form.screen())
            form.fitToScreen(screen->availableGeometry().size());
    });
    return QApplication::exec();
}
