// vx414-bluez-mock: BlueZ with one BLE ELM327 adapter, on a private bus. See --help.
#include <QCoreApplication>
#include <QDBusConnection>
#include <csignal>
#include <cstdio>
#include <vector>

#include "tools/bluez-mock/mock_arguments.h"

namespace {
extern "C" void onSignal(int /*signal*/) { QCoreApplication::quit(); }
}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = vx414::bluezmock::parseMockArguments(arguments);
    if (parsed.help) {
        std::fputs(vx414::bluezmock::mockUsageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "vx414-bluez-mock: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
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
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
