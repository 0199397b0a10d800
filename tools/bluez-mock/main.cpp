// vx414-bluez-mock: BlueZ with one BLE ELM327 adapter, on a private bus. See --help.
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

#include "tools/bluez-mock/mock_arguments.h"
#include "tools/common/emulator_main.h"

int main(int argc, char** argv) {
    constexpr const char* Program = "vx414-bluez-mock";
    const auto parsed = vx414::bluezmock::parseMockArguments(vx414::tools::arguments(argc, argv));
    if (const auto exit = vx414::tools::answerArguments(Program, parsed, vx414::bluezmock::mockUsageText())) return *exit;
    QCoreApplication application(argc, argv);
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "vx414-bluez-mock: no system bus (is DBUS_SYSTEM_BUS_ADDRESS set?)\n");
        return 1;
    }
    vx414::bluezmock::MockBluez mock(*parsed.options, bus);
    if (!mock.start()) {
        std::fprintf(stderr, "vx414-bluez-mock: could not take org.bluez\n");
        return 1;
    }
    // QCoreApplication::quit only posts an event, which a signal handler may do.
    const vx414::tools::StopOnSignals stopping(nullptr, [](const void*) { QCoreApplication::quit(); });
    vx414::tools::announce(Program, "ready", {});
    return QCoreApplication::exec();
}
