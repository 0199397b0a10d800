// Start-up to first paint, for bench/startup.sh.
//
//   vx414-startup-harness form [FOLDER]    the program's start: frmMain with the real
//                                          platform services, Form_Load with FOLDER's
//                                          VX-414.dis (the build folder by default), show
//   vx414-startup-harness plain            the same start for the same window written
//                                          plainly in Qt (plain_window.h)
//   vx414-startup-harness empty WxH        the same start for an empty QWidget of W x H
//                                          pixels
//   vx414-startup-harness --at-map KIND …  ends the process as soon as show() has asked
//                                          for the window to be mapped, before any paint:
//                                          what runs under callgrind to count the
//                                          instructions of the start
//
// Otherwise the process ends as soon as the window has been painted once, and prints one
// line: the window's size, the time from main() to the end of the first paint in
// microseconds, and the peak resident memory in kilobytes; then, for finding where the time
// goes, the times from main() to the application's creation, to the window's creation and
// to the end of Form_Load.
#include "bench/window/plain_window.h"
#include "reader/device_library.h"
#include "window/frm_main.h"
#include "window/platform/qt_services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QStyleFactory>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

#include <unistd.h>

namespace {

// Ends the process once the watched window has finished its first paint. It ends there and
// then (the report, then _exit), before anything the paint queued runs: the program reads its
// data right after its first paint, and that is not part of the start being measured. The
// windows are not destroyed, whichever kind is measured.
class FirstPaint final : public QObject {
public:
    FirstPaint(const QElapsedTimer& clock, std::function<void(qint64)> report)
        : clock_(clock), report_(std::move(report))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !pending_) {
            pending_ = true;
            // Runs once the paint event, and the flush of the window that follows it, is done.
            QTimer::singleShot(0, this, [this] {
                report_(clock_.nsecsElapsed() / 1000);
                std::fflush(nullptr);
                _exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& clock_;
    std::function<void(qint64)> report_;
    bool pending_ = false;
};

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int usage()
{
    std::fprintf(stderr, "usage: vx414-startup-harness [--at-map] form [FOLDER] | plain | empty WxH\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    const bool atMap = argc >= 2 && std::strcmp(argv[1], "--at-map") == 0;
    if (atMap) {
        --argc;
        ++argv;
    }
    if (argc < 2)
        return usage();
    const bool form = std::strcmp(argv[1], "form") == 0;
    const bool plain = std::strcmp(argv[1], "plain") == 0;
    int emptyWidth = 0;
    int emptyHeight = 0;
    if (!form && !plain &&
        (std::strcmp(argv[1], "empty") != 0 || argc < 3 ||
         std::sscanf(argv[2], "%dx%d", &emptyWidth, &emptyHeight) != 2))
        return usage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // As the program starts (window/main.cpp), up to showing its window.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vx414"));
    QApplication::setApplicationDisplayName(QStringLiteral("VX-414"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    vx414::QtMessageBox messageBox;
    vx414::QtBeep beep;
    vx414::QtPointers pointers;
    vx414::QtProgramEnd programEnd;
    std::unique_ptr<vx414::DeviceLibrary> device;
    std::unique_ptr<vx414::Platform> platform;
    std::unique_ptr<QWidget> window;
    const qint64 applicationUs = clock.nsecsElapsed() / 1000;
    const long applicationKb = peakKb();
    qint64 createdUs = 0;
    long createdKb = 0;
    if (form) {
        device = vx414::makeDeviceLibrary();
        const QString folder = argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VX414_BUILD_DIR);
        platform = std::make_unique<vx414::Platform>(
            vx414::Platform{messageBox, beep, pointers, programEnd, *device, folder});
        auto main = std::make_unique<vx414::frmMain>(*platform);
        pointers.setWindow(main.get());
        createdUs = clock.nsecsElapsed() / 1000;
        createdKb = peakKb();
        main->SetDeferredLoad(true);
        main->Form_Load();
        window = std::move(main);
    } else if (plain) {
        window = std::make_unique<vx414::bench::PlainWindow>();
        createdUs = clock.nsecsElapsed() / 1000;
        createdKb = peakKb();
    } else {
        window = std::make_unique<QWidget>();
        window->resize(emptyWidth, emptyHeight);
        createdUs = clock.nsecsElapsed() / 1000;
        createdKb = peakKb();
    }
    const qint64 loadedUs = clock.nsecsElapsed() / 1000;
    const long loadedKb = peakKb();

    FirstPaint firstPaint(clock, [&](qint64 firstPaintUs) {
        std::printf("size=%dx%d first_paint_us=%lld peak_rss_kb=%ld application_us=%lld created_us=%lld "
                    "loaded_us=%lld\n",
                    window->width(), window->height(), static_cast<long long>(firstPaintUs), peakKb(),
                    static_cast<long long>(applicationUs), static_cast<long long>(createdUs),
                    static_cast<long long>(loadedUs));
        std::printf("peak_rss_kb after: application=%ld created=%ld loaded=%ld\n", applicationKb, createdKb,
                    loadedKb);
        // The program's definitions and glossary are read after this paint: not yet here.
        if (form)
            std::printf("data_pending=%d\n", static_cast<vx414::frmMain*>(window.get())->DataPending() ? 1 : 0);
    });
    window->installEventFilter(&firstPaint);
    window->show();
    if (atMap) {
        // Counted up to here: the rest is the platform's paint and the end of the process.
        std::fflush(nullptr);
        _exit(0);
    }
    QApplication::exec();
    return 1;  // the window was never painted
}
